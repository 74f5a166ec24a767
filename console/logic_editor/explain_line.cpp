#include "logic_editor/explain_line.h"

#include "program/explain_line.h"

namespace zelk::console {

QString explainLine(const LineTexts& line) {
    return QString::fromStdString(zelk::explainLine({
        line.connective.toStdString(),
        line.objectKind.toStdString(),
        line.objectData.toStdString(),
        line.comparisonKind.toStdString(),
        line.comparisonData.toStdString(),
        line.valueKind.toStdString(),
        line.valueData.toStdString(),
        line.actionKind.toStdString(),
        line.actionData.toStdString(),
    }));
}

} // namespace zelk::console
