// The Port A sweep against the simulated unit: accuracy at every point, the searches after the
// sweep, replays, the ways a sweep ends, and the notes it draws.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <numbers>

#include "commands/command_ids.h"
#include "commands/scan_commands.h"
#include "commands/status_commands.h"
#include "files/scan_file.h"
#include "measure/scan_limits.h"
#include "measure/scan_replay.h"
#include "measure/sweep.h"
#include "measure/sweep_support.h"

using namespace vna;
using test::Complex;
using test::SimTest;

namespace {

struct Device {
    std::string spec;
    double start, stop, step;
    double resonance; // MHz, where Im Z crosses zero from the side the sweep starts on
};

// The true resonance between two grid points: Im Z changes sign there (found by bisection on the
// frequency the DDS makes, which differs from the asked one by a fraction of a hertz).
double TrueResonance(test::SimRig& r, double from, double to) {
    auto im = [&](double f) { return sim::PortAImpedance(r.serial.unit.dut, f * 1e6).imag(); };
    double a = from, b = to;
    for (int k = 0; k < 60; ++k) {
        const double m = (a + b) / 2;
        (im(a) * im(m) <= 0 ? b : a) = m;
    }
    return (a + b) / 2;
}

// Rs, Xs and SWR of every point within the tolerance, the minimum SWR where the truth has it and
// the first resonance within one step of the true one.
void CheckSweep(test::SimRig& r, const Device& d) {
    core::AppState& st = r.st();
    const auto& s = r.p().scan;
    ASSERT_GT(st.last_scan_index, 20) << d.spec;
    double trueMin = 1e9;
    for (int i = 0; i <= st.last_scan_index; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double f = st.start_freq + st.delta_freq * i;
        const Complex truth = test::TrueZ(r, f);
        const Complex measured(s.scan_rs[k], s.scan_xs[k]);
        EXPECT_LE(std::abs(measured - truth), test::ZTolerance(truth))
            << d.spec << " at " << f << " MHz: " << measured << " against " << truth;
        EXPECT_NEAR(s.scan_swr[k], test::SwrOf(truth), test::SwrTolerance(truth)) << d.spec << " at " << f;
        trueMin = std::min(trueMin, test::SwrOf(truth));
    }
    // The SWR where the sweep found its minimum is, in truth, as low as the lowest one of the grid
    // (within what a reading may be off there).
    const Complex atMin = test::TrueZ(r, st.min_swr_freq);
    EXPECT_LE(test::SwrOf(atMin) - trueMin, 2 * test::SwrTolerance(atMin)) << d.spec;
    EXPECT_NEAR(s.reson_freq[0], d.resonance, st.delta_freq) << d.spec;
}

} // namespace

TEST_F(SimTest, PortASweepOfSeriesAndParallelCircuitsAndALossyLine) {
    const double seriesF0 = 1 / (2 * std::numbers::pi * std::sqrt(1.2e-6 * 80e-12)) / 1e6;
    const double parallelF0 = 1 / (2 * std::numbers::pi * std::sqrt(1e-6 * 100e-12)) / 1e6;
    const std::vector<Device> devices = {
        {"rlc-series:r=30,l=1.2u,c=80p", 12, 20, 0.05, seriesF0},
        {"rlc-parallel:r=200,l=1u,c=100p", 12, 20, 0.05, parallelF0},
        {"line:len=12,z0=50,vf=0.66,loss=2,end=open", 2, 10, 0.05, 0},
    };
    for (const Device& d : devices) {
        auto& r = rig();
        ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, d.spec));
        test::Limits(r, d.start, d.stop, d.step);
        Device expected = d;
        if (d.resonance == 0) {
            // The open line's first crossing: a quarter wave, moved a little by the loss.
            expected.resonance = TrueResonance(r, 3, 5);
        }
        measure::sweepPortA(r.p());
        EXPECT_EQ(r.st().LastError, 0) << d.spec;
        EXPECT_EQ(r.st().scana_ok, 1);
        EXPECT_EQ(r.st().SweepRunning, 0);
        // The grid fills the graph's axis, which here ends at the stop frequency.
        EXPECT_EQ(r.st().last_scan_index, core::Nint((d.stop - d.start) / d.step)) << d.spec;
        CheckSweep(r, expected);
        if (d.spec.rfind("rlc-series", 0) == 0) {
            EXPECT_NEAR(r.st().min_swr_freq, seriesF0, d.step);
            EXPECT_NEAR(r.st().min_swr, 50.0 / 30, 0.02);
        }
        // The relays are off again after a sweep that does not repeat.
        EXPECT_FALSE(r.serial.unit.state().relay0);
    }
}

TEST_F(SimTest, PortAReplayGivesTheLiveValuesAndSoDoesItsScanFile) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    test::Limits(r, 14, 18, 0.02);
    core::AppState& st = r.st();
    st.trend = 3;
    st.Zo = 75;
    st.Z0real = 75;
    measure::sweepPortA(r.p());
    ASSERT_EQ(st.LastError, 0);
    const int last = st.last_scan_index;
    ASSERT_GT(last, 100);
    const core::ScanArrays live = r.p().scan;
    const double liveMin = st.min_swr;

    st.live_scan = 0;
    const long measurements = r.serial.unit.state().measurements;
    measure::sweepPortA(r.p());
    st.live_scan = 1;
    EXPECT_EQ(r.serial.unit.state().measurements, measurements) << "a replay asks the unit nothing";
    EXPECT_EQ(st.last_scan_index, last);
    for (int i = 0; i <= last; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ASSERT_EQ(r.p().scan.scan_swr[k], live.scan_swr[k]) << "point " << i;
        ASSERT_EQ(r.p().scan.scan_zmag[k], live.scan_zmag[k]) << "point " << i;
        ASSERT_EQ(r.p().scan.scan_phase[k], live.scan_phase[k]) << "point " << i;
    }
    EXPECT_EQ(st.min_swr, liveMin);
    // The temperature compensation turns the phase by the same amount live and replayed, and
    // leaves the SWR alone.
    st.myvar1 = 0.5;
    st.myvar2 = st.Temperature - 10;
    st.live_scan = 0;
    measure::sweepPortA(r.p());
    st.live_scan = 1;
    const double f = st.start_freq + st.delta_freq * 60;
    EXPECT_NEAR(r.p().scan.scan_phase[60] - live.scan_phase[60], 10 * 0.5 * f / 180 / 57.3, 1e-12);
    EXPECT_EQ(r.p().scan.scan_swr[60], live.scan_swr[60]);
    st.myvar1 = 0;
    // The smoothing really was on: the smoothed SWR differs from the one of the unsmoothed record.
    core::ScanPoint& pt = r.p().point;
    measure::PointFromRawA(r.p(), 60);
    measure::computeReflection(r.p());
    EXPECT_NE(pt.swr, live.scan_swr[60]);

    // Written to a scan file and read back, the scan replays to the same values.
    const std::string path = r.dir.file("series.scn");
    r.ui.fileAnswers.push_back(path);
    st.ScanFileMode = 0;
    ASSERT_TRUE(commands::SaveScanA(r.p()));
    r.p().scan = core::ScanArrays{};
    st.last_scan_index = -1;
    st.trend = 0;
    st.Zo = 50;
    ASSERT_TRUE(commands::LoadScanFileA(r.p(), path));
    EXPECT_EQ(st.trend, 3);
    EXPECT_EQ(st.Zo, 75);
    EXPECT_EQ(st.last_scan_index, last);
    for (int i = 0; i <= last; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ASSERT_NEAR(r.p().scan.scan_swr[k], live.scan_swr[k], 1e-9 * live.scan_swr[k]) << "point " << i;
    }
    // The replay drew the scan with its notes.
    EXPECT_TRUE(r.printed("Min SWR = "));
    EXPECT_EQ(st.live_scan, 1);
}

TEST_F(SimTest, PortASweepRefusesWithoutCalibrationOrConfiguration) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=50"));
    test::Limits(r, 1, 10, 0.5);
    core::AppState& st = r.st();
    st.last_scan_index = 7;

    st.ConfigLoaded = 0;
    const long before = r.serial.unit.state().measurements;
    measure::sweepPortA(r.p());
    EXPECT_EQ(r.serial.unit.state().measurements, before);
    EXPECT_TRUE(r.ui.messages().empty());
    st.ConfigLoaded = 1;

    st.porta_cal_ok = 0;
    st.recycle = 1;
    measure::sweepPortA(r.p());
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].text, "The instrument needs to be calibrated.");
    EXPECT_EQ(r.ui.messages()[0].caption, "Cal Problem  4482");
    EXPECT_EQ(st.recycle, 0);
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_EQ(st.last_scan_index, 7);
    EXPECT_EQ(r.serial.unit.state().measurements, before);

    // A low reference impedance is only noted; impossible settings are put right first.
    st.porta_cal_ok = 1;
    r.ui.calls.clear();
    st.Zo = 2;
    st.trend = 25;
    st.DDSdelay = 40;
    measure::sweepPortA(r.p());
    ASSERT_FALSE(r.ui.messages().empty());
    EXPECT_EQ(r.ui.messages()[0].text,
              "Note: Zo =  2\rZo can be changed with the Zo button of the status panel.");
    EXPECT_EQ(r.ui.messages()[0].caption, "Zo is low");
    EXPECT_EQ(st.trend, 0);
    EXPECT_EQ(st.DDSdelay, 31);
    EXPECT_GT(st.last_scan_index, 10);
    // A perfect 50 ohm load against a 2 ohm reference.
    EXPECT_NEAR(r.p().scan.scan_swr[3], 25, 0.5);
}

TEST_F(SimTest, PortASweepStopsAtAKeyOrAClickAndKeepsItsPoints) {
    for (platform::EventType type : {platform::EventType::KeyDown, platform::EventType::LeftDown}) {
        auto& r = rig();
        ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=100"));
        test::Limits(r, 1, 21, 0.05);
        // The user acts while the sweep is under way.
        test::AfterReadings(r, 40, [&r, type] {
            r.ui.events.push_back(platform::Event{type, 'X', 10, 10, 0});
        });
        measure::sweepPortA(r.p());
        r.ui.onPump = nullptr;
        const core::AppState& st = r.st();
        EXPECT_EQ(st.LastError, 0);
        EXPECT_EQ(st.SweepRunning, 0);
        EXPECT_GT(st.last_scan_index, 3);
        EXPECT_LT(st.last_scan_index, 200) << "the sweep went on after the user stopped it";
        EXPECT_EQ((st.last_scan_index + 1) % 5, 0) << "a sweep looks at the messages after every fifth point";
        for (int i = 0; i <= st.last_scan_index; ++i) {
            EXPECT_NEAR(r.p().scan.scan_swr[static_cast<std::size_t>(i)], 2, 0.02);
        }
        EXPECT_EQ(r.p().scan.scan_swr[static_cast<std::size_t>(st.last_scan_index + 1)], 0);
        EXPECT_FALSE(r.serial.unit.state().relay0);
        // The key was no command of its own.
        EXPECT_TRUE(r.ui.messages().empty());
    }
}

TEST_F(SimTest, PortASweepEndsWithCode10WhenTheUnitFallsSilent) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=25"));
    test::Limits(r, 1, 21, 0.05);
    core::AppState& st = r.st();
    test::AfterReadings(r, 30, [&r] { r.serial.unit.faults.silence = true; });
    measure::sweepPortA(r.p());
    r.ui.onPump = nullptr;
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(st.SweepRunning, 0);
    const int kept = st.last_scan_index;
    ASSERT_GT(kept, 3);
    ASSERT_LT(kept, 100);
    for (int i = 0; i <= kept; ++i) {
        EXPECT_NEAR(r.p().scan.scan_swr[static_cast<std::size_t>(i)], 2, 0.02) << "point " << i;
    }
    // The points measured were kept, and saved as the last graph with this many points.
    const std::string saved = test::ReadFile(files::LastGraphPathA(st, "1"));
    ASSERT_FALSE(saved.empty());
    EXPECT_NE(saved.find("\r\n " + std::to_string(kept) + "\r\n"), std::string::npos);
    ASSERT_FALSE(r.ui.messages().empty());
    EXPECT_EQ(r.ui.messages()[0].caption, "Hardware Reset");

    // A sweep that gets no point at all leaves the scan shown before as it was.
    r.ui.calls.clear();
    const core::ScanArrays before = r.p().scan;
    measure::sweepPortA(r.p());
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(st.last_scan_index, kept);
    for (int i = 0; i <= kept; ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_NEAR(r.p().scan.scan_swr[k], before.scan_swr[k], 1e-12);
        EXPECT_EQ(r.p().scan.raw_zmag[k], before.raw_zmag[k]);
    }
    EXPECT_FALSE(std::filesystem::exists(files::LastGraphPathA(st, "0")));
}

TEST_F(SimTest, PortASweepStopsAtOnceWithoutAReferenceSignal) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=50"));
    test::Limits(r, 1, 21, 0.05);
    core::AppState& st = r.st();
    st.recycle = 1; // even a repeating sweep stops
    test::AfterReadings(r, 30, [&r] { r.serial.unit.faults.referenceLoss = true; });
    measure::sweepPortA(r.p());
    r.ui.onPump = nullptr;
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_EQ(st.recycle, 0);
    EXPECT_FALSE(r.serial.unit.state().relay0);
    EXPECT_TRUE(r.printed(" **** There is no reference signal from the VNA at "));
    bool withCode = false;
    for (const auto& t : r.texts()) {
        withCode = withCode || t.find("  //error= 17835") != std::string::npos;
    }
    EXPECT_TRUE(withCode);
    // No post-processing: no minimum SWR note.
    EXPECT_FALSE(r.printed("Min SWR = "));
    EXPECT_GT(st.last_scan_index, 3);
    EXPECT_LT(st.last_scan_index, 100);
    EXPECT_NEAR(r.p().scan.scan_swr[static_cast<std::size_t>(st.last_scan_index)], 1, 0.02);
}

TEST_F(SimTest, BandSkipMeasuresOnlyThePointsNearABand) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    test::Limits(r, 12, 20, 0.1);
    core::AppState& st = r.st();
    st.bandskip = 1;
    for (int k = 1; k <= core::BandCount; ++k) {
        st.bandTable[static_cast<std::size_t>(k)] = {100, 101, 0.1, "far"};
    }
    long before = r.serial.unit.state().measurements;
    measure::sweepPortA(r.p());
    // The reading thrown away and the first point: nothing else.
    EXPECT_EQ(r.serial.unit.state().measurements - before, 2);
    ASSERT_EQ(st.last_scan_index, 80);
    for (int i = 1; i <= 80; ++i) {
        EXPECT_EQ(r.p().scan.scan_swr[static_cast<std::size_t>(i)], r.p().scan.scan_swr[0]);
        EXPECT_EQ(r.p().scan.raw_zmag[static_cast<std::size_t>(i)], r.p().scan.raw_zmag[0]);
    }

    // A band across 15.0 .. 15.5 MHz: its points, and one step either side, are measured.
    st.bandTable[3] = {15, 15.5, 0.1, "near"};
    before = r.serial.unit.state().measurements;
    measure::sweepPortA(r.p());
    const long measured = r.serial.unit.state().measurements - before;
    EXPECT_GE(measured, 2 + 6);
    EXPECT_LE(measured, 2 + 9);
    const std::size_t inBand = 32; // 15.2 MHz
    const Complex truth = test::TrueZ(r, 15.2);
    EXPECT_NEAR(r.p().scan.scan_xs[inBand], truth.imag(), test::ZTolerance(truth));
    EXPECT_EQ(r.p().scan.scan_xs[70], r.p().scan.scan_xs[60]) << "past the band the trace stays flat";
}

TEST_F(SimTest, PortASweepNotesItsMinimumResonancesAndZmagSteps) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    test::Limits(r, 12, 20, 0.05);
    core::AppState& st = r.st();
    st.zmag_scale = 1000;
    st.zStepTolerance = 10;
    measure::sweepPortA(r.p());
    ASSERT_EQ(st.LastError, 0);
    const std::string minText = "Min SWR = " + core::FormatPicture("###.##", st.min_swr) + " @ " +
                                core::NumText(st.min_swr_freq, st.NumDecimals) + "MHz   ";
    EXPECT_TRUE(r.printed(minText)) << minText;
    const std::string resonText =
        "Resonant freq: " + core::FormatPicture("###.######", r.p().scan.reson_freq[0]) + " ";
    EXPECT_TRUE(r.printed(resonText)) << resonText;
    EXPECT_FALSE(r.printed(" Zmag step size is too large:"));

    // A short on a scale of 10 milliohm: the noise throws the trace up and down, the steps are too
    // large.
    r.ui.canvas()->ops.clear();
    r.connect("short");
    st.zmag_scale = 0.01;
    st.zStepTolerance = 1;
    measure::sweepPortA(r.p());
    EXPECT_TRUE(r.printed(" Zmag step size is too large:  delta Z avg= "));
    bool tol = false;
    for (const auto& t : r.texts()) {
        tol = tol || (t.find("% f.s.,    tol= 1%") != std::string::npos);
    }
    EXPECT_TRUE(tol);

    // Without the SWR trace there is no minimum note.
    r.ui.canvas()->ops.clear();
    r.connect("rlc-series:r=30,l=1.2u,c=80p");
    st.zmag_scale = 1000;
    st.plot_swr = 0;
    measure::sweepPortA(r.p());
    EXPECT_FALSE(r.printed("Min SWR = "));
    EXPECT_TRUE(r.printed("Resonant freq: "));
}

TEST_F(SimTest, LiveSweepsSaveTheLastGraphsInTurnButReplaysAndRepeatsDoNot) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=75"));
    test::Limits(r, 1, 5, 0.1);
    core::AppState& st = r.st();
    st.autoSaveGraph = 1;
    const std::string zero = files::LastGraphPathA(st, "0");
    const std::string one = files::LastGraphPathA(st, "1");
    measure::sweepPortA(r.p());
    EXPECT_TRUE(std::filesystem::exists(one));
    EXPECT_FALSE(std::filesystem::exists(zero));
    EXPECT_EQ(st.scanHeldA, 1);
    measure::sweepPortA(r.p());
    EXPECT_TRUE(std::filesystem::exists(zero));
    std::filesystem::remove(zero);
    std::filesystem::remove(one);

    st.live_scan = 0;
    measure::sweepPortA(r.p());
    st.live_scan = 1;
    // The first sweep of a repeating run switches the relays on and leaves them on.
    st.recycle = 1;
    measure::sweepPortA(r.p());
    EXPECT_TRUE(r.serial.unit.state().relay0) << "a repeating sweep leaves the relays on";
    st.recycle = 2;
    const std::size_t relayCommands = r.serial.transcript().size();
    measure::sweepPortA(r.p());
    EXPECT_TRUE(r.serial.unit.state().relay0);
    EXPECT_EQ(r.serial.transcript().find("-> K", relayCommands), std::string::npos)
        << "later sweeps of the run leave the relays alone";
    st.recycle = 0;
    EXPECT_FALSE(std::filesystem::exists(zero));
    EXPECT_FALSE(std::filesystem::exists(one));
}

TEST_F(SimTest, EveryStopAndStepTheLimitsTakeIsCoveredByTheCalAndMeasured) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=50"));
    core::AppState& st = r.st();
    st.average = 1;
    // Up to the top of the range, where the standard cal leaves the limits, and a spread of stops
    // and steps below it: the grid never plans a point past the axis or the range, and the cal
    // covers every point.
    for (double start : {1.0, 0.05, 100.0}) {
        for (double stop : {180.0, 179.9, 179.0, 150.3, 10.0}) {
            for (double step : {2.0, 3.0, 0.4, 1.7, 0.013}) {
                if (stop <= start) {
                    continue;
                }
                const measure::SavedLimits saved = measure::SaveLimits(r.p());
                test::Limits(r, start, stop, step);
                measure::ApplyNewLimits(r.p(), saved);
                const double last = st.start_freq + st.delta_freq * (st.scan_points - 1);
                const std::string grid =
                    std::to_string(start) + ".." + std::to_string(stop) + " by " + std::to_string(step);
                ASSERT_EQ(st.porta_cal_ok, 1) << grid << "\n" << test::Dialogs(r);
                ASSERT_LE(last, std::min(r.p().display.g.axis.plotStop, st.maximumfreq) + 1e-9) << grid;
            }
        }
    }
    // And measured, corrected, to the last point.
    struct Case {
        double start, stop, step;
    };
    for (const Case c : {Case{1, 180, 2}, Case{1, 179, 2}, Case{100, 180, 3}}) {
        const measure::SavedLimits saved = measure::SaveLimits(r.p());
        test::Limits(r, c.start, c.stop, c.step);
        measure::ApplyNewLimits(r.p(), saved);
        r.ui.calls.clear();
        measure::sweepPortA(r.p());
        ASSERT_EQ(st.LastError, 0) << c.stop << "\n" << test::Dialogs(r);
        ASSERT_EQ(st.last_scan_index + 1, st.scan_points);
        EXPECT_LE(st.start_freq + st.delta_freq * st.last_scan_index, st.maximumfreq + 1e-9);
        for (int i = 0; i <= st.last_scan_index; ++i) {
            EXPECT_NEAR(r.p().scan.scan_swr[static_cast<std::size_t>(i)], 1, 0.1) << c.stop << " point " << i;
        }
    }
}

TEST_F(SimTest, ZoEnteredAtTheStatusButtonIsTheReferenceOfTheNextSweep) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=75"));
    test::Limits(r, 5, 15, 0.5);
    r.ui.textAnswers = {std::string("75-12j")};
    commands::StatusButtonClicked(r.p(), 5);
    ASSERT_EQ(r.st().Zo, 75);
    measure::sweepPortA(r.p());
    ASSERT_EQ(r.st().LastError, 0);
    const test::Complex zo(75, -12);
    for (int i = 0; i <= r.st().last_scan_index; i += 5) {
        const test::Complex z = test::TrueZ(r, r.st().start_freq + i * r.st().delta_freq);
        const double rho = std::abs((z - zo) / (z + zo));
        // Against 50 ohms the same resistor shows an SWR of 1.5.
        EXPECT_NEAR(r.p().scan.scan_swr[static_cast<std::size_t>(i)], (1 + rho) / (1 - rho), 0.02) << i;
    }
}
