// Draws the three detail dialogs with sample contents into PNG files of the given directory, to check
// their layout and their Japanese texts by eye.
#include "common/ansi.h"
#include "common/ini.h"
#include "detail_editors/frm_exec_dtl.h"
#include "detail_editors/frm_pin_edit.h"
#include "detail_editors/frm_var_edit.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool save(QWidget& form, const QString& file) {
    form.show();
    QApplication::processEvents();
    const bool saved = form.grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir programDir;
    QDir::setCurrent(programDir.path()); // the work folder
    QFile ini(programDir.filePath(zelk::console::kLogicFile));
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write(QByteArray::fromStdString(zelk::console::toAnsi(
        "[LG_CONTENTS]\r\nVARIABLE_CNT=8\r\n[LG_VAR_DEF]\r\nVAR_NAME_00=カウンタ\r\nVAR_VALUE_00=0\r\n"
        "VAR_COMMENT_00=押下回数\r\nVAR_NAME_01=TOTAL\r\nVAR_VALUE_01=100\r\nVAR_COMMENT_01=合計値(1/"
        "100)\r\n")));
    ini.close();

    bool ok = true;
    frmVarEdit varEdit;
    ok = save(varEdit, out.filePath("frmVarEdit.png")) && ok;

    frmPinEdit pinEdit;
    pinEdit.setPara("0A5", -1, QStringLiteral("ピン選択"));
    ok = save(pinEdit, out.filePath("frmPinEdit.png")) && ok;
    frmPinEdit outputEdit;
    outputEdit.setPara("10E", 1, QStringLiteral("出力"));
    ok = save(outputEdit, out.filePath("frmPinEdit_output.png")) && ok;

    QComboBox cmbExec;
    cmbExec.addItem(QStringLiteral("CALC:計算"));
    QTableWidget grdWkLG(1, 14);
    const QStringList cells{"VAR ", "00          ", "+   ", "PORT 0      ", "CNST", "100         "};
    for (int c = 0; c < cells.size(); ++c)
        grdWkLG.setItem(0, c, new QTableWidgetItem(cells[c]));
    frmExecDtl execDtl(&cmbExec, &grdWkLG);
    execDtl.setPara(12);
    ok = save(execDtl, out.filePath("frmExecDtl.png")) && ok;
    return ok ? 0 : 1;
}
