// Scan files through the program: the byte layout, round trips, the reader's rules, bad files,
// the dialogs, the last-graph files and the graph swap.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "commands/commands.h"
#include "commands/scan_commands.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/text_lines.h"
#include "display/graph_geometry.h"
#include "files/scan_file.h"
#include "measure/scan_replay.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

// A Port A scan of known values in the arrays, as a sweep leaves it.
void SetScanA(core::Program& p, double start, double end, double step, const std::vector<double>& zmag,
              const std::vector<double>& phase) {
    core::AppState& st = p.st;
    st.start_freq = start;
    st.end_freq = end;
    st.delta_freq = step;
    for (std::size_t k = 0; k < zmag.size(); ++k) {
        p.scan.raw_zmag[k] = zmag[k];
        p.scan.raw_phase[k] = phase[k];
    }
    st.last_scan_index = static_cast<int>(zmag.size()) - 1;
    // The graph's arrays, as the sweep computes them point by point.
    measure::ReplayScanA(p);
    files::RecordLiveScanA(p, 0);
}

void SetScanB(core::Program& p, double start, double end, double step, int points) {
    core::AppState& st = p.st;
    st.start_freq = start;
    st.end_freq = end;
    st.delta_freq = step;
    st.scan_points = points;
    for (int k = 0; k <= points; ++k) {
        const auto i = static_cast<std::size_t>(k);
        p.scan.s21_db[i] = -3.0 - 0.25 * k;
        p.scan.s21_phase[i] = -0.1 * k;
        p.scan.s11_db[i] = -20.0 + 0.5 * k;
        p.scan.s11_phase[i] = 0.05 * k;
    }
    st.last_scan_index = points - 1;
    files::RecordLiveScanB(p, 0);
}

std::vector<std::string> Lines(const std::string& path) {
    const std::string text = test::ReadFile(path);
    std::vector<std::string> out;
    for (auto v : core::SplitLines(text)) {
        out.emplace_back(v);
    }
    return out;
}

// Every line of a file ends in CR LF.
bool AllCrLf(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            return false;
        }
    }
    return !text.empty() && text.back() == '\n';
}

std::string SaveA(test::TestRig& rig, const std::string& name) {
    const std::string path = rig.dir.file(name);
    rig.ui.fileAnswers.push_back(path);
    rig.st().ScanFileMode = 0;
    EXPECT_TRUE(commands::SaveScanA(rig.p()));
    return path;
}

void LoadA(test::TestRig& rig, const std::string& path) {
    rig.ui.fileAnswers.push_back(path);
    rig.st().ScanFileMode = 0;
    commands::LoadScanA(rig.p());
}

void OpenWindow(test::TestRig& rig) {
    rig.ui.createMainWindow(0, 0, rig.st().WinWidth, rig.st().WinHeight);
    display::ComputeGraphGeometry(rig.p());
}

} // namespace

TEST(ScanFile, PortAFileLineByLine) {
    test::TestRig rig;
    rig.clock.date = {2026, 3, 5, 9, 4, 7, 0};
    core::AppState& st = rig.st();
    st.trend = 2;
    st.scanDescriptionA = "  dipole 40m ";
    SetScanA(rig.p(), 1, 2, 0.5, {50, 25.5, 1000.125}, {0, -0.5, 1.25});
    st.trend = 7; // changed after the sweep: the file keeps the scan's own
    st.ScanFileMode = 1;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    EXPECT_EQ(st.ScanFileMode, 0);
    const std::string path = rig.dir.file("VNA_LastGraph.scn");
    const std::vector<std::string> expected = {
        "Mar 5, 26  09:04:07", " 127 ", " 2", " 1", " 2", " 0.500000000000000", " 1", " 2", " 10", " 1000",
        " 100", " 0", " 0", " 0", " 0.050000000000000", " 1", "dipole 40m",
        // the points
        " 50", " 0", " 25.500000000000000", " -0.500000000000000", " 1000.125000000000000",
        " 1.250000000000000",
        // the trailer
        " 50", " 0", " 0", " 0.660000000000000", " 20", " 0", " 0", " 1", " 4", " 10", " 0.011746000000000",
        " 1.001200000000000", " 50", " 180", " 2", " 0", " 0", " 0"};
    EXPECT_EQ(Lines(path), expected);
    EXPECT_TRUE(AllCrLf(test::ReadFile(path)));
    // At exit no CSV is written beside the last graph.
    EXPECT_FALSE(core::FileExists(rig.dir.file("VNA_LastGraph.csv")));

    st.plot_at_zero = 1;
    st.ScanFileMode = 1;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    const auto lines = Lines(path);
    EXPECT_EQ(lines[1], " 127     plot_at_zero");
    EXPECT_EQ(lines[6], " 0") << "the graph starts at zero";
}

TEST(ScanFile, PortBFileLineByLine) {
    test::TestRig rig;
    rig.clock.date = {2025, 11, 30, 23, 59, 58, 0};
    core::AppState& st = rig.st();
    st.plot_at_zero = 1;
    st.ruler_1 = -3;
    st.ruler1_on = 1;
    st.PortB_Gain = 3;
    st.PortB_Sens = 2;
    st.s21phase_scale = 150;
    st.scanDescriptionB = "filter";
    SetScanB(rig.p(), 10, 12, 1, 3);
    st.ScanFileMode = 1;
    ASSERT_TRUE(commands::SaveScanB(rig.p()));
    const auto lines = Lines(rig.dir.file("VNA_LastGraphB.scnb"));
    ASSERT_EQ(lines.size(), 29u + 4 * 4 + 11);
    EXPECT_EQ(lines[0], "Nov 30, 25  23:59:58");
    EXPECT_EQ(lines[1], " 4076 plot_at_zero");
    EXPECT_EQ(lines[2], " 3");
    EXPECT_EQ(lines[3], " 10");
    EXPECT_EQ(lines[5], " 1");
    EXPECT_EQ(lines[6], " 0") << "plot start";
    EXPECT_EQ(lines[11], " 10") << "S21 scale";
    EXPECT_EQ(lines[12], " -60") << "S11 scale";
    EXPECT_EQ(lines[18], " -3");
    EXPECT_EQ(lines[19], " 1");
    EXPECT_EQ(lines[22], " 3");
    EXPECT_EQ(lines[23], " 2");
    EXPECT_EQ(lines[28], "filter");
    // Block 2: S21 dB, S21 phase x 57.3, S11 dB, S11 phase x 57.3.
    EXPECT_EQ(lines[29 + 8], " -3.500000000000000");
    EXPECT_EQ(lines[29 + 9], " -11.460000000000001");
    EXPECT_EQ(lines[29 + 10], " -19");
    EXPECT_EQ(lines[29 + 11], " 5.730000000000000");
    // Trailer: Zo, 0, 0, VF, cable length, average, model, trend, 0, custom cal, S21 phase scale.
    const std::vector<std::string> trailer(lines.end() - 11, lines.end());
    EXPECT_EQ(trailer, (std::vector<std::string>{" 50", " 0", " 0", " 0.660000000000000", " 20", " 4", " 180",
                                                 " 0", " 0", " 0", " 150"}));
}

TEST(ScanFile, WrittenAndReadBackGivesTheSameArrays) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> mag(0.001, 20000);
    std::uniform_real_distribution<double> ph(-3.14159, 3.14159);
    std::vector<double> zmag(2001), phase(2001);
    for (std::size_t k = 0; k < zmag.size(); ++k) {
        zmag[k] = mag(gen);
        phase[k] = ph(gen);
    }
    test::TestRig writer;
    writer.st().trend = 3;
    writer.st().average = 16;
    writer.st().Zo = 75;
    writer.st().scanDescriptionA = "random";
    SetScanA(writer.p(), 1.5, 31.5, 0.015, zmag, phase);
    const std::string path = SaveA(writer, "round.scn");

    test::TestRig reader;
    LoadA(reader, path);
    ASSERT_TRUE(reader.ui.messages().empty()) << reader.ui.messages()[0].text;
    const core::AppState& st = reader.st();
    EXPECT_EQ(st.last_scan_index, 2000);
    EXPECT_EQ(st.start_freq, 1.5);
    EXPECT_EQ(st.end_freq, 31.5);
    EXPECT_EQ(st.delta_freq, 0.015);
    EXPECT_EQ(st.Zo, 75);
    EXPECT_EQ(st.Z0real, 75);
    EXPECT_EQ(st.trend, 3);
    EXPECT_EQ(st.average, 16);
    EXPECT_EQ(st.scanDescriptionA, "random");
    EXPECT_EQ(st.scanFileNameA, "File: round.scn           ");
    for (std::size_t k = 0; k < zmag.size(); ++k) {
        // 15 decimals hold every value to 5e-16; from 8 ohms up a double has less resolution than
        // that, so the value comes back exactly.
        EXPECT_NEAR(reader.p().scan.raw_zmag[k], zmag[k], 5e-16) << k;
        if (zmag[k] >= 8) {
            EXPECT_EQ(reader.p().scan.raw_zmag[k], zmag[k]) << k;
        }
        EXPECT_NEAR(reader.p().scan.raw_phase[k], phase[k], 5e-16) << k;
    }
    // The replay computed the graph's arrays from them, as the writer's would.
    EXPECT_GT(reader.p().scan.scan_swr[10], 1);

    // A file read and written again is the same file, and reads back to the same arrays, bit for
    // bit.
    reader.st().ScanFileMode = 1;
    ASSERT_TRUE(commands::SaveScanA(reader.p()));
    const std::string again = reader.dir.file("VNA_LastGraph.scn");
    EXPECT_EQ(test::ReadFile(again), test::ReadFile(path));
    test::TestRig third;
    LoadA(third, again);
    for (std::size_t k = 0; k < zmag.size(); ++k) {
        ASSERT_EQ(third.p().scan.raw_zmag[k], reader.p().scan.raw_zmag[k]) << k;
        ASSERT_EQ(third.p().scan.raw_phase[k], reader.p().scan.raw_phase[k]) << k;
        ASSERT_EQ(third.p().scan.scan_swr[k], reader.p().scan.scan_swr[k]) << k;
    }
}

TEST(ScanFile, PortBWrittenAndReadBack) {
    test::TestRig writer;
    writer.st().PortB_on = 1;
    writer.st().s21gain_scale = 5;
    writer.st().insertionLossScale = 2;
    writer.st().Zero_Ref = 4;
    writer.st().PortB_Gain = 5;
    SetScanB(writer.p(), 5, 15, 0.1, 101);
    writer.ui.fileAnswers.push_back(writer.dir.file("filter.scnb"));
    writer.st().ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanB(writer.p()));
    EXPECT_TRUE(core::FileExists(writer.dir.file("filter_B.csv")));

    test::TestRig reader;
    reader.st().PortB_on = 1;
    reader.ui.fileAnswers.push_back(writer.dir.file("filter.scnb"));
    reader.st().ScanFileMode = 0;
    commands::LoadScanB(reader.p());
    ASSERT_TRUE(reader.ui.messages().empty());
    const core::AppState& st = reader.st();
    EXPECT_EQ(st.last_scan_index, 100);
    EXPECT_EQ(st.scan_points, 101);
    EXPECT_EQ(st.s21gain_scale, 5);
    EXPECT_EQ(st.insertionLossScale, 2);
    EXPECT_EQ(st.Zero_Ref, 4);
    EXPECT_EQ(st.PortB_Gain, 5);
    EXPECT_EQ(st.scanb_ok, 1);
    for (std::size_t k = 0; k <= 101; ++k) {
        EXPECT_NEAR(reader.p().scan.s21_db[k], writer.p().scan.s21_db[k], 1e-14);
        EXPECT_NEAR(reader.p().scan.s21_phase[k], writer.p().scan.s21_phase[k], 1e-14);
        EXPECT_NEAR(reader.p().scan.s11_db[k], writer.p().scan.s11_db[k], 1e-14);
        EXPECT_NEAR(reader.p().scan.s11_phase[k], writer.p().scan.s11_phase[k], 1e-14);
    }
    // The delay was recomputed from the phase: -0.1 rad per 0.1 MHz is 159.16 ns.
    EXPECT_NEAR(reader.p().scan.group_delay[50], 159.16, 1e-9);
}

TEST(ScanFile, ReaderRulesForLimitsAndSettings) {
    test::TestRig src;
    src.st().plot_at_zero = 1;
    SetScanA(src.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    const std::string base = test::ReadFile(SaveA(src, "base.scn"));
    auto withLine = [&](int line, const std::string& text) {
        auto lines = core::SplitLines(base);
        std::string out;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            out += (static_cast<int>(k) + 1 == line ? text : std::string(lines[k])) + "\r\n";
        }
        return out;
    };
    // Line number of the trailer's first line (17 header lines, 3 points of 2 lines).
    constexpr int trailer = 17 + 6 + 1;

    struct Case {
        std::vector<std::pair<int, std::string>> edits;
        double start, end, step;
    };
    const std::vector<Case> cases = {
        {{}, 1, 2, 0.5},
        {{{5, " 183"}}, 1, 10, 0.5},                 // end beyond the instrument's maximum + 2
        {{{5, " 181.5"}}, 1, 180, 0.5},              // within 2 MHz of it: kept, then the graph's axis
                                                     // takes it down to the maximum
        {{{6, " 0.00000001"}}, 1, 10, 0.1},          // no step
        {{{4, " 3"}}, 1, 10, 0.1},                   // start above the end
        {{{4, " 0.001"}}, 1, 2, 0.5},                // start below the lowest frequency
        {{{4, " -1.5"}, {6, " -0.5"}}, 1.5, 2, 0.5}, // negative values are taken by their size
    };
    for (const Case& c : cases) {
        std::string text = base;
        auto lines = core::SplitLines(base);
        std::vector<std::string> edited(lines.begin(), lines.end());
        for (const auto& [line, value] : c.edits) {
            edited[static_cast<std::size_t>(line - 1)] = value;
        }
        text.clear();
        for (const auto& l : edited) {
            text += l + "\r\n";
        }
        test::TestRig rig;
        test::WriteFile(rig.dir.file("x.scn"), text);
        LoadA(rig, rig.dir.file("x.scn"));
        EXPECT_EQ(rig.st().start_freq, c.start) << edited[3] << edited[4] << edited[5];
        EXPECT_EQ(rig.st().end_freq, c.end) << edited[4];
        EXPECT_EQ(rig.st().delta_freq, c.step) << edited[5];
        EXPECT_EQ(rig.st().plot_at_zero, 1) << "saved with plot_at_zero on";
    }

    // Trailer values out of their ranges come from a damaged file: the user's Zo, averaging and
    // trend stay (and so go into the init file and the last graph), and a message says so.
    {
        test::TestRig rig;
        core::AppState& st = rig.st();
        st.trend = 5;
        st.Zo = 75;
        st.Z0real = 75;
        st.average = 16;
        std::string text = withLine(trailer, " 2.5");
        auto lines = core::SplitLines(text);
        std::vector<std::string> edited(lines.begin(), lines.end());
        edited[static_cast<std::size_t>(trailer - 1 + 8)] = " 1000"; // averaging
        edited[static_cast<std::size_t>(trailer - 1 + 14)] = " 21";  // trend
        text.clear();
        for (const auto& l : edited) {
            text += l + "\r\n";
        }
        test::WriteFile(rig.dir.file("x.scn"), text);
        LoadA(rig, rig.dir.file("x.scn"));
        EXPECT_EQ(st.Zo, 75);
        EXPECT_EQ(st.Z0real, 75);
        EXPECT_EQ(st.average, 16);
        EXPECT_EQ(st.trend, 5);
        EXPECT_EQ(st.last_scan_index, 2) << "the scan itself is loaded";
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].caption, " Port A - File Loaded");
        EXPECT_EQ(rig.ui.messages()[0].text,
                  "Settings of this file out of range were not taken:"
                  "\rZo of the file is 2.500, outside 3 to 10000 ohms; it stays at 75."
                  "\rThe averaging of the file is 1000, outside 1 to 256; it stays at 16."
                  "\rThe trend of the file is 21, outside 0 to 20; it stays at 5.");
        st.ScanFileMode = 1;
        ASSERT_TRUE(commands::SaveScanA(rig.p()));
        const auto saved = Lines(rig.dir.file("VNA_LastGraph.scn"));
        EXPECT_EQ(saved[static_cast<std::size_t>(trailer - 1)], " 75");
        EXPECT_EQ(saved[static_cast<std::size_t>(trailer - 1 + 8)], " 16");
        EXPECT_EQ(saved[static_cast<std::size_t>(trailer - 1 + 14)], " 5");
    }
    // In range they are taken; a trend below 1 switches smoothing off.
    for (const auto& [trend, on] : std::vector<std::pair<std::string, int>>{{" 4", 1}, {" 0.5", 0}}) {
        test::TestRig rig;
        rig.st().trend = 3;
        test::WriteFile(rig.dir.file("x.scn"), withLine(trailer + 14, trend));
        LoadA(rig, rig.dir.file("x.scn"));
        EXPECT_EQ(rig.st().trend, on ? 4 : 0);
        EXPECT_EQ(rig.st().trendOn, on);
        EXPECT_TRUE(rig.ui.messages().empty());
    }
    // Port B the same: an averaging of 300 is not taken.
    {
        test::TestRig b;
        SetScanB(b.p(), 1, 2, 0.5, 3);
        b.ui.fileAnswers.push_back(b.dir.file("b.scnb"));
        b.st().ScanFileMode = 0;
        ASSERT_TRUE(commands::SaveScanB(b.p()));
        // The lines are views into the file's text, which must outlive them.
        const std::string saved = test::ReadFile(b.dir.file("b.scnb"));
        auto lines = core::SplitLines(saved);
        std::vector<std::string> edited(lines.begin(), lines.end());
        edited[edited.size() - 11 + 5] = " 300";
        std::string text;
        for (const auto& l : edited) {
            text += l + "\r\n";
        }
        test::TestRig rig;
        rig.st().average = 8;
        test::WriteFile(rig.dir.file("x.scnb"), text);
        rig.ui.fileAnswers.push_back(rig.dir.file("x.scnb"));
        rig.st().ScanFileMode = 0;
        commands::LoadScanB(rig.p());
        EXPECT_EQ(rig.st().average, 8);
        EXPECT_EQ(rig.st().last_scan_index, 2);
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].caption, " Port B - File Loaded");
    }
}

TEST(ScanFile, NewLimitsClearTheOtherPortsScan) {
    test::TestRig src;
    SetScanA(src.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    const std::string path = SaveA(src, "a.scn");

    test::TestRig rig;
    SetScanB(rig.p(), 1, 2, 0.5, 3);
    LoadA(rig, path);
    EXPECT_EQ(rig.p().scan.s21_db[1], -3.25) << "same limits: the Port B scan stays";
    EXPECT_EQ(rig.st().scanHeldB, 1);

    test::TestRig moved;
    SetScanB(moved.p(), 1, 3, 0.5, 5);
    LoadA(moved, path);
    EXPECT_EQ(moved.p().scan.s21_db[1], 0);
    EXPECT_EQ(moved.p().scan.s11_db[30010], 0);
    EXPECT_EQ(moved.st().scanHeldB, 0);

    // A Port B file with new limits clears the graph arrays of Port A.
    test::TestRig b;
    b.st().PortB_on = 1;
    SetScanB(b.p(), 1, 3, 0.5, 5);
    b.ui.fileAnswers.push_back(b.dir.file("b.scnb"));
    b.st().ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanB(b.p()));
    test::TestRig target;
    SetScanA(target.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    target.p().scan.scan_swr[1] = 1.5;
    target.ui.fileAnswers.push_back(b.dir.file("b.scnb"));
    target.st().ScanFileMode = 0;
    commands::LoadScanB(target.p());
    EXPECT_EQ(target.p().scan.scan_swr[1], 0);
    EXPECT_EQ(target.p().scan.raw_zmag[1], 60) << "the stored scan itself stays";
}

TEST(ScanFile, EachLastGraphKeepsItsOwnPortsLimitsAndPoints) {
    const std::vector<double> zmag = {50, 60, 70, 80, 90};
    const std::vector<double> phase = {0, 0.1, 0.2, 0.3, 0.4};
    // A Port A scan of 5 to 25 MHz and a Port B scan of 10 to 11 MHz, in both orders: the limits
    // are left at the second port's, the files keep each port's own.
    for (bool portAFirst : {true, false}) {
        test::TestRig rig;
        if (portAFirst) {
            SetScanA(rig.p(), 5, 25, 5, zmag, phase);
            SetScanB(rig.p(), 10, 11, 0.5, 3);
        } else {
            SetScanB(rig.p(), 10, 11, 0.5, 3);
            SetScanA(rig.p(), 5, 25, 5, zmag, phase);
        }
        rig.st().ScanFileMode = 1;
        ASSERT_TRUE(commands::SaveScanA(rig.p()));
        rig.st().ScanFileMode = 1;
        ASSERT_TRUE(commands::SaveScanB(rig.p()));
        const auto a = Lines(rig.dir.file("VNA_LastGraph.scn"));
        ASSERT_EQ(a.size(), 17u + 2 * 5 + 18) << portAFirst;
        // Last index, start, end, step, and the graph's axis 5 to 25 MHz.
        EXPECT_EQ(std::vector<std::string>(a.begin() + 2, a.begin() + 8),
                  (std::vector<std::string>{" 4", " 5", " 25", " 5", " 5", " 25"}))
            << portAFirst;
        EXPECT_EQ(a[17 + 2 * 4], " 90");
        const auto b = Lines(rig.dir.file("VNA_LastGraphB.scnb"));
        ASSERT_EQ(b.size(), 29u + 4 * 4 + 11) << portAFirst;
        EXPECT_EQ(std::vector<std::string>(b.begin() + 2, b.begin() + 8),
                  (std::vector<std::string>{" 3", " 10", " 11", " 0.500000000000000", " 10", " 11"}))
            << portAFirst;
        // The user's saves: the CSV export and the Touchstone file carry each port's own
        // frequencies too.
        rig.ui.fileAnswers = {rig.dir.file("a.scn"), rig.dir.file("a.s1p"), rig.dir.file("b.scnb")};
        ASSERT_TRUE(commands::SaveScanA(rig.p()));
        ASSERT_TRUE(commands::SaveScanA(rig.p()));
        ASSERT_TRUE(commands::SaveScanB(rig.p()));
        const auto csvA = Lines(rig.dir.file("a.csv"));
        ASSERT_GE(csvA.size(), 10u);
        EXPECT_EQ(csvA[5].substr(0, 3), " 5,") << portAFirst;
        EXPECT_EQ(csvA[9].substr(0, 4), " 25,") << portAFirst;
        EXPECT_NE(test::ReadFile(rig.dir.file("a.s1p")).find("\n25000000 "), std::string::npos);
        const auto csvB = Lines(rig.dir.file("b_B.csv"));
        ASSERT_GE(csvB.size(), 8u);
        EXPECT_NE(csvB[5].find("10.0000000,"), std::string::npos) << csvB[5];
    }

    // A loaded scan keeps the grid of its file through a sweep of the other port.
    test::TestRig src;
    SetScanA(src.p(), 5, 25, 5, zmag, phase);
    const std::string path = SaveA(src, "a.scn");
    test::TestRig rig;
    LoadA(rig, path);
    SetScanB(rig.p(), 10, 11, 0.5, 3);
    rig.st().ScanFileMode = 1;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    EXPECT_EQ(test::ReadFile(rig.dir.file("VNA_LastGraph.scn")), test::ReadFile(path));
}

TEST(ScanFile, ALoadedScanIsShownAtOnceAndAClickCannotCutIt) {
    // Scans of 201 points in their files.
    std::vector<double> zmag(201), phase(201);
    for (std::size_t k = 0; k < zmag.size(); ++k) {
        zmag[k] = 20 + static_cast<double>(k);
        phase[k] = 0.5 - 0.005 * static_cast<double>(k);
    }
    test::TestRig src;
    SetScanA(src.p(), 1, 3, 0.01, zmag, phase);
    const std::string pathA = SaveA(src, "a.scn");
    SetScanB(src.p(), 1, 3, 0.01, 201);
    src.ui.fileAnswers.push_back(src.dir.file("b.scnb"));
    src.st().ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanB(src.p()));
    const std::string pathB = src.dir.file("b.scnb");

    for (bool portB : {false, true}) {
        test::TestRig rig;
        OpenWindow(rig);
        core::AppState& st = rig.st();
        st.ConfigLoaded = 1; // so the scan is drawn by a replay sweep
        st.PortB_on = portB ? 1 : 0;
        // The user clicks while the scan is being drawn.
        rig.ui.onPump = [&st](int) { st.SweepRunning = 0; };
        rig.ui.fileAnswers.push_back(portB ? pathB : pathA);
        st.ScanFileMode = 0;
        portB ? commands::LoadScanB(rig.p()) : commands::LoadScanA(rig.p());
        EXPECT_EQ(rig.ui.pumps(), 0) << "drawn at once, without waiting for window messages";
        EXPECT_EQ(st.last_scan_index, 200) << portB;
        if (!portB) {
            EXPECT_GT(rig.p().scan.scan_swr[200], 1) << "every point was computed";
        }
        // The last graph kept at exit holds the whole scan.
        st.ScanFileMode = 1;
        ASSERT_TRUE(portB ? commands::SaveScanB(rig.p()) : commands::SaveScanA(rig.p()));
        const std::string saved = rig.dir.file(portB ? "VNA_LastGraphB.scnb" : "VNA_LastGraph.scn");
        EXPECT_EQ(Lines(saved).size(), Lines(portB ? pathB : pathA).size()) << portB;
    }
}

TEST(ScanFile, PortBLimitRules) {
    test::TestRig src;
    SetScanB(src.p(), 1, 2, 0.5, 3);
    src.ui.fileAnswers.push_back(src.dir.file("b.scnb"));
    src.st().ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanB(src.p()));
    const std::string saved = test::ReadFile(src.dir.file("b.scnb"));
    const auto base = core::SplitLines(saved);
    struct Case {
        int line;
        std::string value;
        double start, end, step;
    };
    for (const Case& c :
         std::vector<Case>{{5, " 190", 1, 2, 0.5}, {6, " 0", 1, 2, 0.1}, {4, " 5", 1, 2, 0.02}}) {
        std::string text;
        for (std::size_t k = 0; k < base.size(); ++k) {
            text += (static_cast<int>(k) + 1 == c.line ? c.value : std::string(base[k])) + "\r\n";
        }
        test::TestRig rig;
        test::WriteFile(rig.dir.file("x.scnb"), text);
        rig.ui.fileAnswers.push_back(rig.dir.file("x.scnb"));
        rig.st().ScanFileMode = 0;
        commands::LoadScanB(rig.p());
        EXPECT_EQ(rig.st().start_freq, c.start) << c.line;
        EXPECT_EQ(rig.st().end_freq, c.end) << c.line;
        EXPECT_EQ(rig.st().delta_freq, c.step) << c.line;
    }
}

TEST(ScanFile, DamagedFilesAreRefusedAndLeaveTheGraphAlone) {
    test::TestRig src;
    SetScanA(src.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    const std::string good = test::ReadFile(SaveA(src, "good.scn"));
    const auto lines = core::SplitLines(good);
    auto join = [](const std::vector<std::string>& v) {
        std::string out;
        for (const auto& l : v) {
            out += l + "\r\n";
        }
        return out;
    };
    std::vector<std::string> all(lines.begin(), lines.end());
    auto edited = [&](std::size_t index, const std::string& text) {
        auto v = all;
        v[index] = text;
        return join(v);
    };
    const std::vector<std::pair<std::string, std::string>> bad = {
        {good.substr(0, good.size() / 2), "The file ends after line"},                 // cut in the points
        {join(std::vector<std::string>(all.begin(), all.end() - 1)), "The file ends"}, // trailer cut
        {edited(19, " 1.#QNAN"), "Line 20 should hold a number"}, // NaN as old programs wrote it
        {edited(18, "nan"), "Line 19 should hold a number"},
        {edited(20, " inf"), "Line 21"},
        {edited(17, " 1e999"), "Line 18"},
        {edited(2, " 30010"),
         "holds 30011 points, but a scan holds at most 30010"}, // more than a sweep makes
        {edited(2, " -2"), "(line 3) is -2, which is not possible"},
        {edited(2, " 2.5"), "not possible"},
        {edited(3, "start"), "Line 4 should hold a number"},
        {edited(1, "xyz"), "Line 2 should hold the format number"},
        {"", "The file ends after line 0"},
        {"hello\r\nworld\r\n", "The file ends after line 2"},
    };
    for (const auto& [text, why] : bad) {
        test::TestRig rig;
        core::AppState& st = rig.st();
        SetScanA(rig.p(), 3, 4, 0.25, {10, 20, 30, 40, 50}, {0.5, 0.4, 0.3, 0.2, 0.1});
        rig.p().scan.scan_swr[2] = 2.5;
        st.Zo = 75;
        st.scanFileNameA = "File: before";
        const core::AppState before = st;
        test::WriteFile(rig.dir.file("bad.scn"), text);
        LoadA(rig, rig.dir.file("bad.scn"));
        const auto m = rig.ui.messages();
        ASSERT_EQ(m.size(), 1u) << why;
        EXPECT_EQ(m[0].caption, "Port A - File Error");
        EXPECT_NE(m[0].text.find(why), std::string::npos) << m[0].text;
        EXPECT_NE(m[0].text.find("The graph was not changed."), std::string::npos);
        EXPECT_EQ(st.start_freq, before.start_freq);
        EXPECT_EQ(st.delta_freq, before.delta_freq);
        EXPECT_EQ(st.last_scan_index, 4);
        EXPECT_EQ(st.Zo, 75);
        EXPECT_EQ(st.scanFileNameA, "File: before");
        EXPECT_EQ(rig.p().scan.raw_zmag[1], 20);
        EXPECT_EQ(rig.p().scan.scan_swr[2], 2.5);
    }

    // The same for Port B: a block cut short.
    test::TestRig b;
    SetScanB(b.p(), 1, 2, 0.5, 3);
    b.ui.fileAnswers.push_back(b.dir.file("b.scnb"));
    b.st().ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanB(b.p()));
    std::string text = test::ReadFile(b.dir.file("b.scnb"));
    test::TestRig rig;
    SetScanB(rig.p(), 4, 5, 0.25, 5);
    test::WriteFile(rig.dir.file("cut.scnb"), text.substr(0, text.size() - 60));
    rig.ui.fileAnswers.push_back(rig.dir.file("cut.scnb"));
    rig.st().ScanFileMode = 0;
    commands::LoadScanB(rig.p());
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Port B - File Error");
    EXPECT_EQ(rig.st().start_freq, 4);
    EXPECT_EQ(rig.p().scan.s21_db[1], -3.25);

    // A file that cannot be opened ends the load without a word.
    test::TestRig missing;
    LoadA(missing, missing.dir.file("nothing-here.scn"));
    EXPECT_TRUE(missing.ui.messages().empty());
}

TEST(ScanFile, OlderFormatWarnsAndLoads) {
    test::TestRig src;
    SetScanA(src.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    const std::string saved = test::ReadFile(SaveA(src, "old.scn"));
    const auto lines = core::SplitLines(saved);
    std::string text;
    // An older file: format 120 and no closing settings.
    for (std::size_t k = 0; k < lines.size() - 18; ++k) {
        text += (k == 1 ? std::string(" 120 ") : std::string(lines[k])) + "\r\n";
    }
    test::TestRig rig;
    rig.st().Zo = 75;
    test::WriteFile(rig.dir.file("old.scn"), text);
    LoadA(rig, rig.dir.file("old.scn"));
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text,
              "This file for Port A is not in the latest format.\rIt may not have the latest features.");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Port A - Warning: Invalid File Format");
    EXPECT_EQ(rig.st().last_scan_index, 2);
    EXPECT_EQ(rig.p().scan.raw_zmag[2], 70);
    EXPECT_EQ(rig.st().Zo, 75) << "no trailer: the settings stay";
}

TEST(ScanFile, SaveDialogNamesAndTheirFiles) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    st.scan_folder = rig.dir.folder();
    st.scanDescriptionA = "My antenna";
    SetScanA(rig.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});

    // A chosen name without extension gets ".scn", becomes the scan file, and has a CSV beside it.
    std::filesystem::create_directories(rig.dir.file("sub"));
    rig.ui.fileAnswers.push_back(rig.dir.file("sub/first"));
    st.ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    const auto& call = rig.ui.calls.back();
    EXPECT_EQ(call.kind, "saveFile");
    EXPECT_EQ(call.text, "Save Port A scan, default name= My antenna.scn");
    EXPECT_EQ(call.caption, rig.dir.folder());
    EXPECT_TRUE(core::FileExists(rig.dir.file("sub/first.scn")));
    EXPECT_TRUE(core::FileExists(rig.dir.file("sub/first.csv")));
    EXPECT_EQ(st.scan_file, rig.dir.file("sub/first.scn"));
    EXPECT_EQ(st.scan_folder, rig.dir.file("sub/"));

    // Cancelled: the scan is saved under its description, in the scan folder, and a second cancel
    // does not replace the first file.
    st.ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    EXPECT_TRUE(core::FileExists(rig.dir.file("sub/My antenna.scn")));
    st.ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    EXPECT_TRUE(core::FileExists(rig.dir.file("sub/My antenna (2).scn")));
    // Without a description the name is made of the seconds since the system started.
    st.scanDescriptionA = "";
    rig.clock.ticks = 123456;
    st.ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    EXPECT_TRUE(core::FileExists(rig.dir.file("sub/Scan_A_ 123.scn")));
    // A description that names a path stays in the scan folder.
    st.scanDescriptionA = "../up/and away";
    st.ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    EXPECT_TRUE(core::FileExists(rig.dir.file("sub/.._up_and away.scn")));
    // Port B: a cancelled dialog saves nothing.
    st.PortB_on = 1;
    st.ScanFileMode = 0;
    EXPECT_FALSE(commands::SaveScanB(rig.p()));
    EXPECT_EQ(rig.ui.calls.back().text, " Save Port B Scan File");
}

TEST(ScanFile, SaveRefusalsAndWriteFailures) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    SetScanA(rig.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    st.start_freq = 0.001;
    rig.ui.fileAnswers.push_back(rig.dir.file("x.scn"));
    st.ScanFileMode = 0;
    EXPECT_FALSE(commands::SaveScanA(rig.p()));
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "Invalid scan limits");
    EXPECT_EQ(rig.ui.messages()[0].caption, " Invalid Limits  1");
    EXPECT_FALSE(core::FileExists(rig.dir.file("x.scn")));
    // The automatic saves refuse quietly.
    st.end_freq = 200;
    st.start_freq = 1;
    st.ScanFileMode = 1;
    EXPECT_FALSE(commands::SaveScanA(rig.p()));
    EXPECT_EQ(rig.ui.messages().size(), 1u);
    st.end_freq = 2;
    st.delta_freq = 0;
    rig.ui.fileAnswers.clear();
    rig.ui.fileAnswers.push_back(rig.dir.file("x.scn"));
    st.ScanFileMode = 0;
    EXPECT_FALSE(commands::SaveScanA(rig.p()));
    EXPECT_EQ(rig.ui.messages().back().caption, " Invalid Limits  3");
    st.delta_freq = 0.5;

    // A read-only file is not replaced.
    const std::string path = rig.dir.file("locked.scn");
    test::WriteFile(path, "keep me");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    rig.ui.fileAnswers.clear();
    rig.ui.fileAnswers.push_back(path);
    st.ScanFileMode = 0;
    EXPECT_FALSE(commands::SaveScanA(rig.p()));
    EXPECT_EQ(
        rig.ui.messages().back().text,
        "The file named: " + path +
            "  \ris a Read-Only file.\rIt cannot be updated.\rMake sure the Read-Only bit for all the files "
            "in \rthe VNA folder is NOT set.");
    EXPECT_EQ(rig.ui.messages().back().caption, "");
    EXPECT_EQ(test::ReadFile(path), "keep me");

    // A folder that does not exist.
    rig.ui.fileAnswers.push_back(rig.dir.file("no/such/folder/x.scn"));
    st.ScanFileMode = 0;
    EXPECT_FALSE(commands::SaveScanA(rig.p()));
    EXPECT_EQ(
        rig.ui.messages().back().text,
        "The file was not saved.\rBe sure the file is not set for Read-Only.\rAlso, be sure the disk is "
        "not full.");
    EXPECT_EQ(rig.ui.messages().back().caption, "File Error");
}

TEST(ScanFile, CsvExports) {
    test::TestRig rig;
    rig.clock.date = {2026, 1, 2, 3, 4, 5, 0};
    core::AppState& st = rig.st();
    st.scanDescriptionA = "dipole";
    // 50 ohms is a perfect match: SWR 1, no finite return loss.
    SetScanA(rig.p(), 14.1, 14.3, 0.1, {50, 100, 25}, {0, 0, 0});
    SaveA(rig, "d.scn");
    const auto lines = Lines(rig.dir.file("d.csv"));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Created: 01-02-2026  03:04:05");
    EXPECT_EQ(lines[1], "VNA version 546B");
    EXPECT_EQ(lines[2], "\"dipole\"");
    EXPECT_EQ(lines[3], "Z0, 50");
    EXPECT_EQ(lines[4], "Freq(MHz),SWR,Rs,Xs,Zmag,Phase(deg),Rho,ReturnLoss,%ReflectedPower");
    EXPECT_EQ(lines[5], " 14.100000,  1,  50,  0,  50,  0,  0,  999,  0");
    // 100 ohms: SWR 2 (not exactly: it has a fraction, so it takes decimals), rho 1/3, return loss
    // 9.542 dB, 11.1 % reflected.
    EXPECT_EQ(lines[6], " 14.200000,  2.000000,  100,  0,  100,  0,  0.333333,  9.542425,  11.111111");
    EXPECT_EQ(lines[7], " 14.300000,  2.000000,  25,  0,  25,  0,  0.333333,  9.542425,  11.111111");
    EXPECT_TRUE(AllCrLf(test::ReadFile(rig.dir.file("d.csv"))));

    test::TestRig b;
    b.clock.date = {2026, 1, 2, 3, 4, 5, 0};
    b.st().PortB_on = 1;
    SetScanB(b.p(), 10, 10.2, 0.1, 3);
    b.p().scan.group_delay[1] = 159.16;
    b.ui.fileAnswers.push_back(b.dir.file("f.scnb"));
    b.st().ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanB(b.p()));
    const auto bl = Lines(b.dir.file("f_B.csv"));
    ASSERT_EQ(bl.size(), 8u);
    EXPECT_EQ(bl[0], "Created: 01-02-2026 03:04:05");
    EXPECT_EQ(bl[4], "Freq(MHz), S11mag(dB), S11phase(deg), S21mag(dB), S21phase(deg), Delay(usec)");
    EXPECT_EQ(bl[6], " 10.1000000,  -19.500000,  2.864794,  -3.250000,  -5.729588,  0.159160");
}

TEST(ScanFile, CommentAndCustomCalShowOnTheGraph) {
    test::TestRig rig;
    OpenWindow(rig);
    SetScanA(rig.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    rig.ui.textAnswers.push_back("  Beam at 10 m  ");
    commands::CommentCommand(rig.p());
    EXPECT_EQ(rig.ui.calls.back().caption, " Comment");
    EXPECT_EQ(rig.st().scanDescriptionA, "Beam at 10 m");
    const auto texts = rig.ui.canvas()->texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Beam at 10 m"), texts.end());
    // Cancelled: the comment stays.
    commands::CommentCommand(rig.p());
    EXPECT_EQ(rig.st().scanDescriptionA, "Beam at 10 m");
    rig.st().scanSettingsA.customCal = 1;
    const std::string path = SaveA(rig, "c.scn");
    EXPECT_EQ(Lines(path)[16], "Beam at 10 m");
    EXPECT_EQ(Lines(path).back(), " 1");

    test::TestRig other;
    OpenWindow(other);
    LoadA(other, path);
    EXPECT_EQ(other.st().scanSettingsA.customCal, 1);
    const auto shown = other.ui.canvas()->texts();
    EXPECT_NE(std::find(shown.begin(), shown.end(), "CUSTOM CAL   "), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Beam at 10 m"), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "File: c.scn               "), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), other.st().scanStampA), shown.end());
}

TEST(ScanFile, LastGraphsAtShutdownAndStartUp) {
    test::TestRig first;
    test::LeaveSettingsOfAnEarlierRun(first.p());
    // An earlier run left a Port B graph.
    test::WriteFile(first.dir.file("VNA_LastGraphB.scnb"), "an earlier Port B graph");
    commands::Startup(first.p(), core::ParseStartOptions({"vna", "--demo"}));
    first.ui.calls.clear();
    SetScanA(first.p(), 3, 4, 0.5, {40, 45, 50}, {-0.2, 0.2, 0});
    first.st().ProgramRunning = 0;
    EXPECT_EQ(commands::Shutdown(first.p()), 0);
    EXPECT_TRUE(first.ui.messages().empty());
    ASSERT_TRUE(core::FileExists(first.dir.file("VNA_LastGraph.scn")));
    EXPECT_EQ(test::ReadFile(first.dir.file("VNA_LastGraphB.scnb")), "an earlier Port B graph")
        << "no Port B scan this run: the last one stays";

    // The next start shows the last graph again.
    test::TestRig next;
    std::filesystem::copy_file(first.dir.file("VNA_LastGraph.scn"), next.dir.file("VNA_LastGraph.scn"));
    test::LeaveSettingsOfAnEarlierRun(next.p());
    commands::Startup(next.p(), core::ParseStartOptions({"vna", "--demo"}));
    EXPECT_EQ(next.st().last_scan_index, 2);
    EXPECT_EQ(next.p().scan.raw_zmag[1], 45);
    EXPECT_EQ(next.st().start_freq, 3);
    EXPECT_EQ(next.st().scanFileNameA, "File: VNA_LastGraph.scn   ");
    EXPECT_EQ(next.p().scan.scan_swr[2], 1) << "replayed at start";

    // A scan file named on the command line takes the place of the last graph.
    test::TestRig cmd;
    test::LeaveSettingsOfAnEarlierRun(cmd.p());
    SetScanA(cmd.p(), 7, 8, 0.5, {10, 20, 30}, {0, 0, 0});
    const std::string named = SaveA(cmd, "named.scn");
    cmd.st().last_scan_index = -1;
    std::filesystem::copy_file(first.dir.file("VNA_LastGraph.scn"), cmd.dir.file("VNA_LastGraph.scn"));
    commands::Startup(cmd.p(), core::ParseStartOptions({"vna", "--demo", named}));
    EXPECT_EQ(cmd.st().start_freq, 7);
    EXPECT_EQ(cmd.p().scan.raw_zmag[1], 20);
}

TEST(ScanFile, AutomaticSavesAndSwappingGraphs) {
    test::TestRig rig;
    OpenWindow(rig);
    core::AppState& st = rig.st();
    st.autoSaveGraph = 1;
    // Two sweeps, each saved automatically, alternating between the two files.
    SetScanA(rig.p(), 1, 2, 0.5, {10, 11, 12}, {0, 0, 0});
    files::AutoSaveGraphA(rig.p());
    EXPECT_EQ(st.swapToggleA, 1);
    SetScanA(rig.p(), 1, 2, 0.5, {20, 21, 22}, {0, 0, 0});
    files::AutoSaveGraphA(rig.p());
    EXPECT_EQ(st.swapToggleA, 0);
    ASSERT_TRUE(core::FileExists(rig.dir.file("VNA_LastGraph1.scn")));
    ASSERT_TRUE(core::FileExists(rig.dir.file("VNA_LastGraph0.scn")));
    const std::string saved0 = test::ReadFile(rig.dir.file("VNA_LastGraph0.scn"));
    const std::string saved1 = test::ReadFile(rig.dir.file("VNA_LastGraph1.scn"));

    // Swap shows the sweep before, then the last one again; nothing is saved meanwhile.
    commands::SwapGraphs(rig.p(), 0);
    EXPECT_EQ(rig.p().scan.raw_zmag[1], 11);
    EXPECT_EQ(st.scanFileNameA, "File: VNA_LastGraph1.scn  ");
    EXPECT_EQ(st.autoSaveSuppressed, 0);
    commands::SwapGraphs(rig.p(), 0);
    EXPECT_EQ(rig.p().scan.raw_zmag[1], 21);
    EXPECT_EQ(test::ReadFile(rig.dir.file("VNA_LastGraph0.scn")), saved0);
    EXPECT_EQ(test::ReadFile(rig.dir.file("VNA_LastGraph1.scn")), saved1);

    // No automatic save in a repeating sweep, during a swap, or with the option off.
    SetScanA(rig.p(), 1, 2, 0.5, {30, 31, 32}, {0, 0, 0});
    st.recycle = 1;
    files::AutoSaveGraphA(rig.p());
    st.recycle = 0;
    st.autoSaveSuppressed = 1;
    files::AutoSaveGraphA(rig.p());
    st.autoSaveSuppressed = 0;
    st.autoSaveGraph = 0;
    files::AutoSaveGraphA(rig.p());
    EXPECT_EQ(test::ReadFile(rig.dir.file("VNA_LastGraph0.scn")), saved0);
    EXPECT_EQ(test::ReadFile(rig.dir.file("VNA_LastGraph1.scn")), saved1);
    EXPECT_EQ(st.swapToggleA, 0);

    // Port B has its own pair of files and its own toggle.
    st.autoSaveGraph = 1;
    st.PortB_on = 1;
    SetScanB(rig.p(), 1, 2, 0.5, 3);
    files::AutoSaveGraphB(rig.p());
    EXPECT_TRUE(core::FileExists(rig.dir.file("VNA_LastGraphB1.scnb")));
    EXPECT_EQ(st.swapToggleB, 1);
    EXPECT_EQ(st.swapToggleA, 0);
    rig.p().scan.s21_db[1] = 0;
    commands::SwapGraphs(rig.p(), 0);
    EXPECT_EQ(st.swapToggleB, 0);
    commands::SwapGraphs(rig.p(), 0);
    EXPECT_EQ(rig.p().scan.s21_db[1], -3.25);
}

TEST(ScanFile, MenuCommandsUseTheActiveDisplay) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    SetScanA(rig.p(), 1, 2, 0.5, {50, 60, 70}, {0, 0.1, 0.2});
    // A Touchstone name in the save dialog writes a Touchstone file and no CSV.
    rig.ui.fileAnswers.push_back(rig.dir.file("t.s1p"));
    commands::SaveGraphCommand(rig.p());
    EXPECT_NE(test::ReadFile(rig.dir.file("t.s1p")).find("# HZ S RI R 50\r\n"), std::string::npos);
    EXPECT_FALSE(core::FileExists(rig.dir.file("t.csv")));
    // And loads back into the Port A graph.
    test::TestRig other;
    other.ui.fileAnswers.push_back(rig.dir.file("t.s1p"));
    commands::LoadGraphCommand(other.p());
    EXPECT_EQ(other.ui.calls.back().text, " Load Port A Scan File");
    EXPECT_TRUE(other.ui.messages().empty());
    EXPECT_EQ(other.st().last_scan_index, 2);
    EXPECT_NEAR(other.p().scan.raw_zmag[2], 70, 1e-9);
    EXPECT_NEAR(other.p().scan.raw_phase[2], 0.2, 1e-12);

    // Port B shown: the Port B dialogs.
    st.PortB_on = 1;
    commands::LoadGraphCommand(rig.p());
    EXPECT_EQ(rig.ui.calls.back().text, " Load Port B Scan File");
    // Not while a sweep runs.
    const std::size_t calls = rig.ui.calls.size();
    st.SweepRunning = 1;
    commands::LoadGraphCommand(rig.p());
    commands::SaveGraphCommand(rig.p());
    EXPECT_EQ(rig.ui.calls.size(), calls);
}
