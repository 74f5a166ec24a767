#include "common/ansi.h"

#include "codepage/codepage.h"

namespace zelk::console {

std::string toAnsi(const QString& text) {
    return codepage::toCp932(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                 static_cast<std::size_t>(text.size())));
}

QString fromAnsi(std::string_view bytes) {
    const std::u16string text = codepage::fromCp932(bytes);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace zelk::console
