// The exports' lifecycle: open, close, the status record and the run states.
#include "core/engine.h"
#include "core/messages.h"
#include "fake_platform.h"
#include "testing/test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#ifndef _WIN32
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zelk {
namespace {

std::string text(const EventEntry& e) {
    return e.text;
}

class Lifecycle : public ::testing::Test {
protected:
    Lifecycle() {
        platform.cwd = dir.cwd();
        platform.backend.add("/dev/board0", &board);
        test::writeFile(dir.file("LogicCtl.ini"), "[LOG_CSV]\r\nCSV_FNAME=" + dir.file("log.csv") + "\r\n");
    }
    CtlData data() const {
        CtlData d{};
        engine->getCtlData(d);
        return d;
    }

    test::TempDir dir;
    vboard::BoardModel board;
    test::FakePlatform platform;
    std::unique_ptr<Engine> engine = std::make_unique<Engine>(platform);
};

TEST_F(Lifecycle, BeforeAnyRunTheRecordIsEmpty) {
    CtlData d;
    std::memset(&d, 0x5A, sizeof d);
    engine->getCtlData(d);
    EXPECT_EQ(d.state, 0);
    EXPECT_EQ(d.port0, 0);
    EXPECT_EQ(d.port1, 0);
    EXPECT_EQ(d.startDate[0], '\0');
    EXPECT_EQ(d.startTime[0], '\0');
    EXPECT_EQ(d.passageSec, 0);
    for (const EventEntry& e : d.events) {
        EXPECT_EQ(e.passageSec, 0);
        EXPECT_EQ(e.text[0], '\0');
    }
    // Padding and the bytes behind the texts' NULs keep what the caller had.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&d);
    for (std::size_t i : {std::size_t{4}, std::size_t{13}, std::size_t{15}, std::size_t{22}, std::size_t{23},
                          std::size_t{29}, std::size_t{30}, std::size_t{31}})
        EXPECT_EQ(bytes[i], 0x5A) << "byte " << i;
}

TEST_F(Lifecycle, RunStartsWithEmptyEventsAndTheStartStamp) {
    ASSERT_EQ(engine->open(), 1);
    platform.armedTimer();
    const CtlData d = data();
    EXPECT_EQ(d.state, ZELK_STATE_RUNNING);
    EXPECT_STREQ(d.startDate, "2026/12/07");
    EXPECT_STREQ(d.startTime, "09:05:03");
    EXPECT_EQ(d.port0, 0xFF);
    EXPECT_EQ(d.port1, 0x0F);
    for (const EventEntry& e : d.events) {
        EXPECT_EQ(e.passageSec, -1);
        EXPECT_EQ(e.tick10ms, 0);
        EXPECT_EQ(e.text[0], '\0');
    }
    // The three start reports went out, then a 10 ms pause.
    EXPECT_EQ(board.commandCount(1), 1u);
    EXPECT_EQ(board.commandCount(2), 1u);
    EXPECT_EQ(board.commandCount(3), 1u);
    EXPECT_EQ(board.port0Output(), 0xFF);
    EXPECT_EQ(board.port1Output(), 0x0F);
    EXPECT_GE(platform.sleptMs.load(), 10);
}

TEST_F(Lifecycle, CloseTwiceClosesOnceAndWritesTheLogOnce) {
    EXPECT_EQ(engine->close(), 0) << "no run yet";
    EXPECT_FALSE(std::filesystem::exists(dir.file("log.csv")));
    ASSERT_EQ(engine->open(), 1);
    platform.armedTimer();
    EXPECT_EQ(engine->close(), 1);
    EXPECT_EQ(data().state, ZELK_STATE_CLOSED);
    EXPECT_FALSE(platform.timer.load()->armed());
    ASSERT_TRUE(std::filesystem::exists(dir.file("log.csv")));
    std::filesystem::remove(dir.file("log.csv"));
    EXPECT_EQ(engine->close(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("log.csv")));
    EXPECT_STREQ(data().startDate, "2026/12/07") << "the start stamp outlives the run";
}

TEST_F(Lifecycle, FailedOpenKeepsOlderEntriesBelowItsMessage) {
    test::FakePlatform empty;
    empty.cwd = dir.cwd();
    auto noBoard = std::make_unique<Engine>(empty);
    EXPECT_EQ(noBoard->open(), 0);
    EXPECT_EQ(noBoard->open(), 0);
    CtlData d{};
    noBoard->getCtlData(d);
    EXPECT_EQ(d.state, ZELK_STATE_CLOSED);
    EXPECT_EQ(text(d.events[0]), messages::kOpenFailed);
    EXPECT_EQ(text(d.events[1]), messages::kOpenFailed);
    EXPECT_EQ(d.events[2].text[0], '\0');
}

TEST_F(Lifecycle, UnknownWorkingDirectoryLeavesOpeningAndRetries) {
    platform.cwd.clear();
    EXPECT_EQ(engine->open(), 0);
    EXPECT_EQ(data().state, ZELK_STATE_OPENING);
    EXPECT_EQ(text(data().events[0]), messages::kCurrentDirectoryFailed);
    platform.cwd = dir.cwd();
    EXPECT_EQ(engine->open(), 1);
    engine->close();
}

TEST_F(Lifecycle, OpenWhileRunningIsRefusedAndLeavesTheRunAlone) {
    ASSERT_EQ(engine->open(), 1);
    test::FakeTimer& timer = platform.armedTimer();
    EXPECT_EQ(engine->open(), 0);
    const CtlData d = data();
    EXPECT_EQ(d.state, ZELK_STATE_RUNNING);
    EXPECT_EQ(text(d.events[0]), messages::kOpenFailed);
    EXPECT_EQ(platform.backend.opened, 1) << "no second board";
    EXPECT_TRUE(timer.fire()) << "the run goes on";
    EXPECT_EQ(engine->close(), 1);
}

TEST_F(Lifecycle, FailedSendAtRunStartClosesTheBoardAndStartsNothing) {
    test::writeFile(dir.file("log.csv"), "previous run\r\n");
    board.setRefuseWrites(true);
    EXPECT_EQ(engine->open(), 0);
    const CtlData d = data();
    EXPECT_EQ(d.state, ZELK_STATE_CLOSED);
    EXPECT_EQ(text(d.events[0]), messages::kSendFailed);
    EXPECT_EQ(platform.timer.load()->armed(), false);
    EXPECT_EQ(engine->close(), 0);
    std::string log;
    ASSERT_TRUE(test::readFile(dir.file("log.csv"), log));
    EXPECT_EQ(log, "previous run\r\n") << "a run that never began leaves the previous log alone";
    board.setRefuseWrites(false);
    EXPECT_EQ(engine->open(), 1) << "the board can be opened again";
    engine->close();
}

TEST_F(Lifecycle, CloseBeforeTheTimerIsArmedStillEndsTheControlThread) {
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(engine->open(), 1);
        EXPECT_EQ(engine->close(), 1); // joins the control thread: a hang here is the fault
        EXPECT_FALSE(platform.timer.load()->armed());
    }
}

TEST_F(Lifecycle, ADeepWorkingDirectoryIsTheBaseDirectory) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows' ANSI file functions stop at MAX_PATH (260)";
#endif
    // Longer than 256 bytes: the platform's own path limit applies, not a fixed one.
    std::filesystem::path deep = dir.path();
    while (deep.string().size() <= 300)
        deep /= std::string(40, 'd');
    std::filesystem::create_directories(deep);
    test::writeFile((deep / "LogicCtl.ini").string(), "[LG_CONTENTS]\r\nLG_MAIN_CNT=7\r\n");
    platform.cwd = deep.string() + "/";
    ASSERT_EQ(engine->open(), 1);
    EXPECT_EQ(engine->program().main.count, 7);
    engine->close();
}

// A KALDEX board that declares the given report lengths and counts the reports written to it.
class DeclaredLengths final : public hid::Device {
public:
    DeclaredLengths(hid::ReportLengths lengths, int& writes) : lengths_(lengths), writes_(writes) {}
    bool attributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
        vendorId = kKaldexVendorId;
        productId = 0x0100;
        return true;
    }
    bool reportLengths(hid::ReportLengths& lengths) override {
        lengths = lengths_;
        return true;
    }
    int read(std::uint8_t*, std::size_t, int) override { return -1; }
    bool write(const std::uint8_t*, std::size_t) override { return ++writes_ > 0; }

private:
    hid::ReportLengths lengths_;
    int& writes_;
};

TEST_F(Lifecycle, ReportsOf4To65BytesAreServedAndOthersAreNot) {
    vboard::BoardModel wide({.inputLength = 65, .outputLength = 65});
    vboard::BoardModel tooWide({.inputLength = 66, .outputLength = 9});
    int writes = 0;
    test::FakePlatform p;
    p.cwd = dir.cwd();
    p.backend.add("/dev/too-wide", &tooWide);
    // Too short for the command, value and sequence bytes after the report ID.
    for (const hid::ReportLengths lengths : {hid::ReportLengths{3, 9}, {9, 3}, {1, 1}})
        p.backend.add("/dev/too-short-" + std::to_string(lengths.input) + "-" +
                          std::to_string(lengths.output),
                      [lengths, &writes] { return std::make_unique<DeclaredLengths>(lengths, writes); });
    auto e = std::make_unique<Engine>(p);
    EXPECT_EQ(e->open(), 0);
    EXPECT_EQ(tooWide.reportCount(), 0u);
    EXPECT_EQ(writes, 0);
    p.backend.add("/dev/wide", &wide);
    ASSERT_EQ(e->open(), 1);
    wide.setPort0Input(0xA5);
    for (int i = 0; i < 4; ++i)
        p.armedTimer().fire();
    CtlData d{};
    e->getCtlData(d);
    EXPECT_EQ(d.port0, 0xA5);
    e->close();
}

TEST(BoardIdentification, ProductIdsOfTheMakersBoards) {
    const std::uint16_t vendor = kKaldexVendorId;
    for (std::uint16_t p : {0x0100, 0x0105, 0x010F, 0x1000})
        EXPECT_TRUE(isKaldexBoard(vendor, p)) << p;
    for (std::uint16_t p : {0x0110, 0x00FF, 0x1001, 0x0000})
        EXPECT_FALSE(isKaldexBoard(vendor, p)) << p;
    EXPECT_FALSE(isKaldexBoard(static_cast<std::uint16_t>(vendor + 1), 0x0100));
}

TEST_F(Lifecycle, TheFirstMatchingBoardIsOpenedAndOthersAreSkipped) {
    vboard::BoardModel other({.vendorId = kKaldexVendorId, .productId = 0x0110});
    vboard::BoardModel second;
    test::FakePlatform p;
    p.cwd = dir.cwd();
    p.backend.add("/dev/unopenable", nullptr);
    p.backend.add("/dev/other", &other);
    p.backend.add("/dev/first", &board);
    p.backend.add("/dev/second", &second);
    auto e = std::make_unique<Engine>(p);
    ASSERT_EQ(e->open(), 1);
    EXPECT_EQ(board.commandCount(1), 1u);
    EXPECT_EQ(second.reportCount(), 0u);
    EXPECT_EQ(other.reportCount(), 0u);
    e->close();
}

// Another maker's device, or the maker's with a product ID that is no board's, is not even opened when the
// enumeration lists its IDs.
TEST_F(Lifecycle, DevicesListedWithOtherIdsAreNeverOpened) {
    vboard::BoardModel otherVendor({.vendorId = static_cast<std::uint16_t>(kKaldexVendorId + 1)});
    vboard::BoardModel otherProduct({.vendorId = kKaldexVendorId, .productId = 0x0200});
    test::FakePlatform p;
    p.cwd = dir.cwd();
    p.backend.add("/dev/hidraw0", &otherVendor);
    p.backend.list("/dev/hidraw0", otherVendor.config().vendorId, 0x0100);
    p.backend.add("/dev/hidraw1", &otherProduct);
    p.backend.list("/dev/hidraw1", kKaldexVendorId, 0x0200);
    p.backend.add("/dev/hidraw2", &board);
    p.backend.list("/dev/hidraw2", kKaldexVendorId, board.config().productId);
    auto e = std::make_unique<Engine>(p);
    ASSERT_EQ(e->open(), 1);
    EXPECT_EQ(p.backend.opened, 1) << "only the board is opened";
    EXPECT_EQ(board.commandCount(1), 1u);
    e->close();
}

TEST(EngineMessages, AreCodePage932) {
    // The Japanese texts are stored as byte escapes; check a few against their known encoding.
    EXPECT_EQ(messages::kOpenFailed, "KALDEX\x83\x49\x81\x5B\x83\x76\x83\x93\x8E\xB8\x94\x73");
    EXPECT_EQ(messages::kCurrentDirectoryFailed.substr(0, 4), "\x83\x4A\x83\x8C");
    EXPECT_EQ(messages::kCurrentDirectoryFailed.size(), 28u);
}

#ifndef _WIN32
// exitKaldex ends the process with status 0 through the normal exit path: exit handlers run.
TEST(Exports, ExitKaldexExitsWithZeroAndRunsExitHandlers) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        static int writeEnd = fds[1];
        std::atexit([] { (void)!write(writeEnd, "x", 1); });
        void* library = dlopen(ZELK_ENG_LIBRARY, RTLD_NOW);
        if (library == nullptr) _exit(3);
        auto exitKaldex = reinterpret_cast<exitKaldex_fn>(dlsym(library, "exitKaldex"));
        if (exitKaldex == nullptr) _exit(4);
        exitKaldex();
        _exit(5);
    }
    close(fds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    char c = 0;
    EXPECT_EQ(read(fds[0], &c, 1), 1) << "the exit handler ran";
    close(fds[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

} // namespace
} // namespace zelk
