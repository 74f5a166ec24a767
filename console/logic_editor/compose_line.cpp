// The composer's exchange with the line grid and with the pin and action-detail editors.
#include "logic_editor/line_composer.h"

#include "common/combo_helpers.h"
#include "common/message.h"
#include "common/text_helpers.h"
#include "detail_editors/frm_exec_dtl.h"
#include "detail_editors/frm_pin_edit.h"
#include "logic_editor/block_io.h"
#include "logic_editor/grid_cells.h"
#include "program/codes.h"
#include "program/line_record.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTableWidget>

#include <optional>
#include <string_view>

namespace zelk::console {

namespace {

constexpr int kKindWidth = static_cast<int>(kKindBytes);
constexpr int kDataWidth = static_cast<int>(kDataBytes);
// Grid columns of the line: the detail groups begin here, after the five condition-and-action groups.
constexpr int kFirstDetailColumn = 11;
constexpr int kWorkCells = 14;

// Each list with its grid column and field width; fixed lists fall back to their first item. The editable
// lists take typed data and are named, as their rows are, in the message that refuses a text the field cannot
// hold.
struct ListField {
    QComboBox* LineComposer::*list;
    int column;
    int width;
    const char16_t* editableRow = nullptr;
};
constexpr std::array<ListField, 9> kFields{{
    {&LineComposer::cmbNext, 1, kKindWidth},
    {&LineComposer::cmbObj, 3, kKindWidth},
    {&LineComposer::cmbObjData, 4, kDataWidth, u"比較対象"},
    {&LineComposer::cmbCmp, 5, kKindWidth},
    {&LineComposer::cmbCmpData, 6, kDataWidth},
    {&LineComposer::cmbVal, 7, kKindWidth},
    {&LineComposer::cmbValData, 8, kDataWidth, u"比較値"},
    {&LineComposer::cmbExec, 9, kKindWidth},
    {&LineComposer::cmbExecData, 10, kDataWidth, u"実行処理"},
}};

// The line number of the box: digits only (blanks around them allowed); nothing for anything else.
std::optional<int> lineNumber(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^ *([0-9]+) *$"));
    const QRegularExpressionMatch match = digits.match(text);
    if (!match.hasMatch()) return std::nullopt;
    return match.captured(1).toInt();
}

// Sets a list's text as a typed text would: the item of exactly that text is chosen, else none.
void setListText(QComboBox* list, const QString& text) {
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    list->setCurrentIndex(index);
    if (index < 0) list->setEditText(text);
}

} // namespace

void LineComposer::showLine() {
    const int r = currentGridRow(grdLg_);
    if (r < 1) return;
    txtLineNo->setText(cellText(grdLg_, r, 0));
    for (const ListField& field : kFields) {
        QComboBox* list = this->*field.list;
        const QString text = cellText(grdLg_, r, field.column);
        // A padded code makes the prefix match exact ("STOP        " is not "STOP->ELEC  ").
        if (field.editableRow != nullptr)
            showStoredData(list, text);
        else if (selectComboItem(list, text, false) == 0)
            list->setCurrentIndex(0);
    }
    grdWkLG->setRowCount(1);
    grdWkLG->setColumnCount(kWorkCells);
    for (int c = 0; c < kWorkCells; ++c)
        setPlainCell(grdWkLG, 0, c, cellText(grdLg_, r, kFirstDetailColumn + c));
    LblExplain->setText(explainLine(listTexts()));
}

bool LineComposer::setLine() {
    const std::optional<int> n = lineNumber(txtLineNo->text());
    if (!n) {
        showMessage(window(), QStringLiteral("行番号が正しくありません"));
        return false;
    }
    if (*n >= kBlockLines) {
        showMessage(window(), QStringLiteral("行番号は0127までです(1ブロック128行まで)"));
        return false;
    }
    for (const ListField& field : kFields) {
        QComboBox* list = this->*field.list;
        if (field.editableRow == nullptr) continue;
        if (const std::optional<QString> refused =
                refusedDataMessage(list, field.width, QString::fromUtf16(field.editableRow))) {
            showMessage(window(), *refused);
            list->setFocus();
            return false;
        }
    }
    const int r = *n + 1;
    if (r >= gridRows(grdLg_)) setGridRows(grdLg_, r + 1);
    setCellText(grdLg_, r, 0, zeroPad(*n, 4));
    for (const ListField& field : kFields)
        setCellText(grdLg_, r, field.column,
                    padField((this->*field.list)->currentText(), static_cast<std::int16_t>(field.width)));
    for (int c = 0; c < kWorkCells; ++c) {
        const QTableWidgetItem* work = grdWkLG->item(0, c);
        setCellText(grdLg_, r, kFirstDetailColumn + c, work == nullptr ? QString() : work->text());
    }
    return true;
}

void LineComposer::cmdLineSet_Click() {
    LblExplain->setText(explainLine(listTexts()));
    setLine();
}

void LineComposer::cmdPinView_Click(int index) {
    if (index == 0) {
        openPinEditor(cmbObjData, -1, QStringLiteral("ピン選択"));
    } else if (index == 2) {
        const QString kind = cmbExec->currentText().left(kKindWidth);
        const auto is = [&kind](std::string_view code) {
            return kind == QLatin1StringView(code.data(), kKindWidth);
        };
        if (is(codes::kOutr) || is(codes::kOut))
            openPinEditor(cmbExecData, 1, QStringLiteral("出力"));
        else if (is(codes::kLog) || is(codes::kCalc) || is(codes::kClip))
            openExecDetail();
    }
}

void LineComposer::openPinEditor(QComboBox* list, int port, const QString& mode) {
    QPointer<frmPinEdit> editor = new frmPinEdit(window());
    if (const std::optional<FormError> error = editor->setPara(list->currentText(), port, mode)) {
        delete editor;
        showMessage(window(),
                    procedureError(QStringLiteral("cmdPinView_Click"), error->description, error->number));
        return;
    }
    editor->exec();
    if (editor) setListText(list, editor->retPinCode(list->currentText()));
    delete editor;
}

void LineComposer::openExecDetail() {
    QPointer<frmExecDtl> editor = new frmExecDtl(cmbExec, grdWkLG, window());
    editor->setPara(toInt(txtLineNo->text()));
    editor->exec();
    delete editor;
}

} // namespace zelk::console
