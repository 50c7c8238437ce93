#include "tools/distance_to_fault.h"

#include <algorithm>
#include <cmath>

#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "measure/averaging.h"
#include "measure/interpolation.h"
#include "measure/point_data.h"
#include "tools/tdr_commands.h"

namespace vna::tools {

using core::AppState;
using core::Program;

namespace {

constexpr double Degrees = 180 / 3.141592653589793;
constexpr int MaxSteps = 150;
constexpr double Resolution = 0.00006; // MHz
// Below 1 MHz a long cable's quarter wave would be missed: starting above it, the first sign
// change is at twice or three times that frequency, which reads the cable as a half or a third.
constexpr double SearchStart = 0.2;
constexpr double SearchStep = 0.005;
constexpr double RefineBelow = 6;
// The impedances a cable can have (ohm).
constexpr double MinCableZ = 10;
constexpr double MaxCableZ = 1000;

constexpr const char* Caption = " Distance to Fault";

// One reading; its phase in degrees, or nothing with `error` set.
bool Phase(Program& p, double f, double& deg, int& error) {
    if (!measure::TakePointReading(p, f)) {
        error = p.st.LastError != 0 ? p.st.LastError : 10;
        return false;
    }
    deg = p.point.zphase * Degrees;
    return true;
}

bool SameSign(double a, double b) {
    return (a >= 0) == (b >= 0);
}

std::string Num(double v, int decimals) {
    return core::NumText(v, decimals);
}

// The scan limits, averaging and interpolation DTF sets for its time.
struct SavedLimits {
    double start;
    double end;
    double delta;
    int interpolate;
    int average;
    double freq;
};

} // namespace

PhaseSearch FindPhaseSignChange(Program& p, double start, double step, double stop) {
    PhaseSearch r;
    double first = 0;
    if (!Phase(p, start, first, r.error)) {
        return r;
    }
    r.maxPhase = std::fabs(first);
    double prev = start;
    double f = start;
    bool bracketed = false;
    for (int n = 0; n < MaxSteps; ++n) {
        f = prev + step;
        if (f > stop) {
            break;
        }
        double ph = 0;
        if (!Phase(p, f, ph, r.error)) {
            return r;
        }
        r.maxPhase = std::max(r.maxPhase, std::fabs(ph));
        if (!SameSign(ph, first)) {
            bracketed = true;
            break;
        }
        prev = f;
        step *= 1.5;
        p.ui.processEvents();
        if (!p.st.SweepRunning) {
            r.ok = true;
            return r;
        }
    }
    r.ok = true;
    if (!bracketed) {
        return r;
    }
    double lo = prev;
    double hi = f;
    while (hi - lo >= Resolution) {
        const double mid = (lo + hi) / 2;
        double ph = 0;
        if (!Phase(p, mid, ph, r.error)) {
            r.ok = false;
            return r;
        }
        if (SameSign(ph, first)) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    r.found = true;
    r.previous = prev;
    r.freq = (lo + hi) / 2;
    return r;
}

DtfResult MeasureDistanceToFault(Program& p, double vf) {
    AppState& st = p.st;
    DtfResult r;
    const SavedLimits saved{st.start_freq, st.end_freq, st.delta_freq, st.interpolate, st.average, st.freq};
    st.start_freq = 0.2;
    st.end_freq = st.maximumfreq;
    st.delta_freq = 0.2;
    st.interpolate = 1;
    measure::BuildInterpolation(p);
    st.PortBMode = 0;
    st.SweepRunning = 1;
    st.LastError = 0;
    instrument::SetRelays(p, 3);
    PhaseSearch s = FindPhaseSignChange(p, SearchStart, SearchStep, st.maximumfreq);
    r.maxPhase = s.maxPhase;
    if (!s.ok) {
        r.status = DtfStatus::ReadingFailed;
        r.error = s.error;
    } else if (!st.SweepRunning) {
        r.status = DtfStatus::Stopped;
    } else if (s.maxPhase < 45) {
        r.status = DtfStatus::Lossy;
    } else if (!s.found) {
        r.status = DtfStatus::NoSignChange;
    } else {
        if (s.freq < RefineBelow) {
            // A long cable: the coarse steps were wide against the quarter wave, so it is looked
            // for again from half-way up the last step in steps of a hundredth of it.
            const double from = (s.previous + s.freq) / 2;
            const double step = std::max((s.freq - s.previous) * 0.01, SearchStep);
            const PhaseSearch fine = FindPhaseSignChange(p, from, step, st.maximumfreq);
            if (!fine.ok) {
                r.status = DtfStatus::ReadingFailed;
                r.error = fine.error;
            } else if (fine.found) {
                s.freq = fine.freq;
            }
        }
        if (r.status != DtfStatus::ReadingFailed) {
            double ph = 0;
            if (!Phase(p, s.freq / 2, ph, r.error)) {
                r.status = DtfStatus::ReadingFailed;
            } else {
                r.status = st.SweepRunning ? DtfStatus::Ok : DtfStatus::Stopped;
                r.quarterWave = s.freq;
                r.metres = 0.25 * 299.8 / s.freq * vf;
                r.feet = r.metres * 3.2808;
                r.zo = std::hypot(p.point.rs, p.point.xs);
                // No cable has such an impedance: the sign change was the noise of the phase of an
                // open port (or a short) with nothing behind it.
                if (r.status == DtfStatus::Ok && !(r.zo >= MinCableZ && r.zo <= MaxCableZ)) {
                    r.status = DtfStatus::NoSignChange;
                }
            }
        }
    }
    instrument::SetRelays(p, 0);
    st.SweepRunning = 0;
    st.Measuring = 0;
    st.start_freq = saved.start;
    st.end_freq = saved.end;
    st.delta_freq = saved.delta;
    st.interpolate = saved.interpolate;
    st.freq = saved.freq;
    measure::BuildInterpolation(p);
    if (st.average != saved.average) {
        measure::ApplyAveraging(p, saved.average);
    }
    return r;
}

std::string DtfMessage(const DtfResult& r, std::string* caption) {
    std::string cap = Caption;
    std::string text;
    switch (r.status) {
        case DtfStatus::Ok: {
            const int d = r.quarterWave < 10 ? 4 : 2;
            text = "Quarter wavelength (90 deg) =" + Num(r.quarterWave, 4) + " MHz\r\n" +
                   "Distance to fault =" + Num(r.metres, d) + " meters  =" + Num(r.feet, d) + " feet\r\n" +
                   "Zo =" + Num(r.zo, 1) + " ohms";
            break;
        }
        case DtfStatus::ReadingFailed:
            text = "Distance to Fault cannot be measured\r\nError =" + Num(r.error, 0);
            break;
        case DtfStatus::Lossy:
            text = "Cable seems to be lossy or it is terminated in a load.  Maximum phase =" +
                   Num(r.maxPhase, 1) + "deg.\r\nIt should be closer to 90 deg.";
            cap = " Lossy Cable";
            break;
        case DtfStatus::NoSignChange:
            text = "No fault was found. Make sure the cable is open or shorted at the far end.";
            cap = "Measurement Problem";
            break;
        case DtfStatus::Stopped:
            text = "The measurement was stopped.";
            break;
    }
    if (caption) {
        *caption = cap;
    }
    return text;
}

void DistanceToFault(Program& p) {
    AppState& st = p.st;
    if (st.SweepRunning) {
        return;
    }
    if (st.cal_loaded && p.cal.custom_cal) {
        p.ui.message("The Distance to Fault function requires Standard Cal data.\r\n"
                     "(Right now a Custom Cal file is loaded.)\r\n"
                     "       Please load a Standard Cal File.",
                     "Standard cal required");
        return;
    }
    if (!core::RequireHardware(p)) {
        return;
    }
    if (!st.porta_cal_ok) {
        p.ui.message("Calibration is required.", " Cal Required");
        return;
    }
    if (p.ui.message("This measurement assumes a uniform cable is open or shorted.\r\n"
                     "Max cable length approx 1000 meters.\r\n"
                     "Min cable length approx 1 meter (3 feet).",
                     "Distance to Fault", platform::Buttons::OkCancel) != platform::Answer::Ok) {
        return;
    }
    const auto vf =
        core::EnterNumber(p, "Velocity Factor (0.5 ... 1)", " Velocity Factor", core::NumText(st.VF, 3));
    if (!vf) {
        return;
    }
    st.VF = LimitVelocityFactor(*vf);
    const DtfResult r = MeasureDistanceToFault(p, st.VF);
    if (r.status == DtfStatus::Stopped) {
        return;
    }
    std::string caption;
    const std::string text = DtfMessage(r, &caption);
    p.ui.message(text, caption);
}

} // namespace vna::tools
