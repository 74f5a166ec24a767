#pragma once
// A logic line in words, as the line composer explains it: a short Japanese reading of its connective,
// condition and action, built from the texts of the composer's nine lists. Shared by the console's editor
// and zelkctl, so both read a line alike. Texts are UTF-8.
#include <string>

namespace zelk {

// The texts of the composer's lists: kinds are list items ("PIN :ピン"), data are item texts or typed text.
struct LineTexts {
    std::string connective;
    std::string objectKind, objectData;
    std::string comparisonKind, comparisonData;
    std::string valueKind, valueData;
    std::string actionKind, actionData;
};

// Five segments (connective, object, comparison, value, action) joined by single spaces. The pins of "OUT "
// and "OUTR" read as port 1's, the port they set, whatever port digit the pin code holds.
std::string explainLine(const LineTexts& line);

} // namespace zelk
