#include "profile/profile.h"
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
#ifdef ZELK_PROFILE_ORACLE
#include "system_profile.h"
using zelk::profile::system::getString;
using zelk::profile::system::writeString;
// A case where the layer answers differently from the system on purpose: skipped against the system, unless
// ZELK_PROFILE_ORACLE_ALL is set (to count how many cases agree).
#define DIFFERS_FROM_SYSTEM(reason)                                                                          \
    if (std::getenv("ZELK_PROFILE_ORACLE_ALL") == nullptr)                                                   \
    GTEST_SKIP() << "differs from the system: " << (reason)
#else
using zelk::profile::getString;
using zelk::profile::writeString;
#define DIFFERS_FROM_SYSTEM(reason) static_cast<void>(0)
#endif

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override {
        temp = std::make_unique<zelk::test::TempDir>(base());
        dir = temp->path();
        path = (dir / "test.ini").string();
    }
    virtual fs::path base() { return fs::temp_directory_path(); }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        temp.reset();
    }

    void put(const std::string& bytes, const fs::path& file = {}) {
        std::ofstream(file.empty() ? fs::path(path) : file, std::ios::binary) << bytes;
    }
    std::string contents(const fs::path& file = {}) {
        std::ifstream in(file.empty() ? fs::path(path) : file, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::vector<std::string> entries() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) {
            std::string name = e.path().filename().string();
#ifdef _WIN32
            if (name.ends_with(".lock")) continue; // the writers' lock file stays on Windows
#endif
            names.push_back(std::move(name));
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Reads through getString into a buffer with guard bytes behind the size it is given, and checks the
    // terminating NUL and that nothing was written past the size.
    std::string get(std::string_view section, std::string_view key, std::string_view def = "DEF",
                    std::size_t size = 256, const std::string& file = {}) {
        std::vector<char> buffer(size + 16, '#');
        const std::size_t n = getString(section, key, def, buffer.data(), size, file.empty() ? path : file);
        EXPECT_LT(n, size);
        EXPECT_EQ(buffer[n], '\0');
        EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(size), buffer.end(),
                                [](char c) { return c == '#'; }));
        return std::string(buffer.data(), n);
    }
    bool set(std::string_view section, std::string_view key, std::string_view value) {
        return writeString(section, key, value, path);
    }

    std::unique_ptr<zelk::test::TempDir> temp;
    fs::path dir;
    std::string path;
};

// "ゾーン" and "ア" in code page 932: the first holds ']' and '[' as trail bytes.
const std::string kZone = "\x83\x5D\x81\x5B\x83\x93";
const std::string kKanaA = "\x83\x41";

TEST_F(Profile, NamesMatchWithoutCaseAndSurroundingBlanks) {
    put("  [ Main Sec ] text after\r\n\tMyKey \t= v1\r\n[" + kZone + "]\r\n" + kKanaA + "=kana\r\n");
    EXPECT_EQ(get("main sec", "MYKEY"), "v1");
    EXPECT_EQ(get("  MAIN SEC ", " mykey "), "v1");
    EXPECT_EQ(get("MainSec", "MyKey"), "DEF");
    EXPECT_EQ(get("Main Sec", "MyKe"), "DEF");
    EXPECT_EQ(get(kZone, kKanaA), "kana");
    EXPECT_EQ(get(kZone, "\x83\x61"), "DEF"); // a different character, not a case variant
}

TEST_F(Profile, VerticalTabIsABlankInTheFile) {
    DIFFERS_FROM_SYSTEM(
        "the system rewrites the whole file in a layout of its own; the layer changes the key's line only");
    put("[\vS\v]\r\n\vk=\vv\v\r\n");
    EXPECT_EQ(get("S", "k"), "v");
    ASSERT_TRUE(set("S", "k", "w"));
    EXPECT_EQ(contents(), "[\vS\v]\r\nk=w\r\n");
}

TEST_F(Profile, CallersNamesLoseSpacesButKeepTabs) {
    DIFFERS_FROM_SYSTEM("the system trims tabs around the caller's names too");
    put("[Section1]\r\nKey1=v\r\n");
    EXPECT_EQ(get("\tSection1", "Key1"), "DEF");
    EXPECT_EQ(get("Section1", "Key1\t"), "DEF");
    ASSERT_TRUE(set("\tA", "k\tx\t", "v"));
    EXPECT_EQ(contents(), "[Section1]\r\nKey1=v\r\n[\tA]\r\nk\tx\t=v\r\n");
}

TEST_F(Profile, HeaderWithoutClosingBracketStartsASectionNamedByTheRestOfItsLine) {
    DIFFERS_FROM_SYSTEM("the system skips a header without ']' and leaves its keys in the section before");
    put("[LG_MAIN]\r\nLG_COMP_0000=a\r\n[ LG_END \t\r\nLG_COMP_0001=b\r\n");
    EXPECT_EQ(get("LG_MAIN", "LG_COMP_0001"), "DEF");
    EXPECT_EQ(get("LG_END", "LG_COMP_0001"), "b");
    ASSERT_TRUE(set("LG_MAIN", "LG_COMP_0002", "c"));
    EXPECT_EQ(contents(),
              "[LG_MAIN]\r\nLG_COMP_0000=a\r\nLG_COMP_0002=c\r\n[ LG_END \t\r\nLG_COMP_0001=b\r\n");
}

TEST_F(Profile, ValueIsTrimmedAndLosesOneMatchingQuotePair) {
    const std::pair<std::string, std::string> cases[] = {{"k= \t plain text \t ", "plain text"},
                                                         {"k=\"quoted \"", "quoted "},
                                                         {"k= ' single ' ", " single "},
                                                         {"k=\"mixed'", "\"mixed'"},
                                                         {"k=\"", "\""},
                                                         {"k=\"\"", ""},
                                                         {"k=\"\"x\"\"", "\"x\""},
                                                         {"k=a;b ; c", "a;b ; c"},
                                                         {"k=x=y", "x=y"},
                                                         {"k=", ""}};
    for (const auto& [line, expected] : cases) {
        put("[s]\r\n" + line + "\r\n");
        EXPECT_EQ(get("s", "k"), expected) << line;
    }
}

TEST_F(Profile, CommentsLinesWithoutEqualsAndKeysBeforeAnySectionAreNotKeys) {
    DIFFERS_FROM_SYSTEM(
        "the system finds keys before any section under the empty name, and ';' lines by their full name");
    put("orphan=1\r\n[s]\r\n;k=comment\r\n \t; k2=comment\r\nnoequals\r\nk3=v;data\r\n");
    EXPECT_EQ(get("s", "orphan"), "DEF");
    EXPECT_EQ(get("", "orphan"), "DEF");
    EXPECT_EQ(get("s", "k"), "DEF");
    EXPECT_EQ(get("s", ";k"), "DEF");
    EXPECT_EQ(get("s", "k2"), "DEF");
    EXPECT_EQ(get("s", "noequals"), "DEF");
    EXPECT_EQ(get("s", "k3"), "v;data");
}

TEST_F(Profile, FirstDuplicateKeyAndSectionWin) {
    put("[a]\r\nk=first\r\nK=second\r\n[b]\r\n[A]\r\nk=third\r\nonly=later\r\n");
    EXPECT_EQ(get("a", "k"), "first");
    EXPECT_EQ(get("a", "only"), "DEF");
}

TEST_F(Profile, EntriesListEveryHeaderAndKeyAndWhetherTheReaderFindsIt) {
    put("orphan=0\r\n[a]\r\n; note\r\nk = \"first\" \r\nK=second\r\n[b]\r\n[A]\r\nk=third\r\nonly=later\r\n");
    const auto entries = zelk::profile::readEntries(path);
    ASSERT_TRUE(entries);
    std::vector<std::string> seen;
    for (const auto& e : *entries)
        seen.push_back(std::to_string(e.line) + " [" + e.section + "] " + e.key + "=" + e.value +
                       (e.counts ? " counts" : ""));
    EXPECT_EQ(seen, (std::vector<std::string>{"1 [] orphan=0", "2 [a] = counts", "4 [a] k=first counts",
                                              "5 [a] K=second", "6 [b] = counts", "7 [A] =", "8 [A] k=third",
                                              "9 [A] only=later"}));
    EXPECT_FALSE(zelk::profile::readEntries(path + ".missing"));
    EXPECT_FALSE(zelk::profile::readEntries(dir.string()));
}

TEST_F(Profile, AllLineEndsReadAlike) {
    put("[s]\rcr=1\rlf=2\ncrlf=3\r\n\r\n[t]\nlast=4");
    EXPECT_EQ(get("s", "cr"), "1");
    EXPECT_EQ(get("s", "lf"), "2");
    EXPECT_EQ(get("s", "crlf"), "3");
    EXPECT_EQ(get("t", "last"), "4");
}

TEST_F(Profile, WritesWorkAlikeForEveryLineEnd) {
    DIFFERS_FROM_SYSTEM(
        "the system rewrites the whole file in a layout of its own; the layer changes the key's line only");
    for (const std::string eol : {"\r", "\n", "\r\n"}) {
        put("[A]" + eol + "x=1" + eol + "y=2" + eol);
        ASSERT_TRUE(set("A", "y", "3"));
        ASSERT_TRUE(set("A", "z", "4"));
        ASSERT_TRUE(set("B", "k", "5"));
        EXPECT_EQ(contents(), "[A]" + eol + "x=1" + eol + "y=3\r\nz=4\r\n[B]\r\nk=5\r\n");
    }
    put("[A]\r\nk=1\r"); // the last line of a file cut short after its CR
    ASSERT_TRUE(set("A", "k", "2"));
    EXPECT_EQ(contents(), "[A]\r\nk=2\r\n");
}

TEST_F(Profile, DefaultsAndBufferLimits) {
    EXPECT_EQ(get("s", "k", "  dflt  "), "  dflt"); // no file
    put("[s]\r\nk=abcdef\r\n");
    EXPECT_EQ(get("t", "k", "dflt "), "dflt");
    EXPECT_EQ(get("s", "x", "longdefault", 5), "long");
    EXPECT_EQ(get("s", "k", "", 4), "abc");
    EXPECT_EQ(get("s", "k", "", 1), "");
    char untouched = '#';
    EXPECT_EQ(getString("s", "k", "", &untouched, 0, path), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(get("s", "k", "dir", 256, dir.string()), "dir"); // a directory is no file
}

TEST_F(Profile, ValueBytesAreCopiedUninterpreted) {
    DIFFERS_FROM_SYSTEM("the system's value ends at a NUL byte");
    const std::string value = "\x83\x5C\x95\x5C|\x83|\\n\x81\x7C"; // trail bytes '\' and '|', a literal \n
    put("[s]\r\nk=" + value + "\r\nnul=ab" + std::string("\0cd", 3) + "\r\n");
    EXPECT_EQ(get("s", "k"), value);
    EXPECT_EQ(get("s", "nul"), std::string("ab\0cd", 5));
}

TEST_F(Profile, HostileFilesAreReadWithinBounds) {
    std::mt19937 rng(7);
    std::string garbage(200000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    put("[s]\r\nlong=" + std::string(100000, 'x') + "\r\n" + garbage + "\r\n[z]\r\nk=end");
    EXPECT_EQ(get("s", "long", "", 8), "xxxxxxx");
    EXPECT_EQ(get("s", "long", "", 200000).size(), 100000u);
    EXPECT_EQ(get("z", "k"), "end");
    for (int i = 0; i < 50; ++i)
        get(garbage.substr(rng() % garbage.size(), 3), garbage.substr(rng() % garbage.size(), 2), "",
            1 + rng() % 9);
}

TEST_F(Profile, ManyLookupsInALargeFileAllFindTheirKeys) {
    std::string text;
    for (int s = 0; s < 8; ++s) {
        text += "[SECTION_" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 100; ++k)
            text +=
                "KEY_" + std::to_string(k) + "=" + std::string(110, static_cast<char>('a' + k % 26)) + "\r\n";
    }
    put(text);
    int found = 0;
    for (int s = 0; s < 8; ++s)
        for (int k = 0; k < 100; ++k)
            found += get("section_" + std::to_string(s), "key_" + std::to_string(k)).size() == 110;
    EXPECT_EQ(found, 800);
}

TEST_F(Profile, UpdateRewritesOnlyTheKeyLineInTheFilesSpelling) {
    DIFFERS_FROM_SYSTEM(
        "the system rewrites the whole file in a layout of its own; the layer changes the key's line only");
    put("; head\r\n[Sec]\n  MyKey = old \r\nOther=1\r\n\r\n; tail\n");
    ASSERT_TRUE(set("SEC", " mykey ", " 'new;v' "));
    EXPECT_EQ(contents(), "; head\r\n[Sec]\nMyKey= 'new;v' \r\nOther=1\r\n\r\n; tail\n");
    EXPECT_EQ(get("sec", "MYKEY"), "new;v");
    ASSERT_TRUE(set("Sec", "MyKey", " 'new;v' ")); // unchanged value
    EXPECT_EQ(contents(), "; head\r\n[Sec]\nMyKey= 'new;v' \r\nOther=1\r\n\r\n; tail\n");
}

TEST_F(Profile, NewKeyFollowsTheLastKeyLineOfItsSection) {
    DIFFERS_FROM_SYSTEM(
        "the system rewrites the whole file in a layout of its own; the layer changes the key's line only");
    put("[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\n; no keys yet\r\n[C]\r\nc=1\n");
    ASSERT_TRUE(set("a", "y", "2"));
    ASSERT_TRUE(set("B", "k", "v"));
    EXPECT_EQ(contents(),
              "[A]\r\nx=1\r\ny=2\r\n\r\n; about B\r\n[B]\r\nk=v\r\n; no keys yet\r\n[C]\r\nc=1\n");
    put("[A]\nx=1");
    ASSERT_TRUE(set("A", "y", "2"));
    EXPECT_EQ(contents(), "[A]\nx=1\r\ny=2\r\n");
    put("[A]");
    ASSERT_TRUE(set("A", "y", "2"));
    EXPECT_EQ(contents(), "[A]\r\ny=2\r\n");
}

TEST_F(Profile, NewSectionIsAppendedAndMissingFileCreated) {
    DIFFERS_FROM_SYSTEM("the system keeps spaces after the caller's names and rewrites the file's line ends");
    ASSERT_TRUE(set(" First ", " k ", "v"));
    EXPECT_EQ(contents(), "[First]\r\nk=v\r\n");
    ASSERT_TRUE(set(kZone, "k", "v"));
    EXPECT_EQ(contents(), "[First]\r\nk=v\r\n[" + kZone + "]\r\nk=v\r\n");
    EXPECT_EQ(get(kZone, "K"), "v");
    put("[A]\nx=1");
    ASSERT_TRUE(set("New", "k", "v"));
    EXPECT_EQ(contents(), "[A]\nx=1\r\n[New]\r\nk=v\r\n");
}

TEST_F(Profile, WritesGoIntoTheFirstOfDuplicateSections) {
    put("[A]\r\nx=1\r\n[B]\r\n[a]\r\nx=2\r\ny=3\r\n");
    ASSERT_TRUE(set("A", "y", "new"));
    EXPECT_EQ(contents(), "[A]\r\nx=1\r\ny=new\r\n[B]\r\n[a]\r\nx=2\r\ny=3\r\n");
}

TEST_F(Profile, NamesAndValuesThatWouldNotReadBackAreRefused) {
    DIFFERS_FROM_SYSTEM(
        "the system writes line breaks, ']' and '=' as given, planting other keys and sections");
    put("[A]\r\nx=1\r\n");
    EXPECT_FALSE(set("A", "x", "1\r\n[Evil]"));
    EXPECT_FALSE(set("A", "x", "1\n"));
    EXPECT_FALSE(set("A]", "x", "1"));
    EXPECT_FALSE(set("A", "x=y", "1"));
    EXPECT_FALSE(set("A", ";x", "1"));
    EXPECT_FALSE(set("A", "\t[x", "1"));
    EXPECT_FALSE(set("A\xE8", "x", "1")) << "a lead byte would take the closing ']' as its second byte";
    EXPECT_EQ(contents(), "[A]\r\nx=1\r\n");
}

TEST_F(Profile, FailedWritesReturnFalseAndLeaveNothingBehind) {
    EXPECT_FALSE(writeString("A", "k", "v", (dir / "missing" / "x.ini").string()));
    put("plain", dir / "plain");
    EXPECT_FALSE(writeString("A", "k", "v", (dir / "plain" / "x.ini").string()));
    fs::create_directory(dir / "d.ini");
    EXPECT_FALSE(writeString("A", "k", "v", (dir / "d.ini").string()));
    EXPECT_EQ(entries(), (std::vector<std::string>{"d.ini", "plain"}));
    EXPECT_EQ(contents(dir / "plain"), "plain");
}

TEST_F(Profile, ReadOnlyFileOrDirectoryIsNotWritten) {
    DIFFERS_FROM_SYSTEM("under Wine run as root the system writes a read-only file");
#ifndef _WIN32
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not bind root";
#endif
    put("[A]\r\nx=1\r\n");
    fs::permissions(path, fs::perms::owner_read); // on Windows: the read-only attribute
    EXPECT_FALSE(set("A", "x", "2"));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
#ifndef _WIN32
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(set("A", "x", "2"));
#endif
    EXPECT_EQ(contents(), "[A]\r\nx=1\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"test.ini"});
}

#ifndef _WIN32
TEST_F(Profile, SymlinkAndPermissionBitsSurviveAWrite) {
    put("[A]\r\nx=1\r\n", dir / "real.ini");
    fs::permissions(dir / "real.ini", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.ini", path);
    fs::create_symlink("later.ini", dir / "dangling.ini");
    ASSERT_TRUE(set("A", "x", "2"));
    ASSERT_TRUE(writeString("A", "x", "3", (dir / "dangling.ini").string()));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.ini"));
    EXPECT_EQ(contents(dir / "real.ini"), "[A]\r\nx=2\r\n");
    EXPECT_EQ(contents(dir / "later.ini"), "[A]\r\nx=3\r\n");
    EXPECT_EQ(fs::status(dir / "real.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), (std::vector<std::string>{"dangling.ini", "later.ini", "real.ini", "test.ini"}));
}
#endif

#ifndef _WIN32
// In memory where the system has it: these tests are about writers taking turns, not about the disk.
class ConcurrentProfile : public Profile {
protected:
    fs::path base() override { return fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : Profile::base(); }
};

TEST_F(ConcurrentProfile, WritersInTwoProcessesLoseNoKey) {
    constexpr int kKeys = 1000;
    const auto keyName = [](int writer, int k) {
        return "W" + std::to_string(writer) + "_" + std::to_string(k);
    };
    put("[S]\r\n");
    put("", path + ".lock"); // left behind by a writer that was killed
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            ::close(start[1]);
            char go;
            (void)!::read(start[0], &go, 1); // returns when the parent closes its end: both start together
            int failed = 0;
            for (int k = 0; k < kKeys; ++k)
                failed += !writeString("S", keyName(w, k), std::to_string(k), path);
            ::_exit(failed == 0 ? 0 : 1);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    for (const pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write returned false";
    }
    int present = 0;
    for (int w = 0; w < 2; ++w)
        for (int k = 0; k < kKeys; ++k)
            present += get("S", keyName(w, k)) == std::to_string(k);
    EXPECT_EQ(present, 2 * kKeys);
    EXPECT_EQ(entries(), std::vector<std::string>{"test.ini"});
}

TEST_F(ConcurrentProfile, ReadersDoNotWaitForAWriter) {
    put("[S]\r\nk=v\r\n");
    const int held = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(get("S", "k"), "v");
    ::close(held);
}
#endif

#ifdef _WIN32
// Writers in two processes: this test program started twice more, each writing keys of its own.
constexpr const char* kWriterJob = "ZELK_PROFILE_TEST_WRITER"; // "<writer number> <profile path>"
constexpr int kWriterKeys = 200;

std::string writerKey(int writer, int k) {
    return "W" + std::to_string(writer) + "_" + std::to_string(k);
}

TEST(ProfileWriterProcess, WritesItsKeys) {
    const char* job = std::getenv(kWriterJob);
    if (job == nullptr) GTEST_SKIP() << "a writer started by WritersInTwoProcessesLoseNoKey";
    const int writer = job[0] - '0';
    const std::string file = job + 2;
    for (int k = 0; k < kWriterKeys; ++k)
        ASSERT_TRUE(writeString("S", writerKey(writer, k), std::to_string(k), file));
}

TEST_F(Profile, WritersInTwoProcessesLoseNoKey) {
    DIFFERS_FROM_SYSTEM("the system's writers in two processes overwrite each other's keys");
    put("[S]\r\n");
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    std::string command = std::string("\"") + self + "\" --gtest_filter=ProfileWriterProcess.*";
    HANDLE writers[2];
    for (int w = 0; w < 2; ++w) {
        SetEnvironmentVariableA(kWriterJob, (std::to_string(w) + " " + path).c_str());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process));
        CloseHandle(process.hThread);
        writers[w] = process.hProcess;
    }
    SetEnvironmentVariableA(kWriterJob, nullptr);
    ASSERT_EQ(WaitForMultipleObjects(2, writers, TRUE, 120000), WAIT_OBJECT_0);
    for (HANDLE writer : writers) {
        DWORD status = 1;
        GetExitCodeProcess(writer, &status);
        EXPECT_EQ(status, 0u) << "a write returned false";
        CloseHandle(writer);
    }
    int present = 0;
    for (int w = 0; w < 2; ++w)
        for (int k = 0; k < kWriterKeys; ++k)
            present += get("S", writerKey(w, k)) == std::to_string(k);
    EXPECT_EQ(present, 2 * kWriterKeys);
}
#endif

} // namespace
