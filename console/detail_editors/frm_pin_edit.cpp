#include "detail_editors/frm_pin_edit.h"

#include "common/text_helpers.h"
#include "common/window_layout.h"
#include "detail_editors/form_support.h"
#include "program/pin_code.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include <string>

using zelk::console::FormError;
using zelk::console::twipsRect;
namespace detail = zelk::console::detail;

namespace {

const QString kPinSelect = QStringLiteral("ピン選択");
const QString kPortValue = QStringLiteral("ポート値");
const QString kOutput = QStringLiteral("出力");

const QString kMarkOn = QStringLiteral("●");
const QString kMarkOff = QStringLiteral("○");

// The explanation of a mode; nothing for a text that is no mode.
std::optional<QString> explanation(const QString& mode) {
    if (mode == kPinSelect) return QStringLiteral("比較するピンを選択\r\n(補足:比較するピンを●に設定)");
    if (mode == kPortValue) return QStringLiteral("ポート値を設定\r\n(補足:KALDEX制御値は通電時ビットOFF)");
    if (mode == kOutput) return QStringLiteral("出力するピンを選択\r\n(補足:KALDEX制御値はビットOFFで通電)");
    return std::nullopt;
}

// Errors of setPara, as the caller reports them.
FormError noSuchPort(int port) {
    return {QStringLiteral("コントロール配列の要素 '%1' は存在しません").arg(port), 340};
}
FormError notHexadecimal() {
    return {QStringLiteral("型が一致しません"), 13};
}

// The pattern given by characters 2 and 3 of a code: hexadecimal digits of either case, read up to the
// first blank (a blank ends the number, as when the engine reads the field); no digit gives 0. Any other
// character gives nothing.
std::optional<std::uint8_t> patternOf(const QString& code) {
    std::string field = "0";
    for (const QChar c : code.mid(1, 2)) {
        if (c != u' ' && (c.unicode() > 0x7F || zelk::hexDigitValue(static_cast<char>(c.unicode())) < 0))
            return std::nullopt;
        field += static_cast<char>(c.unicode());
    }
    return zelk::decodePinCode(field).pattern;
}

// Places in twips. Inside a port frame: columns of buttons, the upper and lower button rows and the two
// rows of marks between them.
constexpr int kColumnLeft = 150, kColumnPitch = 615, kButtonSize = 495, kButtonHeight = 375;
constexpr int kUpperButtonTop = 360, kEvenMarkTop = 780, kOddMarkTop = 1065, kLowerButtonTop = 1365;
constexpr int kMarkInset = 90, kMarkWidth = 315, kMarkHeight = 255;
constexpr int kPortFrameTop = 300, kPortFrameHeight = 1860;
constexpr int kPort0FrameLeft = 840, kPort1FrameLeft = 3600;
constexpr int kFrame1Top = 840, kFrame1Width = 5895, kFrame1Height = 2745;
constexpr int kFormWidth = kFrame1Width + 240, kButtonsTop = kFrame1Top + kFrame1Height + 120;
constexpr int kCommandWidth = 1215, kCommandHeight = 375;

constexpr int portFrameWidth(int columns) {
    return 2 * kColumnLeft + (columns - 1) * kColumnPitch + kButtonSize;
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QRect& place) {
    auto* result = new QLabel(caption, parent);
    result->setObjectName(name);
    result->setAlignment(Qt::AlignCenter);
    result->setGeometry(place);
    return result;
}

// A pin's mark: blue (Port 0) or red (Port 1) on white; greyed while its port is not selected.
QLabel* mark(QWidget* parent, const QString& name, const QColor& color, const QRect& place) {
    QLabel* result = label(parent, name, kMarkOff, place);
    QPalette palette = result->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, color);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, color);
    palette.setColor(QPalette::Window, Qt::white);
    result->setPalette(palette);
    result->setAutoFillBackground(true);
    return result;
}

// Pin i of a port: even pins in the upper row, odd pins in the lower row, two pins per column.
QRect pinButtonPlace(int pin) {
    const int left = kColumnLeft + (pin / 2) * kColumnPitch;
    return twipsRect(left, pin % 2 == 0 ? kUpperButtonTop : kLowerButtonTop, kButtonSize, kButtonHeight);
}
QRect pinMarkPlace(int pin) {
    const int left = kColumnLeft + (pin / 2) * kColumnPitch + kMarkInset;
    return twipsRect(left, pin % 2 == 0 ? kEvenMarkTop : kOddMarkTop, kMarkWidth, kMarkHeight);
}

} // namespace

frmPinEdit::frmPinEdit(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPinEdit"));
    setWindowTitle(QStringLiteral("Varnel PinEditor"));
    detail::setFormSize(this, kFormWidth, kButtonsTop + kCommandHeight + 120);

    txtExplain = new QPlainTextEdit(this);
    txtExplain->setObjectName(QStringLiteral("txtExplain"));
    txtExplain->setReadOnly(true);
    txtExplain->setGeometry(twipsRect(120, 120, kFrame1Width, 615));

    buildConnector();

    cmdOK = detail::commandButton(
        this, QStringLiteral("cmdOK"), QStringLiteral("ＯＫ"),
        twipsRect(kFormWidth - 2 * (kCommandWidth + 120), kButtonsTop, kCommandWidth, kCommandHeight));
    cmdCancel = detail::commandButton(
        this, QStringLiteral("cmdCancel"), QStringLiteral("キャンセル"),
        twipsRect(kFormWidth - kCommandWidth - 120, kButtonsTop, kCommandWidth, kCommandHeight));
    connect(cmdOK, &QPushButton::clicked, this, &frmPinEdit::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPinEdit::cmdCancel_Click);

    detail::placeAtOpener(this);
}

void frmPinEdit::buildConnector() {
    Frame1 = new QGroupBox(QStringLiteral("KALDEX"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, kFrame1Top, kFrame1Width, kFrame1Height));

    // GND on the left and VCC on the right, each with two fixed marks on the rows of the pin marks.
    const std::array<int, 2> supplyLeft{120, kPort1FrameLeft + portFrameWidth(2) + 105};
    const std::array<QString, 2> supplyName{QStringLiteral("GND"), QStringLiteral("VCC")};
    for (int s = 0; s < 2; ++s) {
        const int top = kPortFrameTop + kUpperButtonTop + 60;
        Label2[s] =
            label(Frame1, QStringLiteral("Label2"), supplyName[s], twipsRect(supplyLeft[s], top, 615, 255));
        for (int r = 0; r < 2; ++r) {
            const int markTop = kPortFrameTop + (r == 0 ? kEvenMarkTop : kOddMarkTop);
            Label1[2 * s + r] = label(Frame1, QStringLiteral("Label1"), kMarkOn,
                                      twipsRect(supplyLeft[s] + 150, markTop, kMarkWidth, kMarkHeight));
        }
    }

    const std::array<int, 2> frameLeft{kPort0FrameLeft, kPort1FrameLeft};
    const std::array<int, 2> columns{4, 2};
    for (int k = 0; k < 2; ++k) {
        Frame2[k] = new QGroupBox(QStringLiteral("Port%1").arg(k), Frame1);
        Frame2[k]->setObjectName(QStringLiteral("Frame2"));
        Frame2[k]->setGeometry(
            twipsRect(frameLeft[k], kPortFrameTop, portFrameWidth(columns[k]), kPortFrameHeight));
        // The port's option button sits on its frame's title line, behind the caption.
        OptPort[k] = new QRadioButton(Frame1);
        OptPort[k]->setObjectName(QStringLiteral("OptPort"));
        OptPort[k]->setGeometry(twipsRect(frameLeft[k] + 720, kPortFrameTop - 15, 255, 255));
        OptPort[k]->raise();
    }
    for (int i = 0; i < 8; ++i) {
        cmdPort0[i] = detail::commandButton(Frame2[0], QStringLiteral("cmdPort0"), QString::number(i),
                                            pinButtonPlace(i));
        lblPort0[i] = mark(Frame2[0], QStringLiteral("lblPort0"), Qt::blue, pinMarkPlace(i));
        connect(cmdPort0[i], &QPushButton::clicked, this, [this, i] { cmdPort0_Click(i); });
    }
    for (int j = 0; j < 4; ++j) {
        cmdPort1[j] = detail::commandButton(Frame2[1], QStringLiteral("cmdPort1"), QString::number(j),
                                            pinButtonPlace(j));
        lblPort1[j] = mark(Frame2[1], QStringLiteral("lblPort1"), Qt::red, pinMarkPlace(j));
        connect(cmdPort1[j], &QPushButton::clicked, this, [this, j] { cmdPort1_Click(j); });
    }
    OptPort[0]->setChecked(true);
    for (QRadioButton* option : OptPort)
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked) dispPinState(true);
        });

    const int hexTop = kPortFrameTop + kPortFrameHeight + 120;
    Label3 = new QLabel(QStringLiteral("制御値(hex)"), Frame1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twipsRect(kPort0FrameLeft, hexTop + 45, 1335, 255));
    txtPortHex = new QLineEdit(Frame1);
    txtPortHex->setObjectName(QStringLiteral("txtPortHex"));
    txtPortHex->setReadOnly(true);
    txtPortHex->setAlignment(Qt::AlignCenter);
    txtPortHex->setGeometry(twipsRect(kPort0FrameLeft + 1380, hexTop, 855, 315));
}

void frmPinEdit::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) detail::placeAtOpener(this);
    QDialog::showEvent(event);
}

std::optional<FormError> frmPinEdit::setPara(const QString& strData, int iSpecifyPortPara,
                                             const QString& strEditModePara) {
    bOK = false;
    const bool portChoosable = iSpecifyPortPara == -1;
    const int port = portChoosable ? zelk::console::toInt(strData.left(1)) : iSpecifyPortPara;
    if (port != 0 && port != 1) return noSuchPort(port);
    const std::optional<std::uint8_t> pattern = patternOf(strData);
    if (!pattern) return notHexadecimal();

    strEditMode = strEditModePara;
    setCtlEnabled(QStringLiteral("OptPort"), portChoosable);
    OptPort[port]->setChecked(true);
    bytPort = {0, 0};
    bytPort[port] = *pattern;
    dispPinState(true);
    if (const std::optional<QString> text = explanation(strEditMode)) txtExplain->setPlainText(*text);
    return std::nullopt;
}

QString frmPinEdit::retPinCode(const QString& strData) const {
    return bOK ? txtPortHex->text() : strData;
}

void frmPinEdit::cmdPort0_Click(int index) {
    bytPort[0] ^= static_cast<std::uint8_t>(1U << index);
    dispPinState(false);
}

void frmPinEdit::cmdPort1_Click(int index) {
    bytPort[1] ^= static_cast<std::uint8_t>(1U << index);
    dispPinState(false);
}

void frmPinEdit::cmdOK_Click() {
    bOK = true;
    accept();
}

void frmPinEdit::cmdCancel_Click() {
    bOK = false;
    reject();
}

// Shows the selected port's code and the marks; with reenable, only the selected port's buttons and marks
// stay usable. In pin-selection mode a set bit is a selected pin ("●"); in the other modes a clear bit is an
// energized pin ("●").
void frmPinEdit::dispPinState(bool reenable) {
    const int p = OptPort[0]->isChecked() ? 0 : 1;
    txtPortHex->setText(QString::number(p) +
                        QStringLiteral("%1").arg(bytPort[p], 2, 16, QChar(u'0')).toUpper());
    if (reenable) {
        setCtlEnabled(QStringLiteral("lblPort"), false);
        setCtlEnabled(QStringLiteral("cmdPort"), false);
        setCtlEnabled(QStringLiteral("lblPort%1").arg(p), true);
        setCtlEnabled(QStringLiteral("cmdPort%1").arg(p), true);
    }
    const bool pinSelect = strEditMode == kPinSelect;
    const QString& on = pinSelect ? kMarkOn : kMarkOff;
    const QString& off = pinSelect ? kMarkOff : kMarkOn;
    for (int i = 0; i < 8; ++i)
        lblPort0[i]->setText(p != 0 ? kMarkOff : ((bytPort[0] >> i) & 1U) != 0 ? on : off);
    for (int j = 0; j < 4; ++j)
        lblPort1[j]->setText(p != 1 ? kMarkOff : ((bytPort[1] >> j) & 1U) != 0 ? on : off);
}

// Every element of a control array carries its array's name, so "lblPort" reaches both mark arrays and
// "cmdPort0" only the Port 0 buttons.
void frmPinEdit::setCtlEnabled(const QString& prefix, bool enabled) {
    for (QWidget* control : findChildren<QWidget*>())
        if (control->objectName().startsWith(prefix)) control->setEnabled(enabled);
}
