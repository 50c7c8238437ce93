// The README's first session, its lines taken from the README and run as they stand: connect,
// calibrate, sweep, save, export and plot against vna-sim.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/process_support.h"

using namespace vna;
using test::Output;
namespace fs = std::filesystem;

namespace {

// The lines of the shell block that follows the walk-through mark of the README.
std::vector<std::string> WalkThrough() {
    const std::string readme = test::ReadFile(VNA_SOURCE_DIR "/README.md");
    const auto mark = readme.find("<!-- walk-through");
    const auto begin = readme.find("```sh\n", mark);
    const auto end = readme.find("```", begin + 6);
    std::vector<std::string> lines;
    if (mark == std::string::npos || begin == std::string::npos || end == std::string::npos) {
        return lines;
    }
    std::string block = readme.substr(begin + 6, end - begin - 6);
    std::size_t at = 0;
    while (at < block.size()) {
        const auto eol = block.find('\n', at);
        lines.push_back(block.substr(at, eol - at));
        at = eol == std::string::npos ? block.size() : eol + 1;
    }
    return lines;
}

// $NAME in `text` replaced by the variable's value, as the shell would.
std::string Expand(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '$') {
            out.push_back(text[i]);
            continue;
        }
        std::size_t j = i + 1;
        while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) {
            ++j;
        }
        const char* value = std::getenv(text.substr(i + 1, j - i - 1).c_str());
        out += value ? value : "";
        i = j - 1;
    }
    return out;
}

std::vector<std::string> Shell(const std::string& line) {
    return {"/bin/sh", "-c", line};
}

} // namespace

TEST(WalkThrough, TheReadmesFirstSessionWorksAsWritten) {
    const std::vector<std::string> lines = WalkThrough();
    ASSERT_EQ(lines.size(), 9u) << "the README's walk-through block changed its shape";
    // A user of its own: a home, a runtime folder and a working folder.
    test::TempDir dir;
    for (const char* name : {"home", "run", "work"}) {
        fs::create_directories(dir.file(name));
    }
    ::setenv("HOME", dir.file("home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.file("run").c_str(), 1);
    ::setenv("XDG_DATA_HOME", dir.file("home/data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", dir.file("home/state").c_str(), 1);
    ::unsetenv("VNA_SERIAL");
    ::unsetenv("VNA_HOME");
    ASSERT_EQ(::chdir(dir.file("work").c_str()), 0);
    const std::string work = dir.file("work") + "/";

    std::vector<std::unique_ptr<test::Background>> background;
    std::map<std::string, Output> results;
    for (const std::string& line : lines) {
        if (line.rfind("export PATH=", 0) == 0) {
            // The programs of this build, wherever it is.
            ::setenv("PATH",
                     (std::string(VNA_APP_DIR) + ":" + VNA_SIM_DIR + ":" + std::getenv("PATH")).c_str(), 1);
        } else if (line.rfind("export ", 0) == 0) {
            const auto eq = line.find('=');
            ::setenv(line.substr(7, eq - 7).c_str(), Expand(line.substr(eq + 1)).c_str(), 1);
        } else if (line.back() == '&') {
            background.push_back(std::make_unique<test::Background>(
                Shell("exec " + line.substr(0, line.size() - 1)), dir.file("sim.log")));
            // Its device appears when it is ready.
            for (int k = 0; k < 100 && !fs::exists(dir.file("run/vna-sim.tty")); ++k) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            ASSERT_TRUE(fs::exists(dir.file("run/vna-sim.tty"))) << test::ReadFile(dir.file("sim.log"));
        } else if (line.rfind("vna-cli cal ", 0) == 0) {
            // The user attaches each standard when asked; with the simulator from a second terminal.
            auto attach = [](const std::string& dut) {
                return [dut] {
                    const Output o = test::RunProgram(Shell("vna-sim ctl dut " + dut));
                    EXPECT_EQ(o.out, "ok\n") << o.err;
                };
            };
            results[line] = test::RunAtTerminal(
                Shell(line), {{"Attach short circuit to the Port A connector.", attach("short"), "\n"},
                              {"Attach open circuit to the Port A connector.", attach("open"), "\n"},
                              {"Connect a standard resistor to Port A.", attach("resistor:r=50"), "\n"},
                              {"Cal Standard (ohms) [50]", nullptr, "\n"},
                              {"DO YOU WANT TO CAL PORT B?", nullptr, "n\n"},
                              {"Do you want to save the new data?", nullptr, "\n"}});
        } else if (line.rfind("vna ", 0) == 0) {
            // The window, offscreen here: it shows the scan and ends normally when asked to.
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            test::Background window(Shell("exec " + line), dir.file("vna.log"));
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            ASSERT_TRUE(window.running()) << test::ReadFile(dir.file("vna.log"));
            EXPECT_EQ(window.terminate(), 0) << test::ReadFile(dir.file("vna.log"));
            results[line] = Output{0, "", ""};
        } else {
            results[line] = test::RunProgram(Shell(line), std::chrono::seconds(120));
        }
        if (results.count(line)) {
            EXPECT_EQ(results[line].status, 0) << line << "\n" << results[line].out << results[line].err;
        }
    }
    // What each step was for.
    EXPECT_NE(results[lines[3]].out.find("firmware:    2.60"), std::string::npos) << results[lines[3]].out;
    EXPECT_TRUE(fs::is_regular_file(work + "unit.acal"));
    const std::string& sweep = results[lines[6]].out;
    EXPECT_NE(sweep.find("sweep:       Port A, 301 points, 10.000000 to 25.000000 MHz"), std::string::npos)
        << sweep;
    EXPECT_NE(sweep.find("resonance:   16.2"), std::string::npos) << sweep;
    for (const char* name : {"rlc.scn", "rlc.csv"}) {
        EXPECT_TRUE(fs::is_regular_file(work + name)) << name;
    }
    EXPECT_NE(test::ReadFile(work + "rlc.s1p").find("# HZ S DB R 50"), std::string::npos);
    // The window kept its settings in the user's data folder.
    EXPECT_TRUE(fs::is_regular_file(dir.file("home/data/vna/VNA_Init_Data.ini")));
}
