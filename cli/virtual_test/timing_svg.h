#pragma once
// A timing diagram of a virtual run as SVG: the eight inputs of port 0 and the four outputs of port 1 as
// digital traces over time (high: energized), and a lane with each expectation where it was decided, green
// when it held, red when it failed, its window as a bar. Hovering a mark shows its script line.
#include "cli/virtual_test/virtual_run.h"

#include <ostream>
#include <string>
#include <vector>

namespace zelk::vtest {

class TimingSvg final : public CycleListener {
public:
    void cycleDone(const CycleView& view, const Program& program) override;
    // Writes the diagram of the whole run; title names what ran (UTF-8).
    void write(std::ostream& out, const std::string& title, const Script& script,
               const std::vector<Outcome>& outcomes) const;

private:
    struct Sample {
        std::int64_t cycle;
        std::uint8_t port0, port1;
    };
    std::vector<Sample> samples_; // the first cycle and each change of a port
};

} // namespace zelk::vtest
