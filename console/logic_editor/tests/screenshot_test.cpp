// A picture of the editor for review: saved next to the test program.
#include "editor_fixture.h"
#include "logic_editor/frm_lg_edit.h"
#include "logic_editor/line_composer.h"

#include <QPixmap>
#include <QTest>

namespace zelk::console::testing {
namespace {

TEST_F(EditorTest, TheFormRendersForReview) {
    writeFile(
        "[LG_CONTENTS]\r\nVARIABLE_CNT=2\r\nLG_MAIN_CNT=2\r\n[LG_VAR_DEF]\r\nVAR_NAME_00=" +
        QByteArray::fromStdString(toAnsi(QStringLiteral("カウンタ"))) + "\r\n[LG_MAIN]\r\nLG_COMP_0000=" +
        lineValue({group("NEW "), group("PIN ", "001"), group("STS ", "STOP->ELEC"), group("NONE"),
                   group("OUTR", "101")},
                  5) +
        "\r\nLG_COMP_0001=" +
        lineValue({group("NONE"), group("NONE"), group("NONE"), group("NONE"), group("CALC", "00")}, 5) +
        "\r\nLG_PROC_0001=" + lineValue({group("VAR ", "00"), group("+   "), group("CNST", "1")}, 7) +
        "\r\n[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n");
    frmLgEdit form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPixmap picture = form.grab();
    EXPECT_EQ(picture.size(), form.size());
    EXPECT_TRUE(picture.save(QStringLiteral(ZELK_SCREENSHOT)));
}

} // namespace
} // namespace zelk::console::testing
