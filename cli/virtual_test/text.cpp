#include "cli/virtual_test/text.h"

#include "codepage/codepage.h"

namespace zelk::vtest {

std::string quotedUtf8(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '\t') {
            out += "\\t";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string quoted(std::string_view cp932) {
    return quotedUtf8(codepage::fromCp932ToUtf8(cp932));
}

std::string counted(std::int64_t n, std::string_view noun) {
    return std::to_string(n) + ' ' + std::string(noun) + (n == 1 ? "" : "s");
}

} // namespace zelk::vtest
