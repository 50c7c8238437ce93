// The marker table, the mouse frequency, the rotation, the cursor read-out and the ruler searches,
// on hand-made scans.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "core/program.h"
#include "display/cursor.h"
#include "display/graph_draw.h"
#include "display/markers.h"
#include "display/rulers.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

double Freq(const core::AppState& st, int slot) {
    return st.markers.slot[static_cast<std::size_t>(slot)][0];
}

void Insert(core::AppState& st, double f) {
    display::InsertMarker(st, f);
    ASSERT_TRUE(display::SortMarkers(st));
    display::AfterMarkerCommand(st);
}

display::ScanGrid Grid(double start, double step, int count) {
    display::ScanGrid g;
    g.start = start;
    g.step = step;
    g.count = count;
    return g;
}

core::ScanArray Array(const std::vector<double>& v) {
    core::ScanArray a{};
    for (std::size_t i = 0; i < v.size(); ++i) {
        a[i] = v[i];
    }
    return a;
}

} // namespace

TEST(MarkerTable, InsertSortsRefusesNearDuplicatesWrapsAtTwentyOneAndRemovesTheNearest) {
    test::TestRig r;
    core::AppState& st = r.st();
    display::ClearMarkerTable(st);
    Insert(st, 7.2);
    Insert(st, 7.0);
    Insert(st, 7.1);
    EXPECT_EQ(Freq(st, 1), 7.0);
    EXPECT_EQ(Freq(st, 2), 7.1);
    EXPECT_EQ(Freq(st, 3), 7.2);
    EXPECT_EQ(st.markers.markerCount, 3);
    EXPECT_EQ(st.markers.markerNext, 4);
    // Within 0.0001 MHz of a marker: nothing.
    EXPECT_FALSE(display::InsertMarker(st, 7.10005));
    EXPECT_EQ(Freq(st, 4), core::MarkerCleared);

    // A slot from 999 MHz on is free, whatever number it holds.
    st.markers.slot[4][0] = 5000;
    core::RecountMarkers(st);
    EXPECT_EQ(st.markers.markerCount, 3);

    // Twenty markers, then a 21st: it overwrites slot 1 (after the wrap) and sorts into place.
    display::ClearMarkerTable(st);
    for (int k = 1; k <= 20; ++k) {
        Insert(st, 10 + k);
    }
    EXPECT_EQ(st.markers.markerCount, 20);
    EXPECT_EQ(st.markers.markerNext, 0);
    Insert(st, 25.5);
    EXPECT_EQ(st.markers.markerCount, 20);
    EXPECT_EQ(Freq(st, 1), 12); // 11 was overwritten
    EXPECT_EQ(Freq(st, 15), 25.5);
    EXPECT_EQ(Freq(st, 16), 26);

    // Remove: the nearest marker to the rounded frequency; the later slot of equal distances.
    display::ClearMarkerTable(st);
    Insert(st, 7.0);
    Insert(st, 7.02);
    display::RemoveMarker(st, 7.0099);
    ASSERT_TRUE(display::SortMarkers(st));
    display::AfterMarkerCommand(st);
    EXPECT_EQ(st.markers.markerCount, 1);
    EXPECT_EQ(Freq(st, 1), 7.0);
    // A frequency of 0 removes the marker in slot markerNext, a free one here: nothing changes.
    display::RemoveMarker(st, 0);
    display::AfterMarkerCommand(st);
    EXPECT_EQ(st.markers.markerCount, 1);
}

TEST(MarkerTable, MouseFrequencyRoundsToTheStepOfItsSpanClass) {
    EXPECT_NEAR(display::RoundMarkerFreq(7.0123, 0.04), 7.012, 1e-12);
    EXPECT_NEAR(display::RoundMarkerFreq(7.0123, 1), 7.010, 1e-12);
    EXPECT_NEAR(display::RoundMarkerFreq(7.0126, 1), 7.015, 1e-12);

    // The "Marker" dialog's entry: unit letters, and refusals of text, negative and huge values.
    EXPECT_DOUBLE_EQ(*display::ParseMarkerFreq("7.05", 180), 7.05);
    EXPECT_DOUBLE_EQ(*display::ParseMarkerFreq(" 7050 kHz", 180), 7.05);
    EXPECT_DOUBLE_EQ(*display::ParseMarkerFreq("0.1G", 180), 100);
    EXPECT_FALSE(display::ParseMarkerFreq("seven", 180));
    EXPECT_FALSE(display::ParseMarkerFreq("-7", 180));
    EXPECT_FALSE(display::ParseMarkerFreq("1e300", 180));
    EXPECT_FALSE(display::ParseMarkerFreq("7x", 180));
    EXPECT_FALSE(display::ParseMarkerFreq("nan", 180));
}

TEST(MarkerRotation, AgreesWithALosslessLineComputedIndependently) {
    // Input impedance of a lossless line of Zo, length -phi degrees, ended in Z:
    // Zin = Zo (Z + j Zo tan(bl)) / (Zo + j Z tan(bl)) with bl = -phi.
    using C = std::complex<double>;
    const double zo = 50;
    for (const C z : {C(30, 20), C(120, -75), C(5, 300), C(50, 0)}) {
        for (const double phi : {10.0, -33.0, 90.0, 135.0}) {
            const double t = std::tan(-phi * 3.141592653589793 / 180);
            const C zin = zo * (z + C(0, zo * t)) / (zo + C(0, 1) * z * t);
            const display::Impedance r = display::RotateImpedance(z.real(), z.imag(), zo, 0, phi);
            EXPECT_NEAR(r.rs, std::max(zin.real(), 0.00001), 1e-6 * std::abs(zin) + 1e-9) << z << " " << phi;
            EXPECT_NEAR(r.xs, zin.imag(), 1e-6 * std::abs(zin) + 1e-9) << z << " " << phi;
            EXPECT_NEAR(r.phase, std::atan(zin.imag() / std::max(zin.real(), 0.00001)), 1e-6);
        }
    }
}

TEST(CursorReadout, InterpolatesBetweenPointsButNotAcrossThePhaseWrap) {
    test::TestRig r;
    core::Program& p = r.p();
    core::AppState& st = p.st;
    st.scanSettingsA.recorded = 1;
    st.scanSettingsA.start = 10;
    st.scanSettingsA.step = 1;
    st.scanSettingsA.last = 2;
    st.delta_freq = 1;
    const double deg = 3.141592653589793 / 180;
    p.scan.scan_swr = Array({1.5, 2.5, 3.5});
    p.scan.scan_zmag = Array({40, 60, 80});
    p.scan.scan_phase = Array({10 * deg, 179 * deg, -179 * deg});
    core::CursorValues v;
    int i = 0;
    double df = 0;
    ASSERT_TRUE(display::CursorValuesAt(p, 10.25, v, i, df));
    EXPECT_EQ(i, 0);
    EXPECT_NEAR(df, 0.25, 1e-12);
    EXPECT_NEAR(v.swr, 1.75, 1e-12);
    EXPECT_NEAR(v.zmag, 45, 1e-12);
    EXPECT_NEAR(v.phase, 10 + 169 * 0.25, 1e-9);
    // +179 next to -179: the lower point's phase, not an interpolated 0.
    ASSERT_TRUE(display::CursorValuesAt(p, 11.5, v, i, df));
    EXPECT_NEAR(v.phase, 179, 1e-9);
    EXPECT_NEAR(v.rs, 70 * std::cos(179 * deg), 1e-9);
    EXPECT_FALSE(display::CursorValuesAt(p, 9.5, v, i, df));
    // The read-out's lines carry the values in their pictures.
    const auto lines = display::CursorReadoutLines(p, v);
    bool swr = false;
    for (const auto& l : lines) {
        swr = swr || l.text == "SWR  =   3.000              ";
    }
    EXPECT_TRUE(swr);
}

TEST(Rulers, CrossingsOfPassbandAndNotchWithACursorOnTheLevel) {
    const display::ScanGrid g = Grid(1, 0.1, 7);
    // A passband: -20 .. 0 .. -20 dB; the -6 dB crossings lie halfway between points 1, 2 and 4, 5.
    const core::ScanArray pass = Array({-20, -10, -2, 0, -2, -10, -20});
    display::Crossings c = display::FindCrossings(pass, g, 3, -6);
    EXPECT_EQ(c.status, 0);
    EXPECT_NEAR(c.fLow, 1.15, 1e-12);
    EXPECT_NEAR(c.fHigh, 1.45, 1e-12);
    // A notch, the cursor at the bottom.
    const core::ScanArray notch = Array({0, -2, -10, -30, -10, -2, 0});
    c = display::FindCrossings(notch, g, 3, -6);
    EXPECT_EQ(c.status, 0);
    EXPECT_NEAR(c.fLow, 1.15, 1e-12);
    EXPECT_NEAR(c.fHigh, 1.45, 1e-12);
    // A cursor on a point equal to the level counts as in a notch: both edges at the cursor.
    c = display::FindCrossings(pass, g, 2, -2);
    EXPECT_EQ(c.status, 0);
    EXPECT_NEAR(c.fLow, 1.2, 1e-12);
    EXPECT_NEAR(c.fHigh, 1.2, 1e-12);
    // The first point already below the level: the crossing lies between points 0 and 1 (a search
    // that stops at point 0 must not call it missing), and likewise for the SWR bandwidth.
    const core::ScanArray early = Array({-10, -2, 0, -2, -10, -20, -20});
    c = display::FindCrossings(early, g, 2, -6);
    EXPECT_EQ(c.status, 0);
    EXPECT_NEAR(c.fLow, 1.05, 1e-12);
    const display::SwrBandwidthResult swrEdge =
        display::SwrBandwidth(Array({3, 1.5, 1.2, 1.5, 3}), Grid(1, 1, 5), 2, 2);
    EXPECT_TRUE(swrEdge.measured) << swrEdge.message.text;
    EXPECT_NEAR(swrEdge.fLow, 1 + 2.0 / 3, 1e-12);
    // A level the trace never falls below on the right: the upper limit is missing.
    const core::ScanArray rising = Array({-20, -10, -2, 0, 0, 0, 0});
    c = display::FindCrossings(rising, g, 3, -6);
    EXPECT_EQ(c.status, 2);
    const display::RulerBandwidthResult failed = display::RulerBandwidth(rising, g, 3, true, -6, false, 0);
    ASSERT_EQ(failed.failures.size(), 1u);
    EXPECT_EQ(failed.failures[0].text, "Cursor is not positioned inside the response curve for ruler 1.");
    EXPECT_EQ(failed.failures[0].caption, " Upper limit not found");
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.message.caption, " Bandwidth error");
}

TEST(Rulers, ShapeFactorBothWaysAndSymmetryOfASymmetricFilter) {
    // Linear skirts: 100 kHz wide at -3 dB, 300 kHz at -30 dB, symmetric about 10 MHz.
    const display::ScanGrid g = Grid(9.7, 0.001, 601);
    core::ScanArray s{};
    for (int i = 0; i < g.count; ++i) {
        const double off = std::fabs(g.start + i * g.step - 10);
        s[static_cast<std::size_t>(i)] = off <= 0.05 ? -3 * off / 0.05 : -3 - 27 * (off - 0.05) / 0.1;
    }
    const int c = display::NearestPoint(g, 10);
    display::RulerBandwidthResult r = display::RulerBandwidth(s, g, c, true, -3, true, -30);
    ASSERT_TRUE(r.found[0] && r.found[1]);
    EXPECT_NEAR(r.shapeFactor, 3, 1e-6);
    EXPECT_NEAR(r.symmetry, 1, 1e-6);
    EXPECT_NE(r.message.text.find("Shape factor = 3.000 = (F4 - F3)/(F2 - F1)"), std::string::npos);
    EXPECT_NE(r.message.text.find("Symmetry = 1.000 = (F1 - F3)/(F4 - F2)"), std::string::npos);
    EXPECT_NE(r.message.text.find("Bandwidth (-3dB)=100.000 KHz = F2 - F1"), std::string::npos)
        << r.message.text;
    EXPECT_EQ(r.message.caption, " Bandwidth Data");
    r = display::RulerBandwidth(s, g, c, true, -30, true, -3);
    EXPECT_NEAR(r.shapeFactor, 3, 1e-6);
}

TEST(Rulers, SwrBandwidthTakesSwr2BelowARulerOf1AndKeepsTheSetting) {
    test::TestRig r;
    core::Program& p = r.p();
    core::AppState& st = p.st;
    st.scanSettingsA.recorded = 1;
    st.scanSettingsA.start = 1;
    st.scanSettingsA.step = 1;
    st.scanSettingsA.last = 6;
    p.scan.scan_swr = Array({5, 3, 1.5, 1.1, 1.5, 3, 5});
    st.swr_ruler = 1.0;
    display::AntennaBandwidth(p);
    ASSERT_EQ(r.ui.messages().size(), 1u);
    EXPECT_EQ(r.ui.messages()[0].caption, "Bandwidth");
    // SWR 2 lies two thirds of the way from SWR 3 (2 and 6 MHz) to SWR 1.5 (3 and 5 MHz).
    EXPECT_EQ(r.ui.messages()[0].text, "Bandwidth = 2.666667 for SWR less than 2\r\n"
                                       "Low freq=2.666667   High freq=5.333333\r\n"
                                       "Min SWR for this band is: 1.100 at 4.000000");
    EXPECT_EQ(st.swr_ruler, 1.0);

    // A cursor where the SWR is above the ruler, and a ruler the band never rises above.
    display::SwrBandwidthResult b =
        display::SwrBandwidth(p.scan.scan_swr, display::GridOfPort(st, false), 0, 2);
    EXPECT_FALSE(b.measured);
    EXPECT_EQ(b.message.text,
              "The SWR at the cursor position must be less than the SWR Ruler value, which is 2");
    b = display::SwrBandwidth(p.scan.scan_swr, display::GridOfPort(st, false), 3, 10);
    EXPECT_FALSE(b.measured);
    EXPECT_EQ(b.message.caption, "");
    EXPECT_NE(b.message.text.find("NOTE: SWR at the lowest frequency is still less than the SWR Ruler"),
              std::string::npos);

    // An SWR ruler of 0 takes the ruler away: nothing is left on the graph.
    EXPECT_FALSE(p.display.plot.swrRulerShown);
    display::DrawSwrRuler(p, 0);
    EXPECT_FALSE(p.display.plot.swrRulerShown);
    EXPECT_EQ(st.swr_ruler, 0);
}

TEST(MarkerWindowRows, PicturesLimitsAndTheSwrBar) {
    test::TestRig r;
    core::AppState& st = r.st();
    display::ClearMarkerTable(st);
    core::Marker& m = st.markers.slot[1];
    m[0] = 7.05;
    m[1] = 25;
    m[2] = -10;
    m[4] = std::atan2(-10.0, 25.0);
    m[5] = 2.123456;
    const display::MarkerRowText row = display::MarkerRow(st, 1, false);
    EXPECT_EQ(row.first, "   [ 1]    7.050000    2.1235   ");
    EXPECT_EQ(row.second, "     25.000        -10.000           26.926            -21.801             ");
    EXPECT_EQ(display::SwrBarLength(1), 2);
    EXPECT_EQ(display::SwrBarLength(5), 50);
    EXPECT_EQ(display::SwrBarLength(40), 50);
    EXPECT_EQ(display::SwrBarLength(2), 22);
}
