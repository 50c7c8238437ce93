// The Smith chart and the polar plot: the mapping of known impedances, the circles of the grid and
// what the drawing stores for the cursor, on the recording canvas.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

#include "core/freq_axis.h"
#include "core/program.h"
#include "display/chart_mapping.h"
#include "display/polar_plot.h"
#include "display/smith_chart.h"
#include "platform/fake/recording_canvas.h"
#include "support/test_rig.h"

using namespace vna;
using display::Gamma;

namespace {

using Z = std::complex<double>;

Gamma G(Z z, Z ref = 50) {
    return display::Reflection(z.real(), z.imag(), ref.real(), ref.imag());
}

// A Port A scan of the given impedances on a 1 MHz grid from 1 MHz.
void FillScan(core::Program& p, const std::vector<Z>& zs) {
    core::AppState& st = p.st;
    for (std::size_t i = 0; i < zs.size(); ++i) {
        p.scan.scan_zmag[i] = std::abs(zs[i]);
        p.scan.scan_phase[i] = std::arg(zs[i]);
    }
    st.scanSettingsA.recorded = 1;
    st.scanSettingsA.start = 1;
    st.scanSettingsA.step = 1;
    st.scanSettingsA.last = static_cast<int>(zs.size()) - 1;
    st.last_scan_index = st.scanSettingsA.last;
}

int Count(const platform::fake::RecordingCanvas& c, const std::string& op) {
    return static_cast<int>(std::count(c.ops.begin(), c.ops.end(), op));
}

std::string Ellipse(double cx, double cy, double r) {
    const auto n = [](double v) { return std::to_string(core::NearestEven(v)); };
    return "ellipse " + n(cx - r) + "," + n(cy - r) + "-" + n(cx + r) + "," + n(cy + r);
}

} // namespace

TEST(ChartMapping, KnownImpedancesLandWhereTheSmithChartPutsThem) {
    const display::SmithGeometry g = display::SmithChartGeometry(1, 1);
    EXPECT_EQ(g.width, 507);
    EXPECT_EQ(g.cx, 234);
    EXPECT_EQ(g.cy, 203);
    EXPECT_DOUBLE_EQ(g.R, 195);
    const auto at = [&](Z z) { return display::SmithPixel(g, G(z)); };
    const auto near = [](display::ChartPixel px, double x, double y) {
        return std::abs(px.x - x) <= 1 && std::abs(px.y - y) <= 1;
    };
    EXPECT_TRUE(near(at(50), g.cx, g.cy));
    EXPECT_TRUE(near(at(0), g.cx - g.R, g.cy));
    EXPECT_TRUE(near(at(1e12), g.cx + g.R, g.cy));
    EXPECT_TRUE(near(at(1e300), g.cx + g.R, g.cy)) << "a huge impedance is an open, not a NaN";
    EXPECT_TRUE(
        near(display::SmithPixel(g, display::ReflectionOfPoint(HUGE_VAL, 0, 50, 0)), g.cx + g.R, g.cy));
    EXPECT_TRUE(near(at(25), g.cx - g.R / 3, g.cy));
    EXPECT_TRUE(near(at(100), g.cx + g.R / 3, g.cy));
    const display::ChartPixel reactance = at(Z(0, 35));
    EXPECT_NEAR(std::hypot(reactance.x - g.cx, reactance.y - g.cy), g.R, 1);
    EXPECT_LT(reactance.y, g.cy) << "inductive reactance in the upper half";
    EXPECT_TRUE(reactance.onChart);
    // A negative resistance lies outside and is stored as off the chart; wild values stay in reach.
    EXPECT_FALSE(at(Z(-20, 0)).onChart);
    EXPECT_LE(std::abs(at(Z(-50.0001, 0)).x - g.cx), 2 * g.R + 1);
    // What cannot be computed is left out: NaN, Z + Zr = 0, a zero reference with Z = 0.
    EXPECT_FALSE(G(Z(std::nan(""), 0)).valid);
    EXPECT_FALSE(G(Z(-50, 0)).valid);
    EXPECT_FALSE(G(0, 0).valid);
    EXPECT_TRUE(G(Z(20, 5), Z(-50, 0)).valid) << "a negative reference still maps";

    // The unit circle, the r = 1 circle and the SWR circle; zoom 2 makes r = 1 the rim.
    EXPECT_DOUBLE_EQ(display::ResistanceCircle(g, 1).r, g.R / 2);
    EXPECT_DOUBLE_EQ(display::ResistanceCircle(g, 1).cx, g.cx + g.R / 2);
    EXPECT_DOUBLE_EQ(display::ReactanceCircle(g, 1, true).cy, g.cy - g.R);
    EXPECT_NEAR(display::SwrCircleRadius(g, 1.5), 0.2 * g.R, 1);
    EXPECT_EQ(display::SwrCircleRadius(g, 0.5), 0);
    const display::SmithGeometry z2 = display::SmithChartGeometry(1, 2);
    EXPECT_DOUBLE_EQ(display::ResistanceCircle(z2, 1).r, z2.R);
    EXPECT_TRUE(near(display::SmithPixel(z2, G(25)), z2.cx - 2 * z2.R / 3, z2.cy));
    EXPECT_FALSE(display::SmithPixel(z2, G(0)).onChart);
    EXPECT_TRUE(near(display::SmithPixel(z2, G(50)), z2.cx, z2.cy));
    // "Smith Chart 2" turns by -2 x rotation: a short rotated by 45 degrees lies at the bottom.
    EXPECT_TRUE(near(display::SmithPixelRotated(g, G(0), 45), g.cx, g.cy + g.R));
    EXPECT_TRUE(near(display::SmithPixelRotated(g, G(0), 90), g.cx + g.R, g.cy));
    // Sizes: the config's limits hold, a picture of 1 x 1 pixel still has a finite chart.
    EXPECT_EQ(display::SmithChartGeometry(5, 9).width, core::NearestEven(650 * 0.78 * 3));
    EXPECT_EQ(display::SmithChartGeometry(5, 9).zoom, 5);
    const display::SmithGeometry tiny = display::SmithGeometryAtScale(1 / 650.0, 1);
    EXPECT_EQ(tiny.width, 1);
    EXPECT_LE(std::abs(display::SmithPixel(tiny, G(0)).x), 1);
}

TEST(ChartMapping, PolarRadiusFollowsTheChosenQuantityAndScale) {
    const display::PolarGeometry g = display::PolarPlotGeometry(538, 1);
    EXPECT_EQ(g.width, 455);
    EXPECT_EQ(g.height, 473);
    EXPECT_EQ(g.cx, 210);
    EXPECT_EQ(g.cy, 182);
    const auto pixel = [&](int mode, int scale, Z z) {
        const Gamma gamma = G(z);
        return display::PolarPixel(
            g, display::PolarRadius(g, mode, display::PolarFullScale(mode, scale), gamma, std::abs(z)),
            gamma);
    };
    // |Gamma| = 0.5 at 90 degrees: half way up in S11 mode at full scale 1.
    const Z half90 = Z(50) * (1.0 + Z(0, 0.5)) / (1.0 - Z(0, 0.5));
    display::ChartPixel px = pixel(display::PolarS11, 1, half90);
    EXPECT_NEAR(px.x, g.cx, 1);
    EXPECT_NEAR(px.y, g.cy - g.R / 2, 1);
    // Full scale 0.05: |Gamma| = 0.025 lies half way out.
    const Z quarter = Z(50) * (1.0 + 0.025) / (1.0 - 0.025);
    px = pixel(display::PolarS11, 5, quarter);
    EXPECT_NEAR(px.x, g.cx + g.R / 2, 1);
    // Z = Zr at the centre in S11 and SWR mode, at R |Zr| / FS in Z mode.
    EXPECT_EQ(pixel(display::PolarSwr, 1, 50).x, g.cx);
    EXPECT_NEAR(pixel(display::PolarZ, 5, 50).x, g.cx + g.R * 50 / 100, 1);
    // A pure reactance is a total reflection: on the rim in SWR mode, and off the disc.
    px = pixel(display::PolarSwr, 1, Z(0, 30));
    EXPECT_NEAR(std::hypot(px.x - g.cx, px.y - g.cy), g.R, 1);
    EXPECT_FALSE(px.onChart);
    EXPECT_DOUBLE_EQ(display::PolarFullScale(display::PolarSwr, 9), 2) << "an unknown scale is the first";
    EXPECT_STREQ(display::PolarModeOf(display::PolarZ).captions[0], "2K");
    EXPECT_EQ(display::PolarTitle(display::PolarS11), "Polar Plot - S11");
}

TEST(SmithChart, DrawsTheGridTheTraceAndTheMarkersAndKeepsEveryPoint) {
    test::TestRig rig;
    core::Program& p = rig.p();
    core::AppState& st = p.st;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    FillScan(p, {50, 0, 1e9, Z(nan, 0), 25, 100, Z(0, 50)});
    st.Z0real = 50;
    st.Zsm_real = 75; // "Smith Chart" takes the system reference again
    const display::SmithGeometry g = display::SmithChartGeometry(1, 1);
    platform::fake::RecordingCanvas c(g.width, g.height);
    display::DrawSmithChart(p, c, g, {core::ChartSmith, true, true});
    EXPECT_EQ(st.Zsm_real, 50);
    EXPECT_EQ(Count(c, Ellipse(g.cx, g.cy, g.R)), 2) << "the disc and its rim";
    const display::Circle r1 = display::ResistanceCircle(g, 1);
    EXPECT_EQ(Count(c, Ellipse(r1.cx, r1.cy, r1.r)), 1) << "the r = 1 circle";
    EXPECT_EQ(Count(c, Ellipse(g.cx, g.cy, g.R + 201)), 2) << "the mask before and after the trace";
    EXPECT_EQ(Count(c, Ellipse(g.cx, g.cy, display::SwrCircleRadius(g, 1.5))), 1);
    const auto texts = c.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Zo =  50.00   0.00j"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "SWRref= 1.50"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "SCALE"), texts.end());
    // The trace: the NaN point is stored off the chart and breaks the line.
    const core::ChartPoints& cp = p.chartPoints.chart[core::ChartSmith];
    ASSERT_EQ(cp.count, 7);
    EXPECT_EQ(cp.x[0], g.cx);
    EXPECT_EQ(cp.y[0], g.cy);
    EXPECT_EQ(cp.x[3], core::ChartOffChart);
    EXPECT_NEAR(cp.gammaRe[4], -1.0 / 3, 1e-12);
    const auto line = [&](int a, int b) {
        return "line " + std::to_string(cp.x[a]) + "," + std::to_string(cp.y[a]) + "-" +
               std::to_string(cp.x[b]) + "," + std::to_string(cp.y[b]);
    };
    EXPECT_EQ(Count(c, line(0, 1)), 1);
    EXPECT_EQ(Count(c, line(4, 5)), 1);
    EXPECT_EQ(Count(c, "line " + std::to_string(cp.x[4]) + "," + std::to_string(cp.y[4]) + "-" +
                           std::to_string(cp.x[4]) + "," + std::to_string(cp.y[4])),
              1)
        << "the point after the gap starts the line again";
    // Markers hidden: the start dot; shown: marker k at its point, one below the scan holding up none.
    EXPECT_EQ(Count(c, Ellipse(cp.x[0], cp.y[0], 4)), 1);
    st.markerena = 1;
    for (auto& m : st.markers.slot) {
        m[0] = core::MarkerNotSet;
    }
    st.markers.slot[1][0] = 0.2; // below the scan
    st.markers.slot[2][0] = 5.1; // point 5 (index 4)
    platform::fake::RecordingCanvas marked(g.width, g.height);
    display::DrawSmithChart(p, marked, g, {core::ChartSmith, true, false});
    EXPECT_EQ(Count(marked, Ellipse(cp.x[4], cp.y[4], 3)), 1);
    EXPECT_EQ(Count(marked, "text " + std::to_string(cp.x[4] + 3) + "," + std::to_string(cp.y[4] - 3) + " 2"),
              1);
    EXPECT_EQ(Count(marked, Ellipse(cp.x[0], cp.y[0], 4)), 0);

    // "Smith Chart 2": its own reference, the rotation printed, every point stored rotated.
    st.Zsm_real = 25;
    st.smithRotation = 90;
    platform::fake::RecordingCanvas rotated(g.width, g.height);
    display::DrawSmithChart(p, rotated, g, {core::ChartSmith2, true, true});
    const core::ChartPoints& cp2 = p.chartPoints.chart[core::ChartSmith2];
    EXPECT_EQ(cp2.x[4], g.cx);
    EXPECT_NEAR(cp2.x[1], g.cx + g.R, 1) << "the short turned half a circle";
    const auto rtexts = rotated.texts();
    EXPECT_NE(std::find(rtexts.begin(), rtexts.end(), "Phase= 90"), rtexts.end());

    // An empty scan draws the chart alone.
    FillScan(p, {});
    platform::fake::RecordingCanvas empty(g.width, g.height);
    display::DrawSmithChart(p, empty, g, {core::ChartSmith, true, true});
    EXPECT_EQ(p.chartPoints.chart[core::ChartSmith].count, 0);
}

TEST(PolarPlot, DrawsRingsValuesAndTheTraceOfTheChosenQuantity) {
    test::TestRig rig;
    core::Program& p = rig.p();
    core::AppState& st = p.st;
    FillScan(p, {50, 0, 1e9, 25, 100});
    st.polarMode = display::PolarSwr;
    st.polarScale = 1;
    const display::PolarGeometry g = display::PolarPlotGeometry(538, 1);
    platform::fake::RecordingCanvas c(g.width, g.height);
    display::DrawPolarPlot(p, c, g);
    EXPECT_EQ(Count(c, Ellipse(g.cx, g.cy, g.R)), 1);
    EXPECT_EQ(Count(c, Ellipse(g.cx, g.cy, core::NearestEven(g.R * 2 / 5))), 1);
    const auto texts = c.texts();
    for (const char* t : {"1.20", "2.00", "Full Scale=  2", "Magnitude of SWR,   Phase of S11"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), t), texts.end()) << t;
    }
    const core::ChartPoints& cp = p.chartPoints.chart[core::ChartPolar];
    ASSERT_EQ(cp.count, 5);
    EXPECT_EQ(cp.x[0], g.cx);
    EXPECT_EQ(cp.x[1], core::ChartOffChart) << "a short is off the disc in SWR mode";
    // SWR 2 (25 ohms, 100 ohms) is the full scale: on the rim, left and right.
    EXPECT_NEAR(cp.x[3], g.cx - g.R, 1);
    EXPECT_NEAR(cp.x[4], g.cx + g.R, 1);
}
