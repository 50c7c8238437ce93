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

namespace {

// Starts the program in demo mode on `data`, lets it reach the main loop (or a first-run message
// box), and ends it with SIGTERM; false when it did not end normally.
bool RunOnceAndTerminate(const std::string& data) {
    Child c = Start({"--demo", "--data-dir", data});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    if (WaitFor(c, std::chrono::milliseconds(1)) != -1) {
        return false;
    }
    ::kill(c.pid, SIGTERM);
    const int code = WaitFor(c, std::chrono::seconds(20));
    if (code == -1) {
        Kill(c);
        return false;
    }
    return code == 0;
}

std::vector<std::string> InitLines(const std::string& data) {
    std::vector<std::string> lines;
    std::string text = vna::test::ReadFile(data + "/VNA_Init_Data.ini");
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

} // namespace

TEST(VnaProcess, SettingsAreWrittenAtExitAndSurviveARestart) {
    vna::test::TempDir dir;
    const std::string data = dir.file("data");
    // First run: no settings yet; the default config is installed and the init file written.
    ASSERT_TRUE(RunOnceAndTerminate(data));
    EXPECT_TRUE(std::filesystem::is_regular_file(data + "/_VNA_Default.cfg"));
    auto lines = InitLines(data);
    ASSERT_EQ(lines.size(), 250u);
    EXPECT_EQ(lines[0], "format    4145");
    EXPECT_EQ(lines[10], "Zo    50");
    EXPECT_EQ(lines[248], "EIF - End of Init File");

    // A changed setting survives the next run.
    lines[10] = "Zo    75";
    lines[7] = "swr_scale     5L";
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    vna::test::WriteFile(data + "/VNA_Init_Data.ini", text);
    ASSERT_TRUE(RunOnceAndTerminate(data));
    auto second = InitLines(data);
    ASSERT_EQ(second.size(), 250u);
    EXPECT_EQ(second[10], "Zo    75");
    EXPECT_EQ(second[7], "swr_scale     5L");

    // And a run that changes nothing writes the same settings again (the tick count aside).
    ASSERT_TRUE(RunOnceAndTerminate(data));
    auto third = InitLines(data);
    ASSERT_EQ(third.size(), 250u);
    second.erase(second.begin() + 244);
    third.erase(third.begin() + 244);
    EXPECT_EQ(second, third);
}
