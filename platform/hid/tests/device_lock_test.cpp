// The board lock over a stand-in for a hidraw node: the lock is the same on any file.
#include "hid/device_lock.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using zelk::hid::lockDevice;
using zelk::hid::UniqueFd;

namespace {

class DeviceLock : public TempDirTest {
protected:
    // Whether another process can take the lock on path.
    bool lockableByAnotherProcess(const std::string& path) {
        const pid_t child = ::fork();
        if (child == 0) _exit(lockDevice(path).valid() ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

TEST_F(DeviceLock, OneHolderAtATimeAcrossProcessesUntilItsCloseOrItsEnd) {
    const std::string node = dir + "/hidraw0";
    std::ofstream(node) << "";

    UniqueFd held = lockDevice(node);
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(lockDevice(node).valid()) << "a second open in this process";
    EXPECT_FALSE(lockableByAnotherProcess(node));
    held.reset();
    EXPECT_TRUE(lockableByAnotherProcess(node)) << "released on close";

    // A holder that dies without closing releases the board too.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        UniqueFd lock;
        while (!lock.valid())
            lock = lockDevice(node);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_FALSE(lockDevice(node).valid());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(lockDevice(node).valid());

    EXPECT_FALSE(lockDevice(dir + "/missing").valid());
}

TEST_F(DeviceLock, AFailedLockSaysWhy) {
    const std::string node = dir + "/hidraw0";
    std::ofstream(node) << "";
    UniqueFd held = lockDevice(node);
    ASSERT_TRUE(held.valid());
    int error = 0;
    EXPECT_FALSE(lockDevice(node, &error).valid());
    EXPECT_EQ(error, EWOULDBLOCK) << "held elsewhere";
    EXPECT_FALSE(lockDevice(dir + "/missing", &error).valid());
    EXPECT_EQ(error, ENOENT);

    // A node the user may not read: root may read anything, so only another user sees the refusal.
    if (::geteuid() == 0) GTEST_SKIP() << "root is never refused";
    const std::string forbidden = dir + "/hidraw1";
    std::ofstream(forbidden) << "";
    ASSERT_EQ(::chmod(forbidden.c_str(), 0), 0);
    EXPECT_FALSE(lockDevice(forbidden, &error).valid());
    EXPECT_EQ(error, EACCES);
}

} // namespace
