// Conditions, the condition chain, system variables and the actions of a logic program.
#include "core/event_log.h"
#include "core/log_buffer.h"
#include "core/rules.h"
#include "fake_platform.h"
#include "testing/program_builder.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace zelk {
namespace {

using test::G;
using test::makeLine;

// Conditions for the chain tests: object "NONE" is always true; variable 00 (value 0) = 1 is false.
const G kTrueObject{"NONE"};
const G kFalseObject{"VAR ", "00"};
const G kEq{"COMP", "="};
const G kOne{"CNST", "1"};

class RulesTest : public ::testing::Test {
protected:
    RulesTest() {
        port0.fill(0xFF);
        port1.fill(0x0F);
        status.port0 = 0xFF;
        status.port1 = 0x0F;
        for (auto& v : program->variables)
            std::memcpy(v.type, "LONG", 5);
    }
    void setBlock(std::initializer_list<LineRecord> lines) {
        program->main.count = 0;
        for (const LineRecord& line : lines)
            program->main.lines[program->main.count++] = line;
        program->main.decode();
    }
    std::uint8_t run(std::uint8_t output = 0x00) { return rules.runBlock(program->main, output); }
    bool condition(std::initializer_list<G> groups) { return rules.evaluateCondition(makeLine(groups)); }
    std::string row(std::initializer_list<G> details) {
        std::vector<G> all{{"NONE"}, {"NONE"}, {"NONE"}, {"NONE"}, {"LOG "}};
        all.insert(all.end(), details.begin(), details.end());
        RowBuffer buffer;
        return std::string(rules.buildRow(makeLine(all), buffer));
    }
    // Pushes a new port-0 sample as the cycle does.
    void sample(std::uint8_t value) {
        port0.shift();
        port0.setNewest(value);
        status.port0 = value;
    }
    VarEntry& var(int n) { return program->variables[n]; }

    std::unique_ptr<Program> program = std::make_unique<Program>();
    PortHistory port0, port1;
    Status status;
    EventLog events;
    std::unique_ptr<LogBuffer> log = std::make_unique<LogBuffer>();
    test::FakePlatform platform;
    Rules rules{*program, port0, port1, status, events, *log, platform};
};

// Actions that reveal which lines acted: each inverts its own port-1 bit.
const G kX{"OUTR", "101"};
const G kY{"OUTR", "102"};
const G kZ{"OUTR", "104"};

TEST_F(RulesTest, ChainCombinesStrictlyInLineOrder) {
    setBlock({makeLine({{"NEW "}, kTrueObject, kEq, kOne, kX}),
              makeLine({{"AND "}, kFalseObject, kEq, kOne, kY}), makeLine({{"NEXT"}, {}, {}, {}, kZ})});
    EXPECT_EQ(run(), 0x01) << "NEW true acts, AND false stops Y and Z";

    setBlock({makeLine({{"NEW "}, kTrueObject, kEq, kOne, kX}),
              makeLine({{"OR  "}, kFalseObject, kEq, kOne, kY}), makeLine({{"NEXT"}, {}, {}, {}, kZ})});
    EXPECT_EQ(run(), 0x07);

    // No precedence: (false OR true) AND false = false, then OR true = true.
    setBlock({makeLine({{"NEW "}, kFalseObject, kEq, kOne}), makeLine({{"OR  "}, kTrueObject, kEq, kOne, kX}),
              makeLine({{"AND "}, kFalseObject, kEq, kOne, kY}),
              makeLine({{"OR  "}, kTrueObject, kEq, kOne, kZ})});
    EXPECT_EQ(run(), 0x05);
}

TEST_F(RulesTest, ChainStartsFalseAndUnknownConnectivesLeaveItAlone) {
    setBlock({makeLine({{"AND "}, kTrueObject, kEq, kOne, kX})});
    EXPECT_EQ(run(), 0x00) << "a first AND combines with the starting 0";

    setBlock({makeLine({{"NEW "}, kFalseObject, kEq, kOne, kX}), makeLine({{"NONE"}, {}, {}, {}, kY}),
              makeLine({{"NEXT"}, {}, {}, {}, kZ})});
    EXPECT_EQ(run(), 0x02) << "NONE acts whatever the chain; NEXT follows the false chain";

    setBlock({makeLine({{"NEW "}, kTrueObject, kEq, kOne}), makeLine({{"new "}, kFalseObject, kEq, kOne, kX}),
              makeLine({{"NEW."}, kFalseObject, kEq, kOne, kY})});
    EXPECT_EQ(run(), 0x03) << "codes compare whole, case and trailing spaces included";

    // The chain is local to one run of the block.
    setBlock({makeLine({{"NEW "}, kTrueObject, kEq, kOne})});
    run();
    setBlock({makeLine({{"NEXT"}, {}, {}, {}, kX})});
    EXPECT_EQ(run(), 0x00);
}

TEST_F(RulesTest, ComparisonsAreSigned32Bit) {
    var(3).value = -5;
    EXPECT_TRUE(condition({{"NEW "}, {"VAR ", "03"}, {"COMP", "<="}, {"CNST", "-5"}}));
    var(3).value = -4;
    EXPECT_FALSE(condition({{"NEW "}, {"VAR ", "03"}, {"COMP", "<="}, {"CNST", "-5"}}));
    var(3).value = INT_MIN;
    EXPECT_TRUE(condition({{"NEW "}, {"VAR ", "03"}, {"COMP", "<"}, {"CNST", "2147483647"}}));
    EXPECT_TRUE(condition({{"NEW "}, {"VAR ", "03"}, {"COMP", "<>"}, {"VAR ", "04"}}));
    EXPECT_FALSE(condition({{"NEW "}, {"VAR ", "03"}, {"COMP", "=>"}, {"VAR ", "03"}}))
        << "unknown comparison";
    EXPECT_FALSE(condition({{"NEW "}, {"VAR ", "03"}, {"CMP "}, {"VAR ", "03"}}))
        << "unknown comparison kind";

    EXPECT_TRUE(condition({{"NEW "}, {"SVAR", "PORT 0"}, {"COMP", "="}, {"CNST", "255"}}));
    sample(0xFE);
    EXPECT_FALSE(condition({{"NEW "}, {"SVAR", "PORT 0"}, {"COMP", "="}, {"CNST", "255"}}));
    EXPECT_TRUE(condition({{"NEW "}, {"PIN ", "0FF"}, {"COMP", "="}, {"PIN ", "0FE"}}));
    EXPECT_TRUE(condition({{"NEW "}, {"PIN ", "001"}, {"COMP", ">="}, {"CNST", "0"}}));
}

TEST_F(RulesTest, UnresolvableOperandsAreZero) {
    std::memcpy(var(5).type, "WORD", 5);
    var(5).value = 9;
    EXPECT_TRUE(condition({{"NEW "}, {"VAR ", "05"}, {"COMP", "="}, {"CNST", "0"}})) << "not LONG";
    EXPECT_TRUE(condition({{"NEW "}, {"VAR ", "99"}, {"COMP", "="}, {"CNST", "0"}})) << "beyond the table";
    EXPECT_TRUE(condition({{"NEW "}, {"VAR ", "-1"}, {"COMP", "="}, {"CNST", "0"}}));
    EXPECT_TRUE(condition({{"NEW "}, {"SVAR", "PORT 2"}, {"COMP", "="}, {"CNST", "0"}}));
    EXPECT_TRUE(condition({{"NEW "}, {"PIN ", "2FF"}, {"COMP", "="}, {"CNST", "0"}})) << "no port 2";
    EXPECT_TRUE(condition({{"NEW "}, {"CNST", "7"}, {"COMP", "="}, {"CNST", "0"}})) << "no constant object";
    EXPECT_TRUE(condition({{"NEW "}, {"SVAR", "PORT 0"}, {"COMP", ">"}, {"NONE"}}));
}

TEST_F(RulesTest, PinTransitionsFireOnceOverASampleSequence) {
    const LineRecord press = makeLine({{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, kX});
    const LineRecord release = makeLine({{"NEW "}, {"PIN ", "001"}, {"STS ", "ELEC->STOP"}, {"NONE"}, kX});
    const LineRecord change = makeLine({{"NEW "}, {"PIN ", "003"}, {"STS ", "CHANGE"}, {"NONE"}, kX});
    const LineRecord elec = makeLine({{"NEW "}, {"PIN ", "003"}, {"STS ", "ELEC"}, {"NONE"}, kX});
    const LineRecord stop = makeLine({{"NEW "}, {"PIN ", "003"}, {"STS ", "STOP"}, {"NONE"}, kX});
    std::string seen;
    for (std::uint8_t s : {0xFF, 0xFE, 0xFE, 0xFC, 0xFD, 0xFF, 0xFE}) {
        sample(s);
        seen += std::to_string(rules.evaluateCondition(press)) +
                std::to_string(rules.evaluateCondition(release)) +
                std::to_string(rules.evaluateCondition(change)) +
                std::to_string(rules.evaluateCondition(elec)) +
                std::to_string(rules.evaluateCondition(stop)) + " ";
    }
    // Bits 0 and 1; a bit of 0 is energized: "ELEC" needs every selected pin, "STOP" any one released.
    EXPECT_EQ(seen, "00001 10101 00001 00110 01101 00101 10101 ");
}

TEST_F(RulesTest, StateTestsNeedAPinOfPortZeroOrOne) {
    port1.fill(0x0E);
    EXPECT_TRUE(condition({{"NEW "}, {"PIN ", "101"}, {"STS ", "ELEC"}, {"NONE"}}));
    EXPECT_FALSE(condition({{"NEW "}, {"PIN ", "101"}, {"STS ", "CHANGE"}, {"NONE"}}));
    sample(0x00);
    EXPECT_FALSE(condition({{"NEW "}, {"VAR ", "00"}, {"STS ", "ELEC"}, {"NONE"}})) << "object not a pin";
    EXPECT_FALSE(condition({{"NEW "}, {"PIN ", "201"}, {"STS ", "ELEC"}, {"NONE"}})) << "no port 2";
    EXPECT_FALSE(condition({{"NEW "}, {"PIN ", "/01"}, {"STS ", "ELEC"}, {"NONE"}})) << "no port -1";
    EXPECT_FALSE(condition({{"NEW "}, {"PIN ", "001"}, {"STS ", "ELEC->"}, {"NONE"}})) << "unknown state";
}

TEST_F(RulesTest, OutputActions) {
    setBlock({makeLine({{"NONE"}, {}, {}, {}, {"OUT ", "10E"}})});
    EXPECT_EQ(run(0xFF), 0x0E);
    setBlock({makeLine({{"NONE"}, {}, {}, {}, {"OUT ", "00E"}})});
    EXPECT_EQ(run(0xFF), 0x0E) << "the port digit is not consulted";
    setBlock({makeLine({{"NONE"}, {}, {}, {}, {"OUTR", "101"}}),
              makeLine({{"NONE"}, {}, {}, {}, {"OUTR", "101"}})});
    EXPECT_EQ(run(0x0F), 0x0F) << "two inversions cancel";
    setBlock({makeLine({{"NONE"}, {}, {}, {}, {"OUTX", "101"}})});
    EXPECT_EQ(run(0x0F), 0x0F) << "an unknown action does nothing";
}

class Calc : public RulesTest {
protected:
    std::int32_t calc(std::initializer_list<G> details, std::int32_t start = 0) {
        var(2).value = start;
        std::vector<G> all{{"NONE"}, {"NONE"}, {"NONE"}, {"NONE"}, {"CALC", "02"}};
        all.insert(all.end(), details.begin(), details.end());
        std::uint8_t output = 0;
        rules.performAction(makeLine(all), output);
        return var(2).value;
    }
};

TEST_F(Calc, LeftToRightWithoutPrecedence) {
    EXPECT_EQ(calc({{"VAR ", "02"}, {"+   "}, {"CNST", "1"}}, 41), 42);
    EXPECT_EQ(calc({{"CNST", "7"}, {"/   "}, {"CNST", "2"}, {"x   "}, {"CNST", "2"}}), 6);
    EXPECT_EQ(
        calc({{"CNST", "1"}, {"+   "}, {"CNST", "2"}, {"x   "}, {"CNST", "3"}, {"-   "}, {"CNST", "4"}}), 5);
    EXPECT_EQ(
        calc({{"CNST", "12"}, {"&   "}, {"CNST", "10"}, {"|   "}, {"CNST", "1"}, {"^   "}, {"CNST", "3"}}),
        10);
    EXPECT_EQ(calc({{"SVAR", "PORT 1"}, {"+   "}, {"SVAR", "NOPE"}}), 0x0F) << "an unknown name adds 0";
}

TEST_F(Calc, DivisionEdgesNeverTrap) {
    EXPECT_EQ(calc({{"CNST", "-7"}, {"%   "}, {"CNST", "2"}}), -1);
    EXPECT_EQ(calc({{"CNST", "-7"}, {"/   "}, {"CNST", "0"}}), -7);
    EXPECT_EQ(calc({{"CNST", "-7"}, {"%   "}, {"CNST", "0"}}), -7);
    EXPECT_EQ(calc({{"CNST", "-2147483648"}, {"/   "}, {"CNST", "-1"}}), INT_MIN);
    EXPECT_EQ(calc({{"CNST", "-2147483648"}, {"%   "}, {"CNST", "-1"}}), 0);
    EXPECT_EQ(calc({{"CNST", "2147483647"}, {"+   "}, {"CNST", "1"}}), INT_MIN) << "two's-complement wrap";
    EXPECT_EQ(calc({{"CNST", "65536"}, {"x   "}, {"CNST", "65536"}}), 0);
    EXPECT_EQ(calc({{"CNST", "-2147483648"}, {"-   "}, {"CNST", "1"}}), INT_MAX);
}

TEST_F(Calc, OperandKindsAndTargets) {
    var(7).value = 1234;
    EXPECT_EQ(calc({{"VARM", "07"}, {"+   "}, {"CNST", "1"}}), 1) << "VARM as P0 starts from 0";
    EXPECT_EQ(calc({{"CNST", "1"}, {"+   "}, {"VARM", "07"}}), 1) << "VARM as an operand is 0";
    EXPECT_EQ(calc({{"CNST", "5"}, {"NONE"}, {"CNST", "9"}}), 5) << "NONE operator leaves the accumulator";

    std::memcpy(var(2).type, "LONX", 5);
    EXPECT_EQ(calc({{"CNST", "5"}}, 3), 3) << "a target that is not LONG is never written";
    std::memcpy(var(2).type, "LONG", 5);
    std::uint8_t output = 0;
    rules.performAction(makeLine({{"NONE"}, {}, {}, {}, {"CALC", "64"}, {"CNST", "5"}}), output);
    rules.performAction(makeLine({{"NONE"}, {}, {}, {}, {"CALC", "-1"}, {"CNST", "5"}}), output);
}

TEST_F(RulesTest, RowTexts) {
    var(1).value = 42;
    var(2).value = 1234;
    EXPECT_EQ(row({{"CNST", "ABC"}, {"VAR ", "01"}, {"VARM", "02"}}), "ABC\t42\t12.34");
    EXPECT_EQ(row({{"NONE"}, {"SVAR", "PORT 0"}}), "\t255") << "an empty P0 gives a leading TAB";
    EXPECT_EQ(row({{"NONE"}, {"NONE"}, {"CNST", "x"}, {"NONE"}, {"CNST", "y"}}), "\tx\ty");
    var(3).value = -250;
    var(4).value = 5;
    var(5).value = INT_MIN;
    var(6).value = -5;
    EXPECT_EQ(row({{"VARM", "03"}, {"VARM", "04"}, {"VARM", "05"}, {"VARM", "06"}}),
              "-2.50\t0.05\t-21474836.48\t-0.05");
    EXPECT_EQ(row({{"SVAR", "NO SUCH NAME"}, {"CNST", "  a b  "}}), "0\t  a b") << "trailing spaces only";
    EXPECT_EQ(row({}), "");
    const std::string widest = row({{"VARM", "05"},
                                    {"VARM", "05"},
                                    {"VARM", "05"},
                                    {"VARM", "05"},
                                    {"VARM", "05"},
                                    {"VARM", "05"},
                                    {"VARM", "05"}});
    EXPECT_EQ(widest.size(), 7u * 12 + 6);
}

TEST_F(RulesTest, SystemVariablesReadTheStatusPicture) {
    status.passageSec = 12;
    status.echo = 98;
    status.port1 = 0x0A;
    std::int32_t v = -1;
    EXPECT_TRUE(rules.systemVariable("PASSAGE 10MS", v));
    EXPECT_EQ(v, 1298);
    EXPECT_TRUE(rules.systemVariable("10MS CNT    ", v));
    EXPECT_EQ(v, 98);
    EXPECT_TRUE(rules.systemVariable("PASSAGE SEC ", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(rules.systemVariable("PORT 1      ", v));
    EXPECT_EQ(v, 0x0A);
    v = -1;
    EXPECT_FALSE(rules.systemVariable("PORT 1", v)) << "names are the full 12 characters";
    EXPECT_EQ(v, -1);
}

TEST_F(RulesTest, LogRowsReachTheEventLogEvenWhenTheBufferIsFull) {
    var(1).value = 42;
    status.passageSec = 3;
    status.tick = 7;
    setBlock({makeLine({{"NONE"}, {}, {}, {}, {"LOG "}, {"CNST", "T"}, {"VAR ", "01"}})});
    run();
    EXPECT_EQ(log->contents(), "T\t42\n");
    EventEntries entries;
    events.read(entries);
    EXPECT_STREQ(entries[0].text, "T\t42");
    EXPECT_EQ(entries[0].passageSec, 3);
    EXPECT_EQ(entries[0].tick10ms, 7);

    // Fill the buffer to one byte short of the room the row needs.
    const std::string filler(1000, 'f');
    while (log->contents().size() + 1001 <= LogBuffer::kCapacity)
        log->append(filler);
    const std::size_t room = LogBuffer::kCapacity - log->contents().size();
    log->append(std::string(room - 1, 'g')); // now room is 0: any row is dropped
    const std::size_t full = log->contents().size();
    var(1).value = 43;
    run();
    EXPECT_EQ(log->contents().size(), full);
    events.read(entries);
    EXPECT_STREQ(entries[0].text, "T\t43");
}

TEST_F(RulesTest, ClipPutsTheRowOnTheClipboard) {
    setBlock({makeLine({{"NONE"}, {}, {}, {}, {"CLIP"}, {"CNST", "A"}, {"SVAR", "PORT 0"}})});
    run();
    ASSERT_EQ(platform.clipboardTexts.size(), 1u);
    EXPECT_EQ(platform.clipboardTexts[0], "A\t255");
    EXPECT_EQ(log->contents(), "") << "CLIP does not log";
}

} // namespace
} // namespace zelk
