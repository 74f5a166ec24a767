// A line composed in the editor, saved with "ＯＫ", loaded by the engine and run against the board model:
// pressing input pin 0 toggles output pin 0.
#include "core/engine.h"
#include "core/loaded_program.h"
#include "detail_editors/frm_pin_edit.h"
#include "editor_fixture.h"
#include "fake_platform.h"
#include "logic_editor/frm_lg_edit.h"
#include "logic_editor/line_composer.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zelk::console::testing {
namespace {

// Answers the next pin editor: press presses pin buttons, then "ＯＫ" closes it.
void answerPinEditor(std::function<void(frmPinEdit&)> press) {
    whenModal([press = std::move(press)](QWidget* modal) {
        auto* editor = qobject_cast<frmPinEdit*>(modal);
        ASSERT_NE(editor, nullptr);
        press(*editor);
        editor->cmdOK->click();
    });
}

class RoundTrip : public EditorTest {};

TEST_F(RoundTrip, AComposedPinEdgeLineTogglesTheOutputInTheEngine) {
    {
        frmLgEdit form;
        LineComposer& c = *form.frmEdit;
        ASSERT_EQ(c.txtLineNo->text(), "0000");
        c.cmbNext->setCurrentIndex(1); // NEW
        c.cmbObj->setCurrentIndex(1);  // PIN
        answerPinEditor([](frmPinEdit& e) { e.cmdPort0[0]->click(); });
        c.cmdPinView[0]->click();
        ASSERT_EQ(c.cmbObjData->currentText(), "001");
        c.cmbCmp->setCurrentIndex(1);     // STS
        c.cmbCmpData->setCurrentIndex(2); // STOP->ELEC
        c.cmbExec->setCurrentIndex(2);    // OUTR
        answerPinEditor([](frmPinEdit& e) { e.cmdPort1[0]->click(); });
        c.cmdPinView[2]->click();
        ASSERT_EQ(c.cmbExecData->currentText(), "101");
        c.cmdLineSet->click();
        EXPECT_EQ(c.LblExplain->text(),
                  QStringLiteral(" ポート0 ピン01 電断->通電  [処理] ポート1 ピン01 反転出力"));
        form.cmdOK->click();
    }
    ASSERT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('|').toStdString();

    Program program;
    loadProgram(program, ProgramFile(path().toStdString()));
    ASSERT_EQ(program.main.count, 1);
    const LineRecord& line = program.main.lines[0];
    EXPECT_EQ(line.kind(kConnective), "NEW ");
    EXPECT_EQ(line.data(kObject), "001         ");
    EXPECT_EQ(line.data(kComparison), "STOP->ELEC  ");
    EXPECT_EQ(line.kind(kAction), "OUTR");
    EXPECT_EQ(line.data(kAction), "101         ");

    vboard::BoardModel board;
    test::FakePlatform platform;
    platform.cwd = dir.path().toStdString();
    platform.backend.add("/dev/board0", &board);
    Engine engine(platform);
    ASSERT_EQ(engine.open(), 1);
    test::FakeTimer& timer = platform.armedTimer();
    const auto cycles = [&](int n) {
        for (int i = 0; i < n; ++i)
            timer.fire();
    };
    cycles(3);
    const std::uint8_t before = board.port1Output();
    board.setPin(0, true);
    cycles(5);
    EXPECT_EQ(board.port1Output(), before ^ 0x01);
    board.setPin(0, false);
    cycles(5);
    EXPECT_EQ(board.port1Output(), before ^ 0x01) << "releasing the input changes nothing";
    board.setPin(0, true);
    cycles(5);
    EXPECT_EQ(board.port1Output(), before);
    engine.close();
}

} // namespace
} // namespace zelk::console::testing
