#pragma once
// A timing diagram of a virtual run as SVG: the eight inputs of port 0 and the four outputs of port 1 as
// digital traces over time (high: energized), a value lane for each variable an expectation names, the
// cycles that wrote LOG rows marked above the time axis, and the expectations in lanes where they were
// decided, green when they held, red when they failed, a window as a bar, each labelled with its script
// line. The text of every failure is written below the axis as the report prints it.
//
// Whatever the run's length, the diagram stays small: changes closer than a pixel are drawn as one band.
#include "cli/virtual_test/virtual_run.h"

#include <ostream>
#include <string>
#include <vector>

namespace zelk::vtest {

class TimingSvg final : public CycleListener {
public:
    // The script's variables must be bound to numbers already.
    explicit TimingSvg(const Script& script);

    void cycleDone(const CycleView& view, const Program& program) override;
    // Writes the diagram of the whole run. title names what ran; failures are the report's lines for the
    // failed expectations, in the order they were decided (UTF-8).
    void write(std::ostream& out, const std::string& title, const std::vector<Outcome>& outcomes,
               const std::vector<std::string>& failures) const;

private:
    // A value from a cycle on; busy when it changed more than once within the pixel column it starts in.
    struct Step {
        std::int64_t cycle;
        std::int32_t value;
        bool busy;
    };
    struct ValueLane {
        int variable;
        std::string label; // the variable's name, or "var NN"
        std::vector<Step> steps;
    };
    struct LogMark {
        std::int64_t cycle;
        std::size_t rows;
        std::string first; // the first row of the column (UTF-8, shortened)
    };
    struct Sample {
        std::int64_t cycle;
        std::uint8_t port0, port1;
    };

    std::int64_t column(std::int64_t cycle) const;
    void writeValueLane(std::ostream& out, const ValueLane& lane, double top) const;

    const Script& script_;
    double cycleWidth_;
    std::vector<Sample> samples_; // the first cycle and each change of a port
    std::vector<ValueLane> values_;
    std::vector<LogMark> logMarks_;
};

} // namespace zelk::vtest
