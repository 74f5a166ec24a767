#include "detail_editors/frm_exec_dtl.h"

#include "common/combo_helpers.h"
#include "common/message.h"
#include "common/text_helpers.h"
#include "common/window_layout.h"
#include "detail_editors/form_support.h"
#include "program/codes.h"
#include "program/line_record.h"
#include "program/vocabulary.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <QTableWidget>

using zelk::console::FormError;
using zelk::console::twipsRect;
namespace codes = zelk::codes;
namespace detail = zelk::console::detail;

namespace {

constexpr auto kKindBytes = static_cast<std::int16_t>(zelk::kKindBytes);
constexpr auto kDataBytes = static_cast<std::int16_t>(zelk::kDataBytes);

// The procedure of the line composer whose error handler reports a failure of this dialog.
const QString kOpenerProcedure = QStringLiteral("cmdPinView_Click");

template <class Meaning>
QString codeItem(const zelk::Code<Meaning>& entry) {
    return detail::codeItem(
        entry.code, QString::fromUtf8(entry.label.data(), static_cast<qsizetype>(entry.label.size())));
}

// Kinds of an operand (every row for "LOG " and "CLIP"; rows 0, 2, 4 and 6 for "CALC").
QStringList operandKinds() {
    QStringList items{detail::emptyItem()};
    for (const zelk::OperandKind kind : zelk::kDetailKinds)
        items << codeItem(zelk::entryOf(zelk::kOperandKinds, kind));
    return items;
}

// Operators of "CALC" (rows 1, 3 and 5).
QStringList operatorKinds() {
    QStringList items{detail::emptyItem()};
    for (const auto& entry : zelk::kOperators)
        items << codeItem(entry);
    return items;
}

// The fixed head of every data list; the named variables follow.
QStringList fixedDataItems() {
    QStringList items{detail::emptyItem()};
    for (const zelk::SystemVariable variable : zelk::kDetailSystemVariables)
        items << codeItem(zelk::entryOf(zelk::kSystemVariables, variable));
    return items;
}

FormError badVariableCount() {
    return {QStringLiteral("型が一致しません"), 13};
}

// Places in twips.
constexpr int kLabelLeft = 120, kLabelWidth = 735;
constexpr int kKindLeft = 960, kKindWidth = 2175;
constexpr int kDataLeft = kKindLeft + kKindWidth + 105, kDataWidth = 3255;
constexpr int kFirstRowTop = 480, kRowPitch = 420, kRowHeight = 315;
constexpr int kFormWidth = kDataLeft + kDataWidth + 120;
constexpr int kButtonsTop = kFirstRowTop + frmExecDtl::kDetails * kRowPitch + 60;
constexpr int kButtonWidth = 1215, kButtonHeight = 375;

QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QRect& place) {
    auto* result = new QLabel(caption, parent);
    result->setObjectName(name);
    result->setGeometry(place);
    return result;
}

QComboBox* comboBox(QWidget* parent, const QString& name, bool editable, const QRect& place) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    if (editable) {
        // Typed text stays as typed: no completion from the items and no new item on Enter.
        combo->setEditable(true);
        combo->setCompleter(nullptr);
        combo->setInsertPolicy(QComboBox::NoInsert);
    }
    combo->setGeometry(place);
    return combo;
}

} // namespace

frmExecDtl::frmExecDtl(QComboBox* cmbExec, QTableWidget* grdWkLG, QWidget* parent)
    : QDialog(parent), cmbExec_(cmbExec), grdWkLG_(grdWkLG) {
    setObjectName(QStringLiteral("frmExecDtl"));
    setWindowTitle(QStringLiteral("Varnel ExecDtlEditor"));
    detail::setFormSize(this, kFormWidth, kButtonsTop + kButtonHeight + 120);

    Label1[1] = label(this, QStringLiteral("Label1"), QStringLiteral("行番号"),
                      twipsRect(kLabelLeft, 150, kLabelWidth, 255));
    lblLineNo = label(this, QStringLiteral("lblLineNo"), QString(), twipsRect(kKindLeft, 120, 735, 285));
    lblLineNo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblLineNo->setAlignment(Qt::AlignCenter);

    for (int k = 0; k < kDetails; ++k) {
        const int top = kFirstRowTop + k * kRowPitch;
        lblVarCnt[k] =
            label(this, QStringLiteral("lblVarCnt"), QStringLiteral("処理") + zelk::console::zeroPad(k, 2),
                  twipsRect(kLabelLeft, top + 30, kLabelWidth, 255));
        cmbDetl[k] = comboBox(this, QStringLiteral("cmbDetl"), false,
                              twipsRect(kKindLeft, top, kKindWidth, kRowHeight));
        cmbDetlData[k] = comboBox(this, QStringLiteral("cmbDetlData"), true,
                                  twipsRect(kDataLeft, top, kDataWidth, kRowHeight));
    }

    cmdOK = detail::commandButton(
        this, QStringLiteral("cmdOK"), QStringLiteral("ＯＫ"),
        twipsRect(kFormWidth - 2 * (kButtonWidth + 120), kButtonsTop, kButtonWidth, kButtonHeight));
    cmdCancel = detail::commandButton(
        this, QStringLiteral("cmdCancel"), QStringLiteral("キャンセル"),
        twipsRect(kFormWidth - kButtonWidth - 120, kButtonsTop, kButtonWidth, kButtonHeight));
    connect(cmdOK, &QPushButton::clicked, this, &frmExecDtl::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    detail::placeAtOpener(this);
}

void frmExecDtl::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) detail::placeAtOpener(this);
    QDialog::showEvent(event);
}

void frmExecDtl::setPara(int lEditLinePara) {
    lEditLine = lEditLinePara;
    bCalc = cmbExec_ != nullptr && cmbExec_->currentText().left(4) == detail::codeText(codes::kCalc);
    fillError_ = initDetail();
}

int frmExecDtl::exec() {
    if (fillError_) {
        zelk::console::showMessage(
            parentWidget(),
            zelk::console::procedureError(kOpenerProcedure, fillError_->description, fillError_->number));
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

std::optional<FormError> frmExecDtl::initDetail() {
    lblLineNo->setText(zelk::console::zeroPad(lEditLine, 4));

    // Operands in the even rows; in the odd rows operators for "CALC", otherwise operands again.
    for (int k = 0; k < kDetails; k += 2) {
        cmbDetl[k]->clear();
        cmbDetl[k]->addItems(operandKinds());
        cmbDetl[k]->setCurrentIndex(0);
        if (k + 1 == kDetails) break;
        cmbDetl[k + 1]->clear();
        if (bCalc) {
            cmbDetl[k + 1]->addItems(operatorKinds());
        } else {
            for (int i = 0; i < cmbDetl[0]->count(); ++i)
                cmbDetl[k + 1]->addItem(cmbDetl[0]->itemText(i));
        }
        cmbDetl[k + 1]->setCurrentIndex(0);
    }

    // The same data list in every row, whatever the kind: it is read from the file at every opening.
    for (QComboBox* dataList : cmbDetlData) {
        dataList->clear();
        dataList->addItems(fixedDataItems());
        if (!zelk::console::addVariableItems(dataList)) return badVariableCount();
    }

    // The current pairs: a kind the row does not offer shows the empty item; data no item begins with
    // stands as typed text without its padding.
    for (int k = 0; k < kDetails; ++k) {
        cmbDetl[k]->setCurrentIndex(zelk::console::selectComboItem(cmbDetl[k], workCell(2 * k), false));
        zelk::console::showStoredData(cmbDetlData[k], workCell(2 * k + 1));
    }
    return std::nullopt;
}

QString frmExecDtl::workCell(int column) const {
    if (grdWkLG_ == nullptr) return {};
    const QTableWidgetItem* cell = grdWkLG_->item(0, column);
    return cell != nullptr ? cell->text() : QString();
}

void frmExecDtl::setWorkCell(int column, const QString& text) {
    if (grdWkLG_ == nullptr || grdWkLG_->rowCount() < 1 || column >= grdWkLG_->columnCount()) return;
    if (QTableWidgetItem* cell = grdWkLG_->item(0, column)) {
        cell->setText(text);
    } else {
        grdWkLG_->setItem(0, column, new QTableWidgetItem(text));
    }
}

// Each pair as the stored line holds it: the kind cut or blank-padded to 4 bytes, the data to 12. Typed
// data longer than 12 bytes or with a character code page 932 cannot hold is refused with a message naming
// its row; nothing is written then.
void frmExecDtl::cmdOK_Click() {
    for (int k = 0; k < kDetails; ++k) {
        if (const std::optional<QString> refused =
                zelk::console::refusedDataMessage(cmbDetlData[k], kDataBytes, lblVarCnt[k]->text())) {
            zelk::console::showMessage(this, *refused);
            cmbDetlData[k]->setFocus();
            return;
        }
    }
    for (int k = 0; k < kDetails; ++k) {
        setWorkCell(2 * k, zelk::console::padField(cmbDetl[k]->currentText(), kKindBytes));
        setWorkCell(2 * k + 1, zelk::console::padField(cmbDetlData[k]->currentText(), kDataBytes));
    }
    accept();
}
