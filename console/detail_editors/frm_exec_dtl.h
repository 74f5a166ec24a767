#pragma once
// The action-detail editor: the seven kind/data pairs of a "CALC", "LOG " or "CLIP" action, chosen from
// operand, operator and data lists. The pairs travel through the line composer's work row: read when the
// dialog is filled, written back on "ＯＫ".
#include "common/form_error.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class frmExecDtl : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDetails = 7;

    // cmbExec: the composer's action kind list; grdWkLG: its work row, one row of 14 cells (kinds in the
    // even cells, data in the odd ones).
    frmExecDtl(QComboBox* cmbExec, QTableWidget* grdWkLG, QWidget* parent = nullptr);

    // Takes the line number and fills the lists from the work row, with operators in rows 1, 3 and 5 when
    // the action is "CALC". When the variable count of LogicCtl.ini is missing or no number the filling
    // fails: fillError() holds the error and exec() reports it the way the composer reports its own
    // failures ("cmdPinView_Click-…") and returns Rejected without showing the dialog.
    void setPara(int lEditLinePara);
    const std::optional<zelk::console::FormError>& fillError() const { return fillError_; }

    int exec() override;

    // The form's controls, named as on the form.
    std::array<QLabel*, 2> Label1{}; // only element 1, "行番号", exists
    QLabel* lblLineNo = nullptr;
    std::array<QLabel*, kDetails> lblVarCnt{};
    std::array<QComboBox*, kDetails> cmbDetl{};
    std::array<QComboBox*, kDetails> cmbDetlData{};
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::optional<zelk::console::FormError> initDetail();
    QString workCell(int column) const;
    void setWorkCell(int column, const QString& text);
    void cmdOK_Click();

    QComboBox* cmbExec_;
    QTableWidget* grdWkLG_;
    std::int32_t lEditLine = 0;
    bool bCalc = false;
    std::optional<zelk::console::FormError> fillError_;
};
