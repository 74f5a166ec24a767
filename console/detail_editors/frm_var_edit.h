#pragma once
// The variable editor: names, initial values and comments of the logic program's eight user variables,
// stored in LogicCtl.ini. A modal dialog opened from the main window.
#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

class frmVarEdit : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRows = 8;

    explicit frmVarEdit(QWidget* parent = nullptr);

    // The form's controls, named as on the form.
    QLabel* Label4 = nullptr; // "変数番号"
    QLabel* Label1 = nullptr; // "変数名"
    QLabel* Label2 = nullptr; // "初期値"
    QLabel* Label3 = nullptr; // "コメント"
    std::array<QLabel*, kRows> lblVarCnt{};
    std::array<QLineEdit*, kRows> txtVarName{};
    std::array<QLineEdit*, kRows> txtValue{};
    std::array<QLineEdit*, kRows> txtVarCmnt{};
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void formLoad();
    void loadVarDef();
    bool chkVarDef();
    bool saveVarDef();
    void cmdOK_Click();
    void cmdApply_Click();
};
