#pragma once
// The logic block editor: edits the main block of LogicCtl.ini line by line. The line grid shows every
// line of the block; the composer below it shows one line as readable choices and sets it back into the
// grid; "ＯＫ" and "適用" write the whole block. Opened modally by the main window from "主処理".
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zelk::console {
class LineComposer;
}

class frmLgEdit : public QDialog {
    Q_OBJECT
public:
    // The most lines "行追加" makes; setting a line by number reaches further (the composer's limit).
    static constexpr int kMaxAddedLines = 64;

    explicit frmLgEdit(QWidget* parent = nullptr);

    // The form's controls, named as on the form.
    QLabel* lblLgName = nullptr;
    QPushButton* cmdAddLine = nullptr;
    QPushButton* cmdClrLine = nullptr;
    QPushButton* cmdDelLine = nullptr;
    QTableWidget* grdLg = nullptr; // row 0 the header row, column 0 the line numbers; row r holds line r - 1
    zelk::console::LineComposer* frmEdit = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtCsvLog = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;

protected:
    // Enter in the line grid shows its current line (as moving to another line does); typed characters do
    // nothing there.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // No button is a default or cancel button: Enter and Esc press none.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void arrangeTabOrder();
    void formLoad();
    void setUpLineGrid();
    void setUpWorkRow();

    void grdLg_Click();
    void cmdAddLine_Click();
    void cmdDelLine_Click();
    void cmdClrLine_Click();
    void cmdOK_Click();
    void cmdApply_Click();

    void renumberLines();
    void deleteLine();
    bool saveMainBlock();
};
