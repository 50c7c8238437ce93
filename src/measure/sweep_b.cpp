// The Port B sweep: transmission (S21) point by point with autoranging of the receiver, or the
// replay of a stored scan.

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "core/delay.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/progress.h"
#include "display/graph_draw.h"
#include "display/markers.h"
#include "display/scan_plot.h"
#include "files/scan_file.h"
#include "instrument/commands.h"
#include "instrument/raw_reading.h"
#include "instrument/status_text.h"
#include "measure/averaging.h"
#include "measure/correction.h"
#include "measure/interpolation.h"
#include "measure/portb_correct.h"
#include "measure/scan_replay.h"
#include "measure/sweep.h"
#include "measure/sweep_common.h"

namespace vna::measure {

using core::ScanArrays;

namespace {

using namespace sweep_detail;

// The receiver's good range: levels (ADC units scaled to 16 readings) between these keep the
// converter away from both its noise and its rails.
constexpr int LevelHigh = 26000;
constexpr int LevelLow = 3000;
constexpr int LowestGain = 1;
constexpr int HighestGain = 5;
// Settling time of the receiver after a gain or sensitivity change (ms).
constexpr int RangeSettleMs = 2;
constexpr int OverloadError = 17;
constexpr core::Rgb Red = core::Color(255, 0, 0);
// Below these S21 levels (dB) the automatic averaging takes more readings per point.
constexpr double VeryWeak = -100;
constexpr double Weak = -90;
constexpr double Strong = -80;
constexpr int AveragingCeiling = 256;

// The level multiplier that puts the amplitude of a reading on the scale of 16 readings, by the
// readings the instrument summed into it.
int LevelMultiplier(int readings) {
    if (readings <= 1) {
        return 16;
    }
    if (readings <= 4) {
        return 4;
    }
    if (readings <= 8) {
        return 2;
    }
    return 1;
}

int Level(const core::AppState& st) {
    return core::Nint(st.MagLoad * LevelMultiplier(instrument::ReadingAveraging(st)));
}

bool ReadingFailed(const core::AppState& st) {
    return !st.ReadingValid || (st.LastError != 0 && st.LastError != OverloadError);
}

// One Port B reading at `freq`.
void ReadPortB(core::Program& p) {
    p.st.PortBMode = 1;
    p.st.Measuring = 1;
    instrument::MeasurePortBPoint(p);
}

// Reads again after a change of the receiver range.
void NewRange(core::Program& p) {
    instrument::SendGains(p);
    core::Delay(p, RangeSettleMs);
    ReadPortB(p);
}

// Brings the level of the point into the receiver's good range: down through the gains and then
// to normal sensitivity for a strong signal, up to high sensitivity and through the gains for a
// weak one. Each gain step's phase offset is collected for the correction. False when a reading
// failed on the way.
bool Autorange(core::Program& p, int& level) {
    core::AppState& st = p.st;
    if (level > LevelHigh) {
        while (st.PortB_Gain > LowestGain && level > LevelHigh) {
            const double before = measure::GainStepPhase(st, st.PortB_Gain);
            st.PortB_Gain -= 1;
            NewRange(p);
            if (ReadingFailed(st)) {
                return false;
            }
            level = Level(st);
            st.PortB_RangeOffset += measure::GainStepPhase(st, st.PortB_Gain) - before;
        }
        if (level > LevelHigh && st.PortB_Sens == 2) {
            st.PortB_Sens = 1;
            st.PortB_RangeOffset = 0;
            NewRange(p);
            if (ReadingFailed(st)) {
                return false;
            }
            level = Level(st);
        }
        if (level > LevelHigh) {
            instrument::StatusText(p, 200, 200,
                                   " Port B Overload at " + FreqText(st, st.freq) + " MHz             ", Red);
            st.LastError = OverloadError;
        } else {
            st.LastError = 0;
        }
    } else if (level < LevelLow) {
        if (st.PortB_Sens == 1) {
            st.PortB_Sens = 2;
            st.PortB_RangeOffset = 0;
            NewRange(p);
            if (ReadingFailed(st)) {
                return false;
            }
            level = Level(st);
        }
        while (level < LevelLow && st.PortB_Gain < HighestGain) {
            const double before = measure::GainStepPhase(st, st.PortB_Gain);
            st.PortB_Gain += 1;
            NewRange(p);
            if (ReadingFailed(st)) {
                return false;
            }
            level = Level(st);
            st.PortB_RangeOffset += measure::GainStepPhase(st, st.PortB_Gain) - before;
        }
        if (level >= LevelLow) {
            st.LastError = 0;
        }
    }
    return true;
}

// The receiver's gain taken off the level. The through-cable data of each sensitivity already
// holds that sensitivity's gain, so it is taken off only when the reading went uncorrected.
double ReceiverOffsetDb(const core::AppState& st, bool calibrated) {
    const double gain = st.PortB_LevelDb[static_cast<std::size_t>(std::clamp(st.PortB_Gain, 1, 5))];
    return gain + (st.PortB_Sens == 2 && !calibrated ? st.PortB_HighSensDb : 0);
}

// The averaging the weak and strong parts of a sweep call for, from the user's averaging.
struct AveragingSteps {
    int a16 = 1;
    int a4 = 1;
    int a2 = 1;
    int a1 = 1;
};

AveragingSteps AveragingFor(const core::AppState& st) {
    const double n = std::max(st.average, 4);
    return {core::Nint(st.avgweight * n / 16), core::Nint(st.avgweight * n / 4),
            core::Nint(st.avgweight * n / 2), core::Nint(st.avgweight * n)};
}

void AutomaticAveraging(core::Program& p, const AveragingSteps& a, double s21) {
    core::AppState& st = p.st;
    if (s21 < VeryWeak && st.average < a.a1) {
        measure::ApplyAveraging(p, a.a1);
    } else if (s21 < Weak && st.average < a.a2) {
        measure::ApplyAveraging(p, a.a2);
    }
    if (s21 > Weak && a.a2 < st.average) {
        measure::ApplyAveraging(p, a.a2);
    } else if (s21 > Strong && a.a4 < st.average) {
        measure::ApplyAveraging(p, a.a16);
    }
}

// The settings the sweep changes for its own use and gives back at its end.
struct Kept {
    int average = 0;
    int trend = 0;
    int trendOn = 0;
    int plotSwr = 0;
    int plotS11 = 0;
    int plotRt = 0;
    int plotQ = 0;
    int plotInsertionLoss = 0;
};

Kept Keep(const core::AppState& st) {
    return {st.average,  st.trend,   st.trendOn, st.plot_swr,
            st.plot_s11, st.plot_rt, st.plot_Q,  st.plotInsertionLoss};
}

void GiveBack(core::Program& p, const Kept& k, bool live) {
    core::AppState& st = p.st;
    st.trend = k.trend;
    st.trendOn = k.trendOn;
    st.plot_swr = k.plotSwr;
    st.plot_s11 = k.plotS11;
    st.plot_rt = k.plotRt;
    st.plot_Q = k.plotQ;
    st.plotInsertionLoss = k.plotInsertionLoss;
    if (live && st.average != k.average) {
        measure::ApplyAveraging(p, k.average);
    }
    st.average = k.average;
}

// The values of the point being measured, before smoothing.
struct PointB {
    double s21 = 0;
    double phase = 0;
    double s11 = 0;
    double s11phase = 0;
};

// S11 of the point through Port A, as the Port A sweep measures it. False when the reading failed.
bool MeasureS11(core::Program& p, int i, PointB& v) {
    core::AppState& st = p.st;
    const double f = st.freq;
    st.PortBMode = 0;
    st.CalIndex = i;
    st.Measuring = 1;
    instrument::MeasurePortAPoint(p);
    st.PortB_on = 1;
    if (ReadingFailed(st)) {
        return false;
    }
    p.point.freq = st.freq;
    ApplyCorr(p);
    computeReflection(p);
    v.s11 = -p.point.return_loss;
    v.s11phase = p.point.gamma_angle;
    st.freq = f;
    return true;
}

} // namespace

int sweepPortB(core::Program& p, int pointLimit, const PointAdjust& adjust) {
    core::AppState& st = p.st;
    checkSweepSettings(p);
    if (!st.ConfigLoaded) {
        return 0;
    }
    const bool live = st.live_scan != 0;
    if (live) {
        st.LastError = 0;
        instrument::SetAmplitude(p, st.DDS_Amplitude);
        st.PortA_Gain = 1;
        st.PortB_Gain = 1;
        st.PortA_Sens = 2;
        st.PortB_Sens = 1;
        instrument::SendGains(p);
        st.scanDescriptionB.clear();
        st.scanFileNameB.clear();
    }
    if (live && !(st.portb_cal_ok && st.LastError == 0 && st.PortB_Gain > 0)) {
        if (st.InstrumentPresent && !st.portb_cal_ok) {
            p.ui.message("Port B is not calibrated.", "Port B needs cal");
        }
        st.SweepRunning = 0;
        st.recycle = 0;
        return 0;
    }
    if (!st.DiagMode) {
        st.autorange = 1;
    }
    if (live) {
        st.PortB_Gain = 1;
        st.PortB_Sens = 1;
        instrument::SendGains(p);
        if (st.InstrumentPresent) {
            instrument::SendSweepStart(p);
        }
        NormaliseLimits(p);
    }
    const Kept kept = Keep(st);
    st.plot_swr = 0;
    st.plot_rt = 0;
    st.plot_Q = 0;
    st.plots21 = 1;
    const AveragingSteps steps = AveragingFor(st);
    // S11 is measured for its own trace and for the insertion loss, which needs it.
    const bool s11Needed = st.plot_s11 || st.plotInsertionLoss;

    st.SweepRunning = 1;
    st.freq = st.start_freq;
    display::BeginSweepPlot(p);
    const double stopLimit = StopLimit(p);
    const int n = SweepPoints(p, pointLimit, live);
    const int previousHardware = st.HardwareEnabled;
    ScanArrays& s = p.scan;
    int failure = 0;
    if (live) {
        if (st.recycle < 2) {
            instrument::SetRelays(p, 3);
        }
        ReadPortB(p); // thrown away: the source and relays settle with it
        if (ReadingFailed(st)) {
            failure = st.LastError != 0 ? st.LastError : 10;
        }
        st.LastError = 0;
        st.freq = st.start_freq;
    } else {
        st.HardwareEnabled = 0;
    }
    TemperatureNote(p);
    st.scanb_ok = 0;
    st.PortB_RangeOffset = 0;
    st.PortB_PhaseMemory = 0;

    if (live && st.InstrumentPresent && !st.porta_cal_ok && s11Needed) {
        instrument::SetRelays(p, 0);
        p.ui.message("Port A needs to be calibrated to plot S11.", "Cal Required   3479");
        st.SweepRunning = 0;
        st.recycle = 0;
        GiveBack(p, kept, live);
        return 0;
    }
    if (live && s11Needed && failure == 0) {
        // S11 is corrected like a Port A point, with the Port A cal on this grid.
        BuildInterpolation(p);
        if (!st.porta_cal_ok) {
            failure = st.LastError != 0 ? st.LastError : 10;
        }
        st.LastError = 0;
    }
    const std::uint32_t startTick = p.clock.tickMs();
    TrendNote(p);
    const int previousLast = st.last_scan_index;

    int i = 0;
    if (!live) {
        // The stored S21 and S11 were smoothed when they were measured; the delay and the
        // insertion loss follow from them. The replay draws in a moment and looks at no
        // messages, so a click cannot cut the scan.
        ReplayScanB(p);
        for (; i < n; ++i) {
            display::PlotPointB(p, i, display::PointFromScanB(p, i));
        }
    } else if (failure == 0) {
        GroupDelay delay(DelayWindow(st), st.delta_freq);
        display::PortBValues previous;
        core::ProgressMeter progress(p, "Port B sweep", n);
        while (i < n) {
            const auto k = static_cast<std::size_t>(i);
            const double f = st.freq;
            PointB v;
            if (s11Needed && !MeasureS11(p, i, v)) {
                failure = st.LastError != 0 ? st.LastError : 10;
                break;
            }
            st.freq = f;
            ReadPortB(p);
            if (ReadingFailed(st)) {
                failure = st.LastError != 0 ? st.LastError : 10;
                break;
            }
            int level = Level(st);
            if (st.autorange && (level > LevelHigh || level < LevelLow) && !Autorange(p, level)) {
                failure = st.LastError != 0 ? st.LastError : 10;
                break;
            }
            const measure::PortBCorrection c =
                measure::PortBCorrect(p, st.MagRef > 0 ? st.MagLoad / st.MagRef : 0);
            v.s21 = (c.ratio > 0 ? 20 * std::log10(c.ratio) : -200) - ReceiverOffsetDb(st, c.calibrated);
            v.phase = c.phase;
            double groupDelay = delay.next(v.phase);
            if (st.autorange && st.average < AveragingCeiling) {
                // A new averaging clears `LastError`; an overload of this point must still end the
                // sweep.
                const int error = st.LastError;
                AutomaticAveraging(p, steps, v.s21);
                st.LastError = error;
            }
            display::PortBValues shown{st.freq, v.s21, v.phase, v.s11, v.s11phase, groupDelay, 0};
            if (st.trendOn && i > 0) {
                const double t = st.trend;
                shown.s21db = previous.s21db + (shown.s21db - previous.s21db) / t;
                shown.s21phase = previous.s21phase + (shown.s21phase - previous.s21phase) / t;
                shown.s11db = previous.s11db + (shown.s11db - previous.s11db) / t;
                shown.delay = previous.delay + (shown.delay - previous.delay) / t;
            }
            previous = shown;
            if (adjust) {
                adjust(i, shown.s21db, shown.s21phase);
            }
            shown.insertionLoss = InsertionLoss(shown.s21db, shown.s11db);
            display::PlotPointB(p, i, shown);
            if (i == 0) {
                // The scan shown before is cleared only once this sweep has a point of its own: a
                // sweep whose first reading fails leaves it whole.
                const int cleared = std::min(std::max(st.scan_points, n) + 1, core::ScanCapacity);
                std::fill_n(s.s21_db.begin(), cleared, 0.0);
                std::fill_n(s.s21_phase.begin(), cleared, 0.0);
            }
            s.s21_db[k] = shown.s21db;
            s.s21_phase[k] = shown.s21phase;
            s.s11_db[k] = shown.s11db;
            s.s11_phase[k] = shown.s11phase;
            s.group_delay[k] = shown.delay;
            s.insertion_loss[k] = shown.insertionLoss;

            ++i;
            progress.update(i);
            st.freq = st.delta_freq * i + st.start_freq;
            if (st.freq > stopLimit) {
                st.SweepRunning = 0;
            }
            if (st.freq >= st.maximumfreq + 1) {
                st.freq = st.maximumfreq + 1;
            }
            PumpEveryFifthPoint(p, i);
            if (st.LastError != 0) {
                failure = st.LastError;
            }
            if (!st.SweepRunning || failure != 0) {
                break;
            }
        }
    }

    // At the end. A replay leaves the stored scan as long as it is.
    st.last_scan_index = live ? i - 1 : previousLast;
    if (i == 0 && live) {
        // Not one point came in: the scan shown before stays.
        st.last_scan_index = previousLast;
    }
    st.scanb_ok = 1;
    st.SweepRunning = 0;
    st.Measuring = 0;
    st.PortBMode = 0;
    st.HardwareEnabled = previousHardware;
    if (live && !st.recycle) {
        instrument::SetRelays(p, 0);
    }
    // The scan goes with the user's averaging and smoothing, whatever the sweep did meanwhile.
    GiveBack(p, kept, live);
    if (live && i > 0) {
        files::RecordLiveScanB(p, p.cal.custom_cal);
        display::DrawCaptionLine(p);
    } else if (!live) {
        st.scanSettingsB.trend = st.trend;
        st.scanSettingsB.average = st.average;
    }
    TimingNote(p, startTick, n);
    display::EndSweepPlot(p);
    if (live && i > 0) {
        files::AutoSaveGraphB(p);
    }
    if (st.markerena) {
        display::DrawMarkers(p);
    }
    if (failure != 0) {
        st.LastError = failure;
    }
    return live ? i : 0;
}

bool MeasureS21Point(core::Program& p, bool corrected, double& s21db, double& phase) {
    core::AppState& st = p.st;
    if (!st.DiagMode) {
        st.autorange = 1;
    }
    // Every point starts where a sweep starts, so the phase offsets the ranging collects belong to
    // this point alone.
    st.PortB_Gain = LowestGain;
    st.PortB_Sens = 1;
    st.PortB_RangeOffset = 0;
    st.PortB_PhaseMemory = 0;
    instrument::SendGains(p);
    ReadPortB(p);
    if (ReadingFailed(st)) {
        st.LastError = st.LastError != 0 ? st.LastError : 10;
        return false;
    }
    int level = Level(st);
    if (st.autorange && (level > LevelHigh || level < LevelLow) && !Autorange(p, level)) {
        st.LastError = st.LastError != 0 ? st.LastError : 10;
        return false;
    }
    if (st.LastError != 0) {
        return false;
    }
    const double ratio = st.MagRef > 0 ? st.MagLoad / st.MagRef : 0;
    if (corrected) {
        const measure::PortBCorrection c = measure::PortBCorrect(p, ratio);
        s21db = (c.ratio > 0 ? 20 * std::log10(c.ratio) : -200) - ReceiverOffsetDb(st, c.calibrated);
        phase = c.phase;
    } else {
        s21db = (ratio > 0 ? 20 * std::log10(ratio) : -200) - ReceiverOffsetDb(st, false);
        phase = st.PhaseDiff;
    }
    return true;
}

int SweepActivePort(core::Program& p, int pointLimit) {
    return p.st.PortB_on ? sweepPortB(p, pointLimit) : sweepPortA(p, pointLimit);
}

int FirstPointNotANumber(const core::Program& p, char port, int points) {
    const core::ScanArrays& s = p.scan;
    const std::array a = {&s.scan_rs, &s.scan_xs, &s.scan_swr, &s.scan_zmag, &s.scan_phase};
    const std::array b = {&s.s21_db, &s.s21_phase};
    const auto bad = [&](const auto& arrays, std::size_t k) {
        return std::any_of(arrays.begin(), arrays.end(),
                           [k](const auto* x) { return !std::isfinite((*x)[k]); });
    };
    const int n = std::min(points, static_cast<int>(core::ScanCapacity));
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (port == 'b' ? bad(b, k) : bad(a, k)) {
            return i;
        }
    }
    return -1;
}

} // namespace vna::measure
