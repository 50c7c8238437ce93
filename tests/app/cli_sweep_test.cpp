// vna-cli sweep in-process, against the simulated unit.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "app/cli.h"
#include "cli_capture.h"
#include "core/path_split.h"
#include "files/init_file.h"
#include "files/scan_format.h"
#include "measure/sweep.h"
#include "sim/control.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

using test::Captured;

Captured Sweep(test::SimRig& rig, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--serial", "sim"};
    all.insert(all.end(), args.begin(), args.end());
    return test::RunCliCaptured(rig.p(), all);
}

} // namespace

TEST(CliSweep, OptionsAndTheirMistakes) {
    std::string error;
    auto o = app::ParseCliOptions(
        {"sweep", "B", "--start", "1", "--stop", "30", "--step", "0.1", "--cal", "x.acal", "--out", "y.scnb"},
        nullptr, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->command, "sweep");
    EXPECT_EQ(o->port, 'b');
    EXPECT_EQ(o->start, 1);
    EXPECT_EQ(o->stop, 30);
    EXPECT_EQ(o->step, 0.1);
    EXPECT_EQ(o->calFile, "x.acal");
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"sweep", "--start", "1", "--stop", "2", "--step", "0.1", "--out", "x"},
         "sweep needs the port: sweep a or sweep b"},
        {{"sweep", "a", "--start", "1", "--stop", "2", "--out", "x"},
         "sweep needs --start, --stop, --step and --out"},
        {{"sweep", "a", "--start", "1", "--stop", "2", "--step", "0.1"},
         "sweep needs --start, --stop, --step and --out"},
        {{"sweep", "a", "--start", "3", "--stop", "2", "--step", "0.1", "--out", "x"},
         "--stop must lie above --start"},
        {{"sweep", "a", "--start", "x1", "--stop", "2", "--step", "0.1", "--out", "x"},
         "--start needs a frequency in MHz"},
        {{"sweep", "a", "--start", "1", "--stop", "2", "--step", "-1", "--out", "x"},
         "--step needs a frequency in MHz"},
        {{"sweep", "a", "--start", "10", "--stop", "100", "--step", "15", "--out", "x"},
         "--step is at most 10 MHz: the sweeps take no larger steps"},
        {{"sweep", "c"}, "unknown argument c"},
    };
    for (const auto& [args, why] : bad) {
        EXPECT_FALSE(app::ParseCliOptions(args, nullptr, error));
        EXPECT_EQ(error, why);
    }
}

TEST(CliSweep, PortASweepWritesTheScanWithItsExports) {
    test::SimRig rig;
    const std::string cal = rig.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(rig.serial.unit, cal, rig.clock.now()));
    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut rlc-series:r=30,l=1.2u,c=80p", 0).ok);
    const std::string out = rig.dir.file("series.scn");
    auto c = Sweep(
        rig, {"sweep", "a", "--start", "12", "--stop", "19", "--step", "0.1", "--cal", cal, "--out", out});
    ASSERT_EQ(c.status, 0) << c.err << c.out;
    EXPECT_NE(c.out.find("sweep:       Port A, 71 points, 12.000000 to 19.000000 MHz"), std::string::npos)
        << c.out;
    EXPECT_NE(c.out.find("resonance:   16.2"), std::string::npos) << c.out;
    for (const char* name : {"series.scn", "series.csv", "series.s1p"}) {
        EXPECT_TRUE(std::filesystem::exists(rig.dir.file(name))) << name;
        EXPECT_NE(c.out.find(rig.dir.file(name)), std::string::npos) << name;
    }
    std::string problem;
    const auto scan = files::ParseScanFileA(test::ReadFile(out), problem);
    ASSERT_TRUE(scan) << problem;
    ASSERT_EQ(scan->last(), 70) << "the sweep stops at --stop, not at the end of a graph's axis";
    EXPECT_NEAR(scan->start, 12, 1e-9);
    EXPECT_NEAR(scan->step, 0.1, 1e-9);
    for (int i = 0; i <= scan->last(); i += 5) {
        const double f = 12 + 0.1 * i;
        const double w = 2 * 3.141592653589793 * f * 1e6;
        const std::complex<double> truth(30, w * 1.2e-6 - 1 / (w * 80e-12));
        const auto z =
            std::polar(scan->zmag[static_cast<std::size_t>(i)], scan->phase[static_cast<std::size_t>(i)]);
        EXPECT_LT(std::abs(z - truth), 0.05 + 0.005 * std::abs(truth)) << "at " << f << " MHz";
    }

    // Settings whose line extension would turn every reading into NaN are held to their limits
    // when they are read: the next sweep still measures numbers, and its files read back.
    rig.st().ExtensionLength = 1e300;
    rig.st().ExtensionFlag = 1;
    test::WriteFile(core::JoinPath(rig.st().ProgramFolder, files::InitFileName),
                    files::InitFileText(rig.p(), 0));
    c = Sweep(rig,
              {"sweep", "a", "--start", "12", "--stop", "13", "--step", "0.1", "--cal", cal, "--out", out});
    ASSERT_EQ(c.status, 0) << c.err << c.out;
    ASSERT_TRUE(files::ParseScanFileA(test::ReadFile(out), problem)) << problem;
    // A result that is not a number fails the sweep, and nothing is written.
    rig.p().scan.scan_xs[4] = std::nan("");
    EXPECT_EQ(measure::FirstPointNotANumber(rig.p(), 'a', 11), 4);
    EXPECT_EQ(measure::FirstPointNotANumber(rig.p(), 'b', 11), -1);
}

TEST(CliSweep, PortBSweepAndTheWaysItFails) {
    test::SimRig rig;
    const std::string cal = rig.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(rig.serial.unit, cal, rig.clock.now()));
    // A unit fresh from power-on and a filter of no loss in its pass band: the receiver ranges
    // down from where the program's start-up puts it, through the whole band.
    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut bandpass:f0=12.5,bw=5,order=4,il=0", 0).ok);
    const std::string strong = rig.dir.file("strong.scnb");
    auto c = Sweep(
        rig, {"sweep", "b", "--start", "5", "--stop", "20", "--step", "0.1", "--cal", cal, "--out", strong});
    ASSERT_EQ(c.status, 0) << c.err << c.out;
    EXPECT_NE(c.out.find("151 points, 5.000000 to 20.000000 MHz"), std::string::npos) << c.out;

    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut attenuator:db=20", 0).ok);
    const std::string out = rig.dir.file("pad.scnb");
    c = Sweep(rig, {"sweep", "b", "--start", "1", "--stop", "50", "--step", "1", "--cal", cal, "--out", out});
    ASSERT_EQ(c.status, 0) << c.err << c.out;
    std::string problem;
    const auto scan = files::ParseScanFileB(test::ReadFile(out), problem);
    ASSERT_TRUE(scan) << problem;
    ASSERT_GE(scan->s21db.size(), 50u);
    for (std::size_t k = 0; k < 50; ++k) {
        EXPECT_NEAR(scan->s21db[k], -20, 0.1) << "point " << k;
    }
    EXPECT_TRUE(std::filesystem::exists(rig.dir.file("pad_B.csv")));
    EXPECT_TRUE(std::filesystem::exists(rig.dir.file("pad.s2p")));

    // No cal file: nothing is measured and nothing written.
    c = Sweep(
        rig, {"sweep", "a", "--start", "1", "--stop", "5", "--step", "1", "--out", rig.dir.file("none.scn")});
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find("no cal file: name one with --cal"), std::string::npos) << c.err;
    EXPECT_FALSE(std::filesystem::exists(rig.dir.file("none.scn")));

    // The unit falls silent half way: the points measured are written, and the code is 10.
    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut resistor:r=50", 0).ok);
    const long at = rig.serial.unit.state().measurements + 40;
    rig.ui.onPump = [&rig, at](int) {
        if (rig.serial.unit.state().measurements >= at) {
            rig.serial.unit.faults.silence = true;
        }
    };
    const std::string half = rig.dir.file("half.scn");
    c = Sweep(rig,
              {"sweep", "a", "--start", "1", "--stop", "100", "--step", "0.5", "--cal", cal, "--out", half});
    rig.ui.onPump = nullptr;
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find("vna-cli: error 10: the sweep stopped after "), std::string::npos) << c.err;
    EXPECT_NE(c.err.find("the instrument stopped answering at "), std::string::npos) << c.err;
    const auto partial = files::ParseScanFileA(test::ReadFile(half), problem);
    ASSERT_TRUE(partial) << problem;
    EXPECT_GT(partial->last(), 20);
    EXPECT_LT(partial->last(), 100);
    EXPECT_NEAR(partial->zmag[10], 50, 0.5);
}

TEST(CliSweep, NothingIsMeasuredForFilesThatCannotBeWrittenOrACalFileThatIsNotThere) {
    test::SimRig rig;
    const std::string cal = rig.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(rig.serial.unit, cal, rig.clock.now()));
    // A folder this user cannot write (root writes everywhere but in the kernel's own folders).
    std::string readOnly = "/proc";
    if (::getuid() != 0) {
        readOnly = rig.dir.file("read only");
        std::filesystem::create_directories(readOnly);
        std::filesystem::permissions(readOnly,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    const std::string missing = rig.dir.file("no such folder") + "/";
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--cal", cal, "--out", missing + "x.scn"},
         "vna-cli: error 1: the folder " + missing + " of --out does not exist; nothing was measured"},
        {{"--cal", cal, "--out", readOnly + "/x.scn"},
         "vna-cli: error 1: the folder " + readOnly + "/ of --out cannot be written; nothing was measured"},
        {{"--cal", cal, "--out", rig.dir.path()},
         "vna-cli: error 1: --out " + rig.dir.path() + " is a folder: name the file to write"},
        {{"--cal", rig.dir.file("gone.acal"), "--out", rig.dir.file("x.scn")},
         "vna-cli: error 35921: the cal file " + rig.dir.file("gone.acal") + " was not found"},
    };
    for (const auto& [extra, why] : refused) {
        rig.serial.clearTranscript();
        std::vector<std::string> args = {"sweep", "a", "--start", "1", "--stop", "5", "--step", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        const auto c = Sweep(rig, args);
        EXPECT_EQ(c.status, 1);
        EXPECT_EQ(c.err, why + "\n");
        // Not one command went to the instrument, let alone a measure command.
        EXPECT_EQ(rig.serial.transcript(), "");
    }
    EXPECT_FALSE(std::filesystem::exists(rig.dir.file("x.scn")));

    // A path with blanks and letters of other scripts is written as named.
    const std::string odd = rig.dir.file("Messungen März");
    std::filesystem::create_directories(odd);
    auto c = Sweep(rig, {"sweep", "a", "--start", "10", "--stop", "12", "--step", "0.5", "--cal", cal,
                         "--out", odd + "/антенна 40m.scn"});
    ASSERT_EQ(c.status, 0) << c.err;
    for (const char* name : {"/антенна 40m.scn", "/антенна 40m.csv", "/антенна 40m.s1p"}) {
        EXPECT_TRUE(std::filesystem::exists(odd + name)) << name;
    }

    // Limits the instrument cannot sweep are moved, and the tool says so before it sweeps.
    c = Sweep(rig, {"sweep", "a", "--start", "175", "--stop", "200", "--step", "1", "--cal", cal, "--out",
                    rig.dir.file("top.scn")});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(
        c.err.find("vna-cli: the sweep is moved to what the instrument and the cal allow: 175.000000 to "
                   "180.000000 MHz in steps of 1.000000 MHz (asked: 175.000000 to 200.000000 MHz in steps "
                   "of 1.000000 MHz)"),
        std::string::npos)
        << c.err;
    EXPECT_NE(c.out.find("6 points, 175.000000 to 180.000000 MHz"), std::string::npos) << c.out;
}
