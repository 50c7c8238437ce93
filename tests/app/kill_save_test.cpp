// Saves killed with SIGKILL at random moments: every file the program writes is afterwards the
// complete old or the complete new version, and the next save leaves no temporary file behind.
// ctest kills each kind of save VNA_KILLS times (default 10); scripts/kill-saves runs 200.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/process_support.h"

using namespace vna;
namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> Files(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        out[e.path().filename().string()] = test::ReadFile(e.path().string());
    }
    return out;
}

int Kills() {
    const char* n = std::getenv("VNA_KILLS");
    return n ? std::atoi(n) : 10;
}

// Starts the saving loop and kills it `delayUs` after it began to save.
void KillDuringSaves(const std::string& kind, const std::string& dir, int delayUs) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::execl(VNA_SAVE_TORTURE, VNA_SAVE_TORTURE, kind.c_str(), dir.c_str(), "loop", nullptr);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    pollfd pfd{pipeFds[0], POLLIN, 0};
    char c = 0;
    ASSERT_EQ(::poll(&pfd, 1, 10000), 1);
    ASSERT_EQ(::read(pipeFds[0], &c, 1), 1);
    ::close(pipeFds[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // It was killed while saving, not ended by a failed save.
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving loop ended by itself: " << status;
}

} // namespace

TEST(KillDuringSave, EveryFileIsTheOldOrTheNewVersionAndNoTemporaryOutlivesTheNextSave) {
    std::mt19937 rng(std::random_device{}());
    const int kills = Kills();
    for (const std::string kind : {"init", "state", "cal", "scan", "marker", "tdr", "control"}) {
        SCOPED_TRACE(kind);
        // The versions name files in their folder, so they are taken in the folder of the kills.
        test::TempDir work;
        ASSERT_EQ(test::RunProgram({VNA_SAVE_TORTURE, kind, work.path(), "a"}).status, 0);
        const auto versionA = Files(work.path());
        ASSERT_EQ(test::RunProgram({VNA_SAVE_TORTURE, kind, work.path(), "b"}).status, 0);
        const auto versionB = Files(work.path());
        ASSERT_FALSE(versionA.empty());
        // Timed the way the kills are spread: over about two saves.
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(test::RunProgram({VNA_SAVE_TORTURE, kind, work.path(), "b"}).status, 0);
        const auto once =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                .count();
        std::uniform_int_distribution<int> delay(0, static_cast<int>(std::max<long>(2000, once)));
        int torn = 0;
        int leftAfterKill = 0;
        for (int i = 0; i < kills; ++i) {
            ASSERT_NO_FATAL_FAILURE(KillDuringSaves(kind, work.path(), delay(rng)));
            for (const auto& [name, contents] : Files(work.path())) {
                if (!versionA.contains(name)) {
                    ++leftAfterKill; // a temporary of the killed save
                    continue;
                }
                if (contents != versionA.at(name) && contents != versionB.at(name)) {
                    ++torn;
                    ADD_FAILURE() << name << " is neither version after kill " << i << ": " << contents.size()
                                  << " bytes";
                }
            }
            // The next save clears what the killed one left.
            ASSERT_EQ(test::RunProgram({VNA_SAVE_TORTURE, kind, work.path(), i % 2 ? "a" : "b"}).status, 0);
            const auto after = Files(work.path());
            for (const auto& [name, contents] : after) {
                EXPECT_TRUE(versionA.contains(name)) << name << " left after the save following kill " << i;
            }
        }
        EXPECT_EQ(torn, 0);
        RecordProperty(kind + "_kills", kills);
        RecordProperty(kind + "_temporaries_left_by_kills", leftAfterKill);
        std::printf("%s: %d kills, %d torn files, %d temporaries left by the kills (all cleared)\n",
                    kind.c_str(), kills, torn, leftAfterKill);
    }
}
