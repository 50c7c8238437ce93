// The array scope against the simulated unit with its six-way MUX: the channels against channel 1
// after the multichannel calibration, the array scan's delays, and what goes wrong (a channel
// without a cal file, a MUX that does not switch, a channel number out of range).

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "../cal/cal_rig.h"
#include "cal/cal_session.h"
#include "cal/multichannel_cal.h"
#include "commands/commands.h"
#include "display/graph_geometry.h"
#include "measure/phase_offset.h"
#include "measure/sweep.h"
#include "scope/array_scan.h"
#include "scope/channels.h"
#include "scope/mux_commands.h"
#include "scope/vector_scope.h"

using namespace vna;
using platform::Answer;
using test::SimTest;

namespace {

// Each channel's line: loss (dB), phase (degrees), delay (ns). Channel 1 is not ideal either.
const sim::MuxPath Lines[7] = {{},
                               {-0.3, 20, 0.5},
                               {-1.5, 60, 1.7},
                               {-3.0, -70, 2.6},
                               {1.0, 150, 0.2},
                               {-6.0, -140, 4.1},
                               {-0.5, 5, 7.3}};

double Wrap(double deg) {
    deg = std::remainder(deg, 360.0);
    return deg <= -180 ? deg + 360 : deg;
}

// Channel k against channel 1 at f MHz, as the unit's lines make it.
double TrueDeg(int k, double f) {
    return Wrap(Lines[k].deg - Lines[1].deg - 360 * f * 1e6 * (Lines[k].ns - Lines[1].ns) * 1e-9);
}

void FitLines(test::SimRig& r) {
    r.serial.unit.muxFitted = true;
    for (int k = 1; k <= 6; ++k) {
        r.serial.unit.mux[static_cast<std::size_t>(k)] = Lines[k];
    }
}

void ReadyForTheScope(test::SimRig& r) {
    test::PrepareWithUnitCal(r);
    auto& st = r.st();
    display::ComputeGraphGeometry(r.p());
    st.maxScanPoints = 30010;
    // The unit sums the readings it was told to: the program's count and the unit's agree.
    instrument::SetAveraging(r.p(), 16);
    st.PortB_on = 1;
    st.plot_s11 = 0;
    st.plotInsertionLoss = 0;
    r.ui.setEventHandler([&r](const platform::Event& e) { commands::MainWindowEvent(r.p(), e); });
}

} // namespace

TEST_F(SimTest, AfterTheMultichannelCalTheChannelsShowTheirLinesAndTheArrayScanTheirDelays) {
    auto& r = rig();
    ReadyForTheScope(r);
    FitLines(r);
    test::AttachStandards(r);
    auto& st = r.st();
    cal::SetScanLimits(r.p(), 2, 30, 0.5);
    // Every channel referred to channel 1; then the completion.
    r.ui.messageAnswers = {Answer::Yes, Answer::No,  Answer::Yes, Answer::No,  Answer::Yes,
                           Answer::No,  Answer::Yes, Answer::No,  Answer::Yes, Answer::No};
    r.ui.fileAnswers = {r.dir.file("array.chan1")};
    ASSERT_TRUE(cal::CalMultiChannel(r.p())) << test::Dialogs(r);
    ASSERT_EQ(st.cal_file, r.dir.file("array.chan1"));

    // One round of the vector scope at 12.5 MHz: within 0.1 dB and 1 degree of the lines.
    const scope::ChannelCals cals = scope::ReadChannelCals(r.p(), st.cal_file);
    scope::PrepareChannelReadings(r.p());
    const scope::ScopeRound round = scope::ReadChannels(r.p(), cals, 12.5);
    ASSERT_EQ(round.error, 0);
    EXPECT_LT(round.openDb, -60);
    for (int k = 2; k <= 6; ++k) {
        const scope::ChannelReading& c = round.channel[static_cast<std::size_t>(k)];
        ASSERT_TRUE(c.relative) << k << " " << c.problem;
        EXPECT_NEAR(c.relDb, Lines[k].db - Lines[1].db, 0.1) << k;
        EXPECT_NEAR(Wrap(c.relDeg - TrueDeg(k, 12.5)), 0, 1.0) << k;
    }
    const auto lines = scope::ScopeLines(round, nullptr);
    EXPECT_EQ(lines.size(), 9u);

    // The array scan over 2 to 30 MHz: each line's delay against channel 1's within 0.05 ns.
    r.ui.calls.clear();
    const scope::ArrayScanResult scan = scope::ArrayScan(r.p());
    EXPECT_TRUE(r.ui.messages().empty()) << test::Dialogs(r);
    EXPECT_FALSE(scan.stopped);
    for (int k = 1; k <= 6; ++k) {
        const scope::ChannelSweep& c = scan.channel[static_cast<std::size_t>(k)];
        ASSERT_TRUE(c.done) << k << " " << c.problem;
        EXPECT_GE(c.points, 50) << k;
        EXPECT_NEAR(c.delayNs, Lines[k].ns - Lines[1].ns, 0.05) << k;
        EXPECT_NEAR(c.meanDb, Lines[k].db - Lines[1].db, 0.1) << k;
        EXPECT_TRUE(r.printed(scope::ChannelSweepLine(k, c))) << k;
    }
    // The graph holds channel 6's scan against channel 1; the cal in force is channel 1's again.
    EXPECT_NEAR(r.p().scan.s21_db[28], Lines[6].db - Lines[1].db, 0.1);
    EXPECT_EQ(st.cal_file, r.dir.file("array.chan1"));
    EXPECT_EQ(st.ArrayScanRunning, 0);
}

TEST_F(SimTest, ChannelsWithoutCalFilesAMuxThatDoesNotSwitchAndChannelsOutOfRange) {
    auto& r = rig();
    ReadyForTheScope(r);
    FitLines(r);
    test::SetDut(r, "through");
    auto& st = r.st();
    cal::SetScanLimits(r.p(), 5, 15, 0.5);
    // Channels 1 to 3 have cal files (the unit's own); 4 to 6 none.
    for (int k = 1; k <= 3; ++k) {
        std::filesystem::copy_file(st.cal_file, r.dir.file("array.chan" + std::to_string(k)));
    }
    cal::SetCalFileName(st, r.dir.file("array.chan1"));
    r.serial.unit.faults.muxRefuse = 1 << 3;

    // The vector scope: the missing channels named once, the refused channel shown as such, the
    // others read round after round. S in the main window runs the array scan; closing the window
    // ends it all.
    r.ui.textAnswers = {"10"};
    r.ui.events.push_back({platform::EventType::KeyDown, 'S'});
    int pumps = 0;
    int scanEnded = 0;
    r.ui.onPump = [&](int) {
        ++pumps;
        if (st.ArrayScanRunning) {
            scanEnded = pumps;
        }
        // Some rounds after the array scan (or, should it never come, much later) the user closes
        // the window.
        if ((scanEnded > 0 && pumps == scanEnded + 100) || pumps == 20000) {
            r.ui.findWindow("Vector Scope")->userClose();
        }
    };
    scope::VectorScope(r.p());
    r.ui.onPump = nullptr;
    const auto m = test::MessageTexts(r);
    ASSERT_GE(m.size(), 2u) << test::Dialogs(r);
    EXPECT_EQ(
        m[0].find("MUX channel 4 has no cal file with Port B data (" + r.dir.file("array.chan4") + ")."), 0u)
        << m[0];
    EXPECT_NE(m[0].find("MUX channel 6 has no cal file"), std::string::npos);
    EXPECT_NE(m[0].find("The other channels are shown."), std::string::npos);
    // The array scan's own note of the missing channels.
    EXPECT_NE(m[1].find("The other channels are scanned."), std::string::npos) << m[1];
    const auto* w = r.ui.findWindow("Vector Scope");
    ASSERT_NE(w, nullptr);
    const std::vector<std::string> shown = w->canvas.texts();
    auto shows = [&](const std::string& part) {
        for (const std::string& t : shown) {
            if (t.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(shows("no signal: the MUX did not switch, or nothing is connected"));
    EXPECT_TRUE(shows("no cal file"));
    EXPECT_TRUE(shows("delay ns"));
    EXPECT_TRUE(shows("(not scanned)"));
    EXPECT_TRUE(r.printed("Chan 3: MUX channel 3 shows no more signal than the open MUX"));
    EXPECT_TRUE(r.printed("Chan 2: "));
    EXPECT_EQ(st.VectorScopeOpen, 0);
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_EQ(st.cal_file, r.dir.file("array.chan1"));

    // Channel scans: one out of range, one without a cal file, one the MUX refuses, one that works.
    r.ui.calls.clear();
    EXPECT_FALSE(scope::ChannelScan(r.p(), 7));
    EXPECT_FALSE(scope::ChannelScan(r.p(), 5));
    EXPECT_FALSE(scope::ChannelScan(r.p(), 3));
    const auto scans = test::MessageTexts(r);
    ASSERT_EQ(scans.size(), 3u) << test::Dialogs(r);
    EXPECT_EQ(scans[0], "There is no MUX channel 7: the channels are 1 to 6.");
    EXPECT_EQ(scans[1].find("MUX channel 5 has no cal file"), 0u);
    EXPECT_NE(scans[2].find("the MUX did not switch to it"), std::string::npos);
    EXPECT_TRUE(scope::ChannelScan(r.p(), 2));
    EXPECT_NEAR(r.p().scan.s21_db[10], Lines[2].db, 0.1);

    // The Port B phase offset moves the scan shown and every later reading alike.
    const double before = r.p().scan.s21_phase[10];
    measure::SetPhaseOffset(r.p(), 30 / 57.29578);
    EXPECT_NEAR(Wrap((r.p().scan.s21_phase[10] - before) * 57.29578), -30, 1e-6);
    scope::PrepareChannelReadings(r.p());
    scope::SelectChannel(r.p(), 2);
    st.freq = st.start_freq + 10 * st.delta_freq;
    double db = 0;
    double phase = 0;
    ASSERT_TRUE(measure::MeasureS21Point(r.p(), true, db, phase));
    EXPECT_NEAR(Wrap((phase - r.p().scan.s21_phase[10]) * 57.29578), 0, 1.0);
    measure::SetPhaseOffset(r.p(), 0);
    EXPECT_NEAR(r.p().scan.s21_phase[10], before, 1e-9);
    // "Plot MagRef": the reference level at every point of the limits, in a window of its own.
    EXPECT_EQ(measure::PlotMagRef(r.p()).size(), static_cast<std::size_t>(st.scan_points));
    EXPECT_NE(r.ui.findWindow("MagRef"), nullptr);

    // MUX Control: a channel out of range is refused and asked again; nothing was switched then.
    r.ui.calls.clear();
    const int switched = r.serial.unit.state().muxChannel;
    r.ui.formAnswers = {[](platform::Form& f) {
                            f.fields[0].text = "7";
                            return platform::FormOk;
                        },
                        [](platform::Form& f) {
                            f.fields[0].text = "2";
                            f.fields[1].checked = true;
                            return platform::FormOk;
                        }};
    r.ui.onDialog = [&](const platform::fake::UiCall& c) {
        if (c.text.find("is not a MUX channel") != std::string::npos) {
            EXPECT_EQ(r.serial.unit.state().muxChannel, switched);
        }
    };
    scope::MuxControl(r.p());
    r.ui.onDialog = nullptr;
    const auto mux = test::MessageTexts(r);
    ASSERT_EQ(mux.size(), 2u) << test::Dialogs(r);
    EXPECT_EQ(mux[0], "\"7\" is not a MUX channel: enter 0 (no channel) or 1 to 6.");
    EXPECT_EQ(mux[1], "MUX channel 2.\r\nThe expansion port reads 1.234 V at its analog input.");
    EXPECT_EQ(r.serial.unit.state().muxChannel, 2);

    // Contact cleaning cycles every relay five times and ends on channel 1.
    const long commands = r.serial.unit.state().commands;
    EXPECT_TRUE(scope::CleanMuxContacts(r.p()));
    EXPECT_EQ(r.serial.unit.state().commands - commands, 31);
    EXPECT_EQ(r.serial.unit.state().muxChannel, 1);
}
