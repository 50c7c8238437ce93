#pragma once

// What the sweep tests share: a simulated unit with the cal file of its own standards loaded, the
// truth of its devices at the frequencies its DDS really makes, and the accuracy a corrected point
// is held to.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <string>

#include "cal/cal_file.h"
#include "commands/commands.h"
#include "core/number_text.h"
#include "display/graph_geometry.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "instrument/identification.h"
#include "sim/dut.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"

namespace vna::test {

using Complex = std::complex<double>;

// Identifies the unit as the start-up does, loads the cal file of its own standards, takes the
// settings of the shipped configuration that the sweeps read, and connects the device.
inline void ReadyToSweep(SimRig& r, const std::string& dut) {
    core::AppState& st = r.st();
    instrument::IdentifyInstrument(r.p(), 1);
    instrument::ReadDateCode(r.p());
    const std::string path = r.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(r.serial.unit, path, r.clock.now()));
    st.cal_file = path;
    cal::LoadCalFile(r.p(), 0);
    ASSERT_EQ(st.LastError, 0);
    ASSERT_EQ(st.porta_cal_ok, 1);
    display::ComputeGraphGeometry(r.p());
    st.ConfigLoaded = 1;
    st.zStepTolerance = 10;
    st.maxScanPoints = 30010;
    st.average = 16;
    st.plot_at_zero = 0;
    r.connect(dut);
    r.ui.calls.clear();
    // Keys and clicks reach the program as in the main window.
    r.ui.setEventHandler([&r](const platform::Event& e) { commands::MainWindowEvent(r.p(), e); });
}

// Runs `action` once, at the first look at the window messages after the unit took `readings`
// more readings (the moment a user or a fault strikes in the middle of a sweep).
inline void AfterReadings(SimRig& r, long readings, std::function<void()> action) {
    const long at = r.serial.unit.state().measurements + readings;
    auto done = std::make_shared<bool>(false);
    r.ui.onPump = [&r, at, done, action](int) {
        if (!*done && r.serial.unit.state().measurements >= at) {
            *done = true;
            action();
        }
    };
}

inline void Limits(SimRig& r, double start, double stop, double step) {
    r.st().start_freq = start;
    r.st().end_freq = stop;
    r.st().delta_freq = step;
}

// The frequency (Hz) the unit's DDS makes when a sweep asks for f MHz.
inline double ActualHz(SimRig& r, double f) {
    core::AppState st = r.st();
    st.Measuring = 1;
    return r.serial.unit.frontEnd.FrequencyHz(instrument::TuningWord(st, f));
}

inline Complex TrueZ(SimRig& r, double f) {
    return sim::PortAImpedance(r.serial.unit.dut, ActualHz(r, f));
}

inline double SwrOf(Complex z, double zo = 50) {
    const double rho = std::abs((z - zo) / (z + zo));
    return rho >= 0.999999 ? 999 : std::min((1 + rho) / (1 - rho), 999.0);
}

// How far one corrected reading at 16 averages may lie from the truth: the noise of a reading
// (the bound of the correction tests, which has a margin of about two over the noise) twice over
// for the tails of a few hundred points, plus the interpolation between cal points and the
// rounding of the cal file.
inline double ZTolerance(Complex z) {
    const double m = std::abs(z);
    return 2 * (0.01 + 0.003 * m + 3e-6 * m * m) + 0.001 + 0.0002 * m;
}

// The SWR a reading within ZTolerance of z may show, at most, away from the SWR of z.
inline double SwrTolerance(Complex z) {
    const double tol = ZTolerance(z);
    double worst = 0;
    for (int k = 0; k < 16; ++k) {
        const Complex moved = z + std::polar(tol, k * 3.14159265358979 / 8);
        worst = std::max(worst, std::fabs(SwrOf(moved) - SwrOf(z)));
    }
    return worst * 1.01 + 1e-9;
}

} // namespace vna::test
