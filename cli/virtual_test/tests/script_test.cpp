// The test-script language: what each statement means, and the errors that name the line.
#include "cli/virtual_test/script.h"

#include <gtest/gtest.h>

namespace zelk::vtest {
namespace {

Script parsed(std::string_view text) {
    ScriptError error;
    auto script = parseScript(text, error);
    EXPECT_TRUE(script) << error.line << ": " << error.message;
    return script ? *script : Script{};
}

TEST(Script, StatementsTimesAndWindows) {
    const Script s = parsed("\xEF\xBB\xBF# a comment\n"
                            "run 1min   # sixty seconds\n"
                            "1s release 2\n"
                            "100 press 0\n"
                            "100ms port0 0xF0\n"
                            "150 expect port1 <> 0x0E\n"
                            "0..2s expect always out 3 off\n"
                            "20..40 expect var 押下回数 >= -2\n"
                            "20..40 expect var 07 < 5\n"
                            "50 expect log \"a\\tb \\\"c\\\" # d\"\n"
                            "60 expect clip \"押下\"\n");
    EXPECT_EQ(s.cycles, 6000);
    ASSERT_EQ(s.inputs.size(), 3u);
    EXPECT_EQ(s.inputs[0].cycle, 10);
    EXPECT_EQ(s.inputs[0].command.kind, vboard::InputCommand::Kind::Press);
    EXPECT_EQ(s.inputs[1].command.value, 0xF0) << "equal times keep the script's order";
    EXPECT_EQ(s.inputs[2].cycle, 100);
    EXPECT_EQ(s.inputs[2].command.kind, vboard::InputCommand::Kind::Release);

    ASSERT_EQ(s.expectations.size(), 6u);
    const Expectation& always = s.expectations[0];
    EXPECT_EQ(always.mode, Mode::Always);
    EXPECT_EQ(always.last, 200);
    EXPECT_EQ(always.subject, Subject::OutputPin);
    EXPECT_EQ(always.index, 3);
    EXPECT_EQ(always.value, 0);
    const Expectation& byName = s.expectations[1];
    EXPECT_EQ(byName.mode, Mode::Within);
    EXPECT_EQ(byName.index, -1);
    EXPECT_EQ(byName.name, "押下回数");
    EXPECT_EQ(byName.relation, Relation::Ge);
    EXPECT_EQ(byName.value, -2);
    EXPECT_EQ(s.expectations[2].index, 7);
    EXPECT_EQ(s.expectations[3].text, "a\tb \"c\" # d");
    EXPECT_EQ(s.expectations[3].wording, R"(log "a\tb \"c\" # d")");
    EXPECT_EQ(s.expectations[4].text, "\x89\x9F\x89\xBA") << "texts compare in code page 932";
    EXPECT_EQ(s.expectations[5].mode, Mode::At);
    EXPECT_EQ(s.expectations[5].relation, Relation::Ne);
    EXPECT_EQ(s.expectations[5].value, 0x0E);
}

TEST(Script, WithoutRunTheRunEndsAtTheLastTimeNamed) {
    EXPECT_EQ(parsed("100 press 0\n300..450 expect out 0 on\n").cycles, 46);
}

TEST(Script, ErrorsNameTheLineAndWhatIsWrong) {
    const struct {
        std::string_view text;
        int line;
        std::string_view message;
    } cases[] = {
        {"run 1s\n105 press 0\n", 2, "not on the 10 ms cycle grid"},
        {"1.5s press 0\n", 1, "not a time"},
        {"100 press 8\n", 1, "pin must be 0 to 7"},
        {"100 push 0\n", 1, "unknown command"},
        {"100..200 press 0\n", 1, "not in a window"},
        {"300..200 expect out 0 on\n", 1, "ends before it starts"},
        {"100 expect always out 0 on\n", 1, "needs a window"},
        {"100 expect out 4 on\n", 1, "output pin must be 0 to 3"},
        {"100 expect out 1 high\n", 1, "on or off"},
        {"100 expect port1 0x0E\n", 1, "expected 'port1 RELATION VALUE'"},
        {"100 expect port1 == 0x0E\n", 1, "not a relation"},
        {"100 expect var 64 = 1\n", 1, "variable number must be 0 to 63"},
        {"100 expect var 1 = 2147483648\n", 1, "variable value"},
        {"100 expect log row\n", 1, "double quotes"},
        {"\n\n100 expect log \"row\n", 3, "closing quote"},
        {"100 expect clip \"a\\n\"\n", 1, "unknown escape"},
        {"100 expect colour red\n", 1, "unknown expectation"},
        {"100\n", 1, "nothing to do"},
        {"run 1s\nrun 2s\n", 2, "already given on line 1"},
        {"run 0\n", 1, "at least one cycle"},
        {"run 25h\n", 1, "beyond 24 h"},
        {"run 1s\n500 press 0\n1000 release 0\n", 3, "not within the run (run 1000 on line 1)"},
        {"100 expect log \"\x8E\xB8\x94s\"\n", 1, "not UTF-8"},
        {"# only a comment\n", 0, "nothing to run"},
    };
    for (const auto& c : cases) {
        ScriptError error;
        EXPECT_FALSE(parseScript(c.text, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_NE(error.message.find(c.message), std::string::npos) << c.text << " -> " << error.message;
    }
}

} // namespace
} // namespace zelk::vtest
