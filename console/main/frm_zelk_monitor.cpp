// The main window's monitor: setting the window up (initAll), the monitor grid, and drawing the ports and
// the status record.
#include "main/frm_zelk.h"

#include "common/ansi.h"
#include "common/form_error.h"
#include "common/message.h"
#include "common/text_helpers.h"
#include "common/window_layout.h"
#include "main/screen_settings.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <cmath>
#include <cstring>
#include <variant>

namespace screen = zelk::console::screen;
using zelk::console::FormError;

namespace {

// Column 0 of rows 1 to 15: five names, then ten empty rows.
const std::array<QString, frmZELK::kGridRows - 1> kRowNames{
    QStringLiteral("状態"), QStringLiteral("制御開始日"), QStringLiteral("制御開始時間"),
    QStringLiteral("経過時間(秒)"), QStringLiteral("ログ")};

// Header cells of columns 0 and 1 are centred; every other cell is left-aligned and centred vertically.
Qt::Alignment cellAlignment(int row, int column) {
    return row == 0 && column < 2 ? Qt::Alignment(Qt::AlignCenter) : Qt::AlignLeft | Qt::AlignVCenter;
}

// A text field of the status record: code page 932 bytes up to the NUL, never past the field.
QString recordText(const char* field, std::size_t size) {
    return zelk::console::fromAnsi(std::string_view(field, strnlen(field, size)));
}

QString hexByte(unsigned value) {
    return QStringLiteral("%1").arg(value & 0xFFu, 2, 16, QChar(u'0')).toUpper();
}

const QString kMarkOff = QStringLiteral("○"); // bit 1: not energized
const QString kMarkOn = QStringLiteral("●");  // bit 0: energized

} // namespace

// Row 0 of the monitor grid is its fixed header row: the table's header, so it stays in view while the
// rows scroll and the user cannot select it. Neither the user nor the rows resize the columns.
void frmZELK::initGrid() {
    QHeaderView* header = grdCtlData->horizontalHeader();
    grdCtlData->verticalHeader()->hide();
    header->setMinimumSectionSize(0);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    grdCtlData->verticalHeader()->setMinimumSectionSize(0);
    grdCtlData->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int rowHeight = std::max(zelk::console::twips(240), grdCtlData->fontMetrics().height() + 4);
    grdCtlData->verticalHeader()->setDefaultSectionSize(rowHeight);
    header->setFixedHeight(rowHeight);
    grdCtlData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCtlData->setSelectionMode(QAbstractItemView::SingleSelection);
    grdCtlData->setWordWrap(false);
    grdCtlData->setTextElideMode(Qt::ElideNone); // long texts are cut at the cell's edge
}

int frmZELK::gridRows() const {
    return grdCtlData->columnCount() > 0 ? grdCtlData->rowCount() + 1 : 0;
}

QTableWidgetItem* frmZELK::gridItem(int row, int column) const {
    if (row < 0 || row >= gridRows() || column < 0 || column >= grdCtlData->columnCount()) return nullptr;
    return row == 0 ? grdCtlData->horizontalHeaderItem(column) : grdCtlData->item(row - 1, column);
}

QString frmZELK::gridText(int row, int column) const {
    const QTableWidgetItem* cell = gridItem(row, column);
    return cell != nullptr ? cell->text() : QString();
}

void frmZELK::setGridText(int row, int column, const QString& text) {
    if (row < 0 || row >= gridRows() || column < 0 || column >= grdCtlData->columnCount()) return;
    QTableWidgetItem* cell = gridItem(row, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        cell->setTextAlignment(cellAlignment(row, column));
        if (row == 0)
            grdCtlData->setHorizontalHeaderItem(column, cell);
        else
            grdCtlData->setItem(row - 1, column, cell);
    }
    cell->setText(text);
}

// No current cell of the table stands for the header row's cell in column 1, where initAll leaves it.
QString frmZELK::currentCellText() const {
    const QModelIndex current = grdCtlData->currentIndex();
    return current.isValid() ? gridText(current.row() + 1, current.column()) : gridText(0, 1);
}

// Errors end initAll with the message "initAll -<description>:<number>"; the steps done before stay done.
// Numbers: 13 for an empty or non-numeric ELEC_ON_DSP, 6 for one beyond 16 bits, 380 for an index the
// display-mode list does not have.
void frmZELK::initAll() {
    const auto fail = [this](const FormError& error) {
        zelk::console::showMessage(
            this, zelk::console::procedureError(QStringLiteral("initAll "), error.description, error.number));
    };

    bRunning = false;
    cmdEnd->setEnabled(false);
    for (QLabel* l : lblPort0)
        l->setEnabled(false);
    for (QLabel* l : lblPort1)
        l->setEnabled(false);

    move(x(), zelk::console::twips(screen::readTwips(screen::kMainTop)));
    move(zelk::console::twips(screen::readTwips(screen::kMainLeft)), y());

    {
        const QSignalBlocker quiet(cmbRevMode); // filling the list is no change of the display mode
        cmbRevMode->clear();
        cmbRevMode->addItem(QStringLiteral("反転値"));
        cmbRevMode->addItem(QStringLiteral("制御値"));
        // Until the setting is read the list has no selection (the first item added would be selected),
        // so a bad setting leaves it so and the ports show raw, as for -1.
        cmbRevMode->setCurrentIndex(-1);
    }
    const auto mode = screen::readDisplayMode();
    if (const FormError* error = std::get_if<FormError>(&mode)) return fail(*error);
    const int index = std::get<std::int16_t>(mode);
    if (index < -1 || index >= cmbRevMode->count())
        return fail({QStringLiteral("プロパティの値が不正です (%1)").arg(screen::kElecOnDsp),
                     screen::kErrorInvalidValue});
    cmbRevMode->setCurrentIndex(index);

    grdCtlData->setRowCount(0); // the grid's one row is its header row
    grdCtlData->setColumnCount(3);
    setGridText(0, 0, QStringLiteral("項目"));
    setGridText(0, 1, QStringLiteral("値"));
    setGridText(0, 2, QString());
    // The current cell is row 0, column 1 (see currentCellText). Setting "no current cell" explicitly also
    // keeps the table from choosing its first cell when it gets the focus.
    grdCtlData->clearSelection();
    grdCtlData->setCurrentIndex(QModelIndex());

    // A width of 0 hides its column; a negative one (outside the settings' range) is taken as 0.
    const std::array<QString, 3> widthKeys{screen::kContentWidth, screen::kValueWidth, screen::kValLogWidth};
    for (int column = 0; column < 3; ++column) {
        const int width = std::max<int>(0, screen::readTwips(widthKeys[column]));
        grdCtlData->setColumnWidth(column, zelk::console::twips(width));
        grdCtlData->setColumnHidden(column, width == 0);
    }

    for (const QString& name : kRowNames) {
        grdCtlData->insertRow(grdCtlData->rowCount());
        setGridText(gridRows() - 1, 0, name);
    }

    for (int row = 0; row < gridRows(); ++row)
        for (int column = 0; column < 2; ++column)
            if (QTableWidgetItem* cell = gridItem(row, column))
                cell->setTextAlignment(cellAlignment(row, column));

    curData.port0 = 0xFF;
    curData.port1 = 0x0F;
    showPort0();
    showPort1();
}

void frmZELK::refreshMonitor() {
    if (curData.port0 != oldData.port0 || bRefreshAll) showPort0();
    if (curData.port1 != oldData.port1 || bRefreshAll) showPort1();

    // About every 250 ms of engine time, with the grid's drawing held until the last cell is written.
    if (curData.tick10ms % 25 == 0 || bRefreshAll) {
        grdCtlData->setUpdatesEnabled(false);
        setGridText(1, 1, QString::number(curData.state));
        setGridText(2, 1, recordText(curData.startDate, sizeof curData.startDate));
        setGridText(3, 1, recordText(curData.startTime, sizeof curData.startTime));
        setGridText(4, 1, QString::number(curData.passageSec));
        for (int i = 0; i < ZELK_EVENT_COUNT; ++i) {
            const EventEntry& entry = curData.events[i];
            if (entry.passageSec < 0) continue; // an empty entry: the row keeps what it shows
            setGridText(
                kFirstEventRow + i, 1,
                QStringLiteral("%1.%2").arg(entry.passageSec).arg(int{entry.tick10ms}, 2, 10, QChar(u'0')));
            setGridText(kFirstEventRow + i, 2, recordText(entry.text, sizeof entry.text));
        }
        grdCtlData->setUpdatesEnabled(true);
    }

    oldData = curData;
    bRefreshAll = false;
}

bool frmZELK::showsInverted() const {
    return cmbRevMode->currentIndex() == 0;
}

void frmZELK::showPort0() {
    for (int i = 0; i < static_cast<int>(lblPort0.size()); ++i)
        lblPort0[i]->setText((curData.port0 >> i) & 1u ? kMarkOff : kMarkOn);
    txtPortHex[0]->setText(hexByte(showsInverted() ? ~curData.port0 : curData.port0));
}

void frmZELK::showPort1() {
    txtPortHex[1]->setText(hexByte(showsInverted() ? curData.port1 ^ 0x0Fu : curData.port1));
    for (int i = 0; i < static_cast<int>(lblPort1.size()); ++i)
        lblPort1[i]->setText((curData.port1 >> i) & 1u ? kMarkOff : kMarkOn);
}
