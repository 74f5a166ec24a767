// Loading LogicCtl.ini into the engine's tables.
#include "core/loaded_program.h"
#include "program/codes.h"
#include "testing/program_builder.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

#include <memory>

namespace zelk {
namespace {

using test::group;

class ProgramLoad : public ::testing::Test {
protected:
    Program& load(std::string_view fileText) {
        test::writeFile(dir.file("LogicCtl.ini"), fileText);
        loadProgram(*program, ProgramFile(dir.file("LogicCtl.ini")));
        return *program;
    }
    test::TempDir dir;
    std::unique_ptr<Program> program = std::make_unique<Program>();
};

TEST_F(ProgramLoad, MissingFileOrContentsGivesEmptyTablesAndBlocks) {
    loadProgram(*program, ProgramFile(dir.file("absent.ini")));
    EXPECT_EQ(program->variableCount, 0);
    EXPECT_EQ(program->main.loadedLines(), 0);

    load("[LG_MAIN]\r\nLG_COMP_0000=" + group("NONE") + "\r\n");
    EXPECT_EQ(program->main.count, 0);
    EXPECT_EQ(program->init.count, 0);
    EXPECT_EQ(program->end.count, 0);
}

TEST_F(ProgramLoad, VariablesKeepTheirWidthsAndOnlyLongGetsAValue) {
    const std::string name40(40, 'N');
    load("[LG_CONTENTS]\r\nVARIABLE_CNT=3\r\n[LG_VAR_DEF]\r\n"
         "VAR_TYPE_00=LONG\r\nVAR_NAME_00=" +
         name40 +
         "\r\nVAR_VALUE_00=-12\r\nVAR_COMMENT_00=c\r\n"
         "VAR_TYPE_01=SHORT\r\nVAR_VALUE_01=7\r\n"
         "VAR_TYPE_02=LONGER\r\nVAR_VALUE_02=99999999999999999999\r\n"
         "VAR_TYPE_03=LONG\r\nVAR_VALUE_03=5\r\n");
    const auto& v = program->variables;
    EXPECT_EQ(std::string(v[0].name), std::string(32, 'N'));
    EXPECT_EQ(v[0].value, -12);
    EXPECT_EQ(std::string(v[0].comment), "c");
    EXPECT_EQ(v[1].value, 0) << "a type other than LONG keeps 0";
    EXPECT_EQ(std::string(v[2].type), "LONG") << "the type is its first 4 bytes";
    EXPECT_EQ(v[2].value, 2147483647) << "an overlong value is clamped";
    EXPECT_EQ(v[3].value, 0) << "variables beyond VARIABLE_CNT are not loaded";
}

TEST_F(ProgramLoad, LineFieldsAreSplitAtTheSeparators) {
    load("[LG_CONTENTS]\r\nLG_MAIN_CNT=1\r\n[LG_MAIN]\r\n"
         "LG_COMP_0000=" +
         group("NEW ") + group("PIN ", "001") + group("STS ", "STOP->ELEC") + group("NONE") +
         group("OUTR", "101") +
         "\r\n"
         "LG_PROC_0000=" +
         group("CNST", "ABC") + group("NONE") + group("NONE") + group("NONE") + group("NONE") +
         group("NONE") + group("VARM", "02") + "\r\n");
    const LineRecord& line = program->main.lines[0];
    EXPECT_EQ(line.kind(Group::C0), codes::kNew);
    EXPECT_EQ(line.data(Group::C1), "001         ");
    EXPECT_EQ(line.data(Group::C2), codes::kStopToElec);
    EXPECT_EQ(line.kind(Group::C4), codes::kOutr);
    EXPECT_EQ(line.data(Group::P0), "ABC         ");
    EXPECT_EQ(line.kind(Group::P6), codes::kVarm);
    EXPECT_EQ(line.data(Group::P6), "02          ");
}

TEST_F(ProgramLoad, ShortLinesAndMissingKeysReadAsEmptyKinds) {
    load("[LG_CONTENTS]\r\nLG_MAIN_CNT=3\r\n[LG_MAIN]\r\n"
         "LG_COMP_0000=" +
         group("NEW ") +
         "PIN ,0\r\n"
         "LG_COMP_0002=" +
         group("NONE") + group("NONE") + group("NONE") + group("NONE") + group("OUT ", "10E") + "\r\n");
    const LineRecord& shortLine = program->main.lines[0];
    EXPECT_EQ(shortLine.kind(Group::C1), codes::kPin);
    EXPECT_EQ(shortLine.dataText(Group::C1), "0");
    EXPECT_EQ(shortLine.kindText(Group::C4), "");
    EXPECT_EQ(shortLine.kindText(Group::P0), "") << "no LG_PROC_ leaves the detail groups empty";

    // A line inside the count without keys is empty, even after a program that had one there.
    EXPECT_EQ(program->main.lines[1].kindText(Group::C0), "");
    load("[LG_CONTENTS]\r\nLG_MAIN_CNT=3\r\n");
    EXPECT_EQ(program->main.lines[2].kindText(Group::C4), "");
}

TEST_F(ProgramLoad, HostileCountsAndValuesStayInsideTheTables) {
    std::string file = "[LG_CONTENTS]\r\nVARIABLE_CNT=2147483647\r\nLG_MAIN_CNT=200\r\nLG_INIT_CNT=-5\r\n"
                       "LG_END_CNT=abc\r\n[LG_MAIN]\r\nLG_COMP_0127=" +
                       std::string(100'000, 'X') + "\r\nLG_PROC_0127=" + std::string("NONE\0,x", 7) + "\r\n";
    file += "[LG_VAR_DEF]\r\nVAR_NAME_63=";
    for (int i = 0; i < 300; ++i)
        file += static_cast<char>(i);
    load(file);
    EXPECT_EQ(program->variableCount, 2147483647);
    EXPECT_EQ(program->main.loadedLines(), 128);
    EXPECT_EQ(program->init.loadedLines(), 0);
    EXPECT_EQ(program->end.count, 0);
    EXPECT_EQ(program->main.lines[127].kindText(Group::C0), "XXXX");
    EXPECT_EQ(program->main.lines[127].kind(Group::P0), "NONE");
}

TEST_F(ProgramLoad, TheFirstOfRepeatedSectionsCounts) {
    load("[LG_CONTENTS]\r\nLG_MAIN_CNT=1\r\n[LG_CONTENTS]\r\nLG_MAIN_CNT=9\r\n");
    EXPECT_EQ(program->main.count, 1);
}

} // namespace
} // namespace zelk
