// The frequency axis, the box geometry and the scale factors of the graph.

#include <cmath>
#include <gtest/gtest.h>

#include "core/freq_axis.h"
#include "display/graph_geometry.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

core::AppState Limits(double start, double end, double step = 0.1, bool atZero = false) {
    core::AppState st;
    core::ResetToDefaults(st, 2026, 1, 2);
    st.start_freq = start;
    st.end_freq = end;
    st.delta_freq = step;
    st.plot_at_zero = atZero ? 1 : 0;
    return st;
}

} // namespace

TEST(FreqAxis, DivisionRuleCases) {
    struct Case {
        double start, end;
        bool atZero;
        int divs;
        double perDiv, plotStart, plotStop;
    };
    const Case cases[] = {
        {5, 25, false, 20, 1, 5, 25},          {1, 1.7, false, 15, 0.05, 1, 1.75},
        {1, 30, false, 15, 2, 1, 31},          {1, 180, true, 18, 10, 0, 180},
        {3.5, 4.0, false, 10, 0.05, 3.5, 4.0}, {10, 10.0005, false, 8, 0.0001, 10, 10.0008},
    };
    for (const Case& c : cases) {
        core::AppState st = Limits(c.start, c.end, 0.001, c.atZero);
        const core::FreqAxis a = core::ComputeFreqAxis(st);
        EXPECT_EQ(a.xDivs, c.divs) << c.start << ".." << c.end;
        EXPECT_DOUBLE_EQ(a.mhzPerDiv, c.perDiv) << c.start << ".." << c.end;
        EXPECT_DOUBLE_EQ(a.plotStart, c.plotStart);
        EXPECT_NEAR(a.plotStop, c.plotStop, 1e-9);
    }
    // A start below the instrument's minimum becomes 1, an end above its maximum the maximum.
    core::AppState st = Limits(0, 500);
    const core::FreqAxis a = core::ComputeFreqAxis(st);
    EXPECT_EQ(st.start_freq, 1);
    EXPECT_EQ(st.end_freq, 180);
    EXPECT_EQ(a.xDivs, 18);
    EXPECT_EQ(a.mhzPerDiv, 10);
    // The 20 MHz step exists only for instruments reaching 200 MHz.
    st = Limits(1, 390);
    st.maximumfreq = 400;
    EXPECT_EQ(core::ComputeFreqAxis(st).mhzPerDiv, 20);
}

TEST(FreqAxis, PointCountFollowsTheAxisAndIsCapped) {
    core::AppState st = Limits(5, 25, 0.202);
    core::ComputeFreqAxis(st);
    EXPECT_EQ(st.scan_points, 100); // (25 - 5) / 0.202 + 1 = 100.01
    st = Limits(5, 25, 0.2);
    core::ComputeFreqAxis(st);
    EXPECT_EQ(st.scan_points, 101);
    // A step so small that the grid would exceed its capacity: the step grows to fit.
    st = Limits(1, 30, 1e-6);
    core::ComputeFreqAxis(st);
    EXPECT_EQ(st.scan_points, 30010);
    EXPECT_NEAR(st.delta_freq, 30.0 / 30009, 1e-12);
    st = Limits(1, 30, 0.001);
    st.maxScanPoints = 500;
    core::ComputeFreqAxis(st);
    EXPECT_EQ(st.scan_points, 500);
}

TEST(GraphGeometry, BoxFromFontMetricsAndWindowRules) {
    test::TestRig rig;
    core::ResetToDefaults(rig.st(), 2026, 1, 2);
    rig.ui.createMainWindow(0, 0, 900, 600);
    core::AppState& st = rig.st();
    st.WinWidth = 900;
    st.WinHeight = 600;
    st.graphFontSize = 7;
    st.boldGraphFont = 1;
    display::ComputeGraphGeometry(rig.p());
    const core::GraphGeometry& g = rig.p().display.g;
    // The recording canvas measures (2/3 of the point size + 1) per character, 2 x size high.
    const int ch = 7 * 2 / 3 + 1; // 5
    EXPECT_EQ(g.lineH, 14);
    EXPECT_EQ(g.labelW, 8 * ch);
    EXPECT_EQ(g.statusWidth, 22 * ch + 14);
    EXPECT_EQ(g.statusX, 900 - (22 * ch + 14) - 15);
    EXPECT_EQ(g.box.left, 7 * ch + 5);
    EXPECT_EQ(g.box.top, 2 * 14 + 10);
    EXPECT_EQ(g.box.right, 900 - 8 * ch - 22 * ch - 19);
    EXPECT_EQ(g.box.bottom, 600 - 2 * 14 - 55 - 2 * 14);
    EXPECT_EQ(g.captionY, 600 - 2 * 14 - 55 - (14 + 7));
    EXPECT_EQ(g.rows[3], 42);
    st.boldGraphFont = 0;
    display::ComputeGraphGeometry(rig.p());
    EXPECT_EQ(rig.p().display.g.box.left, 7 * ch + 12);

    // At least 200 x 100, at most the screen less 35 pixels of height; the box never inverts.
    st.WinWidth = 1;
    st.WinHeight = 1;
    display::ComputeGraphGeometry(rig.p());
    EXPECT_EQ(st.WinWidth, 200);
    EXPECT_EQ(st.WinHeight, 100);
    EXPECT_GT(g.box.right, g.box.left);
    EXPECT_GT(g.box.bottom, g.box.top);
    st.ScreenWidth = 1280;
    st.ScreenHeight = 1024;
    st.WinWidth = 99999;
    st.WinHeight = 1000;
    display::ComputeGraphGeometry(rig.p());
    EXPECT_EQ(st.WinWidth, 1280);
    EXPECT_EQ(st.WinHeight, 1024 - 35);
}

TEST(GraphGeometry, ScaleFactorsAndTheirClamps) {
    test::TestRig rig;
    core::ResetToDefaults(rig.st(), 2026, 1, 2);
    rig.ui.createMainWindow(0, 0, 900, 600);
    core::AppState& st = rig.st();
    st.WinWidth = 900;
    st.WinHeight = 600;
    display::ComputeGraphGeometry(rig.p());
    st.rtloss_scale = -30;
    st.s11gain_scale = -10;
    st.swr_scale = 10;
    st.swrLog = 0;
    st.swrLift = 1;
    display::ComputeScaleFactors(rig.p());
    const core::GraphGeometry& g = rig.p().display.g;
    EXPECT_EQ(st.rtloss_scale, 30);
    EXPECT_EQ(st.s11gain_scale, -60);
    EXPECT_DOUBLE_EQ(g.half, (g.box.bottom - g.box.top) * 0.5);
    EXPECT_DOUBLE_EQ(g.divPx, g.half / 10);
    EXPECT_EQ(g.centreY, core::NearestEven(10 * g.divPx + g.box.top));
    EXPECT_DOUBLE_EQ(g.swrFactor, g.half / 9);
    EXPECT_EQ(g.swrLift, core::NearestEven(g.divPx));
    EXPECT_DOUBLE_EQ(g.rtlossFactor, g.half / 30);
    st.rtloss_scale = 0.5;
    st.swrLog = 1;
    display::ComputeScaleFactors(rig.p());
    EXPECT_EQ(st.rtloss_scale, 1);
    EXPECT_DOUBLE_EQ(g.swrFactor, g.half / 1.0);
    // Zero scales (a damaged or missing init file) keep every factor finite.
    st.s21phase_scale = 0;
    st.delay_scale = 0;
    st.zmag_scale = 0;
    st.swr_scale = 1;
    display::ComputeScaleFactors(rig.p());
    for (double f : {g.s21phaseFactor, g.delayFactor, g.zmagFactor, g.swrFactor}) {
        EXPECT_TRUE(std::isfinite(f));
    }
    // Halves round to even.
    EXPECT_EQ(core::NearestEven(2.5), 2);
    EXPECT_EQ(core::NearestEven(3.5), 4);
    EXPECT_EQ(core::NearestEven(-2.5), -2);
}
