// The simulator's physics, seen through the program's own measuring code.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "instrument/commands.h"
#include "instrument/raw_reading.h"
#include "sim/dut.h"
#include "sim/front_end.h"
#include "support/sim_rig.h"

using namespace vna;
using sim::Complex;
using test::SimTest;

namespace {

constexpr double Pi = std::numbers::pi;

// The frequency grid of the standard calibration up to 180 MHz.
std::vector<double> StandardCalGrid() {
    std::vector<double> grid;
    double f = 0.005;
    double step = 0.005;
    while (f < std::round(180 + 0.0001) + 0.2001) {
        grid.push_back(f);
        f += step;
        if (f > 0.0999 && f < 0.10001) {
            f = 0.1;
            step = 0.1;
        }
        if (f > 0.1999 && f < 0.2001) {
            f = 0.2;
            step = 0.2;
        }
    }
    return grid;
}

struct Reading {
    double magLoad;
    double magRef;
};

Reading MeasureA(test::SimRig& rig, double f) {
    rig.st().freq = f;
    instrument::MeasurePortAPoint(rig.p());
    EXPECT_EQ(rig.st().LastError, 0) << "at " << f << " MHz";
    return {rig.st().MagLoad, rig.st().MagRef};
}

Complex ProgramRaw(const core::AppState& st) {
    return {st.RsRaw + 50, st.XsRaw};
}

} // namespace

TEST_F(SimTest, StandardsPassTheCalibrationChecksAtEveryGridFrequency) {
    auto& shortRig = rig();
    auto& openRig = rig();
    auto& loadRig = rig();
    // The calibration's receiver settings.
    for (test::SimRig* r : {&shortRig, &openRig, &loadRig}) {
        r->st().PortA_Gain = 1;
        r->st().PortA_Sens = 2;
        r->st().average = 4;
        r->st().Measuring = 1;
    }
    shortRig.connect("short");
    openRig.connect("open");
    loadRig.connect("resistor:r=50");
    const auto grid = StandardCalGrid();
    ASSERT_GT(grid.size(), 900u);
    EXPECT_NEAR(grid.back(), 180.2, 1e-6);
    double worstShort = 0, worstOpen = 1e9, worstLoad = 0;
    for (double f : grid) {
        const Reading s = MeasureA(shortRig, f);
        const Reading o = MeasureA(openRig, f);
        const Reading l = MeasureA(loadRig, f);
        const double shortRatio = std::fabs(s.magRef / s.magLoad) * 2;
        const double openRatio = std::fabs(o.magRef / o.magLoad) * 2;
        const double apparentR = 50 * (s.magLoad / l.magLoad - 1);
        EXPECT_TRUE(shortRatio >= 1.75 && shortRatio <= 3.25) << f << " MHz: short ratio " << shortRatio;
        EXPECT_GE(openRatio, 100) << f << " MHz: open ratio " << openRatio;
        EXPECT_LE(std::fabs(apparentR - 50) / 50, 0.25) << f << " MHz: resistor looks like " << apparentR;
        worstShort = std::max(worstShort, std::fabs(shortRatio - 2.5));
        worstOpen = std::min(worstOpen, openRatio);
        worstLoad = std::max(worstLoad, std::fabs(apparentR - 50) / 50);
        if (HasFailure()) {
            break;
        }
    }
    // Margins, for the record of the run.
    RecordProperty("short_ratio_max_deviation", std::to_string(worstShort));
    RecordProperty("open_ratio_min", std::to_string(worstOpen));
    RecordProperty("resistor_max_relative_error", std::to_string(worstLoad));
}

TEST(SimBridge, TheBridgeIsTheOnePortErrorNetwork) {
    const sim::Bridge b;
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-500, 500);
    for (double f : {0.01e6, 1e6, 30e6, 180e6}) {
        EXPECT_NEAR(std::abs(b.Raw(0, f) - b.Es(f)), 0, 1e-9);
        EXPECT_NEAR(std::abs(b.Raw(1e18, f) - b.Eo(f)) / std::abs(b.Eo(f)), 0, 1e-9);
        for (int i = 0; i < 20; ++i) {
            const Complex z(std::fabs(u(rng)), u(rng));
            const Complex expected = (z * b.Eo(f) + b.K(f) * b.Es(f)) / (z + b.K(f));
            EXPECT_NEAR(std::abs(b.Raw(z, f) - expected) / std::abs(expected), 0, 1e-12);
        }
    }
    // The terms depend on frequency (the raw values are not ideal anywhere).
    EXPECT_GT(std::abs(b.Es(180e6) - b.Es(1e6)), 1);
    EXPECT_GT(std::abs(b.Eo(1e6)), 50 * std::abs(b.Eo(180e6)));
}

TEST_F(SimTest, ResistorRawImpedanceIsWhatTheBridgeModelPredicts) {
    auto& r = rig();
    r.serial.unit.frontEnd.noiseLsb = 0;
    r.st().average = 16;
    const sim::Bridge& bridge = r.serial.unit.frontEnd.bridge;
    for (double ohms : {5.0, 50.0, 200.0, 1000.0}) {
        r.connect("resistor:r=" + std::to_string(ohms));
        for (double f : {0.5, 3.5, 14.2, 50.3, 144.0}) {
            r.st().freq = f;
            instrument::MeasurePortAPoint(r.p());
            ASSERT_EQ(r.st().LastError, 0);
            const Complex predicted = bridge.Raw(ohms, r.st().freq * 1e6);
            const Complex measured = ProgramRaw(r.st());
            EXPECT_NEAR(std::abs(measured - predicted) / std::abs(predicted), 0, 2e-3)
                << ohms << " ohm at " << f << " MHz: measured " << measured << " predicted " << predicted;
        }
    }
    // Port A sensitivity 1 halves the load channel: the raw value doubles.
    r.connect("resistor:r=50");
    r.st().freq = 10;
    instrument::MeasurePortAPoint(r.p());
    const double atSens2 = std::abs(ProgramRaw(r.st()));
    r.st().PortA_Sens = 1;
    instrument::SendGains(r.p());
    instrument::MeasurePortAPoint(r.p());
    EXPECT_NEAR(std::abs(ProgramRaw(r.st())) / atSens2, 2, 0.01);
}

TEST_F(SimTest, NoiseShrinksWithTheAveragingCount) {
    auto& r = rig();
    r.connect("resistor:r=50");
    auto spread = [&](int average) {
        instrument::SetAveraging(r.p(), average);
        std::vector<double> phases;
        for (int i = 0; i < 400; ++i) {
            r.st().freq = 10;
            instrument::MeasurePortAPoint(r.p());
            phases.push_back(r.st().PhaseDiff);
        }
        double mean = 0;
        for (double v : phases) {
            mean += v;
        }
        mean /= phases.size();
        double var = 0;
        for (double v : phases) {
            var += (v - mean) * (v - mean);
        }
        return std::sqrt(var / (phases.size() - 1));
    };
    const double s1 = spread(1);
    const double s16 = spread(16);
    const double s256 = spread(256);
    EXPECT_GT(s1, 0); // there is noise at all
    EXPECT_NEAR(s1 / s16, 4, 1.6);
    EXPECT_NEAR(s16 / s256, 4, 1.6);
}

TEST_F(SimTest, PortBReceiverGainsSensitivitiesAndPhaseOffsets) {
    auto& r = rig();
    r.serial.unit.frontEnd.noiseLsb = 0;
    r.serial.unit.frontEnd.leakageDb = -300; // no crosstalk to blur the steps
    r.st().average = 16;
    r.connect("attenuator:db=50,delay=0");
    r.st().PortBMode = 1;
    auto measure = [&](int gain, int sens) {
        r.st().PortB_Gain = gain;
        r.st().PortB_Sens = sens;
        instrument::SendGains(r.p());
        r.st().freq = 5;
        instrument::MeasurePortBPoint(r.p());
        EXPECT_EQ(r.st().LastError, 0);
        return std::pair{20 * std::log10(r.st().MagLoad / r.st().MagRef), r.st().PhaseDiff};
    };
    const auto [db1, ph1] = measure(1, 1);
    // 50 dB down plus the receiver's roll-off, nothing else.
    const Complex rx = r.serial.unit.frontEnd.PortBGain(1, 1, 5e6);
    EXPECT_NEAR(db1, -50 + 20 * std::log10(std::abs(rx)), 0.05);
    // Each gain step against the one below, with a path loss that keeps both well inside the
    // converter's range.
    const double steps[] = {0, 13.7, 27.4, 41.3, 53.9};
    const double phases[] = {0, 0.2, 2.4, 6.2, 6.7};
    for (int g = 2; g <= 5; ++g) {
        r.connect("attenuator:delay=0,db=" + std::to_string(steps[g - 1] + 3));
        const auto [dbLow, phLow] = measure(g - 1, 1);
        const auto [db, ph] = measure(g, 1);
        EXPECT_NEAR(db - dbLow, steps[g - 1] - steps[g - 2], 0.02) << "gain " << g;
        EXPECT_NEAR((ph - phLow) * 180 / Pi, phases[g - 1] - phases[g - 2], 0.05) << "gain " << g;
    }
    r.connect("attenuator:delay=0,db=50");
    const auto [dbHigh, phHigh] = measure(3, 2);
    EXPECT_NEAR(dbHigh - db1, 27.4 + 12.1, 0.05);
    (void)phHigh;

    // A through cable at full gain drives the converter into its rails: the overload test fires.
    r.connect("through");
    r.st().PortB_on = 1;
    r.st().PortB_Gain = 1;
    r.st().PortB_Sens = 2;
    instrument::SendGains(r.p());
    instrument::MeasurePortBPoint(r.p());
    EXPECT_EQ(r.st().AdcWords[32], 0xFFFF);
    EXPECT_EQ(r.st().ReadingValid, 0);
    // A sample held at the lower rail can also read as a lost reference (code 17), which the
    // reading checks test after the overload.
    EXPECT_TRUE(r.st().LastError == 1274 || r.st().LastError == 17) << r.st().LastError;
}

TEST(SimDevices, ImpedancesFollowTheirCircuits) {
    auto dut = [](const std::string& text) {
        std::string error;
        auto d = sim::ParseDut(text, &error);
        EXPECT_TRUE(d) << text << ": " << error;
        return d.value_or(sim::Dut{});
    };
    // Series RLC: R at resonance, inductive above, capacitive below.
    const auto rlc = dut("rlc-series:r=30,l=1.2u,c=80p");
    const double f0 = 1 / (2 * Pi * std::sqrt(1.2e-6 * 80e-12));
    EXPECT_NEAR(sim::PortAImpedance(rlc, f0).real(), 30, 1e-9);
    EXPECT_NEAR(sim::PortAImpedance(rlc, f0).imag(), 0, 1e-6);
    EXPECT_GT(sim::PortAImpedance(rlc, 2 * f0).imag(), 0);
    EXPECT_LT(sim::PortAImpedance(rlc, f0 / 2).imag(), 0);
    // Parallel RLC: R at resonance.
    const auto tank = dut("rlc-parallel:r=2k,l=1u,c=100p");
    const double ft = 1 / (2 * Pi * std::sqrt(1e-6 * 100e-12));
    EXPECT_NEAR(std::abs(sim::PortAImpedance(tank, ft)), 2000, 1e-6);
    // Crystal: the motional resistance at series resonance, a high impedance just above it.
    const auto xtal = dut("crystal:rm=20,lm=25.3m,cm=10f,c0=4p");
    const double fs = 1 / (2 * Pi * std::sqrt(25.3e-3 * 10e-15));
    EXPECT_NEAR(sim::PortAImpedance(xtal, fs).real(), 20, 0.1);
    const double fp = fs * std::sqrt(1 + 10e-15 / 4e-12);
    EXPECT_GT(std::abs(sim::PortAImpedance(xtal, fp)), 10000);
    // A quarter-wave line: a short end looks open, an open end looks shorted; a matched end is z0.
    const double quarter = 0.66 * 299792458.0 / (4 * 10e6);
    const auto shorted = dut("line:len=" + std::to_string(quarter) + ",z0=50,vf=0.66,loss=0,end=short");
    const auto open = dut("line:len=" + std::to_string(quarter) + ",z0=50,vf=0.66,loss=0,end=open");
    const auto matched = dut("line:len=30,z0=75,vf=0.8,end=75");
    EXPECT_GT(std::abs(sim::PortAImpedance(shorted, 10e6)), 1e5);
    EXPECT_LT(std::abs(sim::PortAImpedance(open, 10e6)), 1e-3);
    EXPECT_NEAR(std::abs(sim::PortAImpedance(matched, 17e6) - Complex(75)), 0, 1e-6);
    // A lossy line hides its end more and more as the frequency rises.
    const auto lossy = dut("line:len=30,z0=50,vf=0.66,loss=10,end=short");
    EXPECT_LT(std::abs(sim::PortAImpedance(lossy, 150e6) - Complex(50)),
              std::abs(sim::PortAImpedance(lossy, 1e6) - Complex(50)));
    // The antenna: rr at resonance, capacitive below, high impedance near twice the resonance.
    const auto dipole = dut("antenna:f0=14.1,zc=600,rr=73");
    EXPECT_NEAR(sim::PortAImpedance(dipole, 14.1e6).real(), 73, 2);
    EXPECT_NEAR(sim::PortAImpedance(dipole, 14.1e6).imag(), 0, 1e-6);
    EXPECT_LT(sim::PortAImpedance(dipole, 7e6).imag(), -100);
    EXPECT_GT(std::abs(sim::PortAImpedance(dipole, 28.2e6)), 3000);
    // The band-pass: lossless without insertion loss, 3 dB down at the band edges, input 50 ohm
    // in the pass band.
    const auto bp = dut("bandpass:f0=10.7,bw=0.4,order=4,il=0");
    for (double f : {9.0e6, 10.5e6, 10.7e6, 10.9e6, 13e6}) {
        const Complex s21 = sim::Transmission(bp, f);
        const Complex zin = sim::PortAImpedance(bp, f);
        const Complex s11 = (zin - 50.0) / (zin + 50.0);
        EXPECT_NEAR(std::norm(s21) + std::norm(s11), 1, 1e-9) << f;
    }
    const double fl = (-0.4 + std::sqrt(0.16 + 4 * 10.7 * 10.7)) / 2; // lower edge: f - f0^2/f = -bw
    EXPECT_NEAR(20 * std::log10(std::abs(sim::Transmission(bp, fl * 1e6))), -3.0103, 1e-3);
    EXPECT_NEAR(std::abs(sim::Transmission(bp, 10.7e6)), 1, 1e-12);
    EXPECT_LT(20 * std::log10(std::abs(sim::Transmission(bp, 12e6))), -60);
    // The attenuator and the one-ports at Port B.
    EXPECT_NEAR(std::abs(sim::Transmission(dut("attenuator:db=20"), 5e6)), 0.1, 1e-12);
    EXPECT_EQ(sim::Transmission(dut("resistor:r=50"), 5e6), Complex(0));
    EXPECT_NEAR(std::abs(sim::PortAImpedance(dut("through"), 5e6) - Complex(50)), 0, 1e-9);

    // Descriptions that are not understood say why.
    std::string error;
    EXPECT_FALSE(sim::ParseDut("capacitor:c=1p", &error));
    EXPECT_NE(error.find("capacitor"), std::string::npos);
    EXPECT_FALSE(sim::ParseDut("resistor:r=abc", &error));
    EXPECT_FALSE(sim::ParseDut("resistor:x=1", &error));
    EXPECT_FALSE(sim::ParseDut("bandpass:order=0", &error));
    EXPECT_FALSE(sim::ParseDut("line:vf=1.5", &error));
    EXPECT_EQ(sim::ParseSiNumber("80p").value(), 80e-12);
    EXPECT_EQ(sim::ParseSiNumber("2k").value(), 2000);
    EXPECT_FALSE(sim::ParseSiNumber("k"));
}

TEST_F(SimTest, MuxChannelsShiftPortBAndChannelZeroConnectsNothing) {
    auto& r = rig();
    r.serial.unit.frontEnd.noiseLsb = 0;
    r.serial.unit.muxFitted = true;
    r.st().average = 16;
    r.connect("through");
    r.st().PortBMode = 1;
    auto s21 = [&](int channel) {
        instrument::SetExpansionPort(r.p(), channel);
        r.st().freq = 2;
        instrument::MeasurePortBPoint(r.p());
        return std::pair{20 * std::log10(r.st().MagLoad / r.st().MagRef), r.st().PhaseDiff * 180 / Pi};
    };
    const auto [db1, deg1] = s21(1);
    const auto [db3, deg3] = s21(3);
    EXPECT_NEAR(db3 - db1, -1.0, 0.05);
    // Channel 3's line is 0.8 ns longer than channel 1's.
    EXPECT_NEAR(deg3 - deg1, -30 - 360 * 2e6 * 0.8e-9, 0.2);
    EXPECT_LT(s21(0).first, db1 - 80);
    // A MUX that refuses channel 3 stays on the channel it was on.
    r.serial.unit.faults.muxRefuse = 1 << 3;
    s21(1);
    const auto [stuckDb, stuckDeg] = s21(3);
    EXPECT_NEAR(stuckDb, db1, 0.05);
    EXPECT_NEAR(stuckDeg, deg1, 0.2);
}
