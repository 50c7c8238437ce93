#include <gtest/gtest.h>

#include "core/command_line.h"

using namespace vna::core;

TEST(CommandLineScan, QuotedPathWithBlanks) {
    auto name = CommandLineScanFile(R"("C:\Program Files\vna.exe" "C:\my scans\dipole 40m.scn")");
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, R"(C:\my scans\dipole 40m.scn)");
}

TEST(CommandLineScan, UnquotedPathGoesBackToThePreviousQuote) {
    auto name = CommandLineScanFile(R"("C:\vna.exe" C:\scans\a b.scn)");
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, R"( C:\scans\a b.scn)");
    name = CommandLineScanFile(R"(vna.exe x.scn)");
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, "vna.exe x.scn");
}

TEST(CommandLineScan, ScnbIsCutAfterScnAndOnlyTheFirstCounts) {
    auto name = CommandLineScanFile(R"("vna" "x.scnb")");
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, "x.scn");
    name = CommandLineScanFile(R"("vna" "first.scn" "second.scn")");
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, "first.scn");
    // Case as written: ".SCN" is not recognised.
    EXPECT_FALSE(CommandLineScanFile(R"("vna" "X.SCN")"));
    EXPECT_FALSE(CommandLineScanFile(R"("vna")"));
    EXPECT_FALSE(CommandLineScanFile(""));
    // ".scn" at the very start gives just the extension.
    EXPECT_EQ(*CommandLineScanFile(".scn"), ".scn");
}

TEST(StartOptions, OptionsAreTakenOutAndTheRestIsQuoted) {
    const auto o = ParseStartOptions({"/usr/bin/vna", "--demo", "--data-dir", "/tmp/d.scnfiles",
                                      "--serial=/dev/pts/3", "--sweep", "/home/u/my scans/x.scn"});
    EXPECT_TRUE(o.demo);
    EXPECT_TRUE(o.sweepAtStart);
    EXPECT_FALSE(ParseStartOptions({"vna"}).sweepAtStart);
    EXPECT_EQ(o.dataDir, "/tmp/d.scnfiles");
    EXPECT_EQ(o.serialDevice, "/dev/pts/3");
    EXPECT_TRUE(o.problems.empty());
    EXPECT_EQ(o.commandLine, R"("/usr/bin/vna" "/home/u/my scans/x.scn")");
    // The options (even one whose value holds ".scn") never disturb the scan-file rule.
    EXPECT_EQ(*CommandLineScanFile(o.commandLine), "/home/u/my scans/x.scn");
}

TEST(StartOptions, EnvironmentAndMissingValues) {
    auto env = [](const char* n) -> const char* {
        const std::string s(n);
        if (s == "VNA_HOME") {
            return "/env/home";
        }
        if (s == "VNA_SERIAL") {
            return "/dev/ttyS9";
        }
        return nullptr;
    };
    auto o = ParseStartOptions({"vna"}, env);
    EXPECT_EQ(o.dataDir, "/env/home");
    EXPECT_EQ(o.serialDevice, "/dev/ttyS9");
    EXPECT_FALSE(o.demo);
    // The command line wins over the environment.
    o = ParseStartOptions({"vna", "--serial", "/dev/pts/1"}, env);
    EXPECT_EQ(o.serialDevice, "/dev/pts/1");
    // An option without its value is reported, not fatal.
    o = ParseStartOptions({"vna", "--data-dir"});
    EXPECT_EQ(o.problems.size(), 1u);
    EXPECT_EQ(o.dataDir, "");
    // Quotes inside an argument cannot make the rule take a neighbour's text.
    o = ParseStartOptions({"vna", "odd\"name.scn", "--demo"});
    EXPECT_EQ(*CommandLineScanFile(o.commandLine), "name.scn");
}
