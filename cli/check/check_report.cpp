#include "cli/check/check_report.h"

#include "cli/check/program_check.h"
#include "cli/json.h"
#include "cli/shown_text.h"
#include "codepage/codepage.h"

#include <cstdio>

namespace zelk::check {

namespace {

using cli::jsonString;

std::string jsonNumberOrNull(long value, bool present) {
    return present ? std::to_string(value) : "null";
}

std::string warningCount(std::size_t n) {
    if (n == 0) return "no findings";
    return std::to_string(n) + (n == 1 ? " warning" : " warnings");
}

void printText(const CheckReport& report, std::ostream& out) {
    for (const BlockWords& block : report.blocks) {
        if (block.lines.empty()) continue;
        out << '[' << block.section << "] " << block.lines.size()
            << (block.lines.size() == 1 ? " line\n" : " lines\n");
        for (std::size_t i = 0; i < block.lines.size(); ++i)
            out << lineNumber(static_cast<int>(i)) << ' ' << cli::escapedUtf8(block.lines[i]) << '\n';
        out << '\n';
    }
    for (const Finding& finding : report.findings)
        out << location(report.file, finding) << ": warning: " << finding.message << '\n';
    out << report.file << ": " << warningCount(report.findings.size()) << '\n';
}

void printJson(const CheckReport& report, int status, std::ostream& out) {
    out << "{\"file\":" << jsonString(report.file);
    if (!report.error.empty()) {
        out << ",\"error\":" << jsonString(report.error) << ",\"status\":" << status << "}\n";
        return;
    }
    out << ",\"blocks\":[";
    for (std::size_t b = 0; b < report.blocks.size(); ++b) {
        const BlockWords& block = report.blocks[b];
        out << (b ? "," : "") << "{\"section\":" << jsonString(block.section) << ",\"count\":" << block.count
            << ",\"lines\":[";
        for (std::size_t i = 0; i < block.lines.size(); ++i)
            out << (i ? "," : "") << "{\"line\":" << i << ",\"words\":" << jsonString(block.lines[i]) << '}';
        out << "]}";
    }
    out << "],\"findings\":[";
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
        const Finding& f = report.findings[i];
        out << (i ? "," : "") << "{\"location\":" << jsonString(location(report.file, f))
            << ",\"section\":" << jsonString(codepage::fromCp932ToUtf8(f.section))
            << ",\"line\":" << jsonNumberOrNull(f.line, f.line >= 0)
            << ",\"key\":" << (f.key.empty() ? "null" : jsonString(codepage::fromCp932ToUtf8(f.key)))
            << ",\"fileLine\":" << jsonNumberOrNull(static_cast<long>(f.fileLine), f.fileLine > 0)
            << ",\"severity\":\"warning\",\"message\":" << jsonString(f.message) << '}';
    }
    out << "],\"status\":" << status << "}\n";
}

} // namespace

int runCheckCommand(const std::string& file, bool json, std::ostream& out, std::ostream& err) {
    const CheckReport report = checkProgram(file);
    const int status = !report.error.empty()     ? kUnreadable
                       : report.findings.empty() ? kNoFindings
                                                 : kWarnings;
    if (json)
        printJson(report, status, out);
    else if (!report.error.empty())
        err << "zelkctl check: " << file << ": " << report.error << '\n';
    else
        printText(report, out);
    return status;
}

} // namespace zelk::check
