// The reflection quantities of a point, trend smoothing, the minimum-SWR and resonance search and
// the replay of stored scans.

#include <gtest/gtest.h>

#include <cmath>

#include "measure/scan_replay.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

core::ScanPoint& Reflect(core::Program& p, double rs, double xs) {
    p.point.rs = rs;
    p.point.xs = xs;
    measure::computeReflection(p);
    return p.point;
}

} // namespace

TEST(Reflection, MatchOpenShortAndTheAngleQuadrants) {
    test::TestRig rig;
    core::Program& p = rig.p();
    EXPECT_EQ(Reflect(p, 50, 0).swr, 1);
    EXPECT_TRUE(std::isinf(p.point.return_loss)) << "a perfect match has no finite return loss";
    EXPECT_EQ(Reflect(p, 1e7, 0).swr, 999);
    EXPECT_EQ(Reflect(p, 0.00001, 0).swr, 999);
    auto& pt = Reflect(p, 100, 0);
    EXPECT_NEAR(pt.swr, 2, 1e-12);
    EXPECT_NEAR(pt.rho, 1.0 / 3, 1e-12);
    EXPECT_NEAR(pt.return_loss, 9.5424250943932, 1e-9);
    // 25 + j25 against 50: gamma = (-25 + j25) / (75 + j25) = -0.2 + j0.4.
    Reflect(p, 25, 25);
    EXPECT_NEAR(p.point.gamma_re, -0.2, 1e-12);
    EXPECT_NEAR(p.point.gamma_im, 0.4, 1e-12);
    EXPECT_NEAR(p.point.gamma_angle, std::atan(-2.0) + 3.14159265, 1e-12);
    Reflect(p, 25, -25);
    EXPECT_NEAR(p.point.gamma_angle, std::atan(2.0) - 3.14159265, 1e-12);
    // A purely imaginary gamma keeps a tiny real part of its own sign.
    Reflect(p, 50, 100);
    EXPECT_GT(p.point.gamma_angle, 0);
    // The complex reference: Z = Zref gives SWR 1.
    rig.st().Z0imag = 20;
    EXPECT_NEAR(Reflect(p, 50, 20).swr, 1, 1e-12);
    EXPECT_GT(Reflect(p, 50, -20).swr, 2);
}

TEST(Reflection, TrendSmoothingWeighsInSinglePrecision) {
    test::TestRig rig;
    core::Program& p = rig.p();
    rig.st().trend = 3;
    measure::TrendMemory m;
    const double values[] = {10, 40, 100};
    for (int i = 0; i < 3; ++i) {
        p.point = {};
        p.point.swr = values[i];
        p.point.zmag = values[i];
        measure::smoothTrend(p, m, i);
    }
    // The first two points are only remembered; the third moves a third of the way.
    const double w = static_cast<double>(1.0f / 3.0f);
    EXPECT_EQ(p.point.swr, 40 + (100 - 40) * w);
    EXPECT_NE(p.point.swr, 60.0);
    EXPECT_EQ(m.zmag, p.point.swr);
}

TEST(Reflection, MinimumSwrAndResonances) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    core::ScanArrays& s = rig.p().scan;
    st.start_freq = 10;
    st.delta_freq = 1;
    st.last_scan_index = 7;
    const double swr[] = {3, 2, 1.5, 4, 1.5, 5, 6, 1.2};
    // Crosses zero between 1 and 2 after a swing of 0.5, then only touches zero at 4 (a swing of
    // 0.05 since), and crosses between 6 and 7 after a swing of 0.3.
    const double phase[] = {-0.5, -0.2, 0.05, 0.02, 0, 0.04, 0.3, -0.1};
    for (int k = 0; k < 8; ++k) {
        s.scan_swr[static_cast<std::size_t>(k)] = swr[k];
        s.scan_phase[static_cast<std::size_t>(k)] = phase[k];
    }
    measure::findMinSwrAndResonances(rig.p());
    // The last point takes part: its 1.2 is the minimum.
    EXPECT_EQ(st.min_swr, 1.2);
    EXPECT_EQ(st.min_swr_freq, 17);
    st.last_scan_index = 6;
    measure::findMinSwrAndResonances(rig.p());
    EXPECT_EQ(st.min_swr, 1.5);
    EXPECT_EQ(st.min_swr_freq, 12) << "two equal minima: the lower frequency";
    st.last_scan_index = 7;
    measure::findMinSwrAndResonances(rig.p());
    EXPECT_NEAR(s.reson_freq[0], 11.8, 1e-12);
    EXPECT_NEAR(s.reson_freq[1], 16.75, 1e-12);
    EXPECT_EQ(s.reson_freq[2], -1);
}

TEST(Replay, PortAFromTheRawArrays) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    core::ScanArrays& s = rig.p().scan;
    st.start_freq = 1;
    st.delta_freq = 1;
    st.last_scan_index = 2;
    st.trend = 0;
    s.raw_zmag[0] = 50;
    s.raw_zmag[1] = 100;
    s.raw_zmag[2] = std::hypot(30, 40);
    s.raw_phase[2] = std::atan2(40, 30);
    s.scan_swr[3] = 7; // beyond the scan: untouched
    measure::ReplayScanA(rig.p());
    EXPECT_EQ(s.scan_swr[0], 1);
    EXPECT_NEAR(s.scan_swr[1], 2, 1e-12);
    EXPECT_NEAR(s.scan_rs[2], 30, 1e-12);
    EXPECT_NEAR(s.scan_xs[2], 40, 1e-12);
    EXPECT_EQ(s.scan_swr[3], 7);
    EXPECT_EQ(st.min_swr, 1);
    // A replay with another reference impedance gives other SWRs from the same record.
    st.Zo = 100;
    measure::ReplayScanA(rig.p());
    EXPECT_NEAR(s.scan_swr[0], 2, 1e-12);
    EXPECT_EQ(s.scan_swr[1], 1);
    // An impossible reference is put right first.
    st.Zo = 0;
    measure::ReplayScanA(rig.p());
    EXPECT_EQ(st.Zo, 50);
    EXPECT_EQ(s.scan_swr[0], 1);
    // With smoothing the displayed traces lag, the record does not change.
    st.trend = 2;
    measure::ReplayScanA(rig.p());
    EXPECT_EQ(s.raw_zmag[1], 100);
    EXPECT_NEAR(s.scan_zmag[2], 100 + (50 - 100) * 0.5, 1e-12);
}

TEST(Replay, PortBDelayAndInsertionLoss) {
    test::TestRig rig;
    core::AppState& st = rig.st();
    core::ScanArrays& s = rig.p().scan;
    st.start_freq = 1;
    st.delta_freq = 0.5;
    st.scan_points = 20;
    st.last_scan_index = 19;
    st.delay_smoothing = 2;
    // A phase falling by 0.3 rad per step and wrapping from -pi to +pi on the way.
    double phase = 0;
    for (std::size_t k = 0; k < 20; ++k) {
        s.s21_phase[k] = phase;
        s.s21_db[k] = -6.020599913279624;
        s.s11_db[k] = k < 10 ? 0 : -6.020599913279624;
        phase -= 0.3;
        if (phase < -3.14159265358979) {
            phase += 6.28318530717959;
        }
    }
    measure::ReplayScanB(rig.p());
    for (std::size_t k = 1; k < 20; ++k) {
        EXPECT_NEAR(s.group_delay[k], 0.3 * 159.16 / 0.5, 1e-6) << k;
    }
    // Whatever the phase step per point, rising or falling, up to nearly half a turn, it is the
    // delay's step and not a wrap.
    for (double step : {-3.0, -2.2, -1.2566, -0.5, 0.8, 1.9, 3.0}) {
        double wrapped = 0.4;
        for (std::size_t k = 0; k < 20; ++k) {
            s.s21_phase[k] = std::remainder(wrapped, 2 * 3.14159265358979);
            wrapped += step;
        }
        measure::ReplayScanB(rig.p());
        for (std::size_t k = 1; k < 20; ++k) {
            ASSERT_NEAR(s.group_delay[k], -step * 159.16 / 0.5, 1e-6) << "step " << step << " at " << k;
        }
    }
    // S21 of 0.5: 6 dB of loss with S11 not measured, 4.75 dB with a quarter of the power reflected.
    EXPECT_NEAR(s.insertion_loss[5], 6.020599913279624, 1e-9);
    EXPECT_NEAR(s.insertion_loss[15], -10 * std::log10(0.25 / 0.75), 1e-9);
    // The stored S21 values stay as measured.
    EXPECT_EQ(s.s21_db[7], -6.020599913279624);
}
