// vna-cli markers and bandwidth in-process, on scans vna-cli swept from the simulated unit.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "app/cli.h"
#include "cli_capture.h"
#include "core/text_lines.h"
#include "sim/control.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

using test::Captured;

// Sweeps the device into `name` with vna-cli.
void SweepInto(test::SimRig& rig, const std::string& dut, char port, const std::string& range,
               const std::string& name) {
    const std::string cal = rig.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(rig.serial.unit, cal, rig.clock.now()));
    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut " + dut, 0).ok);
    std::vector<std::string> args = {"--serial", "sim", "sweep", std::string(1, port),
                                     "--cal",    cal,   "--out", rig.dir.file(name)};
    std::size_t from = 0;
    for (const char* opt : {"--start", "--stop", "--step"}) {
        const std::size_t comma = std::min(range.find(',', from), range.size());
        args.push_back(opt);
        args.push_back(range.substr(from, comma - from));
        from = comma + 1;
    }
    const Captured c = test::RunCliCaptured(rig.p(), args);
    ASSERT_EQ(c.status, 0) << c.err << c.out;
}

} // namespace

TEST(CliMarkers, MarkerRowsFilesAndBandwidthsOfStoredScans) {
    test::SimRig rig;
    ASSERT_NO_FATAL_FAILURE(SweepInto(rig, "rlc-series:r=30,l=1.2u,c=80p", 'a', "12,21,0.05", "series.scn"));
    const std::string scan = rig.dir.file("series.scn");
    const std::string mrk = rig.dir.file("m.mrk");
    Captured c = test::RunCliCaptured(rig.p(), {"markers", scan, "--at", "16.25,13,19.5", "--out", mrk});
    ASSERT_EQ(c.status, 0) << c.err;
    const auto lines = core::SplitLines(c.out);
    // Stamp, reference, heading, three rows sorted by frequency, the files written.
    ASSERT_EQ(lines.size(), 7u) << c.out;
    EXPECT_EQ(lines[1], "Reference Z = 50  + j 0");
    EXPECT_EQ(lines[3].substr(0, 19), "   [ 1]   13.000000");
    EXPECT_EQ(lines[4].substr(0, 19), "   [ 2]   16.250000");
    EXPECT_EQ(lines[5].substr(0, 19), "   [ 3]   19.500000");
    // Near resonance the series circuit is 30 ohm: SWR 5/3, Rs 30, Xs small.
    const std::string row4(lines[4]);
    double f = 0, swr = 0, rs = 0, xs = 0;
    ASSERT_EQ(std::sscanf(row4.c_str() + row4.find(']') + 1, "%lf %lf %lf %lf", &f, &swr, &rs, &xs), 4)
        << row4;
    EXPECT_NEAR(swr, 5.0 / 3, 0.02);
    EXPECT_NEAR(rs, 30, 0.3);
    EXPECT_NEAR(xs, 0.083, 0.5);
    EXPECT_EQ(core::SplitLines(test::ReadFile(mrk)).size(), 120u);
    EXPECT_EQ(core::SplitLines(test::ReadFile(rig.dir.file("m.mrx"))).size(), 5u);
    // A rotation of 180 degrees (a half-wave line) gives the same impedance back.
    const Captured turned =
        test::RunCliCaptured(rig.p(), {"markers", scan, "--at", "16.25", "--rotation", "180"});
    ASSERT_EQ(turned.status, 0) << turned.err;
    EXPECT_NE(turned.out.find("Marker Data is Rotated by  180"), std::string::npos) << turned.out;
    const std::string row(core::SplitLines(turned.out).back());
    ASSERT_GT(row.size(), 7u);
    EXPECT_EQ(row.substr(7), lines[4].substr(7));

    // The SWR 2 bandwidth around the lowest SWR, and from a point given.
    c = test::RunCliCaptured(rig.p(), {"bandwidth", scan, "--swr", "2"});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out.rfind("Bandwidth = 2.4", 0), 0u) << c.out;
    EXPECT_NE(c.out.find(" for SWR less than 2\nLow freq="), std::string::npos) << c.out;
    c = test::RunCliCaptured(rig.p(), {"bandwidth", scan, "--swr", "2", "--at", "12.5"});
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find("The SWR at the cursor position must be less than the SWR Ruler value, which is 2"),
              std::string::npos)
        << c.err;

    // Port B: the ruler bandwidths with shape factor and symmetry.
    ASSERT_NO_FATAL_FAILURE(
        SweepInto(rig, "bandpass:f0=10.7,bw=0.3,order=4,il=0", 'b', "10,11.4,0.005", "bp.scnb"));
    const std::string scanB = rig.dir.file("bp.scnb");
    c = test::RunCliCaptured(rig.p(), {"bandwidth", scanB, "--level", "-3", "--level2", "-40"});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out.rfind("Ruler 1 data:\n  F1 = 10.5", 0), 0u) << c.out;
    EXPECT_NE(c.out.find("\n  Bandwidth (-3dB)=299."), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("\n\nShape factor = 3.1"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("\nSymmetry = "), std::string::npos) << c.out;
}

TEST(CliMarkers, BadFilesFrequenciesAndOptionsFailWithAMessage) {
    test::SimRig rig;
    ASSERT_NO_FATAL_FAILURE(SweepInto(rig, "resistor:r=75", 'a', "5,10,0.5", "r.scn"));
    const std::string scan = rig.dir.file("r.scn");
    const std::string junk = rig.dir.file("junk.scn");
    test::WriteFile(junk, "this is not a scan\r\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> failing = {
        {{"markers", rig.dir.file("missing.scn"), "--at", "7"}, "cannot be read"},
        {{"markers", junk, "--at", "7"}, "could not be read as a Port A scan"},
        {{"markers", scan, "--at", "4"},
         "--at 4.000000 MHz lies outside the scan (5.000000 to 10.000000 MHz)"},
        {{"bandwidth", scan, "--at", "11"}, "lies outside the scan"},
        // A flat 75 ohm: SWR 1.5 everywhere, below a ruler of 2 at both ends.
        {{"bandwidth", scan, "--swr", "2"},
         "NOTE: SWR at the lowest frequency is still less than the SWR Ruler"},
        {{"bandwidth", scan, "--level", "-3"}, "--level measures a Port B scan"},
    };
    for (const auto& [args, why] : failing) {
        const Captured c = test::RunCliCaptured(rig.p(), args);
        EXPECT_EQ(c.status, 1) << args[0] << " " << why;
        EXPECT_NE(c.err.find(why), std::string::npos) << c.err;
        EXPECT_EQ(c.err.rfind("vna-cli: error 1: ", 0), 0u) << c.err;
    }
    std::string error;
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"markers", scan}, "markers needs a scan file and --at F[,F...]"},
        {{"markers", scan, "--at", "7,x"},
         "--at needs frequencies in MHz, separated by commas (such as 7.05,7.1)"},
        {{"markers", scan, "--at", "-7"},
         "--at needs frequencies in MHz, separated by commas (such as 7.05,7.1)"},
        {{"markers", scan, "--at", "7", "--rotation", "1e9"}, "--rotation is -36000 to 36000 degrees"},
        {{"bandwidth", scan, "--at", "7,8"}, "bandwidth takes one --at frequency"},
        {{"bandwidth", scan, "--level2", "-3"}, "--level2 needs --level"},
        {{"bandwidth", scan, "--swr", "nan"}, "--swr needs a number"},
        {{"plot", scan, "--out", "x.png", "--at", "7"}, "--at belongs to markers and bandwidth"},
    };
    for (const auto& [args, why] : refused) {
        EXPECT_FALSE(app::ParseCliOptions(args, nullptr, error)) << why;
        EXPECT_EQ(error, why);
    }
}
