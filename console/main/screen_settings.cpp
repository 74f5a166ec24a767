#include "main/screen_settings.h"

#include "common/ini.h"
#include "common/text_helpers.h"

namespace zelk::console::screen {

namespace {

QString read(const QString& key) {
    return readIni(kScreenFile, kSection, key);
}

// A decimal number text as toInt16Strict reads it, whatever its size.
} // namespace

std::int16_t readTwips(const QString& key) {
    return toInt(read(key));
}

std::variant<std::int16_t, FormError> readDisplayMode() {
    const QString text = read(kElecOnDsp);
    if (const auto index = toInt16Strict(text)) return *index;
    if (isDecimalNumber(text))
        return FormError{QStringLiteral("オーバーフローしました (%1)").arg(kElecOnDsp), kErrorOverflow};
    return FormError{QStringLiteral("型が一致しません (%1)").arg(kElecOnDsp), kErrorTypeMismatch};
}

} // namespace zelk::console::screen
