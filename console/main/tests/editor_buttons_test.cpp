// The main window opens the variable editor and the logic editor modally.
#include "detail_editors/frm_var_edit.h"
#include "engine_rigs.h"
#include "logic_editor/frm_lg_edit.h"
#include "main/frm_zelk.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace zelk::console::testing {
namespace {

// Clicks button and reports the class of the modal dialog that opened, closing it again.
QString modalOpenedBy(QPushButton* button) {
    QString opened;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = QString::fromLatin1(modal->metaObject()->className());
            modal->close();
        }
    });
    button->click();
    return opened;
}

TEST(EditorButtons, OpenTheVariableAndTheLogicEditor) {
    ProgramDirectory directory;
    directory.write(QStringLiteral("ZELK_SCR.ini"), screenSettings("0"));
    ManualRig rig{directory, false};
    frmZELK form(rig);
    EXPECT_EQ(modalOpenedBy(form.cmdVar), QStringLiteral("frmVarEdit"));
    EXPECT_EQ(modalOpenedBy(form.cmdLgMain), QStringLiteral("frmLgEdit"));
}

} // namespace
} // namespace zelk::console::testing
