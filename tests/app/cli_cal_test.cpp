// vna-cli cal in-process, against the simulated instrument, with the terminal's answers scripted.

#include <gtest/gtest.h>

#include <cstdio>

#include "app/cli.h"
#include "cal/cal_file.h"
#include "cal/cal_rig.h"
#include "cli_capture.h"

using namespace vna;
using test::SimTest;

namespace {

using test::Captured;

Captured Cli(test::SimRig& rig, const std::vector<std::string>& args) {
    return test::RunCliCaptured(rig.p(), args);
}

} // namespace

TEST(CliCal, OptionsAndTheirMistakes) {
    std::string error;
    auto o = app::ParseCliOptions({"cal", "custom", "--out", "x.acal"}, nullptr, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->command, "cal");
    EXPECT_EQ(o->calKind, "custom");
    EXPECT_EQ(o->output, "x.acal");
    o = app::ParseCliOptions({"cal", "portb", "--cal", "a.acal", "--out", "b.acal"}, nullptr, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->calFile, "a.acal");
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"cal", "--out", "x.acal"}, "cal needs standard, custom or portb and --out FILE"},
        {{"cal", "standard"}, "cal needs standard, custom or portb and --out FILE"},
        {{"cal", "sideways", "--out", "x"}, "unknown argument sideways"},
        {{"cal", "standard", "--out", "x", "--cal", "y"}, "--cal names the Port A calibration of cal portb"},
    };
    for (const auto& [args, why] : bad) {
        EXPECT_FALSE(app::ParseCliOptions(args, nullptr, error));
        EXPECT_EQ(error, why);
    }
}

TEST_F(SimTest, CliCalibratesPortAThenAddsPortBAndSaysWhyWhenItStops) {
    auto& r = rig();
    test::AttachStandards(r);
    const std::string a = r.dir.file("a.acal");
    r.ui.textAnswers = {std::string("50")};
    r.ui.messageAnswers = {};
    r.ui.onDialog = [&r, attach = r.ui.onDialog](const platform::fake::UiCall& c) {
        attach(c);
        // No Port B this time.
        if (c.caption == " Cal B Option ") {
            r.ui.messageAnswers.push_front(platform::Answer::No);
        }
    };
    r.ui.fileAnswers = {a};
    Captured c = Cli(r, {"--serial", "sim", "cal", "standard", "--out", a});
    ASSERT_EQ(c.status, 0) << c.err << test::Dialogs(r);
    EXPECT_EQ(c.out, a + ": standard calibration, 921 Port A points, 0 Port B points\n");
    EXPECT_TRUE(test::Exists(a));

    // Port B onto that file, into another.
    const std::string b = r.dir.file("b.acal");
    test::AttachStandards(r);
    r.ui.fileAnswers = {b};
    c = Cli(r, {"--serial", "sim", "cal", "portb", "--cal", a, "--out", b});
    ASSERT_EQ(c.status, 0) << c.err << test::Dialogs(r);
    EXPECT_EQ(c.out, b + ": portb calibration, 921 Port A points, 206 Port B points\n");

    // Port B onto a Port A calibration that is not there: the file was not found.
    c = Cli(r, {"--serial", "sim", "cal", "portb", "--cal", r.dir.file("none.acal"), "--out", b});
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find("vna-cli: error 35921: the cal file " + r.dir.file("none.acal") + " was not found"),
              std::string::npos)
        << c.err;

    // Cancelled at the short: nothing written, and the reason.
    const std::string d = r.dir.file("d.acal");
    r.ui.promptAnswers = {false};
    r.ui.fileAnswers = {d};
    c = Cli(r, {"--serial", "sim", "cal", "standard", "--out", d});
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.err, "vna-cli: error 1: the calibration was not completed; no cal file was written\n");
    EXPECT_FALSE(test::Exists(d));
}
