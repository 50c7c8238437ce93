// The cal table on the sweep grid: quadratic interpolation, the centring rules, the low-frequency
// average of the standard grid, and grid points outside the table.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "cal/cal_file.h"
#include "core/cal_table.h"
#include "measure/correction.h"
#include "measure/interpolation.h"
#include "support/test_rig.h"

using namespace vna;
using Complex = std::complex<double>;

namespace {

// A rig with a calibration in force whose six arrays follow the functions given of the frequency
// of each cal index.
struct CalRig : test::TestRig {
    CalRig() {
        core::ResetToDefaults(st(), 2026, 12, 7);
        ui.createMainWindow(0, 0, 1000, 700);
        st().InstrumentPresent = 1;
        st().porta_cal_ok = 1;
    }
    core::CalTable& cal() { return p().cal; }

    template <class F> void standard(int n, F value) {
        core::CalTable& c = cal();
        c.custom_cal = 0;
        c.cal_points = n;
        c.cal_resistor = 50;
        for (int k = 0; k < n; ++k) {
            fill(k, core::StandardGridFreq(k), value);
        }
        core::SetGridInUse(c, 0.005, 180);
    }
    template <class F> void custom(double start, double end, double step, int n, F value) {
        core::CalTable& c = cal();
        c.custom_cal = 1;
        c.custom_start_freq = start;
        c.custom_end_freq = end;
        c.custom_delta_freq = step;
        c.cal_points = n;
        c.cal_resistor = 50;
        for (int k = 0; k < n; ++k) {
            fill(k, core::CustomGridFreq(c, k), value);
        }
        core::SetGridInUse(c, 0.005, 180);
    }
    template <class F> void fill(int k, double f, F value) {
        core::CalTable& c = cal();
        const auto u = static_cast<std::size_t>(k);
        c.short_re[u] = value(0, f);
        c.short_im[u] = value(1, f);
        c.open_re[u] = value(2, f);
        c.open_im[u] = value(3, f);
        c.std_re[u] = value(4, f);
        c.std_im[u] = value(5, f);
    }
    void grid(double start, double step, int n) {
        st().start_freq = start;
        st().end_freq = start + step * (n - 1);
        st().delta_freq = step;
        st().scan_points = n;
        // The graph's axis as a redraw leaves it (the custom-cal check looks at its end).
        p().display.g.axis.plotStart = start;
        p().display.g.axis.plotStop = st().end_freq;
    }
};

// Smooth, different and far from each other: what raw readings of the three standards look like.
double Smooth(int array, double f) {
    switch (array) {
        case 0:
            return 62 + 0.05 * f + 3 * std::sin(f / 40);
        case 1:
            return 0.47 * f - 0.0004 * f * f;
        case 2:
            return 3000 + 20000 / (1 + f);
        case 3:
            return -200 * std::cos(f / 30);
        case 4:
            return 125 + 0.1 * f;
        default:
            return 0.2 * f;
    }
}

// A quadratic in f per array: the interpolation reproduces it exactly anywhere inside the table.
double Quadratic(int array, double f) {
    const double a[6] = {62, 0.1, 3000, -20, 125, 4};
    const double b[6] = {0.3, 0.47, -9, 1.5, 0.1, 0.2};
    const double c[6] = {0.001, -0.0004, 0.02, -0.003, 0.0002, 0.0001};
    return a[array] + b[array] * f + c[array] * f * f;
}

double IpValue(const core::InterpolatedCal& ip, int array, int i) {
    const core::IpArray* a[6] = {&ip.ip_short_re, &ip.ip_short_im,  &ip.ip_open_re,
                                 &ip.ip_open_im,  &ip.ip_factor_re, &ip.ip_factor_im};
    return (*a[array])[static_cast<std::size_t>(i)];
}

} // namespace

TEST(Interpolation, PointsOnTheCalGridReturnTheCalValuesAndTheResistorFactor) {
    CalRig rig;
    rig.standard(921, Smooth);
    rig.grid(1.0, 0.2, 200);
    measure::BuildInterpolation(rig.p());
    ASSERT_TRUE(rig.ui.messages().empty());
    const auto& c = rig.cal();
    const auto& ip = rig.p().ip;
    for (int i = 0; i < 200; ++i) {
        const auto k = static_cast<std::size_t>(24 + i); // 1.0 MHz is index 24
        EXPECT_NEAR(ip.ip_short_re[static_cast<std::size_t>(i)], c.short_re[k],
                    1e-9 * std::fabs(c.short_re[k]));
        EXPECT_NEAR(ip.ip_short_im[static_cast<std::size_t>(i)], c.short_im[k],
                    1e-9 * std::fabs(c.short_im[k]) + 1e-12);
        EXPECT_NEAR(ip.ip_open_re[static_cast<std::size_t>(i)], c.open_re[k], 1e-9 * c.open_re[k]);
        const Complex kf = measure::ResistorFactor(
            {c.short_re[k], c.short_im[k]}, {c.open_re[k], c.open_im[k]}, {c.std_re[k], c.std_im[k]}, 50);
        EXPECT_NEAR(ip.ip_factor_re[static_cast<std::size_t>(i)], kf.real(), 1e-7 * std::abs(kf));
        EXPECT_NEAR(ip.ip_factor_im[static_cast<std::size_t>(i)], kf.imag(), 1e-7 * std::abs(kf));
    }
}

TEST(Interpolation, AQuadraticTableIsReproducedBetweenTheCalPoints) {
    CalRig rig;
    // The standard grid: index 19 stands for f = 0 once the first four points are averaged in.
    rig.standard(921, [](int a, double f) { return Quadratic(a, f < 0.1 ? 0 : f); });
    rig.cal().short_re[19] = 1e6; // replaced by the average of indices 0..3
    rig.grid(0.1037, 0.0731, 2400);
    measure::BuildInterpolation(rig.p());
    ASSERT_TRUE(rig.ui.messages().empty());
    for (int i = 0; i < 2400; ++i) {
        const double f = 0.1037 + 0.0731 * i;
        for (int a = 0; a < 4; ++a) {
            EXPECT_NEAR(IpValue(rig.p().ip, a, i), Quadratic(a, f), 1e-8 * std::fabs(Quadratic(a, f)) + 1e-9)
                << "array " << a << " at " << f << " MHz";
        }
    }
    // A custom grid: index 2 is the start, two points lie below it.
    CalRig custom;
    custom.custom(10, 20, 0.05, 205, Quadratic);
    custom.grid(10.013, 0.0071, 1400);
    measure::BuildInterpolation(custom.p());
    ASSERT_TRUE(custom.ui.messages().empty());
    for (int i = 0; i < 1400; ++i) {
        const double f = 10.013 + 0.0071 * i;
        EXPECT_NEAR(IpValue(custom.p().ip, 2, i), Quadratic(2, f), 1e-8 * Quadratic(2, f)) << f;
        EXPECT_NEAR(IpValue(custom.p().ip, 1, i), Quadratic(1, f), 1e-8) << f;
    }
}

TEST(Interpolation, CentringRulesAtTheDocumentedFrequencies) {
    CalRig rig;
    rig.standard(921, Smooth);
    const core::CalTable& c = rig.cal();
    // 0.15 MHz: index 19 becomes the centre 20 with t = -0.25 (points 19, 20 and 21).
    auto pos = measure::LocateOnCalGrid(c, 0.15, 0);
    EXPECT_EQ(pos.index, 19);
    EXPECT_EQ(pos.k, 20);
    EXPECT_NEAR(pos.t, -0.25, 1e-12);
    const double y0 = c.short_re[19], y1 = c.short_re[20], y2 = c.short_re[21];
    const double expected = y1 + -0.25 * ((y2 - y0) * 0.5 + -0.25 * (((y0 - 2 * y1) + y2) * 0.5));
    EXPECT_DOUBLE_EQ(measure::QuadraticAt(c.short_re, pos.k, pos.t), expected);
    // 0.35 MHz: index 20 with t = 0.75 moves to centre 21 with t = -0.25.
    pos = measure::LocateOnCalGrid(c, 0.35, 0);
    EXPECT_EQ(pos.index, 20);
    EXPECT_EQ(pos.k, 21);
    EXPECT_NEAR(pos.t, -0.25, 1e-12);
    // 1.0 MHz is index 24 itself.
    pos = measure::LocateOnCalGrid(c, 1.0, 0);
    EXPECT_EQ(pos.k, 24);
    EXPECT_NEAR(pos.t, 0, 1e-12);
    EXPECT_FALSE(pos.below || pos.beyond);

    // The last cal point: the centre is not moved forward and nothing past the table is read.
    CalRig last;
    last.standard(60, Smooth); // index 59 is 8.0 MHz
    for (core::CalArray* a : {&last.cal().short_re, &last.cal().open_re, &last.cal().std_re}) {
        (*a)[60] = std::numeric_limits<double>::quiet_NaN();
    }
    pos = measure::LocateOnCalGrid(last.cal(), 8.0, 0);
    EXPECT_EQ(pos.index, 59);
    EXPECT_FALSE(pos.beyond);
    EXPECT_LE(pos.k + 1, 59);
    EXPECT_NEAR(measure::QuadraticAt(last.cal().short_re, pos.k, pos.t), last.cal().short_re[59], 1e-12);
    last.grid(7.8, 0.05, 5); // 7.8 .. 8.0
    measure::BuildInterpolation(last.p());
    EXPECT_TRUE(last.ui.messages().empty());
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(std::isfinite(IpValue(last.p().ip, 0, i)) && std::isfinite(IpValue(last.p().ip, 4, i)));
    }
    EXPECT_NEAR(IpValue(last.p().ip, 0, 4), last.cal().short_re[59], 1e-9);
}

TEST(Interpolation, TheStandardLowFrequencyAverageIsMadeOnce) {
    CalRig rig;
    rig.standard(921, Smooth);
    auto& c = rig.cal();
    c.short_re[0] = 1;
    c.short_re[1] = 2;
    c.short_re[2] = 4;
    c.short_re[3] = 9;
    rig.grid(0.11, 0.013, 100);
    measure::BuildInterpolation(rig.p());
    EXPECT_EQ(c.short_re[0], 4);
    EXPECT_EQ(c.short_re[3], 4);
    EXPECT_EQ(c.short_re[19], 4);
    EXPECT_EQ(c.short_re[4], Smooth(0, 0.025)); // index 4 and on are kept
    const auto once = std::make_unique<core::InterpolatedCal>(rig.p().ip);
    const auto table = std::make_unique<core::CalTable>(c);
    measure::BuildInterpolation(rig.p());
    EXPECT_EQ(once->ip_short_re, rig.p().ip.ip_short_re);
    EXPECT_EQ(once->ip_factor_im, rig.p().ip.ip_factor_im);
    EXPECT_EQ(table->open_im, c.open_im);
    EXPECT_EQ(table->short_re, c.short_re);
    // The custom grid has no such average.
    CalRig custom;
    custom.custom(1, 10, 0.1, 93, Smooth);
    const double before = custom.cal().short_re[0];
    custom.grid(1, 0.1, 50);
    measure::BuildInterpolation(custom.p());
    EXPECT_EQ(custom.cal().short_re[0], before);
    EXPECT_EQ(custom.cal().firstcalndx, 1);
}

TEST(Interpolation, AGridBelowOrPastTheTableIsReportedWhenTheCalIsInUse) {
    CalRig rig;
    rig.custom(10, 20, 0.1, 103, Smooth);
    rig.st().plot_at_zero = 0;
    rig.grid(9.5, 0.1, 30); // starts 3 cal steps below the custom start: index -3
    rig.p().ip.ip_short_re.fill(-7);
    measure::BuildInterpolation(rig.p());
    std::vector<std::string> captions;
    for (const auto& m : rig.ui.messages()) {
        captions.push_back(m.caption);
    }
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.back(), " 23827 ");
    EXPECT_EQ(rig.ui.messages().back().text,
              "Interpolation error. NDX =  -3\rtestfreq= 9.5000 caldelta= 0.1000  customstartfreq= 10\r"
              "firstcalndx= 1\r\r          INVALID cal file");
    EXPECT_EQ(rig.st().porta_cal_ok, 0);
    EXPECT_EQ(rig.st().portb_cal_ok, 0);
    EXPECT_EQ(rig.p().ip.ip_short_re[0], -7); // the build stopped there

    // The same grid without a valid cal: no message, and every value is the table's nearest end.
    rig.ui.calls.clear();
    measure::BuildInterpolation(rig.p());
    for (const auto& m : rig.ui.messages()) {
        EXPECT_NE(m.caption, " 23827 ");
    }
    EXPECT_NEAR(rig.p().ip.ip_short_re[0], rig.cal().short_re[1], 1e-9);
    for (int i = 0; i < 30; ++i) {
        EXPECT_TRUE(std::isfinite(IpValue(rig.p().ip, 0, i)) && std::isfinite(IpValue(rig.p().ip, 5, i)));
    }

    // A standard table that stops at 6.2 MHz while the grid goes on to 20 MHz.
    CalRig shortTable;
    shortTable.standard(50, Smooth);
    shortTable.grid(1, 0.5, 39);
    measure::BuildInterpolation(shortTable.p());
    ASSERT_FALSE(shortTable.ui.messages().empty());
    EXPECT_EQ(shortTable.ui.messages().back().caption, " 23827 ");
    EXPECT_EQ(shortTable.st().porta_cal_ok, 0);
}

TEST(Interpolation, NothingHappensWithoutAnInstrumentOrATable) {
    CalRig demo;
    demo.standard(921, Smooth);
    demo.st().InstrumentPresent = 0;
    demo.grid(1, 0.2, 10);
    demo.cal().short_re[0] = 99;
    measure::BuildInterpolation(demo.p());
    EXPECT_EQ(demo.cal().short_re[0], 99);
    EXPECT_EQ(demo.p().ip.ip_short_re[0], 0);

    CalRig empty; // no cal loaded: no grid step, no points
    empty.grid(1, 0.2, 10);
    measure::BuildInterpolation(empty.p());
    EXPECT_EQ(empty.p().ip.ip_short_re[0], 0);
    empty.st().freq = 3;
    measure::InterpolateAtFreq(empty.p());
    EXPECT_EQ(empty.p().point.rs, 0);
}

TEST(Interpolation, SingleFrequencyBelowTheTableSaysSoAndStaysFinite) {
    CalRig rig;
    rig.custom(10, 20, 0.1, 103, Smooth);
    rig.st().freq = 5;
    rig.st().RsRaw = 20;
    rig.st().XsRaw = 5;
    measure::InterpolateAtFreq(rig.p());
    const auto texts = rig.ui.canvas()->texts();
    bool said = false;
    for (const auto& t : texts) {
        said = said || t == "   Interpolation error. NDX =  -48";
    }
    EXPECT_TRUE(said);
    EXPECT_TRUE(std::isfinite(rig.p().point.rs) && std::isfinite(rig.p().point.zmag));

    // Inside the table the readout is the correction with the values interpolated at freq: with a
    // quadratic table exactly the values of the quadratic.
    CalRig q;
    q.custom(10, 20, 0.1, 103, Quadratic);
    q.st().freq = 14.237;
    q.st().RsRaw = 70;
    q.st().XsRaw = 12;
    measure::InterpolateAtFreq(q.p());
    const double f = 14.237;
    const Complex s(Quadratic(0, f), Quadratic(1, f)), o(Quadratic(2, f), Quadratic(3, f)),
        r(Quadratic(4, f), Quadratic(5, f));
    const Complex z = measure::ThreeStandardCorrection({120, 12}, s, o, measure::ResistorFactor(s, o, r, 50));
    EXPECT_NEAR(q.p().point.rs, z.real(), 1e-8 * std::abs(z));
    EXPECT_NEAR(q.p().point.xs, z.imag(), 1e-8 * std::abs(z));
}
