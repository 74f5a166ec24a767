#pragma once
// The console's main window: starts and stops control runs, polls the engine's status record while a run
// lasts and shows the ports, the run state, the start date and time, the elapsed seconds and the event log;
// toggles port-1 outputs by hand and copies a monitor cell to the clipboard.
#include "ZELK_Eng.h"
#include "main/engine_api.h"

#include <QWidget>

#include <array>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class frmZELK : public QWidget {
    Q_OBJECT
public:
    // The polling loop's pause between two copies of the status record.
    static constexpr int kPollSleepMs = 5;
    // Monitor grid: row 0 is its fixed header row, rows 1..4 hold the run's values, rows 5..14 the event
    // log, row 15 stays empty.
    static constexpr int kGridRows = 16;
    static constexpr int kFirstEventRow = 5;

    // The window over the engine bound by name; tests pass an engine of their own.
    explicit frmZELK(QWidget* parent = nullptr);
    explicit frmZELK(zelk::console::EngineApi& engine, QWidget* parent = nullptr);

    // Controls, named as on the form. Control arrays share the array's name; Label2 has no element 3.
    QPushButton* cmdVar = nullptr;      // "変数設定"
    QPushButton* cmdLgInit = nullptr;   // "初期処理", always disabled
    QPushButton* cmdLgMain = nullptr;   // "主処理"
    QPushButton* cmdLgEnd = nullptr;    // "後処理", always disabled
    QPushButton* Command4 = nullptr;    // "画面設定", always disabled
    QGroupBox* Frame1 = nullptr;        // "KALDEX": the port display
    std::array<QGroupBox*, 2> Frame2{}; // "Port0", "Port1"
    std::array<QLabel*, 11> Label2{};   // "GND", "VCC" and the port-0 pin numbers
    std::array<QLabel*, 4> Label1{};    // decoration marks beside GND and VCC
    std::array<QLabel*, 2> Label3{};    // "入力(hex)", "出力(hex)"
    QComboBox* cmbRevMode = nullptr;    // display mode: "反転値", "制御値"
    std::array<QLineEdit*, 2> txtPortHex{};
    std::array<QLabel*, 8> lblPort0{};    // port-0 indicators
    std::array<QLabel*, 4> lblPort1{};    // port-1 indicators
    std::array<QPushButton*, 4> cmdOut{}; // port-1 output buttons
    QTableWidget* grdCtlData = nullptr;   // monitor grid; its fixed header row 0 is the table's header
    QPushButton* cmdStart = nullptr;      // "制御開始"
    QPushButton* cmdEnd = nullptr;        // "制御終了"
    QPushButton* cmdCpy = nullptr;        // "値コピー(&C)"
    QGroupBox* Frame4 = nullptr;          // "手動制御", below the visible client area
    std::array<QPushButton*, 6> cmdMnCtl{};

    // Window state.
    bool bRunning = false;    // the polling loop runs
    CtlData curData{};        // the status record as last copied from the engine
    CtlData oldData{};        // curData as it was at the end of the previous poll
    CtlRequest ctlReq{};      // the manual output request; only toggleMask is set
    bool bRefreshAll = false; // the next poll redraws everything

    // Prepares the window: state, indicators, position, display mode, monitor grid, idle ports. Runs at
    // window load and at every successful start; an error ends it with a message, keeping what was done.
    void initAll();
    // One pass of the polling loop: pending window events, the pause, a copy of the status record, the
    // redraw, and the end of the loop when the engine reports its run closed.
    void pollPass();
    // Redraws what changed since the previous poll; the grid only every 250 ms of engine time.
    void refreshMonitor();
    void showPort0();
    void showPort1();

    // The monitor grid addressed as the window addresses it: row 0 is the fixed header row (the table's
    // header, which stays in view while the rows scroll), row r the table's row r - 1.
    // Rows including the header row; 0 while the grid is not built.
    int gridRows() const;
    // The text of a cell; "" for a cell never written or outside the grid.
    QString gridText(int row, int column) const;
    // Writes a cell; a cell outside the grid (not built) is left alone.
    void setGridText(int row, int column, const QString& text);
    // The text of the grid's current cell: the one the user last selected, row 0 column 1 after initAll.
    QString currentCellText() const;

    // The pause of the polling loop (milliseconds); tests replace it.
    using SleepFunction = std::function<void(int milliseconds)>;
    void setSleepFunction(SleepFunction sleep) { sleep_ = std::move(sleep); }

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void cmdStart_Click();
    void cmdEnd_Click();
    void cmdOut_Click(int index);
    void cmbRevMode_Click();
    void cmdCpy_Click();
    void cmdVar_Click();
    void cmdLgMain_Click();

private:
    void buildForm();
    void buildPortDisplay();
    void startDisplay();
    void stopDisplay();
    void reportLogFile();
    void initGrid();
    bool showsInverted() const;
    // The item of a grid cell (row 0: the header's), nullptr for a cell never written or outside the grid.
    QTableWidgetItem* gridItem(int row, int column) const;

    zelk::console::EngineApi& engine_;
    SleepFunction sleep_;
    bool logFileReported_ = false; // the run's log file failure was shown
};
