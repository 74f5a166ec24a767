#pragma once
// The pin editor: composes a pin code (port digit and two upper-case hexadecimal digits) on a picture of
// the board's connector, one toggle button and one mark per pin. Opened modally by the line composer for
// the pins a condition tests, a port value, or the pattern of an output action.
#include "common/form_error.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class frmPinEdit : public QDialog {
    Q_OBJECT
public:
    explicit frmPinEdit(QWidget* parent = nullptr);

    // Takes the caller's current code, the port (0 or 1 fixed, -1 from the code's first character, the
    // user may then switch ports) and the mode ("ピン選択", "ポート値" or "出力"). Returns the error when the
    // code names no port of the board or its characters 2 and 3 are neither hexadecimal digits nor blanks;
    // the dialog is then left as it was, except that no edit counts.
    std::optional<zelk::console::FormError> setPara(const QString& strData, int iSpecifyPortPara,
                                                    const QString& strEditModePara);
    // The composed code when the dialog was closed with "ＯＫ", otherwise strData unchanged.
    QString retPinCode(const QString& strData) const;

    // The form's controls, named as on the form.
    QPlainTextEdit* txtExplain = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QLabel*, 2> Label2{}; // "GND", "VCC"
    std::array<QLabel*, 4> Label1{}; // the connector's fixed marks
    std::array<QGroupBox*, 2> Frame2{};
    std::array<QPushButton*, 8> cmdPort0{};
    std::array<QLabel*, 8> lblPort0{};
    std::array<QPushButton*, 4> cmdPort1{};
    std::array<QLabel*, 4> lblPort1{};
    std::array<QRadioButton*, 2> OptPort{};
    QLabel* Label3 = nullptr;
    QLineEdit* txtPortHex = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildConnector();
    void cmdPort0_Click(int index);
    void cmdPort1_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();
    void dispPinState(bool reenable);
    void setCtlEnabled(const QString& prefix, bool enabled);

    QString strEditMode;
    bool bOK = false;
    std::array<std::uint8_t, 2> bytPort{}; // the patterns of Port 0 and Port 1, both kept while switching
};
