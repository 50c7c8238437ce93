// The reading correction: the three-standard correction against an independent one-port error
// model, the soft floor, the derived values, the feed line and the line extension.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "instrument/raw_impedance.h"
#include "measure/correction.h"
#include "measure/scan_replay.h"
#include "support/test_rig.h"

using namespace vna;
using Complex = std::complex<double>;

namespace {

constexpr double Pi = std::numbers::pi;
const Complex J(0, 1);

// The classic short-open-load solution of the one-port error model, written out on its own:
// a measured reflection m relates to the true one g by m = e00 + e10e01 g / (1 - e11 g). With the
// unknowns e00, e11 and d = e00 e11 - e10e01 the relation is linear: e00 + g m e11 - g d = m.
// Three standards with known reflections give three equations, solved here by Cramer's rule.
struct ErrorTerms {
    Complex e00, e11, d;
};

Complex Det3(const Complex a[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

ErrorTerms SolveSol(const Complex g[3], const Complex m[3]) {
    Complex a[3][3];
    for (int i = 0; i < 3; ++i) {
        a[i][0] = 1;
        a[i][1] = g[i] * m[i];
        a[i][2] = -g[i];
    }
    const Complex det = Det3(a);
    Complex x[3];
    for (int c = 0; c < 3; ++c) {
        Complex b[3][3];
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                b[i][j] = j == c ? m[i] : a[i][j];
            }
        }
        x[c] = Det3(b) / det;
    }
    return {x[0], x[1], x[2]};
}

Complex GammaOf(Complex z, double z0) {
    return (z - z0) / (z + z0);
}

Complex ImpedanceOf(Complex g, double z0) {
    return z0 * (1.0 + g) / (1.0 - g);
}

// What the model says an instrument with these error terms reads for a true reflection g.
Complex Measured(const ErrorTerms& e, Complex g) {
    const Complex e10e01 = e.e00 * e.e11 - e.d;
    return e.e00 + e10e01 * g / (1.0 - e.e11 * g);
}

Complex RandomComplex(std::mt19937_64& rng, double scale) {
    std::uniform_real_distribution<double> u(-scale, scale);
    return {u(rng), u(rng)};
}

} // namespace

TEST(Correction, ThreeStandardCorrectionAgreesWithTheShortOpenLoadErrorModel) {
    std::mt19937_64 rng(2026);
    std::uniform_real_distribution<double> logR(std::log(0.5), std::log(5000.0));
    std::uniform_real_distribution<double> resistor(20, 200);
    test::TestRig rig;
    auto& st = rig.st();
    for (int trial = 0; trial < 500; ++trial) {
        // A random instrument in the reflection domain, and a random standard resistor.
        const ErrorTerms e{RandomComplex(rng, 0.2), RandomComplex(rng, 0.2), 0};
        const Complex tracking = std::polar(0.5 + 0.5 * std::fabs(RandomComplex(rng, 1).real()),
                                            Pi * RandomComplex(rng, 1).imag());
        ErrorTerms instrument = e;
        instrument.d = e.e00 * e.e11 - tracking;
        const double r = resistor(rng);
        const double z0 = 50;
        const Complex gs = -1.0, go = 1.0, gr = GammaOf(r, z0);
        const Complex ms = Measured(instrument, gs), mo = Measured(instrument, go),
                      mr = Measured(instrument, gr);
        // A random device with a positive resistance.
        const Complex dut(std::exp(logR(rng)), RandomComplex(rng, 3000).imag());
        const Complex md = Measured(instrument, GammaOf(dut, z0));

        // Independent: solve the error terms from the three standards, then the device.
        const Complex g[3] = {gs, go, gr};
        const Complex m[3] = {ms, mo, mr};
        const ErrorTerms solved = SolveSol(g, m);
        const Complex gd = (md - solved.e00) / (md * solved.e11 - solved.d);
        const Complex independent = ImpedanceOf(gd, z0);
        ASSERT_NEAR(std::abs(independent - dut) / std::abs(dut), 0, 1e-8);

        // The program: the raw readings are the measured values (any bilinear image of the
        // impedance serves as the instrument's raw value), corrected through the interpolated cal
        // values of one scan point.
        auto& ip = rig.p().ip;
        st.CalIndex = 7;
        ip.ip_short_re[7] = ms.real();
        ip.ip_short_im[7] = ms.imag();
        ip.ip_open_re[7] = mo.real();
        ip.ip_open_im[7] = mo.imag();
        const Complex k = measure::ResistorFactor(ms, mo, mr, r);
        ip.ip_factor_re[7] = k.real();
        ip.ip_factor_im[7] = k.imag();
        st.RsRaw = md.real() - 50;
        st.XsRaw = md.imag();
        st.freq = 10;
        measure::ApplyCorr(rig.p());
        const Complex corrected(rig.p().point.rs, rig.p().point.xs);
        EXPECT_NEAR(std::abs(corrected - independent) / std::abs(independent), 0, 1e-8)
            << "trial " << trial << ": program " << corrected << ", error model " << independent;
    }
}

TEST(Correction, SoftFloorKeepsSmallResistancesPositiveAndInOrder) {
    EXPECT_NEAR(measure::SoftFloor(-1), 0.0047482, 1e-7);
    EXPECT_NEAR(measure::SoftFloor(0), 0.0049982, 1e-7);
    EXPECT_EQ(measure::SoftFloor(0.005), 0.005);
    EXPECT_EQ(measure::SoftFloor(12.5), 12.5);
    // Order kept, and never below the floor.
    double previous = 0;
    for (double rs = -1000; rs < 0.005; rs += 0.37) {
        const double f = measure::SoftFloor(rs);
        EXPECT_GE(f, 0.00001);
        EXPECT_LT(f, 0.005);
        EXPECT_GE(f, previous);
        previous = f;
    }
    EXPECT_EQ(measure::SoftFloor(-1e12), 0.00001);

    // Through ApplyCorr: a correction that gives Rs = -1 shows about 0.00475 ohm.
    test::TestRig rig;
    auto& st = rig.st();
    auto& ip = rig.p().ip;
    st.CalIndex = 0;
    ip.ip_short_re[0] = 0;
    ip.ip_short_im[0] = 0;
    ip.ip_open_re[0] = 1e9;
    ip.ip_open_im[0] = 0;
    ip.ip_factor_re[0] = 1e9; // K (m - 0) / (1e9 - m) = m for m much smaller than 1e9
    ip.ip_factor_im[0] = 0;
    st.RsRaw = -1 - 50;
    st.XsRaw = 20;
    st.freq = 5;
    measure::ApplyCorr(rig.p());
    EXPECT_NEAR(rig.p().point.rs, 0.0047482, 1e-6);
    EXPECT_NEAR(rig.p().point.xs, 20, 1e-6);
}

TEST(Correction, DerivedValuesRawModeAndDivisionGuards) {
    test::TestRig rig;
    auto& st = rig.st();
    auto& pt = rig.p().point;
    const double w = 10 * 6.2831853;
    // RawMode: the raw series values pass; the derived ones follow from them.
    st.RawMode = 1;
    st.RsRaw = 30;
    st.XsRaw = -40;
    st.freq = 10;
    measure::ApplyCorr(rig.p());
    EXPECT_EQ(pt.rs, 30);
    EXPECT_EQ(pt.xs, -40);
    EXPECT_DOUBLE_EQ(pt.zmag, 50);
    EXPECT_DOUBLE_EQ(pt.zphase, std::atan(-40.0 / 30));
    EXPECT_DOUBLE_EQ(pt.rp, 2500.0 / 30);
    EXPECT_DOUBLE_EQ(pt.xp, 2500.0 / -40);
    EXPECT_DOUBLE_EQ(pt.cs, -1000000 / (w * -40));
    EXPECT_DOUBLE_EQ(pt.cp, -1000000 / (w * (2500.0 / -40)));
    // A resistance below zero is not floored in RawMode, and a point rebuilt from its |Z| and
    // phase (as a sweep records it) keeps the sign of both parts.
    st.RsRaw = -27.8;
    st.XsRaw = -2.4;
    measure::ApplyCorr(rig.p());
    EXPECT_EQ(pt.rs, -27.8);
    rig.p().scan.raw_zmag[0] = pt.zmag;
    rig.p().scan.raw_phase[0] = pt.zphase;
    measure::PointFromRawA(rig.p(), 0);
    EXPECT_NEAR(pt.rs, -27.8, 1e-9);
    EXPECT_NEAR(pt.xs, -2.4, 1e-9);
    // Zero reactance and resistance are replaced before they are divided by.
    st.RsRaw = 0;
    st.XsRaw = 0;
    measure::ApplyCorr(rig.p());
    EXPECT_EQ(pt.xs, 0.001);
    EXPECT_EQ(pt.rs, 0.01);
    EXPECT_TRUE(std::isfinite(pt.cs) && std::isfinite(pt.cp) && std::isfinite(pt.rp) && std::isfinite(pt.xp));
    // A reading exactly on the open gives a very large, finite impedance, not a NaN.
    st.RawMode = 0;
    auto& ip = rig.p().ip;
    ip.ip_short_re[0] = 60;
    ip.ip_open_re[0] = 3000;
    ip.ip_factor_re[0] = 5000;
    st.CalIndex = 0;
    st.RsRaw = 3000 - 50;
    measure::ApplyCorr(rig.p());
    EXPECT_TRUE(std::isfinite(pt.rs) && std::isfinite(pt.zmag));
    EXPECT_GT(pt.zmag, 1e9);
    // A scan index outside the arrays is held at their ends.
    st.CalIndex = -5;
    measure::ApplyCorr(rig.p());
    EXPECT_TRUE(std::isfinite(pt.zmag));
}

TEST(RawImpedance, FromTheChannelAmplitudesAndPhase) {
    test::TestRig rig;
    auto& st = rig.st();
    st.MagRef = 4000;
    st.MagLoad = 2000;
    st.PhaseDiff = 0.5;
    st.freq = 0.00002;
    instrument::RawImpedance(rig.p());
    EXPECT_DOUBLE_EQ(st.RsRaw, 100 * std::cos(0.5) - 50);
    EXPECT_DOUBLE_EQ(st.XsRaw, 100 * std::sin(0.5));
    EXPECT_DOUBLE_EQ(st.PhaseDeg, 0.5 * 57.296);
    EXPECT_EQ(st.freq, 0.0001);
    st.MagLoad = 0;
    instrument::RawImpedance(rig.p());
    EXPECT_DOUBLE_EQ(st.RsRaw, 1000000 * std::cos(0.5) - 50);
}

TEST(LineExtension, LengthUnitsAndTheDialogValues) {
    EXPECT_NEAR(measure::ExtensionLengthFromText("5i"), 0.127, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("5\""), 0.127, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("2f"), 0.6096, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("2 ft"), 0.6096, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("2'"), 0.6096, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("30"), 0.30, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("30cm"), 0.30, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("1.5m"), 1.5, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("1.5 M"), 1.5, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("25mm"), 0.025, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("25 MM"), 0.025, 1e-12);
    EXPECT_NEAR(measure::ExtensionLengthFromText("-12.5"), -0.125, 1e-12);

    test::TestRig rig;
    auto& st = rig.st();
    measure::SetLineExtension(rig.p(), "5i", "75", "0.66");
    EXPECT_NEAR(st.ExtensionLength, 0.127, 1e-12);
    EXPECT_EQ(st.Zextension, 75);
    EXPECT_EQ(st.ExtensionVP, 0.66);
    EXPECT_NEAR(st.ExtensionAngle, 6.283185308 * 0.127 / (0.66 * 299.8), 1e-15);
    EXPECT_EQ(st.ExtensionFlag, 1);
    measure::SetLineExtension(rig.p(), "10", "0", "0.3");
    EXPECT_EQ(st.Zextension, 50);
    EXPECT_EQ(st.ExtensionVP, 0.5);
    measure::SetLineExtension(rig.p(), "10", "-2000", "-1.7");
    EXPECT_EQ(st.Zextension, 50);
    EXPECT_EQ(st.ExtensionVP, 1);
    measure::SetLineExtension(rig.p(), "10", "-300", "-0.8");
    EXPECT_EQ(st.Zextension, 300);
    EXPECT_EQ(st.ExtensionVP, 0.8);
    measure::SetLineExtension(rig.p(), "0.00001", "50", "1");
    EXPECT_EQ(st.ExtensionFlag, 0);
}

TEST(LineExtension, TheDialogTakesItsTextsAndRefusesANonLength) {
    test::TestRig rig;
    auto& st = rig.st();
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        EXPECT_EQ(f.title, " Line Extension");
        EXPECT_EQ(f.fields.at(1).text, "0");
        f.fields[1].text = "2f";
        f.fields[2].text = "50";
        f.fields[3].text = "0.8";
        return platform::FormOk;
    });
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        EXPECT_EQ(f.fields.at(1).text, "60.96");
        f.fields[1].text = "abc";
        return platform::FormOk;
    });
    rig.ui.createMainWindow(0, 0, 800, 600);
    measure::LineExtensionDialog(rig.p());
    EXPECT_NEAR(st.ExtensionLength, 0.6096, 1e-12);
    EXPECT_EQ(st.ExtensionFlag, 1);
    EXPECT_EQ(st.ExtensionVP, 0.8);
    // The graph shows the extension while it is on.
    bool shown = false;
    for (const auto& t : rig.ui.canvas()->texts()) {
        shown = shown || t == "Extension=60.96cm";
    }
    EXPECT_TRUE(shown);
    measure::LineExtensionDialog(rig.p());
    EXPECT_NEAR(st.ExtensionLength, 0.6096, 1e-12);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "\"abc\" is not a length.");
}

TEST(LineExtension, DeEmbeddingGivesBackTheLoadAtTheFarEnd) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(1, 500);
    for (double length : {0.127, 1.5, -0.3, 7.0}) {
        for (double f : {0.5, 14.2, 99.0, 179.0}) {
            const double zext = 75;
            const double vp = 0.66;
            const double angle = 6.283185308 * length / (vp * 299.8);
            const Complex load(u(rng), u(rng) - 250);
            // The impedance a lossless line of electrical length beta l shows at its input.
            const double bl = f * angle;
            const Complex zin = zext * (load + J * zext * std::tan(bl)) / (zext + J * load * std::tan(bl));
            const Complex back = measure::DeEmbedLineExtension(zin, zext, angle, f);
            EXPECT_NEAR(std::abs(back - load) / std::abs(load), 0, 1e-9) << length << " m at " << f << " MHz";
        }
    }
    // A quarter-wave line (tan at its pole) still gives a finite answer: Zext^2 / Zin.
    const double quarter = (Pi / 2) / 10.0; // radians per MHz for 90 degrees at 10 MHz
    const Complex z = measure::DeEmbedLineExtension(Complex(100, 0), 50, quarter, 10);
    EXPECT_NEAR(z.real(), 25, 1e-6);
    EXPECT_NEAR(z.imag(), 0, 1e-6);
}

TEST(FeedLine, ReferToAntennaGivesBackTheAntennaImpedance) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(1, 400);
    for (double length : {20.0, 66.0, 150.0}) {
        for (double f : {1.8, 7.1, 14.2, 28.5, 144.0}) {
            const double z0 = 50, vf = 0.66, loss = 0.0035 / 8.686;
            const Complex antenna(u(rng), u(rng) - 200);
            // The input of a lossy line: Zin = Z0 (ZL + Z0 tanh gl) / (Z0 + ZL tanh gl).
            const Complex gl(loss * length * std::sqrt(f), 6.2831853 * length * f / (vf * 983.6));
            const Complex th = std::tanh(gl);
            const Complex zin = z0 * (antenna + z0 * th) / (z0 + antenna * th);
            const Complex back = measure::DeEmbedFeedLine(zin, z0, length, vf, loss, f);
            EXPECT_NEAR(std::abs(back - antenna) / std::abs(antenna), 0, 1e-9) << length << " ft at " << f;
        }
    }
    // Through ApplyCorr, with the option on and a matched line, 50 ohm stays 50 ohm.
    test::TestRig rig;
    auto& st = rig.st();
    st.RawMode = 0;
    st.RefToAntenna = 1;
    st.Z0real = 50;
    auto& ip = rig.p().ip;
    ip.ip_short_re[0] = 0;
    ip.ip_open_re[0] = 1e9;
    ip.ip_factor_re[0] = 1e9;
    st.CalIndex = 0;
    st.RsRaw = 0;
    st.XsRaw = 0;
    st.freq = 14.2;
    measure::ApplyCorr(rig.p());
    EXPECT_NEAR(rig.p().point.rs, 50, 1e-3);
    EXPECT_NEAR(rig.p().point.xs, 0, 1e-3);
    // A 20 ft line with an open end at 14.2 MHz: the corrected reading is what a line shows at
    // its input; referred to the antenna it becomes the open (very large) again.
    const double bl = 6.2831853 * 20 * 14.2 / (0.66 * 983.6);
    const Complex zinOpen = -J * 50.0 / std::tan(bl);
    st.RefToAntenna = 0;
    st.loss = 0;
    st.RsRaw = zinOpen.real() - 50;
    st.XsRaw = zinOpen.imag();
    measure::ApplyCorr(rig.p());
    const double unreferred = rig.p().point.zmag;
    st.RefToAntenna = 1;
    measure::ApplyCorr(rig.p());
    EXPECT_GT(rig.p().point.zmag, 1000 * unreferred);
}

TEST(FeedLine, TheDialogSetsTheLineAndTheOption) {
    test::TestRig rig;
    auto& st = rig.st();
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        EXPECT_EQ(f.title, " Refer to Antenna");
        EXPECT_FALSE(f.fields.at(0).checked);
        EXPECT_EQ(f.fields.at(2).text, "20");
        EXPECT_EQ(f.fields.at(4).text, "0.3500");
        EXPECT_EQ(f.fields.at(1).text, "50");
        f.fields[0].checked = true;
        f.fields[1].text = "75";
        f.fields[2].text = "66";
        f.fields[3].text = "0.8";
        f.fields[4].text = "1.2";
        return platform::FormOk;
    });
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        f.fields[3].text = "x";
        return platform::FormOk;
    });
    measure::ReferToAntennaDialog(rig.p());
    EXPECT_EQ(st.RefToAntenna, 1);
    EXPECT_EQ(st.cable_length, 66);
    EXPECT_EQ(st.VF, 0.8);
    EXPECT_NEAR(st.loss, 1.2 / 100 / 8.686, 1e-15);
    // The line's impedance is the system's Zo, and the Smith reference that was equal follows it.
    EXPECT_EQ(st.Z0real, 75);
    EXPECT_EQ(st.Zsm_real, 75);
    measure::ReferToAntennaDialog(rig.p());
    EXPECT_EQ(st.VF, 0.8);
    EXPECT_EQ(rig.ui.messages().size(), 1u);
    // An impedance the correction cannot use is refused and changes nothing.
    rig.ui.formAnswers.push_back([](platform::Form& f) {
        f.fields[1].text = "2";
        f.fields[2].text = "10";
        return platform::FormOk;
    });
    measure::ReferToAntennaDialog(rig.p());
    EXPECT_EQ(st.Z0real, 75);
    EXPECT_EQ(st.cable_length, 66);
    EXPECT_EQ(rig.ui.messages().size(), 2u);
}
