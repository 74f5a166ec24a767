#pragma once
// The explanation of a composed line: a short Japanese reading of its connective, condition and action,
// built from the texts of the composer's nine lists, in the wording shared with zelkctl.
#include <QString>

namespace zelk::console {

// The texts of the composer's lists: kinds are list items ("PIN :ピン"), data are item texts or typed text.
struct LineTexts {
    QString connective;
    QString objectKind, objectData;
    QString comparisonKind, comparisonData;
    QString valueKind, valueData;
    QString actionKind, actionData;
};

// Five segments (connective, object, comparison, value, action) joined by single spaces.
QString explainLine(const LineTexts& line);

} // namespace zelk::console
