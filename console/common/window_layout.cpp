#include "common/window_layout.h"

#include <QFontDatabase>
#include <QStringList>

namespace zelk::console {

QFont consoleFont(double pointSize, bool bold) {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const QString& candidate :
             {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
              QStringLiteral("IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
              QStringLiteral("VL Gothic"), QStringLiteral("TakaoGothic")}) {
            if (installed.contains(candidate)) return candidate;
        }
        return QString();
    }();
    QFont font;
    if (!family.isEmpty()) font.setFamily(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace zelk::console
