#pragma once
// A program started by a test: its arguments, extra environment variables and working directory; standard
// output and error into files; standard input through a pipe. Ended with SIGKILL if it still runs when the
// object goes away, so a failed test leaves no process behind.
#include "testing/eventually.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace zelk::test {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ChildProcess {
public:
    struct Options {
        std::vector<std::string> args; // the program first
        std::vector<std::string> env;  // "NAME=value", added to the test's own environment
        std::filesystem::path cwd;     // empty: the test's
        std::filesystem::path out;     // standard output goes here
        std::filesystem::path err;     // standard error goes here
    };

    explicit ChildProcess(Options options) : options_(std::move(options)) {
        int input[2];
        if (::pipe2(input, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options_.out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options_.err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!options_.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options_.cwd.c_str());
        std::vector<std::string> env = options_.env;
        for (char** e = environ; *e != nullptr; ++e)
            env.emplace_back(*e); // the first of a name wins: the test's additions come first
        std::vector<char*> argv, envp;
        for (std::string& a : options_.args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        input_ = input[1];
        if (failed != 0) {
            ::close(input_);
            throw std::runtime_error("cannot start " + options_.args[0]);
        }
    }
    ~ChildProcess() {
        if (input_ >= 0) ::close(input_);
        if (!status_) {
            ::kill(pid_, SIGKILL);
            int ignored = 0;
            ::waitpid(pid_, &ignored, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void signal(int number) const { ::kill(pid_, number); }
    void write(std::string_view text) const { (void)!::write(input_, text.data(), text.size()); }

    std::string out() const { return readFile(options_.out); }
    std::string err() const { return readFile(options_.err); }

    // The exit status once the program has ended (128 + the signal's number when a signal ended it);
    // nullopt when it is still running after limit.
    std::optional<int> wait(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        eventually([&] { return ended(); }, limit);
        return status_;
    }
    bool ended() {
        if (status_) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }

private:
    Options options_;
    pid_t pid_ = -1;
    int input_ = -1;
    std::optional<int> status_;
};

} // namespace zelk::test
