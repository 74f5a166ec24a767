#include "logic_editor/explain_line.h"

#include "common/text_helpers.h"
#include "program/codes.h"

#include <QLatin1StringView>

#include <string_view>

namespace zelk::console {

namespace {
using namespace Qt::Literals::StringLiterals;

bool is(const QString& kind, std::string_view code) {
    return kind == QLatin1StringView(code.data(), static_cast<qsizetype>(code.size()));
}

// A list text's label: what follows the 12-character code and ":".
QString label(const QString& text) {
    return trimBlanks(text.mid(13));
}

// "ポート" + port digit + " ピン" + two hexadecimal digits of a pin code.
QString pinText(const QString& code) {
    return u"ポート"_s + code.mid(0, 1) + u" ピン"_s + code.mid(1, 2);
}

QString connectiveSegment(const QString& kind) {
    if (is(kind, codes::kNew)) return {};
    if (is(kind, codes::kNext)) return QStringLiteral("　･･･");
    return kind;
}

QString objectSegment(const QString& kind, const QString& data) {
    if (is(kind, codes::kNone)) return {};
    if (is(kind, codes::kPin)) return pinText(data);
    return label(data);
}

QString comparisonSegment(const QString& kind, const QString& data) {
    if (is(kind, codes::kComp)) return trimBlanks(data.left(12));
    if (is(kind, codes::kSts)) return label(data);
    return {};
}

QString valueSegment(const QString& kind, const QString& data) {
    if (is(kind, codes::kNone)) return {};
    if (is(kind, codes::kCnst)) return trimBlanks(data);
    return label(data);
}

QString actionSegment(const QString& kindText, const QString& data) {
    const QString kind = midBytes(kindText, 1, 4);
    if (is(kind, codes::kNone)) return {};
    const QString name = trimBlanks(kindText.mid(5)); // the label after "OUT :"
    if (is(kind, codes::kOut) || is(kind, codes::kOutr)) return u"[処理] "_s + pinText(data) + u' ' + name;
    return u"[処理] "_s + name;
}

} // namespace

QString explainLine(const LineTexts& line) {
    const auto kind = [](const QString& text) { return midBytes(text, 1, 4); };
    return connectiveSegment(kind(line.connective)) + u' ' +
           objectSegment(kind(line.objectKind), line.objectData) + u' ' +
           comparisonSegment(kind(line.comparisonKind), line.comparisonData) + u' ' +
           valueSegment(kind(line.valueKind), line.valueData) + u' ' +
           actionSegment(line.actionKind, line.actionData);
}

} // namespace zelk::console
