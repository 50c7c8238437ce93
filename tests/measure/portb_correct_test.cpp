// The correction of a Port B reading with the through-cable table.

#include <gtest/gtest.h>

#include <cmath>

#include "core/cal_table.h"
#include "measure/portb_correct.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

// The Port B grid with a ratio and a phase that are straight lines in frequency within each
// segment, so interpolation is exact and a pair taken across a segment boundary shows at once:
// the high-range columns are the low ones times 4 (ratio) and plus 0.5 rad (phase).
void FillTable(core::CalTable& t) {
    int m = 0;
    auto add = [&](double f, double ratio, double phase) {
        core::BCalPoint& b = t.bcal[static_cast<std::size_t>(m++)];
        b.freq = f;
        b.lowMag = ratio;
        b.highMag = 4 * ratio;
        b.lowPhase = phase;
        b.highPhase = phase + 0.5;
    };
    for (int i = 1; i <= 20; ++i) {
        add(0.005 * i, 1 + 0.005 * i, -0.1 * i); // segment 1
    }
    for (int i = 1; i <= 4; ++i) {
        add(0.2 * i, 2 + 0.2 * i, -3 - 0.2 * i); // segment 2: another line entirely
    }
    for (int f = 1; f <= 20; ++f) {
        add(f, 3 + f, -5 - f);
    }
    t.bcal_points = m;
}

struct Rig {
    test::TestRig rig;
    core::AppState& st = rig.st();
    Rig() {
        FillTable(rig.p().cal);
        st.PortB_Sens = 1;
        st.PortB_Gain = 1;
        st.autorange = 0;
        st.PortB_Delay = 0;
        st.PortB_PhaseMemory = 0;
        st.RawMode = 0;
        rig.ui.createMainWindow(0, 0, 1000, 700);
    }
    measure::PortBCorrection at(double f, double ratio, double phaseDiff) {
        st.freq = f;
        st.PhaseDiff = phaseDiff;
        return measure::PortBCorrect(rig.p(), ratio);
    }
};

} // namespace

TEST(PortBCorrect, InterpolatesWithinASegmentAndNeverAcrossOne) {
    Rig r;
    // Half way between 3 and 4 MHz: ratio 6.5 and phase -8.5.
    auto c = r.at(3.5, 13, -8.5);
    EXPECT_TRUE(c.calibrated);
    EXPECT_NEAR(c.ratio, 2, 1e-12);
    EXPECT_NEAR(c.phase, 0, 1e-12);
    EXPECT_EQ(r.rig.p().point.zphase, c.phase);
    // On a cal point itself.
    EXPECT_NEAR(r.at(7, 10, -12).ratio, 1, 1e-12);
    // Just above 0.1 MHz the pair comes from the 0.2 MHz segment only (its line extended down):
    // ratio 2 + f and phase -3 - f.
    c = r.at(0.12, 2.12, -3.12);
    EXPECT_NEAR(c.ratio, 1, 1e-9);
    EXPECT_NEAR(c.phase, 0, 1e-9);
    // At 0.1 MHz itself the 5 kHz segment holds the point.
    EXPECT_NEAR(r.at(0.1, 1.1, -2).ratio, 1, 1e-9);
    // Between 0.8 and 1 MHz the 1 MHz segment's line: ratio 3 + f, phase -5 - f.
    c = r.at(0.9, 3.9, -5.9);
    EXPECT_NEAR(c.ratio, 1, 1e-9);
    EXPECT_NEAR(c.phase, 0, 1e-9);
    // The high sensitivity takes the high-range columns.
    r.st.PortB_Sens = 2;
    c = r.at(3.5, 26, -8.0);
    EXPECT_NEAR(c.ratio, 1, 1e-12);
    EXPECT_NEAR(c.phase, 0, 1e-12);
}

TEST(PortBCorrect, DelayAndTheReceiversPhaseOffsets) {
    Rig r;
    // No delay: the term vanishes.
    EXPECT_NEAR(r.at(4, 7, -9 + 0.25).phase, 0.25, 1e-12);
    // 10 ns at 4 MHz: 6238318.531 x 4 x 1e-8 rad, the constant the delays were always taken with.
    r.st.PortB_Delay = 10e-9;
    EXPECT_NEAR(r.at(4, 7, -9 + 0.25).phase, 0.25 - 6238318.531 * 4 * 1e-8, 1e-12);
    r.st.PortB_Delay = 0;
    // Without autoranging the offset of the gain step in use is removed; with it, the offset the
    // sweep collected over its range changes.
    r.st.PortB_Gain = 3;
    EXPECT_NEAR(r.at(4, 7, -9 + 0.25).phase, 0.25 - r.st.Rng3, 1e-12);
    r.st.autorange = 1;
    r.st.PortB_RangeOffset = 0.05;
    EXPECT_NEAR(r.at(4, 7, -9 + 0.25).phase, 0.2, 1e-12);
}

TEST(PortBCorrect, PhaseNearPlusMinusPiKeepsItsSide) {
    Rig r;
    // Phases well inside +-pi are accepted as they are and remembered.
    EXPECT_NEAR(r.at(4, 7, -9 + 3.0).phase, 3.0, 1e-12);
    EXPECT_NEAR(r.st.PortB_PhaseMemory, 3.0, 1e-12);
    r.at(4, 7, -9 + 3.11);
    // +3.13 within 0.0262 of the remembered value is kept, although -3.15 would be "inside".
    r.st.PortB_PhaseMemory = 3.12;
    EXPECT_NEAR(r.at(4, 7, -9 + 3.13).phase, 3.13, 1e-12);
    EXPECT_NEAR(r.at(4, 7, -9 + 3.145).phase, 3.145, 1e-12) << "a little beyond pi stays on its side";
    // One that differs by more is brought into -pi..pi.
    r.st.PortB_PhaseMemory = 3.0;
    const double c = r.at(4, 7, -9 + 3.2).phase;
    EXPECT_NEAR(c, 3.2 - 2 * 3.141592654, 1e-9);
    EXPECT_NEAR(r.st.PortB_PhaseMemory, c, 1e-12);
    // A phase many turns away from the table's continuous phase comes back into -pi..pi.
    r.st.PortB_PhaseMemory = 0;
    EXPECT_NEAR(r.at(4, 7, -9 + 0.3 + 4 * 3.141592654).phase, 0.3, 1e-9);
}

TEST(PortBCorrect, OutsideTheTableOrInRawModeTheReadingPassesUncorrected) {
    Rig r;
    // On the last record the table still holds the frequency.
    EXPECT_NEAR(r.at(20, 23, -25).ratio, 1, 1e-12);
    for (double f : {0.004, 25.0, 20.001}) {
        const auto c = r.at(f, 0.5, 1.25);
        EXPECT_FALSE(c.calibrated) << f;
        EXPECT_EQ(c.ratio, 0.5);
        EXPECT_EQ(c.phase, 1.25);
    }
    bool reported = false;
    for (const auto& t : r.rig.ui.canvas()->texts()) {
        reported = reported || t.rfind("PortB: Could not find cal data in the array. Freq= ", 0) == 0;
    }
    EXPECT_TRUE(reported);
    r.st.RawMode = 1;
    const auto c = r.at(3.5, 13, -8.5);
    EXPECT_FALSE(c.calibrated);
    EXPECT_EQ(c.ratio, 13);
    EXPECT_EQ(c.phase, -8.5);
    // An empty table corrects nothing either.
    r.st.RawMode = 0;
    r.rig.p().cal.bcal_points = 0;
    EXPECT_FALSE(r.at(3.5, 13, -1).calibrated);
}
