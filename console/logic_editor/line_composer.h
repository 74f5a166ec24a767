#pragma once
// The line composer: the frame under the line grid with one list row per part of a logic line, the
// line-number box, the explanation text, the work row of the action detail and "行設定". It shows a grid
// line as readable choices and composes the choices back into the line's fixed-width fields.
#include "logic_editor/explain_line.h"

#include <QGroupBox>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zelk::console {

class LineComposer : public QGroupBox {
    Q_OBJECT
public:
    // grdLg is the block editor's line grid, which showLine reads and setLine writes.
    LineComposer(QTableWidget* grdLg, QWidget* parent);

    // Clears the nine lists and fills them with their items (variables from LogicCtl.ini).
    void fillLists();
    // Shows the line grid's current row in the lists, the line-number box, the work row and the explanation.
    void showLine();
    // Writes the lists and the work row into the grid row of the number in txtLineNo. Refuses, with a
    // message, a number that is no whole number or lies beyond the lines the engine loads (0 .. 127), and
    // typed data longer than its field.
    bool setLine();
    // The current texts of the nine lists.
    LineTexts listTexts() const;

    // "行設定": the explanation of the lists, then setLine.
    void cmdLineSet_Click();
    // The "…" buttons: 0 the object's pins, 2 the action's pins or detail.
    void cmdPinView_Click(int index);

    // The frame's controls, named as on the form.
    std::array<QLabel*, 7> Label1{}; // row captions
    QLineEdit* txtLineNo = nullptr;
    QLabel* LblExplain = nullptr;
    QComboBox* cmbNext = nullptr;
    QComboBox* cmbObj = nullptr;
    QComboBox* cmbObjData = nullptr;
    QComboBox* cmbCmp = nullptr;
    QComboBox* cmbCmpData = nullptr;
    QComboBox* cmbVal = nullptr;
    QComboBox* cmbValData = nullptr;
    QComboBox* cmbExec = nullptr;
    QComboBox* cmbExecData = nullptr;
    std::array<QPushButton*, 3> cmdPinView{};
    QPushButton* cmdLineSet = nullptr;
    QTableWidget* grdWkLG = nullptr; // the work row: kinds and data of the seven action-detail groups

private:
    void openPinEditor(QComboBox* list, int port, const QString& mode);
    void openExecDetail();

    QTableWidget* grdLg_;
};

} // namespace zelk::console
