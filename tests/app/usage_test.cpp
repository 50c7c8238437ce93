// The programs' --help, --version and refusals as a user (or a script) sees them: streams and exit
// codes, and no display needed for any of it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli.h"
#include "app/process_support.h"

using namespace vna;
using test::Output;
using test::RunProgram;

namespace {

// The program with no display at all, whatever the test's environment has.
std::vector<std::string> WithoutDisplay(std::vector<std::string> args) {
    args.insert(args.begin(),
                {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM"});
    return args;
}

void ExpectUsage(const Output& o, const std::string& start, const std::string& what) {
    EXPECT_EQ(o.status, 0) << what << ": " << o.err;
    EXPECT_EQ(o.out.rfind(start, 0), 0u) << what << ":\n" << o.out;
    EXPECT_EQ(o.err, "") << what;
}

void ExpectRefused(const Output& o, const std::string& first, const std::string& usage,
                   const std::string& what) {
    EXPECT_EQ(o.status, 2) << what << ": " << o.err;
    EXPECT_EQ(o.out, "") << what;
    EXPECT_EQ(o.err.rfind(first + "\n", 0), 0u) << what << ":\n" << o.err;
    EXPECT_NE(o.err.find(usage), std::string::npos) << what << ":\n" << o.err;
}

} // namespace

TEST(Usage, TheCommandLineToolAndEachOfItsCommands) {
    ExpectUsage(RunProgram({VNA_CLI_EXE, "--help"}), "usage: vna-cli [OPTIONS] COMMAND", "--help");
    ExpectUsage(RunProgram({VNA_CLI_EXE, "-h"}), "usage: vna-cli [OPTIONS] COMMAND", "-h");
    ExpectUsage(RunProgram({VNA_CLI_EXE, "help"}), "usage: vna-cli [OPTIONS] COMMAND", "help");
    const Output all = RunProgram({VNA_CLI_EXE, "--help"});
    for (const app::CliCommand& c : app::CliCommands()) {
        const std::string usage = std::string("usage: vna-cli [OPTIONS] ") + c.synopsis + "\n";
        ExpectUsage(RunProgram({VNA_CLI_EXE, c.name, "--help"}), usage, c.name);
        ExpectUsage(RunProgram({VNA_CLI_EXE, "help", c.name}), usage, c.name);
        // Every command is in the general usage and the list of commands.
        EXPECT_NE(all.out.find("vna-cli [OPTIONS] " + std::string(c.synopsis) + "\n"), std::string::npos);
        EXPECT_NE(all.out.find("\n  " + std::string(c.name) + " "), std::string::npos) << c.name;
    }
    Output o = RunProgram(WithoutDisplay({VNA_CLI_EXE, "--version"}));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "vna-cli " VNA_VERSION "\n");

    // The usage of the command named, else the whole usage.
    ExpectRefused(RunProgram({VNA_CLI_EXE, "--colour", "identify"}), "vna-cli: unknown argument --colour",
                  "usage: vna-cli [OPTIONS] identify\n", "unknown option");
    ExpectRefused(RunProgram({VNA_CLI_EXE, "--colour"}), "vna-cli: unknown argument --colour",
                  "usage: vna-cli [OPTIONS] COMMAND", "unknown option, no command");
    // A mistake in a command's options shows that command's usage.
    ExpectRefused(RunProgram({VNA_CLI_EXE, "sweep", "a", "--start", "1", "--start", "2"}),
                  "vna-cli: --start is given more than once", "usage: vna-cli [OPTIONS] sweep a|b",
                  "repeated option");
    ExpectRefused(RunProgram({VNA_CLI_EXE, "convert", "x.scn", "--out"}), "vna-cli: --out needs a value",
                  "usage: vna-cli [OPTIONS] convert IN", "missing value");
    ExpectRefused(RunProgram({VNA_CLI_EXE}), "vna-cli: no command given", "usage: vna-cli", "nothing");
}

TEST(Usage, TheWindowedProgramAnswersBeforeAnyWindowAndSaysWhenThereIsNoDisplay) {
    ExpectUsage(RunProgram(WithoutDisplay({VNA_EXE, "--help"})), "usage: vna [OPTIONS] [FILE.scn]", "--help");
    ExpectUsage(RunProgram(WithoutDisplay({VNA_EXE, "-h"})), "usage: vna [OPTIONS] [FILE.scn]", "-h");
    Output o = RunProgram(WithoutDisplay({VNA_EXE, "--version"}));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "vna " VNA_VERSION "\n");
    ExpectRefused(RunProgram(WithoutDisplay({VNA_EXE, "--colour"})), "vna: Unknown option --colour.",
                  "usage: vna [OPTIONS]", "unknown option");
    ExpectRefused(RunProgram(WithoutDisplay({VNA_EXE, "--demo", "--data-dir"})),
                  "vna: The option --data-dir needs a value.", "usage: vna [OPTIONS]", "missing value");
    ExpectRefused(RunProgram(WithoutDisplay({VNA_EXE, "--serial", "/dev/a", "--serial", "/dev/b"})),
                  "vna: The option --serial is given more than once.", "usage: vna [OPTIONS]", "repeated");

    // No display: one line that says so and a plain exit, not an abort.
    test::TempDir dir;
    o = RunProgram(WithoutDisplay({VNA_EXE, "--demo", "--data-dir", dir.path()}));
    EXPECT_EQ(o.status, 1) << "ended by a signal, or not with 1:\n" << o.err;
    EXPECT_EQ(o.err.rfind("vna: no window can be opened: there is no display", 0), 0u) << o.err;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "more than one line:\n" << o.err;

    // The simulator's usage goes to standard output too.
    ExpectUsage(RunProgram({VNA_SIM_EXE, "--help"}), "usage: vna-sim", "vna-sim --help");
    o = RunProgram({VNA_SIM_EXE, "--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "vna-sim " VNA_VERSION "\n");
}
