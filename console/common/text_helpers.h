#pragma once
// Number and text helpers of the console. Widths, starts and lengths count bytes of code page 932: a
// double-byte character counts 2. Failures give 0 or an empty text.
#include <QString>

#include <cstdint>
#include <optional>

namespace zelk::console {

// True for a decimal number text: blanks around it, a sign and a fraction allowed, nothing else.
bool isDecimalNumber(const QString& text);

// A decimal number text (blanks around it and a sign allowed; a fraction is rounded to the nearest integer,
// a half to the even neighbour) as a 16-bit integer; nothing when it is no such number or out of range.
std::optional<std::int16_t> toInt16Strict(const QString& text);
// The same, as a 32-bit integer.
std::optional<std::int32_t> toInt32Strict(const QString& text);
// toInt16Strict, with 0 for anything that is no 16-bit integer.
std::int16_t toInt(const QString& text);

// The text up to, not including, its first NUL character.
QString cutAtNul(const QString& text);

// value as exactly width characters: zeros in front, leading digits lost when too long; a negative value is
// "-" and width - 1 such characters. "" for a negative value with width 0 and for the most negative int32.
QString zeroPad(std::int32_t value, std::int32_t width);

// The text blank-padded or cut to exactly width bytes. A double-byte character cut in half becomes a blank,
// so the field keeps its width.
QString padField(const QString& text, std::int16_t width);

// length bytes from the 1-based byte position start (fewer where the bytes end earlier). A double-byte
// character cut in half at either end becomes a blank. "" for start below 1 or a negative length.
QString midBytes(const QString& text, std::int16_t start, std::int16_t length);

// The text without the blanks (spaces, not tabs) at either end: the padding of stored fields.
QString trimBlanks(const QString& text);

// The text without the blanks that pad a stored field at its end.
QString withoutPadding(const QString& text);

// Bytes of the text in code page 932.
int byteLength(const QString& text);

// The characters of the text that code page 932 has no form for (each would be stored as "?"), each once,
// in the order of the text; "" when the whole text can be stored.
QString charactersWithoutAnsiForm(const QString& text);
// The message that refuses a text holding such characters, naming what holds it ("比較値のデータ",
// "変数01の変数名") and the characters; nothing when the whole text can be stored.
std::optional<QString> unstorableTextMessage(const QString& what, const QString& text);

} // namespace zelk::console
