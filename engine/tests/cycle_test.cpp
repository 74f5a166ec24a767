// The control cycle, driven one period at a time against an in-process board model.
#include "core/engine.h"
#include "core/messages.h"
#include "fake_platform.h"
#include "testing/program_builder.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <set>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelk {
namespace {

using namespace std::chrono_literals;
using test::G;
using test::lineText;

class Cycle : public ::testing::Test {
protected:
    Cycle() {
        platform.cwd = dir.cwd();
        platform.backend.add("/dev/board0", &board);
    }
    ~Cycle() override { engine->close(); }

    // Writes LogicCtl.ini with the lines as LG_MAIN, and the CSV log name unless csv is empty.
    void program(const std::vector<std::string>& lines, const std::string& csv = "log.csv") {
        test::ProgramBuilder file;
        file.longVariables(8).lines(lines);
        // Joined as bytes: the name is code page 932, which a path object would take for the system's.
        if (!csv.empty()) file.logFile(dir.cwd() + "/" + csv);
        file.write(dir.file("LogicCtl.ini"));
    }
    void start() {
        ASSERT_EQ(engine->open(), 1);
        timer = &platform.armedTimer();
    }
    // The board answers every report, the start reports too: the first cycles work off those answers.
    void settle() { cycles(3); }
    void cycles(int n) {
        for (int i = 0; i < n; ++i)
            timer->fire();
    }
    CtlData data() const {
        CtlData d{};
        engine->getCtlData(d);
        return d;
    }
    std::string csv(const std::filesystem::path& name = "log.csv") {
        std::string bytes;
        test::readFile(dir.path() / name, bytes);
        return bytes;
    }

    test::TempDir dir;
    vboard::BoardModel board;
    test::FakePlatform platform;
    std::unique_ptr<Engine> engine = std::make_unique<Engine>(platform);
    test::FakeTimer* timer = nullptr;
};

const std::string kLogPassage10ms = lineText({{"NONE"}, {}, {}, {}, {"LOG "}, {"SVAR", "PASSAGE 10MS"}});

TEST_F(Cycle, CountersCountCyclesAndTheEchoLagsByOne) {
    program({kLogPassage10ms});
    start();
    cycles(100);
    CtlData d = data();
    EXPECT_EQ(d.passageSec, 1);
    EXPECT_EQ(d.tick10ms, 98) << "the echo of the previous cycle's read request";
    cycles(3);
    engine->close();
    // Rows of cycles 0..102, one per line: around the wrap they run 98, 199, 100, 101.
    const std::string rows = csv();
    EXPECT_EQ(rows.substr(0, 9), "0\r\n0\r\n1\r\n");
    EXPECT_NE(rows.find("\r\n97\r\n98\r\n199\r\n100\r\n101\r\n"), std::string::npos);
}

TEST_F(Cycle, UnchangedOutputIsSentOnlyAtTheStartAndEveryCycleRequestsInput) {
    program({lineText({{"NONE"}, {}, {}, {}, {"OUT ", "10F"}})});
    start();
    cycles(20);
    EXPECT_EQ(board.commandCount(2), 1u);
    EXPECT_EQ(board.commandCount(3), 21u);
    EXPECT_EQ(data().port1, 0x0F);
}

TEST_F(Cycle, AnInputEdgeTogglesTheOutputOnce) {
    // The road of one event: pin 0 of port 0 energized inverts pin 0 of port 1.
    program({lineText({{"NEW "}, {"PIN ", "001"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"OUTR", "101"}})});
    start();
    cycles(3);
    board.setPin(0, true);
    cycles(5);
    EXPECT_EQ(board.port1Output(), 0x0E);
    EXPECT_EQ(board.commandCount(2), 2u);
    EXPECT_EQ(data().port0, 0xFE);
    board.setPin(0, false);
    cycles(5);
    board.setPin(0, true);
    cycles(5);
    EXPECT_EQ(board.port1Output(), 0x0F);
}

TEST_F(Cycle, TheInitialAndPostBlocksAreLoadedButNeverRun) {
    const std::string out = lineText({{"NONE"}, {}, {}, {}, {"OUT ", "100"}});
    test::writeFile(dir.file("LogicCtl.ini"),
                    "[LG_CONTENTS]\r\nLG_INIT_CNT=1\r\nLG_END_CNT=1\r\n[LG_INIT]\r\n"
                    "LG_COMP_0000=" +
                        out.substr(0, 90) + "\r\n[LG_END]\r\nLG_COMP_0000=" + out.substr(0, 90) + "\r\n");
    start();
    EXPECT_EQ(engine->program().init.count, 1);
    cycles(5);
    engine->close();
    EXPECT_EQ(board.port1Output(), 0x0F);
    EXPECT_EQ(board.commandCount(2), 1u);
}

TEST_F(Cycle, ManualTogglesInvertOnceAndPersist) {
    program({});
    start();
    cycles(2);
    engine->putCtlData(CtlRequest{0x01, {}});
    cycles(1);
    EXPECT_EQ(board.port1Output(), 0x0E);
    EXPECT_EQ(board.commandCount(2), 2u);
    cycles(5);
    EXPECT_EQ(board.port1Output(), 0x0E) << "each cycle starts from the previous output";
    EXPECT_EQ(board.commandCount(2), 2u);

    engine->putCtlData(CtlRequest{0x01, {}});
    engine->putCtlData(CtlRequest{0x02, {}});
    cycles(2);
    EXPECT_EQ(board.port1Output(), 0x0C) << "the second request replaces the first";
}

TEST_F(Cycle, PortOneTransitionsNeverFireAndStatesSeeThePreviousOutput) {
    program(
        {lineText({{"NEW "}, {"PIN ", "101"}, {"STS ", "CHANGE"}, {"NONE"}, {"LOG "}, {"CNST", "change"}}),
         lineText({{"NEW "}, {"PIN ", "101"}, {"STS ", "STOP->ELEC"}, {"NONE"}, {"LOG "}, {"CNST", "edge"}}),
         lineText({{"NEW "}, {"PIN ", "101"}, {"STS ", "ELEC"}, {"NONE"}, {"LOG "}, {"CNST", "elec"}})});
    start();
    for (int i = 0; i < 6; ++i) {
        engine->putCtlData(CtlRequest{0x01, {}});
        cycles(1);
    }
    engine->close();
    // Output after each cycle: 0E, 0F, 0E, ...; the run of cycle n sees the output of cycle n - 1.
    EXPECT_EQ(csv(), "elec\r\nelec\r\nelec\r\n");
}

TEST_F(Cycle, TheEventLogKeepsTheTenNewest) {
    program({lineText({{"NONE"}, {}, {}, {}, {"CALC", "01"}, {"VAR ", "01"}, {"+   "}, {"CNST", "1"}}),
             lineText({{"NONE"}, {}, {}, {}, {"LOG "}, {"CNST", "row"}, {"VAR ", "01"}})});
    start();
    cycles(11);
    const CtlData d = data();
    EXPECT_STREQ(d.events[0].text, "row\t11");
    EXPECT_STREQ(d.events[9].text, "row\t2");
    EXPECT_EQ(d.events[0].tick10ms, 10);
    EXPECT_EQ(d.events[9].tick10ms, 1);
}

TEST_F(Cycle, TheLogFileIsWrittenAtCloseOnlyWhenNamed) {
    program({lineText({{"NONE"}, {}, {}, {}, {"LOG "}, {"CNST", "a"}, {"CNST", "b"}})});
    start();
    cycles(2);
    EXPECT_EQ(csv(), "") << "nothing is written during the run";
    engine->close();
    EXPECT_EQ(csv(), "a\tb\r\na\tb\r\n");

    program({}, "empty.csv");
    start();
    engine->close();
    EXPECT_TRUE(std::filesystem::exists(dir.file("empty.csv")));
    EXPECT_EQ(csv("empty.csv"), "");

    program({kLogPassage10ms}, "");
    start();
    cycles(2);
    engine->close();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3)
        << "no file without a name";
    EXPECT_NE(std::string_view(data().events[0].text), messages::kCsvOpenFailed) << "and no failure";
}

TEST_F(Cycle, ARelativeLogNameResolvesAgainstTheCurrentDirectoryAtClose) {
    test::ProgramBuilder().lines({kLogPassage10ms}).logFile("relative.csv").write(dir.file("LogicCtl.ini"));
    test::TempDir elsewhere;
    const auto previous = std::filesystem::current_path();
    start();
    cycles(1);
    std::filesystem::current_path(elsewhere.path());
    engine->close();
    std::filesystem::current_path(previous);
    EXPECT_TRUE(std::filesystem::exists(elsewhere.file("relative.csv")));
}

TEST_F(Cycle, ALogFileThatCannotBeWrittenIsTheNewestEvent) {
    program({kLogPassage10ms}, "no/such/dir/log.csv");
    start();
    cycles(1);
    EXPECT_EQ(engine->close(), 1);
    EXPECT_EQ(std::string_view(data().events[0].text), messages::kCsvOpenFailed);
}

TEST_F(Cycle, TheLogFileNameIsConvertedFromCodePage932WithSlashesForBackslashes) {
    std::filesystem::create_directory(dir.path() / "logs");
    // 表's trail byte is a backslash: the name is decoded before separators are replaced.
    // Whatever the system's code page (Windows opens the file by its Unicode name).
    const std::pair<std::string, std::u8string> names[] = {{"\x83\x8D\x83\x4F\x95\x5C.csv", u8"ログ表.csv"},
                                                           {"logs\\run.csv", u8"logs/run.csv"}};
    for (const auto& [stored, expected] : names) {
        program({kLogPassage10ms}, stored);
        start();
        cycles(1);
        engine->close();
        EXPECT_EQ(csv(expected), "0\r\n") << std::filesystem::path(expected);
    }
    // A name that does not convert writes no file.
    const auto entries = [&] {
        std::set<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
            found.insert(entry.path());
        return found;
    };
    program({kLogPassage10ms}, "bad\x83.csv");
    const auto before = entries();
    start();
    cycles(1);
    EXPECT_EQ(engine->close(), 1);
    EXPECT_EQ(entries(), before);
}

#ifndef _WIN32
TEST_F(Cycle, ALogFileNamingAFifoIsRefusedWithoutBlockingTheClose) {
    const std::string fifo = dir.file("fifo.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    program({kLogPassage10ms}, "fifo.csv");
    start();
    cycles(1);
    auto closing = std::async(std::launch::async, [&] { return engine->close(); });
    if (closing.wait_for(5s) != std::future_status::ready) {
        ADD_FAILURE() << "the close waits for a reader of the FIFO";
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK); // lets the writer go on
        closing.wait();
        ::close(reader);
    }
    EXPECT_EQ(closing.get(), 1);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
#endif

TEST_F(Cycle, StaleAnswersAreDiscarded) {
    program({});
    start();
    board.insertStaleAnswers(3);
    board.staleAnswers(1);
    board.setPort0Input(0xF0);
    cycles(4);
    const CtlData d = data();
    EXPECT_EQ(d.port0, 0xF0);
    EXPECT_EQ(d.tick10ms, 2);
    EXPECT_EQ(d.events[0].passageSec, -1) << "no read failed";
}

TEST_F(Cycle, FailedReadsKeepTheLastSampleSoNoTransitionFires) {
    program({lineText({{"NEW "}, {"PIN ", "001"}, {"STS ", "CHANGE"}, {"NONE"}, {"LOG "}, {"CNST", "x"}})});
    start();
    settle();
    board.setPort0Input(0xFE);
    cycles(2);
    board.setSilent(true);
    board.setPort0Input(0xFF);
    cycles(3); // the first still reads the answer sent before the silence

    const CtlData d = data();
    EXPECT_EQ(d.port0, 0xFE);
    for (int i = 0; i < 10; ++i)
        EXPECT_STREQ(d.events[i].text, "readKaldex NG");
    EXPECT_EQ(d.state, ZELK_STATE_RUNNING) << "the board stays open";
    board.setSilent(false);
    cycles(3);
    EXPECT_EQ(data().port0, 0xFF);
    engine->close();
    EXPECT_EQ(csv(), "x\r\nx\r\n") << "one change in, one change out";
}

// The board model behind reads that wait their whole time-out when no answer is queued, as a real device's
// reads do; the waiting moves the platform's clock.
class WaitingDevice final : public hid::Device {
public:
    WaitingDevice(vboard::BoardModel& model, test::FakePlatform& platform)
        : inner_(model), platform_(platform) {}
    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
        return inner_.attributes(vendorId, productId);
    }
    bool reportLengths(hid::ReportLengths& lengths) override { return inner_.reportLengths(lengths); }
    int read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        const int n = inner_.read(buffer, length, timeoutMs);
        if (n < 0) platform_.elapsedMs += timeoutMs;
        return n;
    }
    bool write(const std::uint8_t* report, std::size_t length) override {
        return inner_.write(report, length);
    }

private:
    vboard::ModelDevice inner_;
    test::FakePlatform& platform_;
};

TEST_F(Cycle, AMuteBoardCostsEachCycleNoMoreThanTheReadDeadline) {
    program({});
    test::FakePlatform p;
    p.cwd = dir.cwd();
    p.backend.add("/dev/mute", [&] { return std::make_unique<WaitingDevice>(board, p); });
    // On the heap: the engine holds its 2 MB log buffer, more than a Windows main thread's stack.
    auto e = std::make_unique<Engine>(p);
    ASSERT_EQ(e->open(), 1);
    test::FakeTimer& t = p.armedTimer();
    for (int i = 0; i < 3; ++i)
        t.fire();
    board.setSilent(true);
    t.fire(); // reads the answer queued before the silence
    const long before = p.elapsedMs.load();
    t.fire();
    EXPECT_LE(p.elapsedMs.load() - before, DeviceLink::kReadDeadlineMs + 1) << "the cycle keeps its period";
    CtlData d{};
    e->getCtlData(d);
    for (int i = 0; i < DeviceLink::kReadAttempts; ++i)
        EXPECT_STREQ(d.events[i].text, "readKaldex NG") << "every attempt is recorded, those cut short too";
    EXPECT_EQ(d.events[DeviceLink::kReadAttempts].text[0], '\0');
    e->close();
}

TEST_F(Cycle, WithoutAnyAcceptedReportThePortReadsAllEnergized) {
    program({});
    board.setSilent(true);
    start();
    cycles(1);
    EXPECT_EQ(data().port0, 0x00);
}

TEST_F(Cycle, AReportWithPortZeroAtZeroIsFollowedByOneMoreRead) {
    program({});
    start();
    settle();
    board.setPort0Input(0x00);
    cycles(2);
    const CtlData d = data();
    EXPECT_EQ(d.port0, 0x00) << "a failed extra read keeps the matched report";
    EXPECT_EQ(d.events[0].passageSec, -1);
}

TEST_F(Cycle, AFailedSendClosesTheBoardFromInsideTheCycle) {
    program({kLogPassage10ms});
    start();
    cycles(3);
    board.setRefuseWrites(true);
    engine->putCtlData(CtlRequest{0x01, {}});
    cycles(1);
    const CtlData d = data();
    EXPECT_EQ(d.state, ZELK_STATE_CLOSED);
    EXPECT_STREQ(d.events[0].text, "sendKaldex NG") << "command 3 fails as well";
    EXPECT_STREQ(d.events[1].text, "sendKaldex NG");
    EXPECT_FALSE(timer->armed()) << "no further cycle";
    EXPECT_EQ(csv(), "0\r\n0\r\n1\r\n2\r\n") << "the log file is written by the self-close";
    std::filesystem::remove(dir.file("log.csv"));
    EXPECT_EQ(engine->close(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("log.csv"))) << "written once";
}

} // namespace
} // namespace zelk
