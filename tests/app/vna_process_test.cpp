// The real program, started as a process offscreen.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/test_rig.h"

namespace {

struct Child {
    pid_t pid = -1;
};

Child Start(const std::vector<std::string>& args) {
    Child c;
    c.pid = ::fork();
    if (c.pid == 0) {
        std::vector<char*> argv;
        std::string exe = VNA_EXE;
        argv.push_back(exe.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    return c;
}

// Waits up to `limit` for the child to end; its exit status, or -1 when it is still running.
int WaitFor(const Child& c, std::chrono::milliseconds limit, bool* signalled = nullptr) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        const pid_t r = ::waitpid(c.pid, &status, WNOHANG);
        if (r == c.pid) {
            if (signalled) {
                *signalled = WIFSIGNALED(status);
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

void Kill(const Child& c) {
    ::kill(c.pid, SIGKILL);
    ::waitpid(c.pid, nullptr, 0);
}

} // namespace

TEST(VnaProcess, SigtermEndsADemoRunThroughTheShutdownWithExitCodeZero) {
    for (int sig : {SIGTERM, SIGINT}) {
        vna::test::TempDir dir;
        const std::string data = dir.file("data folder");
        Child c = Start({"--demo", "--data-dir", data});
        // Let the start-up reach the main loop (it waits for events there).
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ASSERT_EQ(WaitFor(c, std::chrono::milliseconds(1)), -1) << "the program ended by itself";
        ::kill(c.pid, sig);
        bool signalled = true;
        const int code = WaitFor(c, std::chrono::seconds(20), &signalled);
        if (code == -1) {
            Kill(c);
            FAIL() << "no exit after signal " << sig;
        }
        EXPECT_FALSE(signalled) << "killed by the signal instead of quitting";
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(std::filesystem::is_directory(data)) << "the data folder was not created";
    }
}

TEST(VnaProcess, SignalDuringTheNotRespondingMessageStillShutsDown) {
    // Without --demo the silent instrument brings up the modal not-responding message; the signal
    // must close it and end the program normally.
    vna::test::TempDir dir;
    Child c = Start({"--data-dir", dir.path()});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(WaitFor(c, std::chrono::milliseconds(1)), -1);
    ::kill(c.pid, SIGTERM);
    const int code = WaitFor(c, std::chrono::seconds(20));
    if (code == -1) {
        Kill(c);
        FAIL() << "no exit after SIGTERM";
    }
    EXPECT_EQ(code, 0);
}

TEST(VnaProcess, UnwritableDataFolderIsNotACrash) {
    vna::test::TempDir dir;
    const std::string blocker = dir.file("plain file");
    vna::test::WriteFile(blocker, "x");
    Child c = Start({"--demo", "--data-dir", blocker + "/sub"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(WaitFor(c, std::chrono::milliseconds(1)), -1) << "the program ended by itself";
    ::kill(c.pid, SIGTERM);
    const int code = WaitFor(c, std::chrono::seconds(20));
    if (code == -1) {
        Kill(c);
        FAIL() << "no exit after SIGTERM";
    }
    EXPECT_EQ(code, 0);
}
