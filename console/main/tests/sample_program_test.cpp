// The shipped logic program samples/LogicCtl.ini: byte for byte what the console's editors write, loaded
// by the engine's loader, and run in an engine against a board model.
#include "common/ansi.h"
#include "common/ini.h"
#include "common/text_helpers.h"
#include "core/engine.h"
#include "core/loaded_program.h"
#include "detail_editors/frm_var_edit.h"
#include "engine_rigs.h"
#include "fake_platform.h"
#include "logic_editor/frm_lg_edit.h"
#include "logic_editor/grid_cells.h"
#include "program/keys.h"
#include "testing/recorded_messages.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace zelk::console::testing {
namespace {

const QString kSample = QStringLiteral(ZELK_SAMPLES_DIR "/LogicCtl.ini");

QString key(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

struct Variable {
    QString name, value, comment;
};

// The variable table as typed into the variable editor.
const std::array<Variable, 8> kVariables{{
    {QStringLiteral("経過秒数"), QStringLiteral("0"), QStringLiteral("1秒ごとに1加算")},
    {QStringLiteral("押下回数"), QStringLiteral("0"), QStringLiteral("入力ピン0を押した回数")},
}};

// One line as the block editor's grid holds it: kind and data of C0..C4, then P0..P6; groups not given
// are empty cells.
struct Cell {
    QString kind, data;
};
using Line = std::vector<Cell>;

// Input pin 0: each press toggles output pin 0 and is counted. Input pin 1 energized energizes output
// pin 1 and released releases it (OUTR only where the output differs, so the other outputs stay). Once a
// second (count 50) the seconds variable grows and a row is logged.
const std::vector<Line> kMainBlock{
    {{"NEW ", ""}, {"PIN ", "001"}, {"STS ", "STOP->ELEC  "}, {"NONE", ""}, {"OUTR", "101"}},
    {{"NEXT", ""},
     {"NONE", ""},
     {"NONE", ""},
     {"NONE", ""},
     {"CALC", "01          "},
     {"VAR ", "01          "},
     {"+   ", ""},
     {"CNST", "1"}},
    {{"NEW ", ""}, {"PIN ", "002"}, {"STS ", "ELEC        "}, {"NONE", ""}, {"NONE", ""}},
    {{"AND ", ""}, {"PIN ", "102"}, {"STS ", "STOP        "}, {"NONE", ""}, {"OUTR", "102"}},
    {{"NEW ", ""}, {"PIN ", "002"}, {"STS ", "STOP        "}, {"NONE", ""}, {"NONE", ""}},
    {{"AND ", ""}, {"PIN ", "102"}, {"STS ", "ELEC        "}, {"NONE", ""}, {"OUTR", "102"}},
    {{"NEW ", ""},
     {"SVAR", "10MS CNT    "},
     {"COMP", "=           "},
     {"CNST", "50"},
     {"CALC", "00          "},
     {"VAR ", "00          "},
     {"+   ", ""},
     {"CNST", "1"}},
    {{"NEXT", ""},
     {"NONE", ""},
     {"NONE", ""},
     {"NONE", ""},
     {"LOG ", ""},
     {"CNST", "経過秒"},
     {"VAR ", "00          "},
     {"CNST", "押下回数"},
     {"VAR ", "01          "},
     {"CNST", "出力"},
     {"SVAR", "PORT 1      "}},
};

const QString kCsvName = QStringLiteral("ZELK_LOG.csv");

// The sample typed into the editors and saved with "適用": first the variable table, then the main block
// with the log file name, each line set into the block editor's line grid as its composer sets it.
void writeAsTheEditorsDo() {
    frmVarEdit variables;
    for (int i = 0; i < frmVarEdit::kRows; ++i) {
        variables.txtVarName[i]->setText(kVariables[i].name);
        variables.txtValue[i]->setText(kVariables[i].value);
        variables.txtVarCmnt[i]->setText(kVariables[i].comment);
    }
    variables.cmdApply->click();

    frmLgEdit block;
    const int count = static_cast<int>(kMainBlock.size());
    setGridRows(block.grdLg, count + 1);
    for (int i = 0; i < count; ++i) {
        setCellText(block.grdLg, i + 1, 0, zeroPad(i, 4));
        for (int g = 0; g < static_cast<int>(kMainBlock[i].size()); ++g) {
            setCellText(block.grdLg, i + 1, 2 * g + 1, kMainBlock[i][g].kind);
            setCellText(block.grdLg, i + 1, 2 * g + 2, kMainBlock[i][g].data);
        }
    }
    block.txtCsvLog->setText(kCsvName);
    block.cmdApply->click();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

TEST(SampleProgram, IsByteForByteWhatTheEditorsWrite) {
    ProgramDirectory directory;
    recordedMessages().clear();
    writeAsTheEditorsDo();
    EXPECT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('\n').toStdString();
    const QByteArray shipped = readAll(kSample);
    EXPECT_EQ(shipped, readAll(directory.file(kLogicFile)));
    EXPECT_EQ(shipped.count("\n"), shipped.count("\r\n")) << "CRLF lines";
    EXPECT_TRUE(shipped.contains(QByteArray::fromStdString(toAnsi(QStringLiteral("経過秒数")))))
        << "code page 932 texts";
}

TEST(SampleProgram, LoadsWithFieldsOfFullWidth) {
    Program program;
    loadProgram(program, ProgramFile(kSample.toStdString()));
    EXPECT_EQ(program.variableCount, 8);
    EXPECT_STREQ(program.variables[0].name, toAnsi(QStringLiteral("経過秒数")).c_str());
    EXPECT_STREQ(program.variables[1].comment, toAnsi(QStringLiteral("入力ピン0を押した回数")).c_str());
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(program.variables[i].isLong()) << i;
        EXPECT_EQ(program.variables[i].value, 0) << i;
    }
    ASSERT_EQ(program.main.count, 8);
    EXPECT_EQ(program.init.count, 0);
    EXPECT_EQ(program.end.count, 0);
    for (int i = 0; i < program.main.count; ++i) {
        const LineRecord& line = program.main.lines[i];
        for (int g = 0; g <= static_cast<int>(Group::P6); ++g) {
            EXPECT_EQ(line.kind(static_cast<Group>(g)).size(), kKindBytes) << "line " << i << " group " << g;
            EXPECT_EQ(line.data(static_cast<Group>(g)).size(), kDataBytes) << "line " << i << " group " << g;
        }
    }
    EXPECT_EQ(program.main.lines[0].data(Group::C2), "STOP->ELEC  ");
    EXPECT_EQ(program.main.lines[7].data(Group::P2), toAnsi(QStringLiteral("押下回数    ")));

    // The stored values themselves: 90 and 126 bytes.
    const WorkFolderScope samples(QStringLiteral(ZELK_SAMPLES_DIR));
    for (int i = 0; i < program.main.count; ++i) {
        EXPECT_EQ(
            byteLength(readIni(kLogicFile, key(keys::kMainBlock), key(keys::lineKey(keys::kLineComp, i)))),
            static_cast<int>(kCompBytes));
        EXPECT_EQ(
            byteLength(readIni(kLogicFile, key(keys::kMainBlock), key(keys::lineKey(keys::kLineProc, i)))),
            static_cast<int>(kProcBytes));
    }
    EXPECT_EQ(readIni(kLogicFile, key(keys::kLogCsv), key(keys::kCsvFileName)), kCsvName);
}

class SampleRun : public ::testing::Test {
protected:
    SampleRun() {
        directory.write(kLogicFile, readAll(kSample));
        // The log file goes to the test's directory, not the process's current one.
        writeIni(kLogicFile, key(keys::kLogCsv), key(keys::kCsvFileName), directory.file(kCsvName));
        platform.cwd = directory.cwd();
        platform.backend.add("/dev/hidraw-test", &board);
    }
    ~SampleRun() override { engine->close(); }
    void start() {
        ASSERT_EQ(engine->open(), 1);
        timer = &platform.armedTimer();
        cycles(3); // the answers to the start reports
    }
    void cycles(int n) {
        for (int i = 0; i < n; ++i)
            timer->fire();
    }
    // A changed input is read in the second cycle after it.
    void press(int pin, bool energized) {
        board.setPin(pin, energized);
        cycles(2);
    }
    std::int32_t variable(int n) const { return engine->program().variables[n].value; }

    ProgramDirectory directory;
    vboard::BoardModel board;
    test::FakePlatform platform;
    std::unique_ptr<Engine> engine = std::make_unique<Engine>(platform);
    test::FakeTimer* timer = nullptr;
};

TEST_F(SampleRun, APressTogglesOutputPin0AndIsCounted) {
    start();
    EXPECT_EQ(board.port1Output(), 0x0F);
    press(0, true);
    EXPECT_EQ(board.port1Output(), 0x0E);
    cycles(10);
    EXPECT_EQ(board.port1Output(), 0x0E) << "holding the pin changes nothing";
    press(0, false);
    EXPECT_EQ(board.port1Output(), 0x0E) << "releasing it neither";
    press(0, true);
    EXPECT_EQ(board.port1Output(), 0x0F);
    EXPECT_EQ(variable(1), 2);
}

TEST_F(SampleRun, OutputPin1FollowsInputPin1AndLeavesTheOthersAlone) {
    start();
    press(0, true); // output pin 0 energized
    press(1, true);
    cycles(1);
    EXPECT_EQ(board.port1Output(), 0x0C);
    const CtlRequest toggle{0x02, {}};
    engine->putCtlData(toggle); // a manual toggle of pin 1 is corrected in the next cycle
    cycles(2);
    EXPECT_EQ(board.port1Output(), 0x0C);
    press(1, false);
    cycles(1);
    EXPECT_EQ(board.port1Output(), 0x0E);
    engine->putCtlData(CtlRequest{0x08, {}}); // pins 2 and 3 are free for the manual buttons
    cycles(2);
    EXPECT_EQ(board.port1Output(), 0x06);
}

TEST_F(SampleRun, EverySecondTheCounterGrowsAndARowIsLogged) {
    start();
    press(0, true);
    cycles(300);
    EXPECT_EQ(variable(0), 3);
    CtlData data{};
    engine->getCtlData(data);
    EXPECT_EQ(fromAnsi(data.events[0].text), "経過秒\t3\t押下回数\t1\t出力\t14");
    EXPECT_EQ(fromAnsi(data.events[2].text), "経過秒\t1\t押下回数\t1\t出力\t14");
    EXPECT_EQ(data.events[3].passageSec, -1);
    ASSERT_EQ(engine->close(), 1);
    EXPECT_EQ(readAll(directory.file(kCsvName)),
              QByteArray::fromStdString(toAnsi(QStringLiteral("経過秒\t1\t押下回数\t1\t出力\t14\r\n"
                                                              "経過秒\t2\t押下回数\t1\t出力\t14\r\n"
                                                              "経過秒\t3\t押下回数\t1\t出力\t14\r\n"))));
}

} // namespace
} // namespace zelk::console::testing
