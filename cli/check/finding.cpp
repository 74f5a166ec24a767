#include "cli/check/finding.h"

#include "cli/shown_text.h"

#include <cstdio>

namespace zelk::check {

std::string lineNumber(int line) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", line);
    return text;
}

std::string location(const std::string& file, const Finding& finding) {
    if (finding.section.empty())
        return finding.fileLine == 0 ? file : file + ':' + std::to_string(finding.fileLine);
    std::string text = file + ':' + cli::shown(finding.section);
    if (finding.line >= 0) return text + ':' + lineNumber(finding.line);
    if (!finding.key.empty()) text += ':' + cli::shown(finding.key);
    return text;
}

} // namespace zelk::check
