#include "cli/virtual_test/trace_csv.h"

#include "codepage/codepage.h"

#include <cstdio>

namespace zelk::vtest {

namespace {

// A CSV field in double quotes, quotes doubled.
void writeQuoted(std::ostream& out, std::string_view cp932) {
    out << '"';
    for (const char c : codepage::fromCp932ToUtf8(cp932)) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

} // namespace

TraceCsv::TraceCsv(std::ostream& out) : out_(out) {
    out_ << "time_ms,cycle,port0,port1,variables,log,clipboard\n";
}

void TraceCsv::cycleDone(const CycleView& view, const Program& program) {
    if (view.cycle > 0 && view.port0 == port0_ && view.port1 == port1_ && view.changedVariables == 0 &&
        view.rows.empty() && !view.clipboardChanged)
        return;
    port0_ = view.port0;
    port1_ = view.port1;
    char fields[64];
    std::snprintf(fields, sizeof fields, "%lld,%lld,0x%02X,0x%02X,",
                  static_cast<long long>(view.cycle * kCycleMs), static_cast<long long>(view.cycle),
                  view.port0, view.port1);
    out_ << fields;
    const char* separator = "";
    for (int i = 0; i < kVariableCount; ++i) {
        if ((view.changedVariables >> i & 1) == 0) continue;
        std::snprintf(fields, sizeof fields, "%s%02d=%d", separator, i, program.variables[i].value);
        out_ << fields;
        separator = " ";
    }
    out_ << ',';
    // Each row ends in LF; a cycle's rows are one field, one row per line.
    if (!view.rows.empty()) writeQuoted(out_, view.rows.substr(0, view.rows.size() - 1));
    out_ << ',';
    if (view.clipboardChanged) writeQuoted(out_, view.clipboard);
    out_ << '\n';
}

} // namespace zelk::vtest
