// The block editor: loading and saving the main block, and the line operations add, delete and clear.
#include "editor_fixture.h"
#include "logic_editor/frm_lg_edit.h"
#include "logic_editor/line_composer.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace zelk::console::testing {
namespace {
using namespace Qt::Literals::StringLiterals;

// A file with n lines in LG_MAIN: line i acts on the output pattern i ("OUT ", "1" + two hex digits).
QByteArray fileWithLines(int n, const QByteArray& csv = "log.csv") {
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i) {
        const std::string data =
            "1" + QByteArray::number(i, 16).toUpper().rightJustified(2, '0').toStdString();
        lines.push_back(test::lineText({{"NONE"}, {"NONE"}, {"NONE"}, {"NONE"}, {"OUT ", data}}));
    }
    return QByteArray::fromStdString(
        test::ProgramBuilder().variableCount(8).lines(lines).logFile(csv.toStdString()).text());
}

// The action data of row r: the line's identity in fileWithLines.
QString action(const frmLgEdit& form, int row) {
    return cellText(form.grdLg, row, 10);
}

class BlockEditor : public EditorTest {};

TEST_F(BlockEditor, TheFormIsBuiltAsTheConsoleShowsIt) {
    frmLgEdit form;
    EXPECT_EQ(form.windowTitle(), "Varnel I/O ContorolEditor");
    EXPECT_EQ(form.lblLgName->text(), u"主処理"_s);
    EXPECT_EQ(gridCols(form.grdLg), 25);
    const QStringList header = rowTexts(form.grdLg, 0);
    EXPECT_EQ(header.mid(0, 13), QStringList({"", u"条件"_s, "", u"対象"_s, "", u"比較"_s, "", u"値"_s, "",
                                              u"処理"_s, "", u"詳細"_s, ""}));
    EXPECT_EQ(form.txtCsvLog->maxLength(), 128);
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
    }
    EXPECT_EQ(form.grdLg->editTriggers(), QAbstractItemView::NoEditTriggers) << "no typing into cells";
}

TEST_F(BlockEditor, SavingTheEmptyBlockIntoAFileWithoutItWritesOneNoneLine) {
    writeFile("[LG_CONTENTS]\r\nVARIABLE_CNT=1\r\n[LG_VAR_DEF]\r\nVAR_NAME_00=A\r\n");
    frmLgEdit form;
    ASSERT_EQ(gridRows(form.grdLg), 2);
    EXPECT_EQ(cellText(form.grdLg, 1, 0), "0000");
    form.cmdOK->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(fileBytes(),
              "[LG_CONTENTS]\r\nVARIABLE_CNT=1\r\nLG_MAIN_CNT=1\r\n"
              "[LG_VAR_DEF]\r\nVAR_NAME_00=A\r\n"
              "[LG_MAIN]\r\n"
              "LG_COMP_0000=NONE,            ,NONE,            ,NONE,            ,NONE,            ,"
              "NONE,            ,\r\n"
              "LG_PROC_0000=NONE,            ,NONE,            ,NONE,            ,NONE,            ,"
              "NONE,            ,NONE,            ,NONE,            ,\r\n"
              "[LOG_CSV]\r\nCSV_FNAME=\r\n");
}

TEST_F(BlockEditor, SavingFewerLinesLeavesTheKeysBeyondTheCount) {
    writeFile(fileWithLines(5));
    const QByteArray before = fileBytes();
    frmLgEdit form;
    form.show();
    ASSERT_EQ(gridRows(form.grdLg), 6);
    setCurrentGridRow(form.grdLg, 2);
    form.cmdDelLine->click();
    form.cmdDelLine->click();
    EXPECT_EQ(action(form, 2), "103         ");
    form.txtCsvLog->setText(u"ログ.csv"_s);
    form.cmdApply->click();
    EXPECT_TRUE(form.isVisible()) << "Apply keeps the form open";

    // Expected: count 3, lines 0000, 0003, 0004 of before in keys 0000..0002, old keys 0003 and 0004 kept.
    QByteArray expected = fileWithLines(5, QByteArray::fromStdString(toAnsi(u"ログ.csv"_s)));
    expected.replace("LG_MAIN_CNT=5", "LG_MAIN_CNT=3");
    const auto value = [&](const char* key) {
        const qsizetype at = before.indexOf(key) + 13;
        return before.mid(at, before.indexOf("\r\n", at) - at);
    };
    const QByteArray comp3 = value("LG_COMP_0003"), comp4 = value("LG_COMP_0004");
    expected.replace("LG_COMP_0001=" + value("LG_COMP_0001"), "LG_COMP_0001=" + comp3);
    expected.replace("LG_COMP_0002=" + value("LG_COMP_0002"), "LG_COMP_0002=" + comp4);
    EXPECT_EQ(fileBytes(), expected);

    frmLgEdit reopened;
    EXPECT_EQ(gridRows(reopened.grdLg), 4);
    EXPECT_EQ(action(reopened, 3), "104         ");
    EXPECT_EQ(reopened.txtCsvLog->text(), u"ログ.csv"_s);
}

TEST_F(BlockEditor, CancelAndClosingSaveNothing) {
    writeFile(fileWithLines(2));
    const QByteArray before = fileBytes();
    frmLgEdit form;
    form.cmdClrLine->click();
    form.cmdCancel->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    frmLgEdit other;
    other.show();
    other.cmdAddLine->click();
    other.close();
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(BlockEditor, LoadingTakesFieldsByBytePositionAndKeepsTheirBytes) {
    const QByteArray wide = QByteArray::fromStdString(toAnsi(u"ＡＢＣＤＥＦ"_s)); // 12 bytes
    writeFile("[LG_CONTENTS]\r\nLG_MAIN_CNT=2\r\n[LG_MAIN]\r\nLG_COMP_0000=NEW ,xx          ,CNST," + wide +
              ",\r\nLG_PROC_0000=\r\nLG_COMP_0001=AND ,\r\n");
    frmLgEdit form;
    EXPECT_EQ(rowTexts(form.grdLg, 1).mid(0, 6),
              QStringList({"0000", "NEW ", "xx          ", "CNST", u"ＡＢＣＤＥＦ"_s, ""}));
    EXPECT_EQ(rowTexts(form.grdLg, 1).mid(11), QStringList(14, QString()))
        << "an empty detail leaves cells empty";
    EXPECT_EQ(rowTexts(form.grdLg, 2).mid(0, 4), QStringList({"0001", "AND ", "", ""}));
    form.cmdOK->click();
    const QByteArray saved = fileBytes();
    EXPECT_NE(saved.indexOf("LG_COMP_0000=NEW ,xx          ,CNST," + wide + ",NONE,            ,"), -1);
    EXPECT_NE(saved.indexOf("LG_COMP_0001=AND ,            ,NONE,"), -1);
}

TEST_F(BlockEditor, ABadOrMissingCountOpensOneEmptyLine) {
    for (const QByteArray& count : {QByteArray("-3"), QByteArray("abc"), QByteArray("")}) {
        writeFile("[LG_CONTENTS]\r\nLG_MAIN_CNT=" + count + "\r\n[LG_MAIN]\r\nLG_COMP_0000=NEW ,\r\n");
        frmLgEdit form;
        EXPECT_EQ(gridRows(form.grdLg), 2) << count.toStdString();
        EXPECT_EQ(rowTexts(form.grdLg, 1), QStringList({"0000"}) + QStringList(24, QString()));
    }
}

TEST_F(BlockEditor, ACountBeyondTheEngineTableLoadsTheLinesItRuns) {
    writeFile(fileWithLines(130));
    frmLgEdit form;
    ASSERT_EQ(gridRows(form.grdLg), 129);
    EXPECT_EQ(action(form, 128), "17F         ");
    form.cmdOK->click();
    const QByteArray saved = fileBytes();
    EXPECT_NE(saved.indexOf("LG_MAIN_CNT=128\r\n"), -1);
    EXPECT_NE(saved.indexOf("LG_COMP_0129="), -1) << "the lines beyond stay in the file";
}

TEST_F(BlockEditor, AddingStopsAt64Lines) {
    writeFile(fileWithLines(63));
    frmLgEdit form;
    form.cmdAddLine->click();
    EXPECT_EQ(gridRows(form.grdLg), 65);
    EXPECT_TRUE(recordedMessages().isEmpty());
    form.cmdAddLine->click();
    EXPECT_EQ(gridRows(form.grdLg), 65);
    EXPECT_EQ(recordedMessages(), QStringList({u"これ以上行追加できません"_s}));
}

TEST_F(BlockEditor, AddingInsertsAnEmptyLineAtTheCurrentOne) {
    writeFile(fileWithLines(3));
    frmLgEdit form;
    setCurrentGridRow(form.grdLg, 3); // line 0002
    form.cmdAddLine->click();
    ASSERT_EQ(gridRows(form.grdLg), 5);
    EXPECT_EQ(rowTexts(form.grdLg, 3), QStringList({"0002"}) + QStringList(24, QString()));
    EXPECT_EQ(cellText(form.grdLg, 4, 0), "0003");
    EXPECT_EQ(action(form, 4), "102         ");
    EXPECT_EQ(currentGridRow(form.grdLg), 3) << "the new line is the current one";
    EXPECT_EQ(form.frmEdit->txtLineNo->text(), "0002") << "and the composer shows it";
    EXPECT_EQ(form.frmEdit->cmbExecData->currentText(), "");
}

TEST_F(BlockEditor, DeletingLineZeroMovesTheOthersUp) {
    writeFile(fileWithLines(3));
    frmLgEdit form;
    setCurrentGridRow(form.grdLg, 1);
    form.cmdDelLine->click();
    ASSERT_EQ(gridRows(form.grdLg), 3);
    EXPECT_EQ(cellText(form.grdLg, 1, 0), "0000");
    EXPECT_EQ(cellText(form.grdLg, 2, 0), "0001");
    EXPECT_EQ(action(form, 1), "101         ");
    EXPECT_EQ(action(form, 2), "102         ");
    // The composer shows the line now numbered 0000, so "行設定" writes what the user sees.
    EXPECT_EQ(form.frmEdit->txtLineNo->text(), "0000");
    EXPECT_EQ(form.frmEdit->cmbExecData->currentText(), "101");
    form.frmEdit->cmdLineSet->click();
    EXPECT_EQ(action(form, 1), "101         ");

    setCurrentGridRow(form.grdLg, 2); // the last line: the current row stays on a line
    form.cmdDelLine->click();
    EXPECT_EQ(gridRows(form.grdLg), 2);
    EXPECT_EQ(currentGridRow(form.grdLg), 1);
}

TEST_F(BlockEditor, TheLastLineCannotBeDeleted) {
    writeFile(fileWithLines(1));
    frmLgEdit form;
    form.cmdDelLine->click();
    EXPECT_EQ(gridRows(form.grdLg), 2);
    EXPECT_EQ(action(form, 1), "100         ");
    EXPECT_EQ(recordedMessages(), QStringList({u"削除できません"_s}));
}

TEST_F(BlockEditor, ClearingEmptiesTheLineAndItSavesAsNone) {
    writeFile(fileWithLines(2));
    frmLgEdit form;
    setCurrentGridRow(form.grdLg, 2);
    form.cmdClrLine->click();
    EXPECT_EQ(rowTexts(form.grdLg, 2), QStringList({"0001"}) + QStringList(24, QString()));
    form.cmdOK->click();
    EXPECT_NE(
        fileBytes().indexOf("LG_COMP_0001=" + lineValue({}, 5) + "\r\nLG_PROC_0001=" + lineValue({}, 7)), -1);
}

TEST_F(BlockEditor, EnterOrAClickShowsTheLineAndEscClosesNothing) {
    writeFile(fileWithLines(3));
    frmLgEdit form;
    form.show();
    EXPECT_EQ(form.focusWidget(), form.grdLg) << "the grid has the focus when the form opens";
    QTest::keyClick(form.grdLg, Qt::Key_Down);
    EXPECT_EQ(currentGridRow(form.grdLg), 2);
    form.frmEdit->cmbExecData->setEditText("1FF");
    QTest::keyClick(form.grdLg, Qt::Key_Return);
    EXPECT_EQ(form.frmEdit->txtLineNo->text(), "0001");
    EXPECT_EQ(form.frmEdit->cmbExecData->currentText(), "101") << "Enter shows the line afresh";

    const QRect cell = form.grdLg->visualItemRect(form.grdLg->item(2, 3));
    QTest::mouseClick(form.grdLg->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(form.frmEdit->txtLineNo->text(), "0002");

    QTest::keyClick(&form, Qt::Key_Escape);
    QTest::keyClick(form.frmEdit->txtLineNo, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(fileBytes(), fileWithLines(3)) << "no button was pressed";
}

// The arrow keys and Ctrl+Home/End move the current line; the composer follows, so the buttons act on the
// line seen.
TEST_F(BlockEditor, TheComposerFollowsTheLineMovedToByKeysAndItsButtonsActOnIt) {
    writeFile(fileWithLines(4));
    frmLgEdit form;
    form.show();
    const LineComposer& c = *form.frmEdit;
    QTest::keyClick(form.grdLg, Qt::Key_Down);
    QTest::keyClick(form.grdLg, Qt::Key_Down);
    EXPECT_EQ(c.txtLineNo->text(), "0002");
    EXPECT_EQ(c.cmbExecData->currentText(), "102");
    QTest::keyClick(form.grdLg, Qt::Key_Up);
    EXPECT_EQ(c.txtLineNo->text(), "0001");
    QTest::keyClick(form.grdLg, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(c.txtLineNo->text(), "0003") << "Ctrl+End goes to the last line";

    // "行設定" writes the line seen, not the one last clicked.
    QTest::keyClick(form.grdLg, Qt::Key_Up);
    c.cmbExecData->setEditText("10F");
    c.cmdLineSet->click();
    EXPECT_EQ(action(form, 3), "10F         ");
    EXPECT_EQ(action(form, 1), "100         ");

    // "行削除" deletes the line seen, and the composer then shows the line that took its place.
    QTest::keyClick(form.grdLg, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(c.txtLineNo->text(), "0000");
    form.cmdDelLine->click();
    EXPECT_EQ(action(form, 1), "101         ");
    EXPECT_EQ(c.txtLineNo->text(), "0000");
    EXPECT_EQ(c.cmbExecData->currentText(), "101");
    EXPECT_TRUE(recordedMessages().isEmpty());
}

TEST_F(BlockEditor, TabWalksTheControlsInFormOrderAndTypingInTheGridMovesNoLine) {
    writeFile(fileWithLines(3));
    frmLgEdit form;
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const LineComposer& c = *form.frmEdit;
    const QList<QWidget*> expected{
        form.grdLg,      c.txtLineNo,     c.cmbNext,       c.cmbObj,       c.cmbObjData,   c.cmdPinView[0],
        c.cmbCmp,        c.cmbCmpData,    c.cmbVal,        c.cmbValData,   c.cmbExec,      c.cmbExecData,
        c.cmdPinView[2], c.grdWkLG,       c.cmdLineSet,    form.cmdOK,     form.cmdCancel, form.cmdApply,
        form.cmdAddLine, form.cmdClrLine, form.cmdDelLine, form.txtCsvLog, form.grdLg};
    QList<QWidget*> walked{QApplication::focusWidget()};
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget();
    }
    EXPECT_EQ(walked, expected) << "Tab leaves the grids instead of walking their cells";
    EXPECT_EQ(currentGridRow(form.grdLg), 1);

    // A typed character neither edits nor searches the grid: the current line stays where it is.
    form.grdLg->setCurrentCell(0, 9); // line 0000, action data "100"
    QTest::keyClicks(form.grdLg, "1");
    EXPECT_EQ(currentGridRow(form.grdLg), 1);
    EXPECT_EQ(action(form, 1), "100         ");
}

TEST_F(BlockEditor, ALongLogFileNameFromTheFileIsSavedWhole) {
    const QByteArray name = "/var/log/" + QByteArray(200, 'a') + ".csv";
    writeFile(fileWithLines(1, name));
    frmLgEdit form;
    EXPECT_EQ(form.txtCsvLog->text().toLatin1(), name);
    form.cmdOK->click();
    EXPECT_NE(fileBytes().indexOf("CSV_FNAME=" + name + "\r\n"), -1);
}

TEST_F(BlockEditor, ALogFileNameWithACharacterWithoutACodePage932FormIsRefused) {
    writeFile(fileWithLines(1));
    frmLgEdit form;
    form.show();
    form.txtCsvLog->setText(u"ログ€.csv"_s);
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(),
              QStringList{u"CSV LOGのファイル名にShift-JISで保存できない文字があります(€)"_s});
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(fileBytes(), fileWithLines(1)) << "nothing is written";
}

TEST_F(BlockEditor, AFailedSaveIsReportedAndKeepsTheFormOpen) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(kLogicFile)); // a folder in the file's place: no write can succeed
    frmLgEdit form;
    form.show();
    form.txtCsvLog->setText("run.csv");
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(),
              QStringList{QDir::toNativeSeparators(path()) + u" に保存できませんでした"_s});
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.txtCsvLog->text(), "run.csv");
}

// ASCII text as UTF-16 (little-endian, with its byte order mark), as a Windows editor saves "Unicode".
QByteArray asUtf16(const QByteArray& ascii) {
    QByteArray bytes("\xFF\xFE");
    for (const char c : ascii)
        bytes.append(c).append('\0');
    return bytes;
}

// Such a program reads as empty, or without its first section: the editor says so rather than show it as an
// empty block, and does not save into it (a mix of two encodings, or line 0000 and the count overwritten).
TEST_F(BlockEditor, AFileThatIsNotCodePage932TextIsNamedAndNotSavedInto) {
    const QByteArray program = fileWithLines(3);
    for (const QByteArray& bytes : {asUtf16(program), "\xEF\xBB\xBF" + program}) {
        writeFile(bytes);
        recordedMessages().clear();
        frmLgEdit form;
        form.show();
        ASSERT_EQ(recordedMessages().size(), 1) << "named at opening";
        EXPECT_TRUE(recordedMessages().front().startsWith(QDir::toNativeSeparators(path())));
        form.cmdOK->click();
        EXPECT_EQ(recordedMessages().size(), 2) << "and at the save";
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(fileBytes(), bytes) << "nothing is written";
    }
    writeFile(program);
    recordedMessages().clear();
    frmLgEdit form;
    EXPECT_TRUE(recordedMessages().isEmpty()) << "code page 932 text opens without a word";
}

TEST_F(BlockEditor, TheFormOpensAtItsOpenersTopLeft) {
    QWidget opener;
    opener.move(200, 150);
    frmLgEdit form(&opener);
    EXPECT_EQ(form.pos(), opener.pos());
}

} // namespace
} // namespace zelk::console::testing
