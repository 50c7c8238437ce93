// Q of stored scans with its edge cases, the noise filters of the DSP rescan, and the SWR ratio of
// the markers.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "display/swr_ratio.h"
#include "files/marker_file.h"
#include "measure/scan_replay.h"
#include "support/test_rig.h"
#include "tools/dsp_filter.h"
#include "tools/q_measurement.h"

using namespace vna;

namespace {

constexpr double TwoPi = 2 * 3.14159265358979;

// A Port A scan of `z(f)` stored as a sweep leaves it, with its resonances found.
template <class F> void StoreScan(core::Program& p, double start, double step, int points, F z) {
    core::AppState& st = p.st;
    st.start_freq = start;
    st.delta_freq = step;
    st.end_freq = start + step * (points - 1);
    st.scan_points = points;
    st.last_scan_index = points - 1;
    st.scanSettingsA = {};
    for (int i = 0; i < points; ++i) {
        const std::complex<double> v = z(start + step * i);
        p.scan.raw_zmag[static_cast<std::size_t>(i)] = std::abs(v);
        p.scan.raw_phase[static_cast<std::size_t>(i)] = std::arg(v);
    }
    measure::ReplayScanA(p);
}

// Series R, L, C: f0 = 16.24 MHz, Q = sqrt(L/C)/R = 4.08.
std::complex<double> Series(double mhz) {
    const double w = TwoPi * mhz * 1e6;
    return {30, w * 1.2e-6 - 1 / (w * 80e-12)};
}

} // namespace

TEST(QMeasurement, SeriesCircuitTwoResonancesAndScansThatCannotGiveAQ) {
    test::TestRig rig;
    core::Program& p = rig.p();
    const double f0 = 1 / (TwoPi * std::sqrt(1.2e-6 * 80e-12)) / 1e6;
    const double q0 = std::sqrt(1.2e-6 / 80e-12) / 30;

    StoreScan(p, 10, 0.05, 301, Series);
    tools::QMeasurement(p);
    auto m = rig.ui.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].caption, " Q Measurement");
    tools::QResult r = tools::MeasureQ(p.st, p.scan);
    ASSERT_EQ(r.error, 0);
    // The 45 degree points interpolated over 0.05 MHz steps: Q within 0.5 %.
    EXPECT_NEAR(r.q, q0, 0.005 * q0);
    EXPECT_NEAR(r.fr, f0, 0.001);
    EXPECT_EQ(m[0].text.substr(0, 4), "Q = ");
    EXPECT_NE(m[0].text.find("\r\nResonant freq = 16.24"), std::string::npos) << m[0].text;
    EXPECT_NE(m[0].text.find("\r\nBandwidth=3.9"), std::string::npos) << m[0].text;
    EXPECT_EQ(m[0].text.find("Note:"), std::string::npos);

    // The circuit in parallel with 20 pF: a parallel resonance follows near 2.2 f0. The first is
    // measured, with the note.
    StoreScan(p, 10, 0.05, 1001, [](double f) {
        const std::complex<double> c0(0, -1 / (TwoPi * f * 1e6 * 20e-12));
        return Series(f) * c0 / (Series(f) + c0);
    });
    r = tools::MeasureQ(p.st, p.scan);
    ASSERT_EQ(r.error, 0);
    EXPECT_TRUE(r.moreResonances);
    EXPECT_DOUBLE_EQ(r.fr, p.scan.reson_freq[0]);
    EXPECT_GT(p.scan.reson_freq[1], 2 * r.fr);
    EXPECT_NE(tools::QResultText(r).find(
                  "\r\n\r\nNote: There is more than one resonance point in the scan data.\r\n"
                  "The first point was used to calculate Q."),
              std::string::npos);

    // Steps too coarse: 3 points between the resonance and the upper 45 degree point.
    rig.ui.calls.clear();
    StoreScan(p, 10, 0.6, 26, Series);
    tools::QMeasurement(p);
    m = rig.ui.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].caption, "Freq Resolution Too Coarse");
    EXPECT_EQ(m[0].text, "There are not enough data points around the resonance point.\r\n"
                         "The scan step size is too large for this circuit.\r\n"
                         "Change the limits and try it again.");
    // Four points between on either side: measured (the boundary).
    StoreScan(p, 10, 0.42, 36, Series);
    EXPECT_FALSE(tools::MeasureQ(p.st, p.scan).tooCoarse);

    // No resonance; the sweep ends before the upper and starts after the lower 45 degree point.
    const struct {
        double start, step;
        int points, code;
    } invalid[] = {{20, 0.05, 200, 1}, {12, 0.05, 100, 2}, {15.8, 0.05, 100, 3}};
    for (const auto& c : invalid) {
        SCOPED_TRACE(c.code);
        rig.ui.calls.clear();
        p.st.CursorDragging = 1;
        StoreScan(p, c.start, c.step, c.points,
                  c.code == 1 ? [](double) { return std::complex<double>(75, 0); } : Series);
        if (c.code == 1) {
            // A resistor's phase still wobbles around 0: nothing counts below a swing of 0.1 rad.
            EXPECT_LT(p.scan.reson_freq[0], 0);
        }
        tools::QMeasurement(p);
        m = rig.ui.messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(m[0].caption, "");
        EXPECT_EQ(m[0].text, "Scan data is not valid for a tuned circuit with one resonant point. Err=" +
                                 std::to_string(c.code));
        EXPECT_EQ(p.st.CursorDragging, 0);
    }
}

TEST(DspFilter, OutliersGoSmoothCurvesStayAndTheResonanceIsFoundOnce) {
    // A steep but smooth curve passes both filters unchanged (the quadratic smoothing keeps a
    // parabola exactly).
    std::vector<double> curve;
    for (int i = 0; i < 40; ++i) {
        curve.push_back(0.002 * (i - 20) * (i - 20) - 0.3 * i);
    }
    std::vector<double> v = curve;
    EXPECT_EQ(tools::RejectOutliers(v, 2, 0, false), 0);
    tools::SmoothQuadratic(v);
    for (std::size_t i = 0; i < v.size(); ++i) {
        EXPECT_NEAR(v[i], curve[i], 1e-9);
    }
    // Spikes are replaced, unless they stay below the floor.
    v = curve;
    v[10] += 5;
    v[25] -= 3;
    EXPECT_EQ(tools::RejectOutliers(v, 2, 0, false), 2);
    EXPECT_NEAR(v[10], curve[10], 0.7);
    v = curve;
    v[10] += 5;
    EXPECT_EQ(tools::RejectOutliers(v, 2, 6, false), 0);

    // A series resonance measured with noise and two spikes of the phase through zero: the plain
    // search sees false resonances, the filtered scan the one at f0.
    test::TestRig rig;
    core::Program& p = rig.p();
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0, 0.01);
    const double f0 = 1 / (TwoPi * std::sqrt(1.2e-6 * 80e-12)) / 1e6;
    for (const int filter : {1, 2}) {
        SCOPED_TRACE(filter);
        StoreScan(p, 12, 0.02, 401, [&](double f) {
            std::complex<double> z = Series(f) * std::polar(1.0, noise(gen));
            if (std::fabs(f - 13) < 0.005 || std::fabs(f - 19.5) < 0.005) {
                z = std::conj(z); // a reading knocked to the other side of zero
            }
            return z;
        });
        ASSERT_GT(p.scan.reson_freq[1], 0) << "the spikes make false resonances";
        EXPECT_GE(tools::FilterStoredScanA(p, filter), 2);
        EXPECT_NEAR(p.scan.reson_freq[0], f0, 0.03);
        EXPECT_LT(p.scan.reson_freq[1], 0);
    }
}

TEST(SwrRatio, TheBestMarkerIsOneAndTheExportCarriesTheRatios) {
    core::MarkerTable t;
    const double swr[] = {0, 2.4, 1.2, 3.6, 0.5};
    for (int k = 1; k <= 4; ++k) {
        t.slot[static_cast<std::size_t>(k)][0] = 7 + k;
        t.slot[static_cast<std::size_t>(k)][5] = swr[k];
    }
    const auto ratio = display::SwrRatios(t, 4);
    EXPECT_DOUBLE_EQ(ratio[1], 2);
    EXPECT_DOUBLE_EQ(ratio[2], 1);
    EXPECT_DOUBLE_EQ(ratio[3], 3);
    EXPECT_EQ(ratio[4], 0) << "no SWR below 1";
    EXPECT_EQ(display::SwrRatios(t, 0)[1], 0);
    const std::string text = files::MarkerExportText(t, 4, platform::LocalTime{}, ratio);
    EXPECT_NE(text.find("  1,  8.0000,  2.4000, 2.0000, "), std::string::npos) << text;
    EXPECT_NE(text.find("  4,  11.0000,  0.5000, 0.0000, "), std::string::npos) << text;
}
