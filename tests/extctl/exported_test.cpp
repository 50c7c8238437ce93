// The exported functions of external control against the simulated unit: corrected points of
// both ports, the codes of their edge cases, and bad arguments.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "extctl/exported.h"
#include "measure/sweep_support.h"
#include "sim/dut.h"
#include "sim/front_end.h"

using namespace vna;
using test::Complex;
using test::SimTest;

namespace {

// What every exported function does around its body.
template <class F> auto Call(test::SimRig& r, F&& f) {
    extctl::ExternalCallScope scope(r.p());
    EXPECT_EQ(r.st().ExternalCall, 1);
    return f(r.p());
}

} // namespace

TEST_F(SimTest, ExportedPointsAreThisPointCorrectedWithTheLoadedCal) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    core::AppState& st = r.st();
    instrument::SetRelays(r.p(), 0);
    st.RelaysSet = 0;
    double rs = 0, xs = 0;
    // Each point is its own: a device changed between two points shows at once, whatever an
    // earlier sweep or point left in the program.
    for (const char* device :
         {"rlc-series:r=30,l=1.2u,c=80p", "resistor:r=75", "rlc-parallel:r=2000,l=1u,c=100p"}) {
        r.serial.unit.dut = *sim::ParseDut(device);
        for (double f : {3.5, 16.244, 29.9}) {
            ASSERT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 1, f, &rs, &xs); }), 0)
                << device << " at " << f;
            const Complex z = test::TrueZ(r, f);
            EXPECT_NEAR(rs, z.real(), test::ZTolerance(z)) << device << " at " << f;
            EXPECT_NEAR(xs, z.imag(), test::ZTolerance(z)) << device << " at " << f;
        }
    }
    EXPECT_EQ(st.ExternalCall, 0);
    EXPECT_TRUE(r.serial.unit.state().relay0) << "the first point switched the relays on";
    // Mode 2: the raw values of this reading.
    ASSERT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 2, 7.1, &rs, &xs); }), 0);
    EXPECT_EQ(rs, st.RsRaw);
    EXPECT_EQ(xs, st.XsRaw);

    // Port B through 20 dB: the corrected S21 and its phase, ranged into the receiver's good range.
    r.serial.unit.dut = *sim::ParseDut("attenuator:db=20");
    double db = 0, phase = 0;
    for (double f : {0.5, 10.0, 100.0}) {
        ASSERT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointB(p, 1, f, &db, &phase); }), 0)
            << f;
        EXPECT_NEAR(db, -20, 0.3) << f << " MHz";
        EXPECT_NEAR(phase, 0, 0.05) << f << " MHz";
    }
    // Uncorrected: the plain ratio less the receiver's gain, and the phase difference.
    ASSERT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointB(p, 0, 10.0, &db, &phase); }), 0);
    const double gain = st.PortB_LevelDb[static_cast<std::size_t>(st.PortB_Gain)] +
                        (st.PortB_Sens == 2 ? st.PortB_HighSensDb : 0);
    EXPECT_DOUBLE_EQ(db, 20 * std::log10(st.MagLoad / st.MagRef) - gain);
    EXPECT_EQ(phase, st.PhaseDiff);
    EXPECT_EQ(st.plot_s11, 0);

    // The sync pulse before a point once, then no more.
    ASSERT_EQ(Call(r, [](core::Program& p) { return extctl::Sync(p, 1); }), 0);
    const long pulses = r.serial.unit.state().syncPulses;
    Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 1, 5.0, &rs, &xs); });
    Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 1, 5.0, &rs, &xs); });
    EXPECT_EQ(r.serial.unit.state().syncPulses, pulses + 1);
    EXPECT_EQ(st.SyncMode, 0);
}

TEST_F(SimTest, ExportedFunctionsGiveTheirCodesForTheEdgeCasesAndBadArguments) {
    sim::UnitConfig noSensor;
    noSensor.tempSensor = false;
    auto& r = rig(noSensor);
    core::AppState& st = r.st();
    r.connect("resistor:r=50");
    // Before a full identification the sync pulse is not known to work.
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::Sync(p, 2); }), extctl::SyncNotSupported);
    EXPECT_EQ(st.SyncMode, 0);
    // Uncalibrated Port A: mode 1 refuses without a reading, mode 0 measures.
    st.porta_cal_ok = 0;
    st.portb_cal_ok = 0;
    const long readings = r.serial.unit.state().measurements;
    double a = 1234, b = 5678;
    EXPECT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 1, 10, &a, &b); }),
              extctl::PortNotCalibrated);
    EXPECT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointB(p, 1, 10, &a, &b); }),
              extctl::PortNotCalibrated);
    EXPECT_EQ(r.serial.unit.state().measurements, readings);
    EXPECT_EQ(a, 1234);
    EXPECT_EQ(b, 5678);
    EXPECT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 0, 10, &a, &b); }), 0);
    EXPECT_EQ(r.serial.unit.state().measurements, readings + 1);
    EXPECT_NEAR(a + 50, sim::Bridge().Raw(50, test::ActualHz(r, 10)).real(), 0.5) << "the raw Rs";
    // Null pointers are skipped; frequencies the instrument does not measure at give no values.
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::ScanPointA(p, 0, 10, nullptr, nullptr); }), 0);
    for (double f : {0.004, -3.0, std::numeric_limits<double>::quiet_NaN()}) {
        a = 1234;
        EXPECT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 0, f, &a, &b); }), 10) << f;
        EXPECT_EQ(a, 1234) << f;
    }
    // No sensor: 88.88 F, which is 31.6 C.
    EXPECT_NEAR(Call(r, [](core::Program& p) { return extctl::GetTemperature(p, 0); }), 31.6, 1e-9);
    EXPECT_NEAR(Call(r, [](core::Program& p) { return extctl::GetTemperature(p, 1); }), 88.88, 1e-9);
    // Averaging within what the instrument takes.
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::AvgReadings(p, 0); }), 0);
    EXPECT_EQ(st.average, 1);
    Call(r, [](core::Program& p) { return extctl::AvgReadings(p, 70000); });
    EXPECT_EQ(st.average, 1024);
    // The version: the text with the ID once the unit is identified; full identification makes
    // the sync pulse available.
    const std::string version = Call(r, [](core::Program& p) { return extctl::GetVersion(p); });
    EXPECT_EQ(version.rfind("vna ver 2.60", 0), 0u) << version;
    EXPECT_NE(version.find("ID= " + st.instrument_id), std::string::npos) << version;
    EXPECT_FALSE(st.instrument_id.empty());
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::Sync(p, 2); }), 0);
    // The constant frequency is held inside the range, with relay 1 only.
    ASSERT_EQ(Call(r, [](core::Program& p) { return extctl::ProgRelay(p, 0); }), 0);
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::ConstantFreq(p, 1, 900.0); }), 0);
    EXPECT_EQ(st.freq, st.maximumfreq);
    EXPECT_EQ(st.ConstantFreqMode, 1);
    EXPECT_TRUE(r.serial.unit.state().relay0);
    EXPECT_FALSE(r.serial.unit.state().relay1);
    Call(r, [](core::Program& p) { return extctl::ConstantFreq(p, 0, 0.0); });
    EXPECT_FALSE(r.serial.unit.state().relay0);
    // Port numbers: 70000 is refused and nothing changes; a close answers 34503 once.
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::CommPort(p, 1, 70000, 9600); }), 10);
    EXPECT_EQ(r.ui.messages().back().text, "Comm port must between 1 and 65000");
    EXPECT_TRUE(r.serial.isOpen());
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::CommPort(p, 0, 0, 0); }), extctl::PortClosed);
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::CommPort(p, 0, 0, 0); }), 0);
    // Calls on a closed port fail with their codes, and the instrument counts as present again.
    st.InstrumentPresent = 0;
    EXPECT_EQ(Call(r, [&](core::Program& p) { return extctl::ScanPointA(p, 0, 10, &a, &b); }), 10);
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::GetVersion(p); }), "34506");
    // Opening again (port 0 means port 1; the device named for the link is used) and switching
    // the auto power-off off.
    st.autopoweroff = 1;
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::CommPort(p, 1, 0, 0); }), 0);
    EXPECT_EQ(st.commport, 1);
    EXPECT_EQ(st.autopoweroff, 0);
    EXPECT_FALSE(r.serial.unit.state().autoOff);
    EXPECT_EQ(Call(r, [](core::Program& p) { return extctl::InitVars(p); }), 0);
    EXPECT_EQ(st.average, 4);
}
