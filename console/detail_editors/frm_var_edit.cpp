#include "detail_editors/frm_var_edit.h"

#include "common/ini.h"
#include "common/message.h"
#include "common/text_helpers.h"
#include "common/window_layout.h"
#include "detail_editors/form_support.h"
#include "program/codes.h"
#include "program/keys.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>
#include <array>
#include <utility>

using zelk::console::twipsRect;
namespace detail = zelk::console::detail;
namespace keys = zelk::keys;

namespace {

constexpr int kNameBytes = 12; // what a name may take in the file, in code page 932 bytes
constexpr int kNameChars = 12; // input limits of the boxes
constexpr int kValueChars = 8;
constexpr int kCommentChars = 32;
constexpr int kVariableCount = 8; // the count the editor always stores

// Places in twips: the columns of the table, its first row and the row pitch.
constexpr int kNumberLeft = 120, kNumberWidth = 975;
constexpr int kNameLeft = 1200, kNameWidth = 1935;
constexpr int kValueLeft = 3240, kValueWidth = 1215;
constexpr int kCommentLeft = 4560, kCommentWidth = 4815;
constexpr int kHeaderTop = 120, kFirstRowTop = 420, kRowPitch = 390, kRowHeight = 315;
constexpr int kButtonsTop = kFirstRowTop + frmVarEdit::kRows * kRowPitch + 120;
constexpr int kButtonWidth = 1215, kButtonHeight = 375;

QString rowNumber(int i) {
    return zelk::console::zeroPad(i, 2);
}

QString varKey(std::string_view prefix, int i) {
    return detail::codeText(prefix) + rowNumber(i);
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QRect& place) {
    auto* result = new QLabel(caption, parent);
    result->setObjectName(name);
    result->setGeometry(place);
    return result;
}

// Shows a stored text whole. The limit holds what the user types; a longer text from the file is not cut
// (a cut text would be saved in place of the stored one), so the box's limit grows to it until the next load.
void showStored(QLineEdit* box, const QString& text, int maxChars) {
    box->setMaxLength(std::max(maxChars, static_cast<int>(text.size())));
    box->setText(text);
}

QLineEdit* textBox(QWidget* parent, const QString& name, int maxChars, const QRect& place) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(maxChars);
    box->setGeometry(place);
    return box;
}

} // namespace

frmVarEdit::frmVarEdit(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmVarEdit"));
    setWindowTitle(QStringLiteral("Varnel VariableEditor"));
    detail::setFormSize(this, kCommentLeft + kCommentWidth + 120, kButtonsTop + kButtonHeight + 120);

    Label4 = label(this, QStringLiteral("Label4"), QStringLiteral("変数番号"),
                   twipsRect(kNumberLeft, kHeaderTop, kNumberWidth, 255));
    Label1 = label(this, QStringLiteral("Label1"), QStringLiteral("変数名"),
                   twipsRect(kNameLeft, kHeaderTop, kNameWidth, 255));
    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("初期値"),
                   twipsRect(kValueLeft, kHeaderTop, kValueWidth, 255));
    Label3 = label(this, QStringLiteral("Label3"), QStringLiteral("コメント"),
                   twipsRect(kCommentLeft, kHeaderTop, kCommentWidth, 255));

    for (int i = 0; i < kRows; ++i) {
        const int top = kFirstRowTop + i * kRowPitch;
        lblVarCnt[i] = label(this, QStringLiteral("lblVarCnt"), rowNumber(i),
                             twipsRect(kNumberLeft, top + 30, kNumberWidth, 255));
        lblVarCnt[i]->setAlignment(Qt::AlignCenter);
        txtVarName[i] = textBox(this, QStringLiteral("txtVarName"), kNameChars,
                                twipsRect(kNameLeft, top, kNameWidth, kRowHeight));
        txtValue[i] = textBox(this, QStringLiteral("txtValue"), kValueChars,
                              twipsRect(kValueLeft, top, kValueWidth, kRowHeight));
        txtVarCmnt[i] = textBox(this, QStringLiteral("txtVarCmnt"), kCommentChars,
                                twipsRect(kCommentLeft, top, kCommentWidth, kRowHeight));
    }

    const int buttonsLeft = kCommentLeft + kCommentWidth - 3 * kButtonWidth - 2 * 120;
    cmdOK = detail::commandButton(this, QStringLiteral("cmdOK"), QStringLiteral("ＯＫ"),
                                  twipsRect(buttonsLeft, kButtonsTop, kButtonWidth, kButtonHeight));
    cmdCancel = detail::commandButton(
        this, QStringLiteral("cmdCancel"), QStringLiteral("キャンセル"),
        twipsRect(buttonsLeft + kButtonWidth + 120, kButtonsTop, kButtonWidth, kButtonHeight));
    cmdApply = detail::commandButton(
        this, QStringLiteral("cmdApply"), QStringLiteral("適用"),
        twipsRect(buttonsLeft + 2 * (kButtonWidth + 120), kButtonsTop, kButtonWidth, kButtonHeight));

    connect(cmdOK, &QPushButton::clicked, this, &frmVarEdit::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdApply, &QPushButton::clicked, this, &frmVarEdit::cmdApply_Click);

    formLoad();
}

// Every opening shows the file as it is now: what was typed and not saved is gone.
// A file that is not code page 932 text is named, so that its empty boxes are not taken for an empty table.
void frmVarEdit::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        formLoad();
        if (const auto unreadable = zelk::console::unreadableFileMessage(zelk::console::kLogicFile))
            zelk::console::showMessage(parentWidget(), *unreadable);
    }
    QDialog::showEvent(event);
}

void frmVarEdit::formLoad() {
    detail::placeAtOpener(this);
    loadVarDef();
}

void frmVarEdit::loadVarDef() {
    using zelk::console::readIni;
    using zelk::console::trimBlanks;
    const QString section = detail::codeText(keys::kVarDef);
    for (int i = 0; i < kRows; ++i) {
        const QString& file = zelk::console::kLogicFile;
        showStored(txtVarName[i], trimBlanks(readIni(file, section, varKey(keys::kVarName, i))), kNameChars);
        showStored(txtValue[i], trimBlanks(readIni(file, section, varKey(keys::kVarValue, i))), kValueChars);
        showStored(txtVarCmnt[i], trimBlanks(readIni(file, section, varKey(keys::kVarComment, i))),
                   kCommentChars);
    }
}

// Names are counted in code page 932 bytes exactly as typed, blanks included. A character without a code
// page 932 form, which would be stored as "?", is refused in every box of a row before its name's length is
// looked at. Only the first fault is reported; its box gets the focus.
bool frmVarEdit::chkVarDef() {
    const auto refuse = [this](QLineEdit* box, const QString& message) {
        zelk::console::showMessage(this, message);
        box->setFocus();
        return false;
    };
    for (int i = 0; i < kRows; ++i) {
        const QString row = QStringLiteral("変数") + rowNumber(i) + u'の';
        const std::array<std::pair<QLineEdit*, QLabel*>, 3> boxes{
            {{txtVarName[i], Label1}, {txtValue[i], Label2}, {txtVarCmnt[i], Label3}}};
        for (const auto& [box, caption] : boxes)
            if (const auto message = zelk::console::unstorableTextMessage(row + caption->text(), box->text()))
                return refuse(box, *message);
        if (zelk::console::byteLength(txtVarName[i]->text()) > kNameBytes)
            return refuse(txtVarName[i], row + Label1->text() + u'が' + QString::number(kNameBytes) +
                                             QStringLiteral("バイトを超えています"));
    }
    return true;
}

// The order of the writes decides where new keys land: each goes after the last key of its section.
// Nothing is written into a file that is not code page 932 text. A failed write does not stop the others; it
// is reported once, naming the file, and the save counts as failed, so the dialog stays open with what was
// typed.
bool frmVarEdit::saveVarDef() {
    using zelk::console::kLogicFile;
    using zelk::console::writeIni;
    if (const auto unreadable = zelk::console::unreadableFileMessage(kLogicFile)) {
        zelk::console::showMessage(this, *unreadable);
        return false;
    }
    bool saved = writeIni(kLogicFile, detail::codeText(keys::kContents),
                          detail::codeText(keys::kVariableCount), QString::number(kVariableCount));
    const QString section = detail::codeText(keys::kVarDef);
    for (int i = 0; i < kRows; ++i) {
        saved &= writeIni(kLogicFile, section, varKey(keys::kVarName, i), txtVarName[i]->text());
        saved &= writeIni(kLogicFile, section, varKey(keys::kVarValue, i), txtValue[i]->text());
        saved &= writeIni(kLogicFile, section, varKey(keys::kVarComment, i), txtVarCmnt[i]->text());
        saved &=
            writeIni(kLogicFile, section, varKey(keys::kVarType, i), detail::codeText(zelk::codes::kLong));
    }
    if (!saved) zelk::console::showMessage(this, zelk::console::saveFailedMessage(kLogicFile));
    return saved;
}

void frmVarEdit::cmdOK_Click() {
    if (chkVarDef() && saveVarDef()) accept();
}

void frmVarEdit::cmdApply_Click() {
    if (chkVarDef()) saveVarDef();
}
