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
    // Quotes inside an argument cannot make the rule take a neighbour's text.
    o = ParseStartOptions({"vna", "odd\"name.scn", "--demo"});
    EXPECT_EQ(*CommandLineScanFile(o.commandLine), "name.scn");
}

TEST(StartOptions, MistakesHelpAndVersionAreTakenBeforeAnyWindow) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"vna", "--data-dir"}, "The option --data-dir needs a value."},
        {{"vna", "--data-dir", "--demo"}, "The option --data-dir needs a value."},
        {{"vna", "--serial="}, "The option --serial needs a value."},
        {{"vna", "--frobnicate"}, "Unknown option --frobnicate."},
        {{"vna", "-x", "a.scn"}, "Unknown option -x."},
        {{"vna", "--demo", "--demo"}, "The option --demo is given more than once."},
        {{"vna", "--cal", "a.acal", "--cal=b.acal"}, "The option --cal is given more than once."},
    };
    for (const auto& [args, mistake] : refused) {
        EXPECT_EQ(ParseStartOptions(args).mistake, mistake) << args.back();
    }
    auto o = ParseStartOptions({"vna", "-h"});
    EXPECT_TRUE(o.help);
    EXPECT_TRUE(o.mistake.empty());
    EXPECT_TRUE(ParseStartOptions({"vna", "--version"}).version);
    // After "--" a name that begins with a dash is a file; blanks and other scripts pass as they are.
    o = ParseStartOptions({"vna", "--demo", "--", "-odd name.scn"});
    EXPECT_TRUE(o.mistake.empty());
    EXPECT_EQ(*CommandLineScanFile(o.commandLine), "-odd name.scn");
    o = ParseStartOptions({"vna", "--data-dir", "/tmp/Messdaten März", "/tmp/антенна 40m.scn"});
    EXPECT_TRUE(o.mistake.empty());
    EXPECT_EQ(o.dataDir, "/tmp/Messdaten März");
    EXPECT_EQ(*CommandLineScanFile(o.commandLine), "/tmp/антенна 40m.scn");
}
