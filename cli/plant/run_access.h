#pragma once
// What the servers beside a control run (Modbus TCP, MQTT) may do with it: copy its picture, the status
// record and the variables, and ask for output pins to be set. They run on their own threads and reach the
// run only through this, the way getCtlData and the manual request reach it, so none of them can delay the
// control cycle.
#include "ZELK_Eng.h"
#include "core/engine.h"

#include <cstdint>

namespace zelk::plant {

struct RunPicture {
    CtlData data{};
    VariableValues variables{};
};

// Port-1 output pins to set, as a coil write or an MQTT command asks.
struct OutputChange {
    std::uint8_t pins = 0;      // bit n: pin n is set
    std::uint8_t energized = 0; // bit n: pin n is to be energized (of the pins set)
};

class RunAccess {
public:
    virtual ~RunAccess() = default;
    virtual void read(RunPicture& picture) const = 0;
    // Inverts, through the engine's manual request, each pin whose present value differs from the one asked
    // for, as the console's output button does; pins that already have it are left alone. False, with the
    // outputs as they were, while no run goes on or when its cycle did not take the request in time.
    virtual bool setOutputs(OutputChange change) = 0;
};

} // namespace zelk::plant
