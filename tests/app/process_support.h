#pragma once

// Programs as processes for the end-to-end tests: vna-sim on its pseudo-terminal for the length of
// a test, and a program run to its end (or answered at its terminal) with both outputs collected.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/test_rig.h"

namespace vna::test {

using ProcessClock = std::chrono::steady_clock;

struct Output {
    int status = -1;
    std::string out;
    std::string err;
};

// One exchange of a user at the terminal: when the program's questions show `shows`, the user does
// `act` (attaches a standard) and types `type`.
struct TerminalStep {
    std::string shows;
    std::function<void()> act;
    std::string type;
};

// Runs a program whose questions come on its error output and whose answers are read from its
// input, answering the steps in order. `child` receives the program's process id.
inline Output RunAtTerminal(const std::vector<std::string>& args, const std::vector<TerminalStep>& steps,
                            std::chrono::milliseconds limit = std::chrono::seconds(120),
                            pid_t* child = nullptr) {
    int inPipe[2], outPipe[2], errPipe[2];
    EXPECT_EQ(::pipe(inPipe), 0);
    EXPECT_EQ(::pipe(outPipe), 0);
    EXPECT_EQ(::pipe(errPipe), 0);
    const pid_t pid = ::fork();
    if (child) {
        *child = pid;
    }
    if (pid == 0) {
        ::dup2(inPipe[0], 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::close(inPipe[1]);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        std::vector<std::string> copy = args;
        std::vector<char*> argv;
        for (auto& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    Output o;
    std::size_t next = 0;
    std::size_t searched = 0;
    const auto end = ProcessClock::now() + limit;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0 && ProcessClock::now() < end) {
        if (::poll(fds, 2, 100) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                char buf[4096];
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? o.out : o.err).append(buf, static_cast<std::size_t>(n));
                }
            }
        }
        while (next < steps.size()) {
            const auto at = o.err.find(steps[next].shows, searched);
            if (at == std::string::npos) {
                break;
            }
            if (steps[next].act) {
                steps[next].act();
            }
            const std::string& t = steps[next].type;
            EXPECT_EQ(::write(inPipe[1], t.data(), t.size()), static_cast<ssize_t>(t.size()));
            searched = at + steps[next].shows.size();
            ++next;
        }
    }
    ::close(inPipe[1]);
    int status = 0;
    if (open > 0) {
        ::kill(pid, SIGKILL);
    }
    ::waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    EXPECT_EQ(next, steps.size()) << "the program did not ask everything:\n" << o.err;
    return o;
}

// Runs a program to its end (at most `limit`), collecting both outputs.
inline Output RunProgram(const std::vector<std::string>& args,
                         std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return RunAtTerminal(args, {}, limit);
}

// vna-sim running on its pseudo-terminal for the length of a test.
class Simulator {
public:
    explicit Simulator(const std::vector<std::string>& extra = {}) {
        link_ = dir_.file("tty");
        int outPipe[2];
        EXPECT_EQ(::pipe(outPipe), 0);
        const std::string logFile = dir_.file("sim.log");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(outPipe[1], 1);
            ::close(outPipe[0]);
            // The protocol log goes to a file, shown when the test fails.
            const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                ::dup2(log, 2);
            }
            std::vector<std::string> args = {VNA_SIM_EXE, "--link", link_, "--flash", dir_.file("flash.txt"),
                                             "--log"};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(outPipe[1]);
        // The first line of its output is the device path.
        pollfd pfd{outPipe[0], POLLIN, 0};
        char c = 0;
        while (::poll(&pfd, 1, 5000) > 0 && ::read(outPipe[0], &c, 1) == 1 && c != '\n') {
            device_.push_back(c);
        }
        out_ = outPipe[0];
    }
    ~Simulator() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        if (::testing::Test::HasFailure()) {
            // The bytes exchanged, as the simulator saw them: the fastest way to see who is wrong.
            const std::string log = ReadFile(dir_.file("sim.log"));
            const auto from = log.size() > 20000 ? log.size() - 20000 : 0;
            std::cerr << "---- simulator log (" << link_ << ") ----\n" << log.substr(from);
        }
    }
    const std::string& link() const { return link_; }
    const std::string& device() const { return device_; }
    // The instrument vanishes: its process is killed and its pseudo-terminal goes with it.
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    // A control command, as a user would type it.
    std::string ctl(const std::string& command) {
        std::vector<std::string> args = {VNA_SIM_EXE, "ctl", "--link", link_};
        std::string word;
        for (char ch : command + " ") {
            if (ch == ' ') {
                if (!word.empty()) {
                    args.push_back(word);
                }
                word.clear();
            } else {
                word.push_back(ch);
            }
        }
        return RunProgram(args).out;
    }
    std::string folder() const { return dir_.folder(); }
    // The protocol log so far.
    std::string log() const { return test::ReadFile(dir_.file("sim.log")); }

private:
    TempDir dir_;
    std::string link_;
    std::string device_;
    pid_t pid_ = -1;
    int out_ = -1;
};

// A program running in the background for the length of a test (its outputs go to `log`), ended
// with SIGTERM.
class Background {
public:
    Background(const std::vector<std::string>& args, const std::string& log) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                ::dup2(fd, 1);
                ::dup2(fd, 2);
            }
            std::vector<std::string> copy = args;
            std::vector<char*> argv;
            for (auto& a : copy) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Background() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    bool running() {
        if (pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = -1;
        }
        return pid_ > 0;
    }
    // SIGTERM, then its exit code within `limit` (-1 when it had to be killed).
    int terminate(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        if (pid_ <= 0) {
            return -1;
        }
        ::kill(pid_, SIGTERM);
        const auto end = ProcessClock::now() + limit;
        while (ProcessClock::now() < end) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
            }
            ::usleep(20000);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

// Prepares the data folder `data` for the window program under registry external control: the
// settings of an earlier run and the shipped configuration `defaultConfig` with registry control on.
// False when the configuration no longer holds the entry.
inline bool WriteRegistryControlSettings(const std::string& data, const std::string& defaultConfig) {
    std::filesystem::create_directories(data);
    TestRig earlier;
    earlier.st().ProgramFolder = data + "/";
    LeaveSettingsOfAnEarlierRun(earlier.p());
    std::string config = ReadFile(defaultConfig);
    const auto entry = config.find("0                // 52 external control");
    if (entry == std::string::npos) {
        return false;
    }
    config[entry] = '2';
    WriteFile(data + "/_VNA_Default.cfg", config);
    return true;
}

// The registry key of the requests once the program on `data` watches it (its folder appears when
// the watch loop begins); empty when it did not within 30 s or the program ended.
inline std::string WaitForRegistryKey(const std::string& data, Background& vna) {
    const std::string key = data + "/registry/hkey_current_user/software/morvane";
    for (int i = 0; i < 300 && !std::filesystem::is_directory(key) && vna.running(); ++i) {
        ::usleep(100000);
    }
    return std::filesystem::is_directory(key) ? key : std::string();
}

} // namespace vna::test
