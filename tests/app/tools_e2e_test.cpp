// The line tools end to end over the pseudo-terminal: vna-sim with transmission lines of known
// length, impedance and velocity factor at Port A, measured by vna-cli dtf and vna-cli tdr.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

#include "app/cli.h"
#include "app/process_support.h"
#include "core/number_text.h"
#include "files/tdr_file.h"

using namespace vna;

namespace {

// The number after `label` in `text`; NaN when it is not there.
double After(const std::string& text, const std::string& label) {
    const auto at = text.find(label);
    return at == std::string::npos ? std::nan("") : core::TextToNumber(text.substr(at + label.size()));
}

struct Bench {
    test::TempDir files;
    std::string cal = files.file("sim.acal");
    test::Simulator sim{{"--dut", "short", "--write-cal", cal}};
    std::string data = sim.folder() + "data";

    test::Output cli(std::vector<std::string> args) {
        std::vector<std::string> all = {VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link()};
        all.insert(all.end(), args.begin(), args.end());
        all.push_back("--cal");
        all.push_back(cal);
        return test::RunProgram(all, std::chrono::seconds(120));
    }
};

} // namespace

TEST(ToolsEndToEnd, DistanceToFaultOfOpenAndShortedLinesWithinOnePercent) {
    Bench b;
    struct Line {
        double metres;
        double vf;
        const char* end;
    };
    // From a quarter wave near the top of the range down to one below the refining limit of 6 MHz
    // and one at 0.5 MHz.
    const Line lines[] = {
        {2, 0.66, "short"}, {3, 0.66, "open"}, {12, 0.8, "short"}, {40, 0.66, "short"}, {150, 0.95, "open"}};
    for (const Line& l : lines) {
        const std::string dut = "line:len=" + core::NumText(l.metres, 2).substr(1) +
                                ",z0=50,vf=" + core::NumText(l.vf, 2).substr(1) + ",end=" + l.end;
        SCOPED_TRACE(dut);
        ASSERT_EQ(b.sim.ctl("dut " + dut), "ok\n");
        const test::Output o = b.cli({"dtf", "--vf", core::NumText(l.vf, 2).substr(1)});
        ASSERT_EQ(o.status, 0) << o.out << o.err;
        const double fq = 0.25 * 299.7925 * l.vf / l.metres;
        EXPECT_NEAR(After(o.out, "Quarter wavelength (90 deg) ="), fq, 0.01 * fq) << o.out;
        EXPECT_NEAR(After(o.out, "Distance to fault ="), l.metres, 0.01 * l.metres) << o.out;
        EXPECT_NEAR(After(o.out, "meters  ="), l.metres * 3.2808, 0.01 * l.metres * 3.2808) << o.out;
        EXPECT_NEAR(After(o.out, "Zo ="), 50, 2.5) << o.out;
    }
    // A terminated line: the tool says why and fails.
    ASSERT_EQ(b.sim.ctl("dut line:len=10,z0=50,vf=0.66,end=50"), "ok\n");
    const test::Output o = b.cli({"dtf", "--vf", "0.66"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Cable seems to be lossy or it is terminated in a load."), std::string::npos)
        << o.err;
}

TEST(ToolsEndToEnd, TdrStepOfA75OhmLineEndingIn50OhmIsAtTheLinesLength) {
    Bench b;
    ASSERT_EQ(b.sim.ctl("dut line:len=10,z0=75,vf=0.66,end=50"), "ok\n");
    const std::string out = b.files.file("line.tdr");
    const test::Output o = b.cli({"tdr", "--vf", "0.66", "--max-dist", "70", "--out", out});
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    // The line's impedance read from the step response.
    EXPECT_NEAR(After(o.out, "line Z:"), 75, 3) << o.out;
    // The step back to 50 ohm at 10 m (32.8 ft), found at 34.0 ft: the view's distance scale runs
    // long by its own constants (512 ft MHz per index against the 491.8 of light, times 0.97, the
    // index counted from 1), which map 32.8 ft to 34.5; within 5 % and a resolution cell (0.53 ft).
    const double feet = After(o.out, "largest step:");
    EXPECT_NEAR(feet, 32.81, 0.05 * 32.81 + 0.53) << o.out;
    EXPECT_NEAR(After(o.out, "ohm ->"), 50, 3) << o.out;
    files::TdrFileProblem problem;
    const auto file = files::ParseTdrFile(test::ReadFile(out), problem);
    ASSERT_TRUE(file) << problem.text;
    EXPECT_EQ(file->points, 256);
    EXPECT_DOUBLE_EQ(file->maxDist, 100) << "70 ft is taken to the next scale up";
    EXPECT_DOUBLE_EQ(file->vf, 0.66);
}

TEST(ToolsEndToEnd, OptionsOfTdrAndDtfAreHeldToTheirRangesAndTheirMistakesSaid) {
    std::string error;
    const auto o = app::ParseCliOptions(
        {"tdr", "--max-dist", "7", "--high-res", "--vf", "1.4", "--out", "x.tdr"}, nullptr, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->maxDist, 10) << "7 ft is taken to the next scale up";
    EXPECT_TRUE(o->highRes);
    EXPECT_EQ(o->vf, 1) << "a velocity factor above 1 is taken as 1";
    const auto d = app::ParseCliOptions({"dtf", "--vf", "0.3"}, nullptr, error);
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(d->vf, 0.5);
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"tdr", "--vf", "0.66"}, "tdr needs --out FILE.tdr"},
        {{"dtf"}, "dtf needs --vf, the velocity factor of the cable"},
        {{"dtf", "--vf", "fast"}, "--vf needs a velocity factor (0.5 to 1)"},
        {{"tdr", "--max-dist", "-5", "--out", "x.tdr"}, "--max-dist needs a distance in feet"},
        {{"dtf", "--vf", "0.7", "--high-res"}, "--max-dist and --high-res belong to tdr"},
        {{"identify", "--vf", "0.7"}, "--vf belongs to tdr and dtf"},
    };
    for (const auto& [args, why] : bad) {
        EXPECT_FALSE(app::ParseCliOptions(args, nullptr, error));
        EXPECT_EQ(error, why);
    }
}
