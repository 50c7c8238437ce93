// The Port B sweep against the simulated unit: S21 through the autoranging of the receiver, the
// group delay, S11 and the insertion loss, and the settings it gives back.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <set>

#include "measure/sweep.h"
#include "measure/sweep_support.h"
#include "sim/front_end.h"

using namespace vna;
using test::Complex;
using test::SimTest;

namespace {

// The transmission the receiver sees: the device and the instrument's own crosstalk, which no
// through-cable calibration can take out; divided by what the calibration's through cable gave.
Complex SeenTransmission(test::SimRig& r, const std::string& device, double f) {
    const sim::Instrument& unit = r.serial.unit;
    const double hz = test::ActualHz(r, f);
    auto seen = [&](const sim::Dut& d) {
        return sim::Transmission(d, hz) +
               std::polar(std::pow(10.0, unit.frontEnd.leakageDb / 20) * std::max(hz / 1e6, 1.0),
                          std::numbers::pi / 2);
    };
    return seen(*sim::ParseDut(device)) / seen(*sim::ParseDut("through"));
}

double Db(Complex c) {
    return 20 * std::log10(std::abs(c));
}

void ReadyForPortB(test::SimRig& r, const std::string& device) {
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, device));
    ASSERT_EQ(r.st().portb_cal_ok, 1);
    r.st().PortB_on = 1;
    r.st().plot_s11 = 0;
    r.st().plotInsertionLoss = 0;
}

} // namespace

TEST_F(SimTest, PortBSweepOfABandPassFilterOverSeventyDecibels) {
    auto& r = rig();
    const std::string filter = "bandpass:f0=2,bw=0.2,order=4,il=1";
    ASSERT_NO_FATAL_FAILURE(ReadyForPortB(r, filter));
    test::Limits(r, 1.3, 3.0, 0.005);
    core::AppState& st = r.st();
    instrument::SetAveraging(r.p(), 4);
    st.trend = 0;
    st.delay_smoothing = 2;
    // The receiver ranges the sweep goes through (each change is followed by a short wait, during
    // which the window messages are looked at).
    std::set<std::pair<int, int>> ranges;
    r.ui.onPump = [&](int) { ranges.insert({st.PortB_Gain, st.PortB_Sens}); };
    measure::sweepPortB(r.p());
    r.ui.onPump = nullptr;
    ASSERT_EQ(st.LastError, 0);
    EXPECT_EQ(st.scanb_ok, 1);
    const int last = st.last_scan_index;
    ASSERT_GE(last, 340);
    // Up from the stop band the signal needs every gain at high sensitivity; in the pass band the
    // normal sensitivity.
    for (int gain = 1; gain <= 5; ++gain) {
        EXPECT_TRUE(ranges.count({gain, 2})) << "gain " << gain << " at high sensitivity";
    }
    EXPECT_TRUE(ranges.count({1, 1}));
    EXPECT_FALSE(r.printed(" Port B Overload at "));

    const auto& s = r.p().scan;
    double lowest = 0, highest = -200;
    double worst = 0;
    for (int i = 0; i <= last; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const double f = st.start_freq + st.delta_freq * i;
        const Complex seen = SeenTransmission(r, filter, f);
        const double expected = Db(seen);
        if (expected < -75) {
            continue; // below the range held to the half decibel
        }
        worst = std::max(worst, std::fabs(s.s21_db[k] - expected));
        EXPECT_NEAR(s.s21_db[k], expected, 0.5) << "at " << f << " MHz";
        lowest = std::min(lowest, expected);
        highest = std::max(highest, expected);
        // The phase follows the filter's through every range change.
        if (expected > -60) {
            EXPECT_NEAR(std::remainder(s.s21_phase[k] - std::arg(seen), 2 * std::numbers::pi), 0, 0.03)
                << "at " << f << " MHz";
        }
    }
    EXPECT_GE(highest - lowest, 70) << "the range the sweep was checked over";
    RecordProperty("worst_s21_error_db", std::to_string(worst));

    // The slope of the phase is the filter's group delay: at the centre of a fourth-order filter
    // of 0.2 MHz about 4 us.
    const std::size_t centre = 140; // 2.0 MHz
    double measured = 0, truth = 0;
    for (std::size_t k = centre - 3; k <= centre + 3; ++k) {
        const double f = st.start_freq + st.delta_freq * static_cast<double>(k);
        const double step =
            std::arg(SeenTransmission(r, filter, f) / SeenTransmission(r, filter, f - st.delta_freq));
        truth += -step / (2 * std::numbers::pi * st.delta_freq * 1e6) * 1e9;
        measured += s.group_delay[k];
    }
    EXPECT_GT(truth / 7, 2000);
    EXPECT_NEAR(measured / 7, truth / 7, 0.1 * truth / 7) << "group delay (ns) at the centre";
    // The averaging the sweep changed on the way is the user's again, here and in the unit.
    EXPECT_EQ(st.average, 4);
    EXPECT_EQ(r.serial.unit.state().averaging, 4);
    EXPECT_EQ(st.PortB_on, 1);
    EXPECT_TRUE(r.printed(st.scanStampB)) << "the new scan's date under the graph";

    // A replay of the stored scan gives the same delay and draws the same points.
    const core::ScanArrays live = s;
    st.live_scan = 0;
    measure::sweepPortB(r.p());
    st.live_scan = 1;
    EXPECT_EQ(st.last_scan_index, last);
    for (int i = 0; i <= last; ++i) {
        const auto k = static_cast<std::size_t>(i);
        ASSERT_EQ(s.group_delay[k], live.group_delay[k]) << "point " << i;
        ASSERT_EQ(s.s21_db[k], live.s21_db[k]) << "point " << i;
    }
}

TEST_F(SimTest, PortBSweepEndsAtSilenceOrAnOverloadOfTheLowestRangeAndKeepsWhatItHas) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(ReadyForPortB(r, "attenuator:db=7"));
    test::Limits(r, 5, 6, 0.01);
    core::AppState& st = r.st();
    measure::sweepPortB(r.p());
    EXPECT_EQ(st.LastError, 0);
    EXPECT_NEAR(r.p().scan.s21_db[50], -7, 0.1);
    EXPECT_FALSE(r.printed(" Port B Overload at "));

    // A unit that falls silent right after the sweep's first (discarded) reading: code 10, and the
    // scan measured before is still the program's scan, every point of it.
    const int last = st.last_scan_index;
    const core::ScanArray before = r.p().scan.s21_db;
    r.serial.unit.faults.silenceAfter = 1;
    measure::sweepPortB(r.p());
    r.serial.unit.faults.silence = false;
    EXPECT_EQ(st.LastError, 10);
    EXPECT_EQ(st.last_scan_index, last);
    EXPECT_EQ(r.p().scan.s21_db, before);
    st.PortB_on = 1;

    // A source stronger than the receiver was made for: even the lowest range is too high. The
    // point is noted and the sweep ends after it with code 17.
    r.connect("through");
    r.serial.unit.frontEnd.referenceLevel = 1800;
    st.PortB_on = 1;
    measure::sweepPortB(r.p());
    EXPECT_EQ(st.LastError, 17);
    EXPECT_EQ(st.last_scan_index, 0);
    EXPECT_TRUE(r.printed(" Port B Overload at "));
    EXPECT_FALSE(r.serial.unit.state().relay1);
}

TEST_F(SimTest, PortBSweepMeasuresS11AndTheInsertionLoss) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(ReadyForPortB(r, "bandpass:f0=10,bw=2,order=3,il=1"));
    test::Limits(r, 6, 14, 0.05);
    core::AppState& st = r.st();
    st.plot_s11 = 1;
    st.plotInsertionLoss = 1;
    measure::sweepPortB(r.p());
    ASSERT_EQ(st.LastError, 0);
    ASSERT_EQ(st.last_scan_index, 160);
    const auto& s = r.p().scan;
    int checked = 0;
    for (int i = 0; i <= st.last_scan_index; i += 5) {
        const auto k = static_cast<std::size_t>(i);
        const double f = st.start_freq + st.delta_freq * i;
        const Complex z = test::TrueZ(r, f);
        const double trueS11 = Db((z - 50.0) / (z + 50.0));
        if (trueS11 > -25) {
            EXPECT_NEAR(s.s11_db[k], trueS11, 0.3) << "at " << f;
            ++checked;
        }
        // A lossless filter with 1 dB of flat loss: what does not come back goes through, so the
        // insertion loss is that 1 dB wherever enough goes through to tell.
        if (s.s21_db[k] > -20) {
            EXPECT_NEAR(s.insertion_loss[k], 1, 0.3) << "at " << f;
            ++checked;
        }
    }
    EXPECT_GT(checked, 25);
    EXPECT_EQ(st.plot_s11, 1);
    EXPECT_EQ(st.plotInsertionLoss, 1);
    EXPECT_EQ(st.plot_swr, 1) << "the Port A traces are the user's again";
    EXPECT_EQ(st.plot_rt, 1);
}

TEST_F(SimTest, PortBSweepRefusesWithoutItsCalibrations) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(ReadyForPortB(r, "through"));
    test::Limits(r, 1, 10, 0.1);
    core::AppState& st = r.st();
    st.last_scan_index = 9;
    st.portb_cal_ok = 0;
    st.recycle = 1;
    measure::sweepPortB(r.p());
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].text, "Port B is not calibrated.");
    EXPECT_EQ(r.ui.messages()[0].caption, "Port B needs cal");
    EXPECT_EQ(st.recycle, 0);
    EXPECT_EQ(st.last_scan_index, 9);

    r.ui.calls.clear();
    st.portb_cal_ok = 1;
    st.porta_cal_ok = 0;
    st.plot_s11 = 1;
    instrument::SetAveraging(r.p(), 8);
    st.trend = 2;
    measure::sweepPortB(r.p());
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].text, "Port A needs to be calibrated to plot S11.");
    EXPECT_EQ(r.ui.messages()[0].caption, "Cal Required   3479");
    EXPECT_EQ(st.last_scan_index, 9);
    EXPECT_FALSE(r.serial.unit.state().relay0);
    EXPECT_EQ(st.average, 8);
    EXPECT_EQ(st.trend, 2);
    EXPECT_EQ(st.plot_swr, 1);
}

TEST_F(SimTest, PortBThroughStaysInTheFirstRangeAtAnyAveragingAndGivesItsSettingsBack) {
    for (int average : {1, 16}) {
        auto& r = rig();
        ASSERT_NO_FATAL_FAILURE(ReadyForPortB(r, "through"));
        test::Limits(r, 1, 30, 0.1);
        core::AppState& st = r.st();
        instrument::SetAveraging(r.p(), average);
        st.trend = 3;
        measure::sweepPortB(r.p());
        ASSERT_EQ(st.LastError, 0);
        // The level is put on the scale of 16 readings whatever the averaging: a through cable
        // needs neither more gain nor more sensitivity.
        EXPECT_EQ(st.PortB_Gain, 1) << average;
        EXPECT_EQ(st.PortB_Sens, 1) << average;
        const auto& s = r.p().scan;
        for (int i = 0; i <= st.last_scan_index; i += 7) {
            EXPECT_NEAR(s.s21_db[static_cast<std::size_t>(i)], 0, 0.05) << average << " at point " << i;
            EXPECT_NEAR(s.s21_phase[static_cast<std::size_t>(i)], 0, 0.01) << average << " at point " << i;
        }
        EXPECT_EQ(st.average, average);
        EXPECT_EQ(st.trend, 3);
        EXPECT_EQ(r.serial.unit.state().averaging, average);
    }
}
