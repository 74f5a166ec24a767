#include "logic_editor/frm_lg_edit.h"

#include "common/ini.h"
#include "common/message.h"
#include "common/text_helpers.h"
#include "common/window_layout.h"
#include "logic_editor/block_io.h"
#include "logic_editor/grid_cells.h"
#include "logic_editor/line_composer.h"
#include "program/keys.h"

#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace zelk::console;

namespace {

constexpr int kButtonWidth = 1215, kButtonHeight = 375;
constexpr int kRowHeight = 255; // grid rows and headers
constexpr int kLineColumns = 25;
constexpr int kWorkCells = 14;

QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1StringView(name));
    button->setAutoDefault(false);
    button->setGeometry(twipsRect(left, top, kButtonWidth, kButtonHeight));
    return button;
}

void setUpGridLook(QTableWidget* grid) {
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the grid for the next control instead of walking its cells (and changing the line).
    grid->setTabKeyNavigation(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(twips(kRowHeight));
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->verticalHeader()->setHighlightSections(false);
}

} // namespace

frmLgEdit::frmLgEdit(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLgEdit"));
    setWindowTitle(QStringLiteral("Varnel I/O ContorolEditor"));
    setFont(consoleFont());
    setFixedSize(twips(9720), twips(6300));
    createControls();
    arrangeTabOrder();
    formLoad();
}

void frmLgEdit::createControls() {
    lblLgName = new QLabel(QStringLiteral("主処理"), this);
    lblLgName->setObjectName(QStringLiteral("lblLgName"));
    lblLgName->setGeometry(twipsRect(120, 120, 1500, 255));
    cmdAddLine = commandButton(this, "cmdAddLine", QStringLiteral("行追加"), 5970, 45);
    cmdClrLine = commandButton(this, "cmdClrLine", QStringLiteral("行クリア"), 7185, 45);
    cmdDelLine = commandButton(this, "cmdDelLine", QStringLiteral("行削除"), 8400, 45);

    grdLg = new QTableWidget(this);
    grdLg->setObjectName(QStringLiteral("grdLg"));
    grdLg->setGeometry(twipsRect(120, 480, 9495, 2175));
    setUpGridLook(grdLg);
    grdLg->installEventFilter(this);

    frmEdit = new LineComposer(grdLg, this);
    frmEdit->setGeometry(twipsRect(120, 2700, 9495, 3015));
    setUpGridLook(frmEdit->grdWkLG);

    Label2 = new QLabel(QStringLiteral("CSV LOG"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(120, 5865, 855, 255));
    txtCsvLog = new QLineEdit(this);
    txtCsvLog->setObjectName(QStringLiteral("txtCsvLog"));
    txtCsvLog->setMaxLength(128);
    txtCsvLog->setGeometry(twipsRect(1020, 5820, 2535, 315));
    cmdOK = commandButton(this, "cmdOK", QStringLiteral("ＯＫ"), 5970, 5805);
    cmdCancel = commandButton(this, "cmdCancel", QStringLiteral("キャンセル"), 7185, 5805);
    cmdApply = commandButton(this, "cmdApply", QStringLiteral("適用"), 8400, 5805);

    connect(grdLg, &QTableWidget::cellClicked, this, &frmLgEdit::grdLg_Click);
    // A current line moved by the arrow or page keys is shown as a clicked one is, so that "行設定" and
    // "行削除" act on the line the user sees.
    connect(grdLg->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (current.isValid() && current.row() != previous.row()) grdLg_Click();
            });
    connect(grdLg->verticalHeader(), &QHeaderView::sectionClicked, this, [this](int modelRow) {
        setCurrentGridRow(grdLg, modelRow + 1);
        grdLg_Click();
    });
    connect(cmdAddLine, &QPushButton::clicked, this, &frmLgEdit::cmdAddLine_Click);
    connect(cmdDelLine, &QPushButton::clicked, this, &frmLgEdit::cmdDelLine_Click);
    connect(cmdClrLine, &QPushButton::clicked, this, &frmLgEdit::cmdClrLine_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmLgEdit::cmdOK_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmLgEdit::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmLgEdit::arrangeTabOrder() {
    const LineComposer& c = *frmEdit;
    const std::array<QWidget*, 23> order{
        grdLg,         c.txtLineNo,     c.cmbNext,  c.cmbObj,     c.cmbObjData,    c.cmdPinView[0],
        c.cmbCmp,      c.cmbCmpData,    c.cmbVal,   c.cmbValData, c.cmdPinView[1], c.cmbExec,
        c.cmbExecData, c.cmdPinView[2], c.grdWkLG,  c.cmdLineSet, cmdOK,           cmdCancel,
        cmdApply,      cmdAddLine,      cmdClrLine, cmdDelLine,   txtCsvLog};
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    for (QLabel* label : findChildren<QLabel*>())
        label->setFocusPolicy(Qt::NoFocus);
}

void frmLgEdit::formLoad() {
    if (parentWidget() != nullptr) move(parentWidget()->window()->pos());
    frmEdit->txtLineNo->clear();
    frmEdit->fillLists();
    setUpLineGrid();
    setUpWorkRow();
    loadBlock(grdLg, txtCsvLog, zelk::keys::kMainCount, zelk::keys::kMainBlock);
    frmEdit->showLine();
    grdLg->setFocus();
    // A file that reads as (nearly) empty for want of its encoding is not taken for an empty program.
    if (const std::optional<QString> unreadable = unreadableFileMessage(kLogicFile))
        showMessage(parentWidget(), *unreadable);
}

void frmLgEdit::setUpLineGrid() {
    setGridCols(grdLg, kLineColumns);
    setGridRows(grdLg, 2);
    grdLg->verticalHeader()->setFixedWidth(twips(500));
    grdLg->horizontalHeader()->setFixedHeight(twips(kRowHeight));
    for (int c = 1; c < kLineColumns; ++c) {
        const int width = c == 2 ? 100 : (c >= 4 && c % 2 == 0 ? 1500 : 500);
        grdLg->horizontalHeader()->resizeSection(c - 1, twips(width));
    }
    const std::array<const char16_t*, 12> headers{u"条件", u"", u"対象", u"", u"比較", u"",
                                                  u"値",   u"", u"処理", u"", u"詳細", u""};
    for (int c = 1; c <= 12; ++c)
        setCellText(grdLg, 0, c, QString::fromUtf16(headers[c - 1]));
    grdLg->setCurrentCell(0, 0); // row 1, column 1
}

void frmLgEdit::setUpWorkRow() {
    QTableWidget* work = frmEdit->grdWkLG;
    work->setColumnCount(kWorkCells);
    work->setRowCount(1);
    for (int c = 0; c < kWorkCells; ++c)
        work->horizontalHeader()->resizeSection(c, twips(c % 2 == 1 ? 1500 : 500));
}

bool frmLgEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grdLg && event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter) {
            grdLg_Click();
            return true;
        }
        // A typed character does nothing: it does not search the grid and move to a cell beginning with it.
        const QString typed = keyEvent->text();
        if (!typed.isEmpty() && typed.front().isPrint()) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmLgEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void frmLgEdit::grdLg_Click() {
    frmEdit->showLine();
}

void frmLgEdit::cmdAddLine_Click() {
    if (gridRows(grdLg) >= kMaxAddedLines + 1) {
        showMessage(this, QStringLiteral("これ以上行追加できません"));
        return;
    }
    // The new line takes the current line's place; without a current line it goes to the end.
    const int current = currentGridRow(grdLg);
    const int row = current >= 1 ? current : gridRows(grdLg);
    insertGridRow(grdLg, row);
    renumberLines();
    setCurrentGridRow(grdLg, row);
    frmEdit->showLine(); // so that "行設定" writes the line the user sees
}

void frmLgEdit::cmdDelLine_Click() {
    if (gridRows(grdLg) <= 2) {
        showMessage(this, QStringLiteral("削除できません"));
        return;
    }
    deleteLine();
    renumberLines();
    frmEdit->showLine(); // the line now current, not the deleted one
}

void frmLgEdit::cmdClrLine_Click() {
    const int row = currentGridRow(grdLg);
    if (row < 1) return;
    for (int c = 1; c < kLineColumns; ++c)
        setCellText(grdLg, row, c, {});
}

void frmLgEdit::cmdOK_Click() {
    if (saveMainBlock()) accept();
}

void frmLgEdit::cmdApply_Click() {
    saveMainBlock();
}

// A save that did not reach the file is reported and keeps the form open with the edits; so is a log file
// name with a character that code page 932 cannot hold, and a file that is not code page 932 text, before
// anything is written.
bool frmLgEdit::saveMainBlock() {
    if (const std::optional<QString> unreadable = unreadableFileMessage(kLogicFile)) {
        showMessage(this, *unreadable);
        return false;
    }
    if (const std::optional<QString> refused =
            unstorableTextMessage(Label2->text() + QStringLiteral("のファイル名"), txtCsvLog->text())) {
        showMessage(this, *refused);
        txtCsvLog->setFocus();
        return false;
    }
    if (saveBlock(grdLg, txtCsvLog, zelk::keys::kMainCount, zelk::keys::kMainBlock)) return true;
    showMessage(this, saveFailedMessage(kLogicFile));
    return false;
}

void frmLgEdit::renumberLines() {
    for (int r = 1; r < gridRows(grdLg); ++r)
        setCellText(grdLg, r, 0, zeroPad(r - 1, 4));
}

void frmLgEdit::deleteLine() {
    const int current = currentGridRow(grdLg);
    if (current < 1 || gridRows(grdLg) <= 2) return;
    grdLg->removeRow(current - 1); // the lines below move up by one
    setCurrentGridRow(grdLg, std::min(current, gridRows(grdLg) - 1));
}
