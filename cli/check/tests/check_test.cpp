// zelkctl check on the shipped sample and on small programs with one kind of fault each.
#include "cli/check/check_report.h"
#include "testing/child_process.h"
#include "testing/program_builder.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zelk::check {
namespace {

// The fields of a line: connective, then kind and data of object, comparison, value and action; then the
// details' kinds and data. A kind left empty or out is "NONE" with blank data.
struct Line {
    std::vector<std::string> comp;
    std::vector<std::string> proc = {};

    std::string text() const {
        std::vector<test::G> groups;
        std::vector<std::string> fields = comp;
        fields.resize(std::max<std::size_t>(fields.size(), 1));
        fields.insert(fields.begin() + 1, ""); // the connective's data
        fields.resize(2 * kCompGroups);
        fields.insert(fields.end(), proc.begin(), proc.end());
        const auto kind = [&](std::size_t i) -> std::string_view {
            return fields[i].empty() ? std::string_view("NONE") : std::string_view(fields[i]);
        };
        for (std::size_t i = 0; i < fields.size(); i += 2)
            groups.push_back({kind(i), i + 1 < fields.size() ? std::string_view(fields[i + 1]) : ""});
        return test::lineText(groups);
    }
};

// The first 90 bytes of a line, as LG_COMP holds them, and its detail groups left empty, as LG_PROC.
std::string compText(const Line& line) {
    return line.text().substr(0, kCompBytes);
}
const std::string kEmptyProc = test::lineText({}).substr(kCompBytes);

class Check : public ::testing::Test {
protected:
    // Writes LogicCtl.ini: variables 00 (LONG, "A", 5) and 01 (type "long"), and up to variables - 1 more of
    // type LONG without a value, the main block, the log name and any further text.
    void program(const std::vector<Line>& lines,
                 const std::string& more = "[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n", int variables = 2) {
        test::ProgramBuilder builder;
        builder.variableCount(variables)
            .variable(keys::kVarType, 0, "LONG")
            .variable(keys::kVarName, 0, "A")
            .variable(keys::kVarValue, 0, "5")
            .variable(keys::kVarType, 1, "long");
        for (int n = 2; n < variables; ++n)
            builder.variable(keys::kVarType, n, "LONG");
        std::vector<std::string> texts;
        for (const Line& line : lines)
            texts.push_back(line.text());
        write(builder.lines(texts).text() + more);
    }
    void write(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

    int run(bool json = false, const std::string& path = {}) {
        out.str({});
        err.str({});
        return runCheckCommand(path.empty() ? file : path, json, out, err);
    }
    // The findings printed, without the file's name in front.
    std::vector<std::string> findings() {
        run();
        std::vector<std::string> found;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)
            if (line.find(": warning: ") != std::string::npos) found.push_back(line.substr(file.size() + 1));
        return found;
    }
    // Each finding begins as expected, in order.
    void expectFindings(const std::vector<std::string>& expected) {
        const std::vector<std::string> found = findings();
        ASSERT_EQ(found.size(), expected.size()) << out.str();
        for (std::size_t i = 0; i < found.size(); ++i)
            EXPECT_TRUE(found[i].starts_with(expected[i])) << found[i] << "\nexpected: " << expected[i];
    }

    test::TempDir dir;
    std::string file = dir.file("LogicCtl.ini");
    std::ostringstream out, err;
};

const Line kToggle{{"NEW ", "PIN ", "001", "STS ", "STOP->ELEC", "NONE", "", "OUTR", "101"}, {}};

TEST_F(Check, TheSampleHasNoFindingsAndEveryLineReadsAsTheEditorExplainsIt) {
    EXPECT_EQ(run(false, ZELK_SAMPLE_PROGRAM), kNoFindings) << out.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("[LG_MAIN] 8 lines\n0000  ポート0 ピン01 電断->通電  [処理] ポート1 ピン01 反転出力\n"
                        "0001 　･･･    [処理] 計算\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("0006  ミリ秒カウンタ = 50 [処理] 計算\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with(std::string(ZELK_SAMPLE_PROGRAM) + ": no findings\n"));
}

TEST_F(Check, CodesTheEngineDoesNotKnowAreReportedPerGroup) {
    program({{{"XOR ", "PIN ", "001", "STS ", "ELEC"}},
             {{"NEW ", "CNST", "5", "COMP", "=", "CNST", "5"}},
             {{"NEW ", "VAR ", "00", "CMP ", "="}},
             {{"NEW ", "VAR ", "00", "COMP", "=>", "CNST", "1"}},
             {{"NEW ", "PIN ", "001", "STS ", "ON"}},
             {{"NEW ", "VAR ", "00", "COMP", "=", "NUM ", "1", "OUTX", "101"}},
             {{"NONE", "", "", "", "", "", "", "CALC", "00"}, {"CNST", "1", "*   ", "", "CNST", "2"}},
             {{"NONE", "", "", "", "", "", "", "CALC", "00"}, {"CNST", "1", "+   ", "", "NUM ", "2"}},
             {{"NONE", "", "", "", "", "", "", "LOG "}, {"CNST", "x", "OUT ", "1"}}});
    expectFindings({
        "LG_MAIN:0000: warning: connective: \"XOR \" is not a connective",
        "LG_MAIN:0001: warning: object: \"CNST\" is not an object kind: it reads as 0",
        "LG_MAIN:0002: warning: comparison: \"CMP \" is not a comparison kind",
        "LG_MAIN:0003: warning: comparison: \"=>          \" is not a comparison",
        "LG_MAIN:0004: warning: comparison: \"ON          \" is not a pin state",
        "LG_MAIN:0005: warning: value: \"NUM \" is not a value kind: it reads as 0",
        "LG_MAIN:0005: warning: action: \"OUTX\" is not an action: the line does nothing",
        "LG_MAIN:0006: warning: P1: \"*   \" is not an operator",
        "LG_MAIN:0007: warning: P2: \"NUM \" is not an operand kind: it reads as 0",
        "LG_MAIN:0008: warning: P1: \"OUT \" is not a row item kind: no item is written",
    });
}

TEST_F(Check, OperandsThatReadAsZeroAreReported) {
    program({{{"NEW ", "VAR ", "01", "COMP", "=", "NONE"}},
             {{"NEW ", "VAR ", "05", "COMP", ">", "VAR ", "64"}},
             {{"NEW ", "SVAR", "PORT 2", "COMP", "<", "CNST", "1.5"}},
             {{"NONE", "", "", "", "", "", "", "CALC", "01"}, {"VARM", "00", "x   ", "", "NONE"}},
             {{"NONE", "", "", "", "", "", "", "CLIP"}, {"VAR ", "AB"}}});
    expectFindings({
        "LG_MAIN:0000: warning: object: variable 01 is of type \"long\", not \"LONG\": it reads as 0",
        "LG_MAIN:0000: warning: value: \"NONE\" under \"COMP\" reads as 0",
        "LG_MAIN:0001: warning: object: variable 05 is not defined (VARIABLE_CNT is 2): it reads as 0",
        "LG_MAIN:0001: warning: value: variable 64 is outside the engine's variables 00 to 63: it reads as 0",
        "LG_MAIN:0002: warning: object: \"PORT 2      \" is not a system variable: it reads as 0",
        "LG_MAIN:0002: warning: value: \"1.5         \" is not a 32-bit whole number: it reads as 1",
        "LG_MAIN:0003: warning: CALC target: variable 01 is of type \"long\", not \"LONG\": the line does "
        "nothing",
        "LG_MAIN:0003: warning: P0: \"VARM\" is for rows of LOG and CLIP: in a calculation it reads as 0",
        "LG_MAIN:0003: warning: P2: the operator \"x   \" has no operand: it takes 0",
        "LG_MAIN:0004: warning: P0: \"AB          \" is not a variable number: it names variable 00",
    });
}

TEST_F(Check, PinStateTestsAndPinCodesTheEngineCannotUse) {
    program({{{"NEW ", "VAR ", "00", "STS ", "ELEC"}},
             {{"NEW ", "PIN ", "201", "STS ", "ELEC", "", "", "OUT ", "1G1"}},
             {{"NEW ", "PIN ", "2FF", "COMP", "=", "PIN ", "0x1"}},
             {{"NEW ", "PIN ", "101", "STS ", "CHANGE"}},
             {{"NEW ", "PIN ", "101", "STS ", "ELEC"}},
             {{"NEW ", "PIN ", "000", "STS ", "ELEC"}},
             {{"NEW ", "PIN ", "100", "STS ", "STOP->ELEC"}},
             {{"NONE", "", "", "", "", "", "", "OUTR", "00E"}}});
    expectFindings({
        "LG_MAIN:0000: warning: pin-state test on an object of kind \"VAR \", not a pin: the condition is "
        "never true",
        "LG_MAIN:0001: warning: object: pin code \"201         \" names port 2; the engine has ports 0 and "
        "1: "
        "the condition is never true",
        "LG_MAIN:0001: warning: action: \"1G1         \" is not a pin code (a port digit and two hexadecimal "
        "digits): its pattern reads as 0x00",
        "LG_MAIN:0002: warning: object: pin code \"2FF         \" names port 2; the engine has ports 0 and "
        "1: it "
        "reads as 0",
        "LG_MAIN:0002: warning: value: \"0x1         \" is not a pin code (a port digit and two hexadecimal "
        "digits): "
        "its pattern reads as 0x00",
        "LG_MAIN:0003: warning: comparison: \"CHANGE      \" on a port-1 pin is never true: while the block "
        "runs, port 1's newest and previous values are both the last cycle's output",
        "LG_MAIN:0005: warning: object: pin code \"000         \" selects no pin: \"ELEC\" is always true",
        "LG_MAIN:0006: warning: comparison: \"STOP->ELEC  \" on a port-1 pin is never true",
        "LG_MAIN:0007: warning: action: pin code \"00E         \" names port 0, but \"OUTR\" always sets "
        "port 1",
    });
    EXPECT_NE(out.str().find("0007 NONE    [処理] ポート1 ピン0E 反転出力\n"), std::string::npos)
        << out.str();
}

TEST_F(Check, GroupsTheLineDoesNotUseAndLinesThatNeverAct) {
    program({{{"AND ", "PIN ", "001", "STS ", "ELEC", "CNST", "1", "OUT ", "10F"}, {"CNST", "1"}},
             {{"NEXT", "PIN ", "001", "STS ", "ELEC"}},
             {{"NEW ", "NONE", "", "COMP", "="}},
             {{"NEW ", "PIN ", "001"}},
             {{"NONE", "", "", "", "", "", "", "CALC", "00"}, {"CNST", "1", "NONE", "", "CNST", "2"}},
             {{"NONE", "", "", "", "", "", "", "LOG "}}});
    expectFindings({
        "LG_MAIN:0000: warning: connective: \"AND \" on the first line of a block is never true",
        "LG_MAIN:0000: warning: value: a pin-state test does not use it",
        "LG_MAIN:0000: warning: details P0 are not used by the action \"OUT \"",
        "LG_MAIN:0001: warning: the condition of a \"NEXT\" line is not evaluated",
        "LG_MAIN:0002: warning: the object is \"NONE\": the condition is true, its comparison and value are "
        "not used",
        "LG_MAIN:0003: warning: no comparison: the condition is never true",
        "LG_MAIN:0004: warning: P2 is not used: P1 holds no operator",
        "LG_MAIN:0005: warning: the row of \"LOG \" has no items",
    });
}

TEST_F(Check, LinesThatRunButCannotDoWhatTheyAreMeantTo) {
    program({{{"NEW ", "PIN ", "001", "STS ", "ELEC", "", "", "OUT ", "10E"}},
             {{"NEW ", "VAR ", "02", "COMP", ">", "VAR ", "00", "OUTR", "101"}},
             {{"NEW ", "PIN ", "002", "STS ", "ELEC", "", "", "OUT ", "10D"}},
             {{"NONE", "", "", "", "", "", "", "CALC", "00"}, {"VAR ", "00", "/   ", "", "CNST", "0"}},
             {{"NONE", "", "", "", "", "", "", "CALC", "00"}, {"VAR ", "02", "%   ", "", "CNST", "+0"}},
             {{"NONE", "", "", "", "", "", "", "LOG "}, {"VARM", "02"}},
             {{"NONE", "", "", "", "", "", "", "CALC", "03"}, {"VAR ", "03", "+   ", "", "CNST", "1"}}},
            "[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n", 4);
    expectFindings({
        "LG_MAIN:0001: warning: object: variable 02 is never set: no \"CALC\" of the block sets it and it "
        "has "
        "no initial value, so it is always 0",
        "LG_MAIN:0002: warning: action: \"OUT \" sets the whole port-1 output, as line 0000 does: in a cycle "
        "in "
        "which both act, the later one wins",
        "LG_MAIN:0003: warning: P1: \"/   \" by the constant 0: the engine leaves the result so far "
        "unchanged",
        "LG_MAIN:0004: warning: P1: \"%   \" by the constant 0",
    });
}

TEST_F(Check, CountsBeyondTheTablesAndKeysTheEngineNeverReads) {
    const std::string line = compText({{"NEW ", "PIN ", "001", "STS ", "ELEC"}});
    write("orphan=1\r\n[LG_CONTENTS]\r\nVARIABLE_CNT=70\r\nLG_INIT_CNT=200\r\nLG_MAIN_CNT=1x\r\nLG_END_CNT=-"
          "1\r\n"
          "LG_MAN_CNT=3\r\n[LG_VAR_DEF]\r\nVAR_TYPE_00=LONG\r\nVAR_VALUE_00=1.5\r\nVAR_NAME_64=X\r\n[LG_MAIN]"
          "\r\n"
          "LG_COMP_0000=" +
          line + "\r\nLG_PROC_0000=\r\nLG_COMP_0000=" + line + "\r\nLG_COMP_0002=" + line +
          "\r\nLG_PROC_0002=\r\nLG_PROC_0003=\r\n[lg_main]\r\nLG_COMP_0001=" + line +
          "\r\n[LG_MAINS]\r\n[LOG_CSV]\r\n"
          "CSV_FNAME=log.csv\r\n");
    expectFindings({
        "LG_CONTENTS:VARIABLE_CNT: warning: VARIABLE_CNT=70 is beyond the engine's 64 variables: only 64 are "
        "loaded",
        "LG_CONTENTS:LG_INIT_CNT: warning: LG_INIT_CNT=200 is beyond the engine's 128 lines: only 128 are "
        "loaded",
        "LG_CONTENTS:LG_MAIN_CNT: warning: \"1x\" is not a whole number: it reads as 1",
        "LG_CONTENTS:LG_END_CNT: warning: LG_END_CNT=-1 is negative: no lines are loaded",
        "LG_CONTENTS:LG_MAN_CNT: warning: key LG_MAN_CNT is not read by the engine",
        "LG_VAR_DEF:VAR_VALUE_00: warning: \"1.5\" is not a whole number: variable 00 starts at 1",
        "LG_VAR_DEF:VAR_NAME_64: warning: variable 64 is outside the engine's variables 00 to 63",
        "LG_INIT: warning: the engine loads its 128 lines but runs only LG_MAIN",
        "LG_INIT:0000: warning: LG_COMP_0000 to LG_COMP_0127 are missing: these 128 lines do nothing",
        "lg_main: warning: section [lg_main] repeats the one on line 12: the keys under it are not read",
        "LG_MAIN:0000: warning: LG_COMP_0000 repeats the one on line 13: only the first counts",
        "LG_MAIN:0002: warning: lines 0002 to 0003 are beyond LG_MAIN_CNT=1x: they are not loaded",
        "1: warning: key orphan stands before any section: it is not read",
        "LG_MAINS: warning: section [LG_MAINS] is not part of a logic program",
    });
}

TEST_F(Check, TwoVariablesOfOneNameAndWhichOneATestScriptMeans) {
    write("[LG_CONTENTS]\r\nVARIABLE_CNT=4\r\nLG_MAIN_CNT=0\r\n[LG_MAIN]\r\n[LG_VAR_DEF]\r\n"
          "VAR_TYPE_00=LONG\r\nVAR_NAME_00=count\r\nVAR_TYPE_01=LONG\r\nVAR_NAME_01=Count\r\n"
          "VAR_TYPE_02=LONG\r\nVAR_NAME_02=\"count  \"\r\n[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n");
    expectFindings(
        {"LG_VAR_DEF:VAR_NAME_02: warning: variable 02 has the name \"count\" of variable 00: in a test "
         "script, var \"count\" names variable 00"});
}

TEST_F(Check, LinesTheReaderPassesOverOrReadsOtherwiseThanTheyLook) {
    write(
        "[LG_CONTENTS]\r\nLG_MAIN_CNT 1\r\nLG_MAIN_CNT=0\r\n[LG_MAIN\r\n[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n");
    expectFindings({
        "LG_MAIN: warning: the header of [LG_MAIN] has no closing \"]\": it is read as a section all the "
        "same, "
        "named by the rest of its line",
        "2: warning: \"LG_MAIN_CNT 1\" has no \"=\": it is no key, and the engine passes over it",
    });
}

TEST_F(Check, TheSmallestCountAndAKeyWithNoNameAreNoFalseFindings) {
    write("[LG_CONTENTS]\r\nVARIABLE_CNT=-2147483648\r\n=8\r\nLG_MAIN_CNT=-2147483648\r\n[LG_MAIN]\r\n"
          "[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n");
    expectFindings({
        "LG_CONTENTS:VARIABLE_CNT: warning: VARIABLE_CNT=-2147483648 is negative: no variables are loaded",
        "LG_CONTENTS:LG_MAIN_CNT: warning: LG_MAIN_CNT=-2147483648 is negative: no lines are loaded",
        "LG_CONTENTS: warning: a key with no name is not read by the engine",
    });
}

TEST_F(Check, AFileTheEngineReadsAsNothingSaysWhatItIs) {
    write("");
    expectFindings({" warning: the file is empty: the engine loads no variables and no lines"});
    write("; a comment\r\nLG_MAIN_CNT 1\r\n");
    expectFindings(
        {" warning: the file holds no section and no key: the engine loads no variables and no lines",
         "2: warning: \"LG_MAIN_CNT 1\" has no \"=\": it is no key, and the engine passes over it"});
    write("[LG_CONTENTS]\r\nLG_MAIN_CNT=0\r\n");
    expectFindings({" warning: the file has no [LG_MAIN] section: the engine runs no lines"});
    write("\xEF\xBB\xBF[LG_CONTENTS]\r\nLG_MAIN_CNT=0\r\n[LG_MAIN]\r\n[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n");
    expectFindings(
        {"1: warning: the file begins with a UTF-8 byte order mark: the engine reads code page 932 and "
         "takes the mark as part of line 1, which then is no section header",
         "2: warning: key LG_MAIN_CNT stands before any section: it is not read"});
    const std::string text = "[LG_CONTENTS]\r\nLG_MAIN_CNT=1\r\n[LG_MAIN]\r\nLG_COMP_0000=x\r\n";
    std::string utf16;
    for (const char c : text)
        utf16 += std::string{c, '\0'};
    for (const std::string& bytes : {"\xFF\xFE" + utf16, utf16}) {
        write(bytes);
        expectFindings(
            {" warning: the file is UTF-16 text: the engine reads code page 932 and finds none of its "
             "sections and keys"});
        EXPECT_EQ(run(), kWarnings);
    }
}

TEST_F(Check, LineValuesOutOfTheirColumns) {
    std::string shifted = compText({{"NEW ", "PIN ", "001", "STS ", "ELEC"}});
    shifted.erase(20, 1); // one byte short in the object's kind: every field after it moves
    write("[LG_CONTENTS]\r\nLG_MAIN_CNT=2\r\n[LG_MAIN]\r\nLG_COMP_0000=" + shifted + "\r\nLG_PROC_0000=" +
          kEmptyProc + "\r\nLG_COMP_0001=NONE,            ,NONE,\r\nLG_PROC_0001=" + kEmptyProc +
          "\r\n[LOG_CSV]\r\nCSV_FNAME=log.csv\r\n");
    expectFindings({
        "LG_MAIN:0000: warning: LG_COMP_0000: \",\" expected at byte 22: the fields after it are shifted",
        "LG_MAIN:0000: warning: comparison: \"TS ,\" is not a comparison kind",
        "LG_MAIN:0000: warning: action: \"ONE,\" is not an action",
        "LG_MAIN:0001: warning: LG_COMP_0001 is 23 bytes, not 90: the groups it lacks are empty",
        "LG_MAIN:0001: warning: action: \"\" is not an action",
    });
}

TEST_F(Check, LogFileNamesThatCannotBeCreatedHere) {
    const auto kana = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "\uFF71";
        return text;
    };
    std::filesystem::create_directory(dir.path() / "logs");
    const std::pair<std::string, std::string> names[] = {
        {"", "LOG_CSV:CSV_FNAME: warning: CSV_FNAME is empty: no log file can be written"},
        {"bad\x83.csv",
         "LOG_CSV:CSV_FNAME: warning: \"bad\xEF\xBF\xBD.csv\" holds bytes that are no code page 932"},
        {"none\\run.csv",
         "LOG_CSV:CSV_FNAME: warning: the log file \"none\\\\run.csv\" is in a folder that does not "
         "exist"},
        {"logs", "LOG_CSV:CSV_FNAME: warning: the log file \"logs\" names a folder"},
        {"logs/" + std::string(90, '\xB1') + ".csv", // half-width katakana: 3 bytes each in UTF-8
         "LOG_CSV:CSV_FNAME: warning: the log file \"logs/" + kana(59) +
             "\"\u2026 (99 bytes) holds a name of 274 bytes, more than the 255 a file name may have here"},
    };
    for (const auto& [name, expected] : names) {
        program({kToggle}, "[LOG_CSV]\r\nCSV_FNAME=" + name + "\r\n");
        expectFindings({expected});
    }
    program({kToggle}, "[LOG_CSV]\r\nCSV_FNAME=logs\\run.csv\r\n"); // Windows separators are converted
    expectFindings({});
    program({{{"NONE", "", "", "", "", "", "", "LOG "}, {"CNST", "x"}}}, "");
    expectFindings(
        {"LOG_CSV:CSV_FNAME: warning: CSV_FNAME is missing: the rows of LOG lines are not written"});
    if (::geteuid() != 0) {
        program({kToggle}, "[LOG_CSV]\r\nCSV_FNAME=logs/run.csv\r\n");
        std::filesystem::permissions(dir.path() / "logs", std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        expectFindings(
            {"LOG_CSV:CSV_FNAME: warning: the log file \"logs/run.csv\" is in a folder that may not be "
             "written"});
    }
}

TEST_F(Check, ExitStatusesAndTheJsonDocument) {
    EXPECT_EQ(run(false, dir.file("missing.ini")), kUnreadable);
    EXPECT_EQ(err.str(), "zelkctl check: " + dir.file("missing.ini") + ": no such file\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(run(true, dir.file("missing.ini")), kUnreadable);
    EXPECT_EQ(out.str(),
              "{\"file\":\"" + dir.file("missing.ini") + "\",\"error\":\"no such file\",\"status\":2}\n");
    EXPECT_EQ(run(false, dir.path().string()), kUnreadable) << "a folder is no program";

    program({kToggle});
    EXPECT_EQ(run(), kNoFindings);
    program({{{"NEW ", "SVAR", "PORT 9", "COMP", "=", "CNST", "\"q\"", "OUTR", "101"}}});
    EXPECT_EQ(run(), kWarnings);
    EXPECT_EQ(run(true), kWarnings);
    EXPECT_EQ(
        out.str(),
        "{\"file\":\"" + file +
            "\",\"blocks\":[{\"section\":\"LG_INIT\",\"count\":0,\"lines\":[]},{\"section\":\"LG_MAIN\","
            "\"count\":1,\"lines\":[{\"line\":0,\"words\":\"  = \\\"q\\\" [処理] ポート1 ピン01 "
            "反転出力\"}]},"
            "{\"section\":\"LG_END\",\"count\":0,\"lines\":[]}],\"findings\":[{\"location\":\"" +
            file +
            ":LG_MAIN:0000\",\"section\":\"LG_MAIN\",\"line\":0,\"key\":null,\"fileLine\":10,\"severity\":"
            "\"warning\",\"message\":\"object: \\\"PORT 9      \\\" is not a system variable: it reads as "
            "0\"},{\"location\":\"" +
            file +
            ":LG_MAIN:0000\",\"section\":\"LG_MAIN\",\"line\":0,\"key\":null,\"fileLine\":10,\"severity\":"
            "\"warning\",\"message\":\"value: \\\"\\\\\\\"q\\\\\\\"         \\\" is not a 32-bit whole "
            "number: it "
            "reads as 0\"}],\"status\":1}\n");
}

TEST_F(Check, FileTextInFindingsIsEscapedAndLongTextsAreCut) {
    write("[LG_CONTENTS]\r\nLG_MAIN_CNT=0\r\n\x1B[2J=1\r\n" + std::string(100000, 'K') +
          "=1\r\n[LG_MAIN]\r\n[LOG_CSV]\r\nCSV_FNAME=none/\x80\tlog.csv\r\n");
    const std::string cut = std::string(64, 'K') + "\u2026 (100000 bytes)";
    expectFindings({
        "LG_CONTENTS:\\x1B[2J: warning: key \\x1B[2J is not read by the engine",
        "LG_CONTENTS:" + cut + ": warning: key " + cut + " is not read by the engine",
        "LOG_CSV:CSV_FNAME: warning: the log file \"none/\\u0080\\tlog.csv\" is in a folder",
    });
}

TEST(CheckCommandLine, ZelkctlChecksLogicCtlIniInTheCurrentFolder) {
    test::TempDir dir;
    std::filesystem::copy_file(ZELK_SAMPLE_PROGRAM, dir.path() / "LogicCtl.ini");
    const auto zelkctl = [&](std::vector<std::string> args) {
        args.insert(args.begin(), ZELKCTL);
        auto child = std::make_unique<test::ChildProcess>(
            test::ChildProcess::Options{args, {}, dir.path(), dir.file("out"), dir.file("err")});
        child->wait();
        return child;
    };
    auto check = zelkctl({"check"});
    EXPECT_EQ(check->wait(), kNoFindings);
    EXPECT_TRUE(check->out().ends_with("LogicCtl.ini: no findings\n")) << check->out();
    EXPECT_EQ(zelkctl({"check", "--json", "none.ini"})->wait(), kUnreadable);
    EXPECT_EQ(zelkctl({"check", "a.ini", "b.ini"})->wait(), 64);
}

TEST(CheckCommandLine, ZelkctlTestWarnsOfAProgramTheEngineReadsAsNothingAndRunsItAllTheSame) {
    test::TempDir dir;
    std::ofstream(dir.path() / "LogicCtl.ini", std::ios::binary) << std::string("\xFF\xFE[\0L\0", 6);
    std::ofstream(dir.path() / "t.test") << "100 expect out 0 off\n";
    test::ChildProcess zelkctl(
        {{ZELKCTL, "test", "t.test"}, {}, dir.path(), dir.file("out"), dir.file("err")});
    EXPECT_EQ(zelkctl.wait(), 0) << "the status is the test's";
    EXPECT_EQ(zelkctl.err(),
              "LogicCtl.ini: warning: the file is UTF-16 text: the engine reads code page 932 and "
              "finds none of its sections and keys\n");
    EXPECT_NE(zelkctl.out().find("1 expectation, 1 held"), std::string::npos) << zelkctl.out();
}

} // namespace
} // namespace zelk::check
