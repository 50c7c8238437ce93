// Correction accuracy end to end: the simulated unit writes the cal file of its own standards, the
// program loads it against the unit's ID and range, measures devices of known impedance and
// corrects the readings with the interpolated cal values.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "cal/cal_file.h"
#include "core/cal_table.h"
#include "instrument/date_code.h"
#include "instrument/identification.h"
#include "instrument/raw_reading.h"
#include "measure/correction.h"
#include "measure/interpolation.h"
#include "sim/dut.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"

using namespace vna;
using test::SimTest;
using Complex = std::complex<double>;

namespace {

// Identifies the unit as the start-up does (so `instrument_id` is the unit's), writes the unit's
// cal file and loads it with the instrument present.
void LoadUnitCal(test::SimRig& r) {
    instrument::IdentifyInstrument(r.p(), 1);
    instrument::ReadDateCode(r.p());
    ASSERT_EQ(r.st().instrument_id.size(), 12u);
    const std::string path = r.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(r.serial.unit, path, r.clock.now()));
    r.st().cal_file = path;
    r.ui.calls.clear();
    cal::LoadCalFile(r.p(), 0);
    ASSERT_EQ(r.st().LastError, 0);
    ASSERT_EQ(r.st().porta_cal_ok, 1);
    ASSERT_TRUE(r.ui.messages().empty()) << r.ui.messages()[0].text;
}

// Measures at f on a one-point grid the way a sweep does (interpolated cal values at index 0,
// `Measuring` set), and returns the corrected Rs + jXs and the frequency the unit produced.
Complex SweepPoint(test::SimRig& r, double f, double& actual) {
    auto& st = r.st();
    st.start_freq = f;
    st.delta_freq = 0.1;
    st.scan_points = 1;
    measure::BuildInterpolation(r.p());
    EXPECT_EQ(st.porta_cal_ok, 1);
    st.Measuring = 1;
    st.freq = f;
    instrument::MeasurePortAPoint(r.p());
    EXPECT_EQ(st.LastError, 0) << "at " << f << " MHz";
    actual = st.freq;
    st.CalIndex = 0;
    measure::ApplyCorr(r.p());
    st.Measuring = 0;
    return {r.p().point.rs, r.p().point.xs};
}

// The noise of a corrected reading at 16 averages: a few milliohm at the low end, growing with
// |Z| and, where the bridge's open reading is approached, with |Z| squared. The bound holds with
// a margin of about two over what the unit shows (2 ohm: 0.007; 50 ohm: 0.02; 1 kohm: 2.5;
// 2 kohm: 9 to 12).
double NoiseBound(Complex z) {
    const double m = std::abs(z);
    return 0.01 + 0.003 * m + 3e-6 * m * m;
}

} // namespace

TEST_F(SimTest, CorrectedImpedanceOfKnownDevicesAtGridAndOffGridFrequencies) {
    auto& r = rig();
    r.st().average = 16;
    LoadUnitCal(r);
    const std::vector<double> freqs = {1.0,  3.6,  14.2, 50.0,   100.0, 144.2, 179.8, // on the cal grid
                                       0.15, 0.35, 3.55, 14.123, 27.13, 88.05, 149.97, 177.77};
    constexpr int Readings = 8;
    double worstBias = 0;  // |mean - true| over its bound
    double worstNoise = 0; // sigma over its bound
    auto check = [&](const std::string& device, auto truth) {
        r.connect(device);
        for (double f : freqs) {
            std::vector<Complex> z;
            double actual = 0;
            Complex sum = 0;
            for (int i = 0; i < Readings; ++i) {
                z.push_back(SweepPoint(r, f, actual));
                sum += z.back();
                // The single-frequency readout corrects the same reading the same way.
                const core::ScanPoint swept = r.p().point;
                measure::InterpolateAtFreq(r.p());
                EXPECT_NEAR(std::abs(Complex(r.p().point.rs, r.p().point.xs) - z.back()), 0,
                            1e-6 * std::abs(z.back()) + 1e-9)
                    << device << " at " << f << " MHz";
                EXPECT_NEAR(swept.zmag, r.p().point.zmag, 1e-6 * swept.zmag + 1e-9);
            }
            const Complex mean = sum / double(Readings);
            double s2 = 0;
            for (const Complex& v : z) {
                s2 += std::norm(v - mean);
            }
            const double sigma = std::sqrt(s2 / (Readings - 1));
            const Complex expected = truth(actual * 1e6);
            // Unbiased: the mean lies within the noise of the mean, plus 1 milliohm and 0.02 % for
            // the interpolation between cal points and the 4 decimals of the cal file.
            const double biasBound =
                5 * sigma / std::sqrt(double(Readings)) + 0.001 + 0.0002 * std::abs(expected);
            const double bias = std::abs(mean - expected);
            worstBias = std::max(worstBias, bias / biasBound);
            worstNoise = std::max(worstNoise, sigma / NoiseBound(expected));
            EXPECT_LE(bias, biasBound) << device << " at " << f << " MHz: mean " << mean << ", true "
                                       << expected << ", sigma " << sigma;
            EXPECT_LE(sigma, NoiseBound(expected)) << device << " at " << f << " MHz";
        }
    };
    for (double ohms : {2.0, 5.0, 10.0, 25.0, 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0}) {
        check("resistor:r=" + std::to_string(ohms), [ohms](double) { return Complex(ohms, 0); });
    }
    check("rlc-series:r=30,l=1.2u,c=80p", [](double fHz) {
        const double w = 2 * std::numbers::pi * fHz;
        return Complex(30, w * 1.2e-6 - 1 / (w * 80e-12));
    });
    RecordProperty("worst_bias_over_bound", std::to_string(worstBias));
    RecordProperty("worst_noise_over_bound", std::to_string(worstNoise));
}
