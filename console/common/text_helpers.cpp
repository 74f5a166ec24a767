#include "common/text_helpers.h"

#include "common/ansi.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <string>

namespace zelk::console {

namespace {

std::optional<double> roundedNumber(const QString& text) {
    if (!isDecimalNumber(text)) return std::nullopt;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok); // QString::toDouble is locale-independent
    if (!ok) return std::nullopt;
    return std::nearbyint(value); // the default rounding mode: a half to the even neighbour
}

template <typename T>
std::optional<T> toIntegerStrict(const QString& text) {
    const std::optional<double> value = roundedNumber(text);
    if (!value || *value < std::numeric_limits<T>::min() || *value > std::numeric_limits<T>::max())
        return std::nullopt;
    return static_cast<T>(*value);
}

// Replaces a double-byte character cut in half at either end of bytes[from, to) by a blank; whole is the
// text the range was cut from.
std::string cutBytes(const std::string& whole, std::size_t from, std::size_t to) {
    std::string part = whole.substr(from, to - from);
    std::size_t i = 0;
    while (i < to) {
        const std::size_t width =
            isLeadByte(static_cast<unsigned char>(whole[i])) && i + 1 < whole.size() ? 2 : 1;
        if (width == 2 && i < from && i + 1 >= from) part[i + 1 - from] = ' '; // trail byte at the start
        if (width == 2 && i >= from && i + 1 >= to) part[i - from] = ' ';      // lead byte at the end
        i += width;
    }
    return part;
}

} // namespace

bool isDecimalNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)\\s*$"));
    return number.match(text).hasMatch();
}

std::optional<std::int16_t> toInt16Strict(const QString& text) {
    return toIntegerStrict<std::int16_t>(text);
}
std::optional<std::int32_t> toInt32Strict(const QString& text) {
    return toIntegerStrict<std::int32_t>(text);
}
std::int16_t toInt(const QString& text) {
    return toInt16Strict(text).value_or(0);
}

QString cutAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString zeroPad(std::int32_t value, std::int32_t width) {
    if (value == std::numeric_limits<std::int32_t>::min() || width < 0) return {};
    if (value >= 0) return (QString(width, u'0') + QString::number(value)).right(width);
    if (width == 0) return {};
    return u'-' + (QString(width - 1, u'0') + QString::number(-value)).right(width - 1);
}

QString padField(const QString& text, std::int16_t width) {
    if (width <= 0) return {};
    const std::string bytes = toAnsi(text) + std::string(static_cast<std::size_t>(width), ' ');
    return fromAnsi(cutBytes(bytes, 0, static_cast<std::size_t>(width)));
}

QString midBytes(const QString& text, std::int16_t start, std::int16_t length) {
    if (start < 1 || length < 0) return {};
    const std::string bytes = toAnsi(text);
    const std::size_t from = static_cast<std::size_t>(start - 1);
    if (from >= bytes.size()) return {};
    const std::size_t to = std::min(bytes.size(), from + static_cast<std::size_t>(length));
    return fromAnsi(cutBytes(bytes, from, to));
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QString withoutPadding(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

int byteLength(const QString& text) {
    return static_cast<int>(toAnsi(text).size());
}

QString charactersWithoutAnsiForm(const QString& text) {
    QString found;
    for (qsizetype i = 0; i < text.size();) {
        // A surrogate pair is one character; an unpaired surrogate has no form either.
        const qsizetype units =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QString character = text.mid(i, units);
        i += units;
        if (character != u"?" && toAnsi(character) == "?" && !found.contains(character)) found += character;
    }
    return found;
}

std::optional<QString> unstorableTextMessage(const QString& what, const QString& text) {
    const QString characters = charactersWithoutAnsiForm(text);
    if (characters.isEmpty()) return std::nullopt;
    return what + QStringLiteral("にShift-JISで保存できない文字があります(") + characters + u')';
}

} // namespace zelk::console
