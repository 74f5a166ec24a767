// zelkctl test as a user meets it: exit statuses, the report of failed expectations, the trace and the
// timing diagram.
#include "cli/virtual_test/virtual_test.h"
#include "testing/program_builder.h"
#include "testing/test_files.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace zelk::vtest {
namespace {

using test::lineText;

// Input 0 pressed: output 0 inverted, variable 01 ("count") counted, a LOG row and a clipboard row.
const std::vector<std::string> kCounter = {
    lineText({{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"OUTR", "101"}}),
    lineText({{"NEXT"}, {}, {}, {}, {"CALC", "01"}, {"VAR ", "01"}, {"+   "}, {"CNST", "1"}}),
    lineText({{"NEXT"}, {}, {}, {}, {"LOG "}, {"CNST", "press"}, {"VAR ", "01"}}),
    lineText({{"NEXT"}, {}, {}, {}, {"CLIP"}, {"CNST", "clip"}, {"VAR ", "01"}}),
};

class VirtualTest : public ::testing::Test {
protected:
    VirtualTest() {
        test::ProgramBuilder()
            .longVariables(2)
            .variable(keys::kVarName, 1, "count")
            .lines(kCounter)
            .logFile(dir.file("log.csv"))
            .write(program);
    }
    int run(const std::string& scriptText, TestFiles files = {}) {
        test::writeFile(script, scriptText);
        files.script = script;
        files.program = program;
        return runFiles(files);
    }
    int runFiles(const TestFiles& files) {
        std::ostringstream o, e;
        const int status = runTest(files, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    // The report without its last line, the summary with its time taken.
    std::string failures() const {
        const std::size_t summary = out.rfind('\n', out.size() - 2);
        return summary == std::string::npos ? "" : out.substr(0, summary + 1);
    }

    test::TempDir dir;
    const std::string program = dir.file("counter.ini");
    const std::string script = dir.file("s.test");
    std::string out, err;
};

TEST_F(VirtualTest, TheSampleScriptPassesOnTheSampleProgram) {
    EXPECT_EQ(
        runFiles({.script = ZELK_SAMPLES_DIR "/LogicCtl.test", .program = ZELK_SAMPLES_DIR "/LogicCtl.ini"}),
        0)
        << out << err;
    EXPECT_NE(out.find("15 expectations, 15 held, 0 failed; 300 cycles (3000 ms)"), std::string::npos) << out;
}

TEST_F(VirtualTest, OneOfAThingIsCountedInTheSingular) {
    EXPECT_EQ(run("0 expect out 0 off\n"), 0) << err;
    EXPECT_NE(out.find(": 1 expectation, 1 held, 0 failed; 1 cycle (10 ms)"), std::string::npos) << out;
}

TEST_F(VirtualTest, EachFailedExpectationShowsTimeCycleExpectedAndSeen) {
    EXPECT_EQ(run("100 press 0\n"
                  "110 expect port1 = 0x0E\n"
                  "110 expect out 0 off\n"
                  "110 expect var count = 2\n"
                  "100..150 expect log \"press\\t2\"\n"
                  "0..190 expect always port1 = 0x0F\n"
                  "120 expect clip \"clip\\t1\"\n"
                  "120 expect clip \"other\"\n"
                  "0..50 expect var 1 > 0\n"
                  "run 200\n"),
              1);
    // In the order they were decided.
    EXPECT_EQ(
        failures(),
        script + ":9: at 50 ms (cycle 5): expected var 1 > 0 within 0..50 ms, saw 0\n" + script +
            ":3: at 110 ms (cycle 11): expected out 0 off, saw on\n" + script +
            ":4: at 110 ms (cycle 11): expected var count = 2, saw 1\n" + script +
            ":6: at 110 ms (cycle 11): expected port1 = 0x0F throughout 0..190 ms, saw 0x0E\n" + script +
            ":8: at 120 ms (cycle 12): expected clip \"other\", saw \"clip\\t1\"\n" + script +
            ":5: at 150 ms (cycle 15): expected log \"press\\t2\" within 100..150 ms, saw no such row; the "
            "last one: \"press\\t1\"\n")
        << out;
    EXPECT_NE(out.find("8 expectations, 2 held, 6 failed; 20 cycles (200 ms)"), std::string::npos) << out;
}

TEST_F(VirtualTest, UnusableInputExitsTwo) {
    EXPECT_EQ(run("100 press 0\n100 expect var missing = 1\n"), 2);
    EXPECT_EQ(err, script + ":2: error: the program has no variable named missing\n");
    EXPECT_EQ(run("100 expect var 2 = 0\n"), 2);
    EXPECT_EQ(err, script + ":1: error: the program has 2 variables: no variable 2\n");
    EXPECT_EQ(run("100 press 0\n200 expect out 9 on\n"), 2);
    EXPECT_EQ(err, script + ":2: error: output pin must be 0 to 3: 9\n");
    EXPECT_EQ(run("100 press 0\n", {.trace = dir.file("no/such/folder/t.csv")}), 2);
    EXPECT_NE(err.find("cannot write"), std::string::npos);
    EXPECT_EQ(runFiles({.script = dir.file("missing.test")}), 2);
    EXPECT_NE(err.find("cannot read the script"), std::string::npos);
    EXPECT_EQ(runFiles({.script = script, .program = dir.file("missing.ini")}), 2);
    EXPECT_NE(err.find("cannot read the program " + dir.file("missing.ini") + ": it does not exist"),
              std::string::npos)
        << err;
    EXPECT_EQ(runFiles({.script = script, .program = dir.path().string()}), 2) << "a folder is no program";
    EXPECT_NE(err.find(": it is not a regular file"), std::string::npos) << err;
}

TEST_F(VirtualTest, ScriptTextInErrorsIsEscapedAndLongWordsAreCut) {
    EXPECT_EQ(run("100 press \x1B[2J\n"), 2);
    EXPECT_EQ(err, script + ":1: error: pin must be 0 to 7: \\x1B[2J\n");
    EXPECT_EQ(run("100 expect var \"" + std::string(1 << 19, 'v') + "\" = 1\n"), 2);
    EXPECT_EQ(err, script + ":1: error: the program has no variable named " + std::string(64, 'v') +
                       "\u2026 (524288 bytes)\n");
    EXPECT_EQ(run("100 " + std::string(1 << 19, 'x') + " 0\n"), 2);
    EXPECT_EQ(err,
              script + ":1: error: unknown command: " + std::string(64, 'x') + "\u2026 (524288 bytes)\n");
}

TEST_F(VirtualTest, TheTraceHoldsTheCyclesThatChangedAndTheProgramsLogFileIsLeftAlone) {
    EXPECT_EQ(run("100 press 0\n300 release 0\nrun 400\n", {.trace = dir.file("t.csv")}), 0);
    std::string trace;
    ASSERT_TRUE(test::readFile(dir.file("t.csv"), trace));
    EXPECT_EQ(trace, "time_ms,cycle,port0,port1,variables,log,clipboard\n"
                     "0,0,0xFF,0x0F,,,\n"
                     "110,11,0xFE,0x0E,01=1,\"press\t1\",\"clip\t1\"\n"
                     "310,31,0xFF,0x0E,,,\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("log.csv")));
}

// An XML document's elements counted by name and class, and the texts of its text elements by class; false
// when it is not well-formed.
struct Elements {
    std::map<std::string, int> counts;
    std::map<std::string, std::vector<std::string>> texts;
    std::string textClass; // of the text element being read, or empty
};
bool readElements(const std::string& xml, Elements& elements) {
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &elements);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            auto& e = *static_cast<Elements*>(data);
            std::string key = name, textClass;
            for (int i = 0; attributes[i] != nullptr; i += 2)
                if (std::string_view(attributes[i]) == "class") textClass = attributes[i + 1];
            if (!textClass.empty()) key += "." + textClass;
            ++e.counts[key];
            e.textClass = key == "text" || textClass.empty() ? "" : textClass;
            if (!e.textClass.empty() && std::string_view(name) == "text") e.texts[e.textClass].emplace_back();
            if (std::string_view(name) != "text") e.textClass.clear();
        },
        [](void* data, const XML_Char*) { static_cast<Elements*>(data)->textClass.clear(); });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        auto& e = *static_cast<Elements*>(data);
        if (!e.textClass.empty()) e.texts[e.textClass].back().append(text, static_cast<std::size_t>(length));
    });
    const bool ok = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

TEST_F(VirtualTest, TheTimingDiagramShowsTracesValuesLogRowsAndLabelledExpectations) {
    // Fast toggling too: a hundred presses within one pixel column.
    std::string text =
        "100 press 0\n110 expect out 0 on\n110 expect out 0 off\n200..300 expect var count = 1\n";
    for (int t = 1000; t < 3000; t += 20)
        text += std::to_string(t) + " press 3\n" + std::to_string(t + 10) + " release 3\n";
    EXPECT_EQ(run(text + "run 10min\n", {.svg = dir.file("d.svg")}), 1);
    std::string svg;
    ASSERT_TRUE(test::readFile(dir.file("d.svg"), svg));
    Elements elements;
    ASSERT_TRUE(readElements(svg, elements)) << svg;
    EXPECT_EQ(elements.counts["svg"], 1);
    EXPECT_EQ(elements.counts["path.trace"], 12);
    EXPECT_EQ(elements.counts["g.expectation held"], 2);
    EXPECT_EQ(elements.counts["g.expectation failed"], 1);
    EXPECT_EQ(elements.texts["line"], (std::vector<std::string>{"2", "3", "4"}))
        << "each mark names its line";
    EXPECT_EQ(elements.texts["failure"],
              std::vector<std::string>{failures().substr(0, failures().size() - 1)});
    EXPECT_EQ(elements.counts["g.variable"], 1) << "var count is drawn as a value lane";
    EXPECT_EQ(elements.texts["value"], std::vector<std::string>{"1"}) << "0 lasts less than a pixel";
    EXPECT_EQ(elements.counts["rect.log"], 1) << "the press's LOG row is marked";
    EXPECT_LT(svg.size(), 20'000u) << "dense changes are drawn as a band, not edge by edge";
}

} // namespace
} // namespace zelk::vtest
