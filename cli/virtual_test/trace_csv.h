#pragma once
// The trace of a virtual run as CSV (UTF-8): one record for the first cycle and for each cycle in which
// something changed, with the time, the cycle, both ports, the variables that changed, the LOG rows and the
// clipboard text put in that cycle.
#include "cli/virtual_test/virtual_run.h"

#include <ostream>

namespace zelk::vtest {

class TraceCsv final : public CycleListener {
public:
    explicit TraceCsv(std::ostream& out);
    void cycleDone(const CycleView& view, const Program& program) override;

private:
    std::ostream& out_;
    std::uint8_t port0_ = 0, port1_ = 0;
};

} // namespace zelk::vtest
