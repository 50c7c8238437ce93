// vna-cli convert and the writer of a scan with its exports, in-process.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "app/cli.h"
#include "cli_capture.h"
#include "commands/scan_commands.h"
#include "core/atomic_file.h"
#include "core/text_lines.h"
#include "files/scan_file.h"
#include "measure/scan_replay.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

using test::Captured;

Captured Cli(core::Program& p, const std::vector<std::string>& args) {
    return test::RunCliCaptured(p, args);
}

// A Port A scan of an antenna-like impedance and a Port B scan of a filter-like response.
void MakeScans(core::Program& p) {
    core::AppState& st = p.st;
    st.start_freq = 3;
    st.end_freq = 5;
    st.delta_freq = 0.01;
    st.last_scan_index = 200;
    st.scan_points = 201;
    for (std::size_t k = 0; k <= 200; ++k) {
        const double x = (static_cast<double>(k) - 100) / 40;
        p.scan.raw_zmag[k] = std::hypot(40 + 10 * x * x, 60 * x);
        p.scan.raw_phase[k] = std::atan2(60 * x, 40 + 10 * x * x);
        p.scan.s21_db[k] = -2 - 3 * x * x;
        p.scan.s21_phase[k] = -0.05 * static_cast<double>(k) + 2;
        p.scan.s11_db[k] = -15 + x;
        p.scan.s11_phase[k] = 0.3 * x;
    }
    measure::ReplayScanA(p);
    measure::ReplayScanB(p);
    st.scanDescriptionA = "antenna";
    st.scanDescriptionB = "filter";
    files::RecordLiveScanA(p, 0);
    files::RecordLiveScanB(p, 0);
}

// The Port A record of a scan file as loaded into a fresh program.
std::vector<double> LoadedA(const std::string& path, std::vector<double>* phase = nullptr) {
    test::TestRig rig;
    EXPECT_TRUE(commands::LoadScanFileA(rig.p(), path)) << path;
    std::vector<double> out;
    for (int k = 0; k <= rig.st().last_scan_index; ++k) {
        out.push_back(rig.p().scan.raw_zmag[static_cast<std::size_t>(k)]);
        if (phase) {
            phase->push_back(rig.p().scan.raw_phase[static_cast<std::size_t>(k)]);
        }
    }
    return out;
}

} // namespace

TEST(CliConvert, BetweenScanFilesCsvAndTouchstone) {
    test::TestRig rig;
    MakeScans(rig.p());
    const std::string scn = rig.dir.file("ant.scn");
    const std::string scnb = rig.dir.file("flt.scnb");
    std::string error;
    const auto written =
        app::WriteScanWithExports(rig.p(), 'a', rig.dir.file("ant"), files::TouchstoneFormat::MA, error);
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(*written, (std::vector<std::string>{scn, rig.dir.file("ant.csv"), rig.dir.file("ant.s1p")}));
    EXPECT_NE(test::ReadFile(rig.dir.file("ant.s1p")).find("# HZ S MA R 50\r\n"), std::string::npos);
    ASSERT_TRUE(app::WriteScanWithExports(rig.p(), 'b', scnb, files::TouchstoneFormat::RI, error)) << error;
    EXPECT_TRUE(core::FileExists(rig.dir.file("flt_B.csv")));
    EXPECT_TRUE(core::FileExists(rig.dir.file("flt.s2p")));
    EXPECT_FALSE(
        app::WriteScanWithExports(rig.p(), 'a', rig.dir.file("x.scnb"), files::TouchstoneFormat::RI, error));
    EXPECT_NE(error.find("is named .scn"), std::string::npos);

    std::vector<double> phase;
    const std::vector<double> original = LoadedA(scn, &phase);
    ASSERT_EQ(original.size(), 201u);

    // Scan file to Touchstone and back.
    test::TestRig cli;
    auto c = Cli(cli.p(), {"convert", scn, "--out", cli.dir.file("a.s1p"), "--format", "db"});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.out.find("Port A scan, 201 points, 3.000000 to 5.000000 MHz"), std::string::npos) << c.out;
    EXPECT_NE(test::ReadFile(cli.dir.file("a.s1p")).find("# HZ S DB R 50"), std::string::npos);
    c = Cli(cli.p(), {"convert", cli.dir.file("a.s1p"), "--out", cli.dir.file("back.scn")});
    ASSERT_EQ(c.status, 0) << c.err;
    std::vector<double> backPhase;
    const std::vector<double> back = LoadedA(cli.dir.file("back.scn"), &backPhase);
    ASSERT_EQ(back.size(), original.size());
    for (std::size_t k = 0; k < back.size(); ++k) {
        EXPECT_NEAR(back[k], original[k], 1e-9 * original[k]) << k;
        EXPECT_NEAR(backPhase[k], phase[k], 1e-9) << k;
    }
    // The comment and the date travel through the Touchstone file.
    test::TestRig shown;
    ASSERT_TRUE(commands::LoadScanFileA(shown.p(), cli.dir.file("back.scn")));
    EXPECT_EQ(shown.st().scanDescriptionA, "antenna");
    EXPECT_EQ(shown.st().scanStampA, rig.st().scanStampA);

    // CSV export to scan file: the impedance comes back to the export's 6 decimals.
    c = Cli(cli.p(), {"convert", rig.dir.file("ant.csv"), "--out", cli.dir.file("fromcsv.scn")});
    ASSERT_EQ(c.status, 0) << c.err;
    const std::vector<double> fromCsv = LoadedA(cli.dir.file("fromcsv.scn"));
    ASSERT_EQ(fromCsv.size(), original.size());
    for (std::size_t k = 0; k < fromCsv.size(); ++k) {
        EXPECT_NEAR(fromCsv[k], original[k], 2e-6) << k;
    }
    // Scan file to CSV: the export the save command writes, apart from its creation time (and the
    // last bit of values that were exact integers before the trip through the file, which are then
    // written with decimals).
    c = Cli(cli.p(), {"convert", scn, "--out", cli.dir.file("again.csv")});
    ASSERT_EQ(c.status, 0) << c.err;
    const std::string saved = test::ReadFile(rig.dir.file("ant.csv"));
    const std::string converted = test::ReadFile(cli.dir.file("again.csv"));
    const auto a = core::SplitLines(saved);
    const auto b = core::SplitLines(converted);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t k = 1; k < 5; ++k) {
        EXPECT_EQ(a[k], b[k]) << k;
    }
    for (std::size_t k = 5; k < a.size(); ++k) {
        std::size_t ia = 0, ib = 0;
        const std::string la(a[k]), lb(b[k]);
        for (int column = 0; column < 9; ++column) {
            const double va = std::stod(la.substr(ia));
            const double vb = std::stod(lb.substr(ib));
            EXPECT_NEAR(va, vb, 1e-6) << la << "\n" << lb;
            ia = la.find(',', ia) + 1;
            ib = lb.find(',', ib) + 1;
        }
    }

    // Port B: scan file to Touchstone to scan file, and the CSV export to a scan file.
    c = Cli(cli.p(), {"convert", scnb, "--out", cli.dir.file("b.s2p")});
    ASSERT_EQ(c.status, 0) << c.err;
    c = Cli(cli.p(), {"convert", cli.dir.file("b.s2p"), "--out", cli.dir.file("b.scnb")});
    ASSERT_EQ(c.status, 0) << c.err;
    c = Cli(cli.p(), {"convert", rig.dir.file("flt_B.csv"), "--out", cli.dir.file("c.scnb")});
    ASSERT_EQ(c.status, 0) << c.err;
    for (const char* name : {"b.scnb", "c.scnb"}) {
        test::TestRig t;
        ASSERT_TRUE(commands::LoadScanFileB(t.p(), cli.dir.file(name)));
        ASSERT_EQ(t.st().last_scan_index, 200) << name;
        const double tolerance = std::string(name) == "b.scnb" ? 1e-9 : 2e-6;
        for (std::size_t k = 0; k <= 200; ++k) {
            EXPECT_NEAR(t.p().scan.s21_db[k], rig.p().scan.s21_db[k], tolerance) << name << k;
            EXPECT_NEAR(std::remainder(t.p().scan.s21_phase[k] - rig.p().scan.s21_phase[k], 2 * M_PI), 0,
                        tolerance)
                << name << k;
            EXPECT_NEAR(t.p().scan.s11_db[k], rig.p().scan.s11_db[k], tolerance) << name << k;
        }
    }
}

TEST(CliConvert, MistakesAndBadFiles) {
    test::TestRig rig;
    MakeScans(rig.p());
    std::string error;
    ASSERT_TRUE(
        app::WriteScanWithExports(rig.p(), 'a', rig.dir.file("a.scn"), files::TouchstoneFormat::RI, error));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    test::WriteFile(rig.dir.file("notes.txt"), "hello");
    test::WriteFile(rig.dir.file("bad.scn"), "Jan 1, 26  00:00:00\r\n 127 \r\n 5\r\n");
    test::WriteFile(rig.dir.file("bad.csv"), "a,b\r\n");
    const std::vector<Case> cases = {
        {{"convert", rig.dir.file("missing.scn"), "--out", rig.dir.file("x.s1p")},
         "missing.scn cannot be read"},
        {{"convert", rig.dir.file("notes.txt"), "--out", rig.dir.file("x.s1p")}, "is not a scan file"},
        {{"convert", rig.dir.file("bad.csv"), "--out", rig.dir.file("x.s1p")}, "is not a scan file"},
        {{"convert", rig.dir.file("a.scn"), "--out", rig.dir.file("x.txt")}, "the output is named"},
        {{"convert", rig.dir.file("a.scn"), "--out", rig.dir.file("x.s2p")},
         "a Port A scan cannot be written as .s2p (Port A: .scn, .csv, .s1p)"},
        {{"convert", rig.dir.file("bad.scn"), "--out", rig.dir.file("x.s1p")},
         "could not be read as a Port A scan"},
        {{"convert", rig.dir.file("a.scn"), "--out", rig.dir.file("no/folder/x.s1p")}, "cannot be written"},
    };
    for (const Case& k : cases) {
        test::TestRig cli;
        const auto c = Cli(cli.p(), k.args);
        EXPECT_EQ(c.status, 1) << k.message;
        EXPECT_EQ(c.err.rfind("vna-cli: error 1: ", 0), 0u) << c.err;
        EXPECT_NE(c.err.find(k.message), std::string::npos) << c.err;
        EXPECT_TRUE(c.out.empty());
        EXPECT_FALSE(core::FileExists(rig.dir.file("x.s1p")));
    }
    // The damaged file was also reported through the program's own message.
    test::TestRig cli;
    Cli(cli.p(), {"convert", rig.dir.file("bad.scn"), "--out", rig.dir.file("x.s1p")});
    ASSERT_EQ(cli.ui.messages().size(), 1u);
    EXPECT_EQ(cli.ui.messages()[0].caption, "Port A - File Error");

    for (const auto& [args, why] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"convert"}, "convert needs a file and --out FILE"},
             {{"convert", "a.scn"}, "convert needs a file and --out FILE"},
             {{"convert", "--out", "b.s1p"}, "convert needs a file and --out FILE"},
             {{"convert", "a.scn", "--out", "b.s1p", "--format", "xy"}, "--format is ri, ma or db"},
             {{"convert", "a.scn", "b.scn", "--out", "c.s1p"}, "unknown argument b.scn"}}) {
        EXPECT_FALSE(app::ParseCliOptions(args, nullptr, error));
        EXPECT_EQ(error, why);
    }
}

TEST(CliConvert, WhatTheProgramWritesItReadsBack) {
    // A sweep stopped after its first point: its exports read back as a one-point scan.
    test::TestRig rig;
    MakeScans(rig.p());
    rig.st().last_scan_index = 0;
    rig.st().scan_points = 1;
    files::RecordLiveScanA(rig.p(), 0);
    std::string error;
    ASSERT_TRUE(
        app::WriteScanWithExports(rig.p(), 'a', rig.dir.file("one.scn"), files::TouchstoneFormat::MA, error))
        << error;
    for (const char* exported : {"one.csv", "one.s1p"}) {
        const auto c = Cli(rig.p(), {"convert", rig.dir.file(exported), "--out", rig.dir.file("back.scn")});
        ASSERT_EQ(c.status, 0) << exported << ": " << c.err;
        const std::vector<double> back = LoadedA(rig.dir.file("back.scn"));
        ASSERT_EQ(back.size(), 1u) << exported;
        EXPECT_NEAR(back[0], rig.p().scan.raw_zmag[0], 1e-5 * back[0]) << exported;
    }

    // A Port B level no measurement gives (as a damaged file brought it in) is refused where it is
    // read, rather than exported as a magnitude of "inf".
    test::TestRig b;
    MakeScans(b.p());
    b.p().scan.s21_db[7] = 7000;
    ASSERT_TRUE(
        app::WriteScanWithExports(b.p(), 'b', b.dir.file("f.scnb"), files::TouchstoneFormat::RI, error));
    for (const char* name : {"f.scnb", "f_B.csv"}) {
        test::TestRig cli;
        const auto c = Cli(cli.p(), {"convert", b.dir.file(name), "--out", b.dir.file("x.s2p")});
        EXPECT_EQ(c.status, 1) << name;
        EXPECT_NE(c.err.find("could not be read as a Port B scan"), std::string::npos)
            << name << ": " << c.err;
        ASSERT_EQ(cli.ui.messages().size(), 1u) << name;
        EXPECT_NE(
            cli.ui.messages()[0].text.find("Point 8 holds a level of 7000 dB, which no measurement gives"),
            std::string::npos)
            << name << ": " << cli.ui.messages()[0].text;
        EXPECT_FALSE(core::FileExists(b.dir.file("x.s2p")));
    }
}
