#include "common/combo_helpers.h"

#include "common/ini.h"
#include "common/text_helpers.h"
#include "program/tables.h"

#include <QComboBox>

#include <algorithm>

namespace zelk::console {

std::int16_t selectComboItem(QComboBox* combo, const QString& text, bool setTextIfMissing) {
    if (combo == nullptr) return 0;
    for (int i = 0; i < combo->count(); ++i) {
        // Every text begins with the empty text, an empty item's too (QString::startsWith says otherwise
        // for a null item text).
        if (text.isEmpty() || combo->itemText(i).startsWith(text, Qt::CaseSensitive)) {
            combo->setCurrentIndex(i);
            return static_cast<std::int16_t>(i);
        }
    }
    if (setTextIfMissing && combo->isEditable()) {
        combo->setCurrentIndex(-1);
        combo->setEditText(text);
    }
    return 0;
}

void showStoredData(QComboBox* combo, const QString& field) {
    const QString data = withoutPadding(field);
    selectComboItem(combo, data.isEmpty() ? data : field, true);
    if (combo->currentIndex() < 0) combo->setEditText(data);
}

bool dataFitsField(const QComboBox* combo, int width) {
    const QString text = combo->currentText();
    return combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0 ||
           byteLength(withoutPadding(text)) <= width;
}

QString dataTooLongMessage(const QString& place, int width) {
    return place + QStringLiteral("のデータが") + QString::number(width) +
           QStringLiteral("バイトを超えています");
}

std::optional<QString> refusedDataMessage(const QComboBox* combo, int width, const QString& place) {
    const QString text = combo->currentText();
    if (combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) return std::nullopt;
    if (std::optional<QString> message = unstorableTextMessage(place + QStringLiteral("のデータ"), text))
        return message;
    if (!dataFitsField(combo, width)) return dataTooLongMessage(place, width);
    return std::nullopt;
}

bool addVariableItems(QComboBox* combo) {
    const std::optional<std::int32_t> count =
        toInt32Strict(readIni(kLogicFile, QStringLiteral("LG_CONTENTS"), QStringLiteral("VARIABLE_CNT")));
    if (!count) return false;
    // The engine's variable table ends at 63; a larger count names nothing more.
    for (std::int32_t i = 0; i < std::min<std::int32_t>(*count, kVariableCount); ++i) {
        const QString name = trimBlanks(
            readIni(kLogicFile, QStringLiteral("LG_VAR_DEF"), QStringLiteral("VAR_NAME_") + zeroPad(i, 2)));
        if (!name.isEmpty()) combo->addItem(padField(zeroPad(i, 2), 12) + u':' + name);
    }
    return true;
}

} // namespace zelk::console
