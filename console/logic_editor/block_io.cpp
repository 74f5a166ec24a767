#include "logic_editor/block_io.h"

#include "common/ini.h"
#include "common/text_helpers.h"
#include "logic_editor/grid_cells.h"
#include "program/codes.h"
#include "program/keys.h"
#include "program/line_record.h"

#include <QLatin1StringView>
#include <QLineEdit>
#include <QTableWidget>

#include <algorithm>

namespace zelk::console {

namespace {

QString text(std::string_view ascii) {
    return QLatin1StringView(ascii.data(), static_cast<qsizetype>(ascii.size())).toString();
}

constexpr int kKindWidth = static_cast<int>(kKindBytes);
constexpr int kDataWidth = static_cast<int>(kDataBytes);
constexpr int kGroupWidth = static_cast<int>(kGroupBytes);
// Grid column of the kind of group g; its data stands in the next column.
constexpr int kindColumn(int g) {
    return 2 * g + 1;
}

// Puts the groups [first, first + count) of a line value into row's cells, by byte position only.
void splitGroups(QTableWidget* grid, int row, const QString& value, int first, int count) {
    for (int j = 0; j < count; ++j) {
        const auto start = static_cast<std::int16_t>(kGroupWidth * j + 1);
        setCellText(grid, row, kindColumn(first + j), midBytes(value, start, kKindWidth));
        setCellText(grid, row, kindColumn(first + j) + 1,
                    midBytes(value, static_cast<std::int16_t>(start + kKindWidth + 1), kDataWidth));
    }
}

QString joinGroups(const QTableWidget* grid, int row, int first, int count) {
    QString value;
    for (int g = first; g < first + count; ++g)
        value += fieldText(cellText(grid, row, kindColumn(g)), kKindWidth) +
                 fieldText(cellText(grid, row, kindColumn(g) + 1), kDataWidth);
    return value;
}

constexpr int kCompGroupCount = static_cast<int>(kCompGroups);
constexpr int kDetailGroupCount = static_cast<int>(kDetailGroups);

} // namespace

QString fieldText(const QString& cellText, int width) {
    const bool blank = std::all_of(cellText.cbegin(), cellText.cend(), [](QChar c) { return c == u' '; });
    if (width == kKindWidth && blank) return text(codes::kNone) + u',';
    return padField(cellText, static_cast<std::int16_t>(width)) + u',';
}

void loadBlock(QTableWidget* grid, QLineEdit* csvLog, std::string_view countKey, std::string_view section) {
    const int count =
        std::clamp<int>(toInt(readIni(kLogicFile, text(keys::kContents), text(countKey))), 0, kBlockLines);
    // A block without lines shows one empty line, numbered like any other.
    setGridRows(grid, std::max(count, 1) + 1);
    setCellText(grid, 1, 0, zeroPad(0, 4));
    for (int i = 0; i < count; ++i) {
        const int row = i + 1;
        setCellText(grid, row, 0, zeroPad(i, 4));
        splitGroups(grid, row, readIni(kLogicFile, text(section), text(keys::lineKey(keys::kLineComp, i))), 0,
                    kCompGroupCount);
        const QString details = readIni(kLogicFile, text(section), text(keys::lineKey(keys::kLineProc, i)));
        if (!details.isEmpty()) splitGroups(grid, row, details, kCompGroupCount, kDetailGroupCount);
    }
    // The box limits what the user types; a longer name from the file is shown whole, not cut (a cut name
    // would be saved in its place), so the limit grows to it for this opening.
    const QString csvName = readIni(kLogicFile, text(keys::kLogCsv), text(keys::kCsvFileName));
    csvLog->setMaxLength(std::max(csvLog->maxLength(), static_cast<int>(csvName.size())));
    csvLog->setText(csvName);
}

bool saveBlock(const QTableWidget* grid, const QLineEdit* csvLog, std::string_view countKey,
               std::string_view section) {
    const int lines = gridRows(grid) - 1;
    bool saved = writeIni(kLogicFile, text(keys::kContents), text(countKey), QString::number(lines));
    for (int i = 0; i < lines; ++i) {
        const int row = i + 1;
        saved &= writeIni(kLogicFile, text(section), text(keys::lineKey(keys::kLineComp, i)),
                          joinGroups(grid, row, 0, kCompGroupCount));
        saved &= writeIni(kLogicFile, text(section), text(keys::lineKey(keys::kLineProc, i)),
                          joinGroups(grid, row, kCompGroupCount, kDetailGroupCount));
    }
    saved &= writeIni(kLogicFile, text(keys::kLogCsv), text(keys::kCsvFileName), csvLog->text());
    return saved;
}

} // namespace zelk::console
