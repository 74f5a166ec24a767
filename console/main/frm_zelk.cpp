// The main window's controls and its event handlers: start and stop of control with the polling loop,
// manual output, display mode, value copy, window unload.
#include "main/frm_zelk.h"

#include "common/ansi.h"
#include "common/ini.h"
#include "common/message.h"
#include "common/window_layout.h"
#include "core/messages.h"
#include "detail_editors/frm_var_edit.h"
#include "logic_editor/frm_lg_edit.h"
#include "program/keys.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>

using zelk::console::consoleFont;
using zelk::console::fromAnsi;
using zelk::console::kLogicFile;
using zelk::console::readIni;
using zelk::console::showMessage;
using zelk::console::twipsRect;

namespace {

constexpr int kClientWidth = 9525; // twips
constexpr int kClientHeight = 3825;

const QString kOpenFailed = QStringLiteral("KALDEX オープン失敗");
const QString kRunStopped = QStringLiteral("KALDEX 制御停止");
const QString kLogNotWritten =
    QStringLiteral("ログファイル %1 を %2 に書き込めませんでした。この制御の LOG の行は保存されていません");

// Why no board opened, in the console's words: the second line of the open failure's message.
QString boardProblemText(const zelk::hid::BoardCheck& check) {
    using zelk::hid::BoardProblem;
    const QString board = QStringLiteral("ボード ") + QFile::decodeName(check.path.c_str());
    const QString system =
        check.systemText.empty() ? QString() : u'(' + QString::fromLocal8Bit(check.systemText.c_str()) + u')';
    switch (check.problem) {
    case BoardProblem::NoBoard:
        break;
    case BoardProblem::InUse:
        return board + QStringLiteral(" は他のプログラムが使用中です");
    case BoardProblem::NoPermission:
        return board + QStringLiteral(" を開く権限がありません") + system + QStringLiteral("。グループ ") +
               QString::fromLatin1(zelk::hid::kBoardGroup) +
               QStringLiteral(" のユーザーが開けます(udev規則 ") +
               QString::fromLatin1(zelk::hid::kUdevRuleFile) + u')';
    case BoardProblem::NoAnswer:
        return board + QStringLiteral(" が応答しません");
    case BoardProblem::OpenFailed:
        return board + QStringLiteral(" を開けません") + system;
    case BoardProblem::Opens:
        return QStringLiteral("再確認では") + board + QStringLiteral(" を開けました(もう一度お試しください)");
    }
    return QStringLiteral("ボードが見つかりません。USBの接続と、仮想ボードのフォルダ ") +
           QFile::decodeName(check.boardDirectory.c_str()) +
           QStringLiteral(" (KALDEX_BOARD_DIR) を確認してください。仮想ボードは kaldex-sim で起動します");
}

template <typename Widget>
Widget* place(Widget* widget, const QString& name, const QRect& rect) {
    widget->setObjectName(name);
    widget->setGeometry(rect);
    return widget;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QRect& rect) {
    auto* b = place(new QPushButton(caption, parent), name, rect);
    b->setAutoDefault(false);
    return b;
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QRect& rect,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
    auto* l = place(new QLabel(caption, parent), name, rect);
    l->setAlignment(alignment);
    return l;
}

// A pin indicator: "○" in the port's colour on white; greyed while disabled.
QLabel* indicator(QWidget* parent, const QString& name, const QRect& rect, const QColor& colour) {
    auto* l = label(parent, name, QStringLiteral("○"), rect, Qt::AlignCenter);
    l->setAutoFillBackground(true);
    QPalette palette = l->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    l->setPalette(palette);
    return l;
}

void defaultSleep(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

} // namespace

frmZELK::frmZELK(QWidget* parent) : frmZELK(zelk::console::boundEngine(), parent) {}

frmZELK::frmZELK(zelk::console::EngineApi& engine, QWidget* parent)
    : QWidget(parent), engine_(engine), sleep_(&defaultSleep) {
    buildForm();
    initAll(); // window load
}

void frmZELK::buildForm() {
    setObjectName(QStringLiteral("frmZELK"));
    setWindowTitle(QStringLiteral("Varnel ZELK Ver0.30"));
    setFont(consoleFont());
    setFixedSize(twipsRect(0, 0, kClientWidth, kClientHeight).size());

    cmdVar = button(this, QStringLiteral("cmdVar"), QStringLiteral("変数設定"), twipsRect(120, 0, 1215, 375));
    cmdLgInit =
        button(this, QStringLiteral("cmdLgInit"), QStringLiteral("初期処理"), twipsRect(1320, 0, 1215, 375));
    cmdLgMain =
        button(this, QStringLiteral("cmdLgMain"), QStringLiteral("主処理"), twipsRect(2520, 0, 1215, 375));
    cmdLgEnd =
        button(this, QStringLiteral("cmdLgEnd"), QStringLiteral("後処理"), twipsRect(3720, 0, 1215, 375));
    Command4 =
        button(this, QStringLiteral("Command4"), QStringLiteral("画面設定"), twipsRect(8160, 0, 1215, 375));
    // Only the main block is edited, and the screen settings have no editor: these stay disabled.
    for (QPushButton* b : {cmdLgInit, cmdLgEnd, Command4})
        b->setEnabled(false);

    Frame1 = place(new QGroupBox(QStringLiteral("KALDEX"), this), QStringLiteral("Frame1"),
                   twipsRect(120, 480, 3855, 2535));
    buildPortDisplay();

    grdCtlData =
        place(new QTableWidget(this), QStringLiteral("grdCtlData"), twipsRect(4080, 480, 5295, 2775));
    initGrid();

    const QFont large = consoleFont(12, true);
    cmdStart =
        button(this, QStringLiteral("cmdStart"), QStringLiteral("制御開始"), twipsRect(240, 3120, 1575, 615));
    cmdEnd =
        button(this, QStringLiteral("cmdEnd"), QStringLiteral("制御終了"), twipsRect(2280, 3120, 1575, 615));
    cmdStart->setFont(large);
    cmdEnd->setFont(large);
    cmdCpy = button(this, QStringLiteral("cmdCpy"), QStringLiteral("値コピー(&C)"),
                    twipsRect(7920, 3360, 1335, 375));

    // A frame of manual-control buttons without actions, placed below the visible client area.
    Frame4 = place(new QGroupBox(QStringLiteral("手動制御"), this), QStringLiteral("Frame4"),
                   twipsRect(0, 7560, 3855, 1095));
    for (int i = 0; i < static_cast<int>(cmdMnCtl.size()); ++i)
        cmdMnCtl[i] = button(Frame4, QStringLiteral("cmdMnCtl"),
                             QStringLiteral("手動制御%1").arg(i, 2, 10, QChar(u'0')),
                             twipsRect(120 + (i % 3) * 1230, 240 + (i / 3) * 420, 1095, 375));

    connect(cmdStart, &QPushButton::clicked, this, &frmZELK::cmdStart_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmZELK::cmdEnd_Click);
    for (int n = 0; n < static_cast<int>(cmdOut.size()); ++n)
        connect(cmdOut[n], &QPushButton::clicked, this, [this, n] { cmdOut_Click(n); });
    connect(cmbRevMode, &QComboBox::currentIndexChanged, this, &frmZELK::cmbRevMode_Click);
    connect(cmdCpy, &QPushButton::clicked, this, &frmZELK::cmdCpy_Click);
    connect(cmdVar, &QPushButton::clicked, this, &frmZELK::cmdVar_Click);
    connect(cmdLgMain, &QPushButton::clicked, this, &frmZELK::cmdLgMain_Click);
}

void frmZELK::buildPortDisplay() {
    const QString label2 = QStringLiteral("Label2");
    Label2[0] = label(Frame1, label2, QStringLiteral("GND"), twipsRect(240, 480, 375, 255));
    Label2[1] = label(Frame1, label2, QStringLiteral("VCC"), twipsRect(3240, 480, 375, 255));
    const std::array<QPoint, 4> marks{QPoint(360, 720), QPoint(360, 1080), QPoint(3240, 720),
                                      QPoint(3240, 1080)};
    for (int i = 0; i < 4; ++i)
        Label1[i] = label(Frame1, QStringLiteral("Label1"), QStringLiteral("●"),
                          twipsRect(marks[i].x(), marks[i].y(), 255, 255), Qt::AlignCenter);

    Frame2[0] = place(new QGroupBox(QStringLiteral("Port0"), Frame1), QStringLiteral("Frame2"),
                      twipsRect(720, 240, 1575, 1455));
    Frame2[1] = place(new QGroupBox(QStringLiteral("Port1"), Frame1), QStringLiteral("Frame2"),
                      twipsRect(2280, 240, 855, 1455));

    // Port 0: pin numbers above (even pins) and below (odd pins), indicators between them.
    const QColor blue(Qt::blue);
    constexpr std::array<int, 4> upperNumbers{2, 4, 5, 6};  // Label2 indices of "0", "2", "4", "6"
    constexpr std::array<int, 4> lowerNumbers{7, 8, 9, 10}; // Label2 indices of "1", "3", "5", "7"
    for (int k = 0; k < 4; ++k) {
        const int left = 120 + 360 * k;
        Label2[upperNumbers[k]] =
            label(Frame2[0], label2, QString::number(2 * k), twipsRect(left, 240, 255, 255), Qt::AlignCenter);
        Label2[lowerNumbers[k]] = label(Frame2[0], label2, QString::number(2 * k + 1),
                                        twipsRect(left, 1080, 255, 255), Qt::AlignCenter);
        lblPort0[2 * k] =
            indicator(Frame2[0], QStringLiteral("lblPort0"), twipsRect(left, 480, 255, 255), blue);
        lblPort0[2 * k + 1] =
            indicator(Frame2[0], QStringLiteral("lblPort0"), twipsRect(left, 840, 255, 255), blue);
    }

    // Port 1: output buttons above (pins 0, 2) and below (pins 1, 3), indicators between them.
    const QColor red(Qt::red);
    for (int k = 0; k < 2; ++k) {
        const int left = 120 + 360 * k;
        cmdOut[2 * k] = button(Frame2[1], QStringLiteral("cmdOut"), QString::number(2 * k),
                               twipsRect(left, 240, 255, 255));
        cmdOut[2 * k + 1] = button(Frame2[1], QStringLiteral("cmdOut"), QString::number(2 * k + 1),
                                   twipsRect(left, 1080, 255, 255));
        lblPort1[2 * k] =
            indicator(Frame2[1], QStringLiteral("lblPort1"), twipsRect(left, 480, 255, 255), red);
        lblPort1[2 * k + 1] =
            indicator(Frame2[1], QStringLiteral("lblPort1"), twipsRect(left, 840, 255, 255), red);
    }

    Label3[0] =
        label(Frame1, QStringLiteral("Label3"), QStringLiteral("入力(hex)"), twipsRect(960, 1800, 975, 255));
    Label3[1] =
        label(Frame1, QStringLiteral("Label3"), QStringLiteral("出力(hex)"), twipsRect(2280, 1800, 975, 255));
    cmbRevMode = place(new QComboBox(Frame1), QStringLiteral("cmbRevMode"), twipsRect(240, 2040, 975, 315));
    txtPortHex[0] =
        place(new QLineEdit(Frame1), QStringLiteral("txtPortHex"), twipsRect(1320, 2040, 375, 285));
    txtPortHex[1] =
        place(new QLineEdit(Frame1), QStringLiteral("txtPortHex"), twipsRect(2520, 2040, 375, 285));
}

// Start of control: open the engine, prepare the window, poll until the user stops or the engine reports its
// run closed, then close. The loop runs inside this click: each pass lets the other handlers run.
void frmZELK::cmdStart_Click() {
    if (engine_.openKaldex() != 1) {
        showMessage(this, kOpenFailed + u'\n' + boardProblemText(engine_.checkBoards()));
        return;
    }
    initAll();
    startDisplay();
    logFileReported_ = false;
    while (bRunning)
        pollPass();
    engine_.closeKaldex();
    stopDisplay();
    reportLogFile();
}

// After a run's close, which writes the log file: the engine's word that it could not be written reaches
// the user, with the file's name and folder, instead of the rows being lost without a sign.
void frmZELK::reportLogFile() {
    engine_.getCtlData(curData);
    const EventEntry& newest = curData.events[0];
    if (std::string_view(newest.text, strnlen(newest.text, sizeof newest.text)) !=
        zelk::messages::kCsvOpenFailed)
        return;
    if (logFileReported_) return;
    logFileReported_ = true;
    const QString name =
        readIni(kLogicFile, fromAnsi(zelk::keys::kLogCsv), fromAnsi(zelk::keys::kCsvFileName));
    showMessage(this, fromAnsi(zelk::messages::kCsvOpenFailed) + u'\n' +
                          kLogNotWritten.arg(name, QDir::toNativeSeparators(QDir::currentPath())));
}

void frmZELK::pollPass() {
    QCoreApplication::processEvents();
    sleep_(kPollSleepMs);
    engine_.getCtlData(curData);
    refreshMonitor();
    if (curData.state == ZELK_STATE_CLOSED) {
        showMessage(this, kRunStopped);
        bRunning = false;
    }
}

void frmZELK::startDisplay() {
    bRunning = true;
    cmdEnd->setEnabled(true);
    cmdStart->setEnabled(false);
    for (QLabel* l : lblPort0)
        l->setEnabled(true);
    for (QLabel* l : lblPort1)
        l->setEnabled(true);
    bRefreshAll = true;
}

// The port-0 indicators stay enabled; indicators, hex texts and grid keep their last contents.
void frmZELK::stopDisplay() {
    cmdEnd->setEnabled(false);
    cmdStart->setEnabled(true);
    for (QLabel* l : lblPort1)
        l->setEnabled(false);
}

// The loop tests bRunning at its top: the current pass still runs to its end.
void frmZELK::cmdEnd_Click() {
    bRunning = false;
}

void frmZELK::cmdOut_Click(int index) {
    if (!bRunning) return;
    ctlReq.toggleMask = static_cast<std::uint8_t>(1u << index);
    engine_.putCtlData(ctlReq);
}

void frmZELK::cmbRevMode_Click() {
    showPort0();
    showPort1();
}

void frmZELK::cmdCpy_Click() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(currentCellText());
}

// The editors are modal: while one is open, the polling loop pauses inside this click and the engine goes on.
// Each opening creates the editor afresh and closing it unloads it, so at most one exists and every opening
// reads the file anew.
void frmZELK::cmdVar_Click() {
    frmVarEdit editor(this);
    editor.exec();
}

void frmZELK::cmdLgMain_Click() {
    frmLgEdit editor(this);
    editor.exec();
}

// Window unload: close a run that may still be active, then end the process (a test's engine returns).
void frmZELK::closeEvent(QCloseEvent* event) {
    if (engine_.closeKaldex() == 1) reportLogFile();
    engine_.exitKaldex();
    event->accept();
}
