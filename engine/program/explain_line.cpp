#include "program/explain_line.h"

#include "program/codes.h"
#include "program/spaces.h"

#include <string_view>

namespace zelk {

namespace {

// Positions count characters, not bytes: a character is a UTF-8 lead byte and its continuation bytes.
bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The byte offset of character number index (from 0), or the text's size when it has fewer.
std::size_t charOffset(std::string_view text, std::size_t index) {
    std::size_t i = 0;
    for (; i < text.size() && index > 0; --index)
        for (++i; i < text.size() && isContinuation(text[i]);)
            ++i;
    return i;
}

// count characters from character number start (from 0).
std::string_view midChars(std::string_view text, std::size_t start,
                          std::size_t count = std::string_view::npos) {
    const std::size_t from = charOffset(text, start);
    const std::string_view rest = text.substr(from);
    return rest.substr(0, count == std::string_view::npos ? rest.size() : charOffset(rest, count));
}

// A list text's kind: its first four bytes, without a character cut in two.
std::string_view kind(std::string_view text) {
    std::size_t n = std::min<std::size_t>(text.size(), 4);
    while (n > 0 && n < text.size() && isContinuation(text[n]))
        --n;
    return text.substr(0, n);
}

// A list text's label: what follows the 12-character code and ":".
std::string label(std::string_view text) {
    return std::string(trimSpaces(midChars(text, 13)));
}

// "ポート" + port digit + " ピン" + two hexadecimal digits of a pin code.
std::string pinText(std::string_view code) {
    return std::string("ポート").append(midChars(code, 0, 1)).append(" ピン").append(midChars(code, 1, 2));
}

// An output action sets port 1 whatever port digit its pin code holds: "ポート1 ピン" + the two digits.
std::string outputPinText(std::string_view code) {
    return std::string("ポート1 ピン").append(midChars(code, 1, 2));
}

std::string connectiveSegment(std::string_view kind) {
    if (kind == codes::kNew) return {};
    if (kind == codes::kNext) return "　･･･";
    return std::string(kind);
}

std::string objectSegment(std::string_view kind, std::string_view data) {
    if (kind == codes::kNone) return {};
    if (kind == codes::kPin) return pinText(data);
    return label(data);
}

std::string comparisonSegment(std::string_view kind, std::string_view data) {
    if (kind == codes::kComp) return std::string(trimSpaces(midChars(data, 0, 12)));
    if (kind == codes::kSts) return label(data);
    return {};
}

std::string valueSegment(std::string_view kind, std::string_view data) {
    if (kind == codes::kNone) return {};
    if (kind == codes::kCnst) return std::string(trimSpaces(data));
    return label(data);
}

std::string actionSegment(std::string_view kindText, std::string_view data) {
    const std::string_view code = kind(kindText);
    if (code == codes::kNone) return {};
    const std::string_view name = trimSpaces(midChars(kindText, 5)); // the label after "OUT :"
    if (code == codes::kOut || code == codes::kOutr)
        return "[処理] " + outputPinText(data) + ' ' + std::string(name);
    return "[処理] " + std::string(name);
}

} // namespace

std::string explainLine(const LineTexts& line) {
    return connectiveSegment(kind(line.connective)) + ' ' +
           objectSegment(kind(line.objectKind), line.objectData) + ' ' +
           comparisonSegment(kind(line.comparisonKind), line.comparisonData) + ' ' +
           valueSegment(kind(line.valueKind), line.valueData) + ' ' +
           actionSegment(line.actionKind, line.actionData);
}

} // namespace zelk
