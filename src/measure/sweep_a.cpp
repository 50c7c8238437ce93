// The Port A sweep: reflection (S11) point by point, or the replay of a stored scan.

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "core/freq_axis.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/progress.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/markers.h"
#include "display/scan_plot.h"
#include "files/scan_file.h"
#include "instrument/commands.h"
#include "instrument/health.h"
#include "instrument/raw_reading.h"
#include "instrument/status_text.h"
#include "measure/correction.h"
#include "measure/interpolation.h"
#include "measure/scan_limits.h"
#include "measure/scan_replay.h"
#include "measure/sweep.h"
#include "measure/sweep_common.h"
#include "platform/canvas.h"

namespace vna::measure {

using core::ScanPoint;

namespace {

using namespace sweep_detail;

// Below this reference amplitude (ADC units) the source is not reaching the bridge: the reading
// says nothing about the device, and the sweep stops.
constexpr double WeakReference = 50;
constexpr core::Rgb Red = core::Color(255, 0, 0);
// Entries of the resonance note: five, or three on a narrow graph.
constexpr int ResonanceEntries = 5;
constexpr int NarrowGraphEntries = 3;
constexpr int NarrowGraph = 550;

void ReferenceRules(core::AppState& st) {
    if (!(st.Zo >= 1 && st.Zo <= 10000)) {
        st.Zo = 50;
        st.Z0real = 50;
        st.Z0imag = 0;
    }
    if (!(st.Z0real >= 1 && st.Z0real <= 10000)) {
        st.Z0real = 50;
    }
    if (!(std::fabs(st.Z0imag) <= 10000)) {
        st.Z0imag = 0;
    }
}

// The pixel row of the Zmag trace for |Z| on the present scale, as the plot places it.
int ZmagRow(const core::Program& p, double zmag) {
    const core::GraphGeometry& g = p.display.g;
    const double y = std::clamp(g.centreY - zmag * g.zmagFactor, static_cast<double>(g.box.top),
                                static_cast<double>(g.box.bottom));
    return core::NearestEven(y);
}

void Annotate(core::Program& p, bool live, int stored, double stepSum) {
    core::AppState& st = p.st;
    const core::GraphGeometry& g = p.display.g;
    findMinSwrAndResonances(p);
    int x = g.box.left + 40;
    if (st.plot_swr) {
        const std::string text = "Min SWR = " + core::FormatPicture("###.##", st.min_swr) + " @ " +
                                 FreqText(st, st.min_swr_freq) + "MHz   ";
        GraphNote(p, x, g.rows[0], text, st.RedColor);
        if (platform::Canvas* c = p.ui.mainCanvas()) {
            x += c->textExtent(text).width + 10;
        }
    }
    if (!live) {
        display::DrawScanNotes(p);
    }
    const auto& reson = p.scan.reson_freq;
    if (reson[0] > 0) {
        const int entries = (g.box.right - g.box.left) < NarrowGraph ? NarrowGraphEntries : ResonanceEntries;
        std::string text = "Resonant freq: ";
        int shown = 0;
        for (std::size_t k = 0; k < reson.size() && shown < entries; ++k) {
            if (reson[k] > 0) {
                text += (shown > 0 ? "," : "") + core::FormatPicture("###.######", reson[k]) + " ";
                ++shown;
            }
        }
        GraphNote(p, x, g.rows[0], text, st.Magenta);
    }
    const int height = g.box.bottom - g.box.top;
    if (stored > 2 && height > 0) {
        const double percent = stepSum / (stored - 1) / height * 100;
        if (percent > st.zStepTolerance) {
            instrument::StatusText(
                p, 75, 50,
                " Zmag step size is too large:  delta Z avg= " + core::NumText(percent, 2) +
                    "% f.s.,    tol=" + core::NumText(st.zStepTolerance, 0) + "%",
                Red);
        }
    }
}

} // namespace

void checkSweepSettings(core::Program& p) {
    core::AppState& st = p.st;
    ReferenceRules(st);
    if (st.trend < 0 || st.trend > 20) {
        st.trend = 0;
    }
    st.trendOn = st.trend >= 1 ? 1 : 0;
    if (st.average < 0 || st.average > 256) {
        st.average = 0;
    }
    if (st.DDSdelay < 0) {
        st.DDSdelay = 0;
    } else if (st.DDSdelay >= 32) {
        st.DDSdelay = 31;
    }
    if (!(st.end_freq - st.start_freq >= 0.0001)) {
        st.start_freq = 1;
        st.end_freq = 21;
        st.delta_freq = 0.25;
    }
    if (!(std::fabs(st.delta_freq) <= MaxSweepStep)) {
        st.delta_freq = MaxSweepStep;
    }
}

int sweepPortA(core::Program& p, int pointLimit) {
    core::AppState& st = p.st;
    checkSweepSettings(p);
    if (!st.ConfigLoaded) {
        return 0;
    }
    st.LastError = 0;
    ReferenceRules(st);
    const bool live = st.live_scan != 0;
    bool limitsChecked = false;
    if (live) {
        instrument::SetAmplitude(p, st.DDS_Amplitude);
        st.PortA_Gain = 1;
        st.PortB_Gain = 1;
        st.PortA_Sens = 2;
        st.PortB_Sens = 1;
        instrument::SendGains(p);
        NormaliseLimits(p);
        BuildInterpolation(p);
        // The build checked the limits (and reported a problem) unless there is no instrument.
        limitsChecked = st.InstrumentPresent != 0;
    }
    if (st.Zo < st.ZoMinimum) {
        p.ui.message("Note: Zo = " + core::NumText(st.Zo, st.NumDecimals) +
                         (st.NoWindow ? "" : "\rZo can be changed with the Zo button of the status panel."),
                     "Zo is low");
    }
    if (!limitsChecked) {
        CheckScanLimits(p);
    }
    if (live && !(st.porta_cal_ok && st.LastError == 0)) {
        // A limit problem was reported by the check itself; only a missing calibration is news.
        if (st.InstrumentPresent && !st.porta_cal_ok) {
            p.ui.message("The instrument needs to be calibrated.", "Cal Problem  4482");
        }
        st.SweepRunning = 0;
        st.recycle = 0;
        return 0;
    }

    // Set up.
    core::ScanArrays& s = p.scan;
    ScanPoint& pt = p.point;
    st.SweepRunning = 1;
    if (live) {
        st.scanDescriptionA.clear();
        st.scanFileNameA.clear();
    }
    st.min_swr = 10000;
    st.min_swr_freq = st.start_freq;
    st.freq = st.start_freq;
    display::BeginSweepPlot(p);
    const double stopLimit = StopLimit(p);
    const int n = SweepPoints(p, pointLimit, live);
    const int previousHardware = st.HardwareEnabled;
    if (live) {
        if (st.recycle < 2) {
            instrument::SetRelays(p, 3);
        }
        if (st.InstrumentPresent) {
            instrument::SendSweepStart(p);
        }
    } else {
        // A replay sends nothing to the instrument.
        st.HardwareEnabled = 0;
    }
    int failure = 0; // the instrument error that ended the sweep
    if (live) {
        // The first reading after the set-up is thrown away: the source and relays settle with it.
        st.Measuring = 1;
        instrument::MeasurePortAPoint(p);
        if (st.LastError != 0 && !st.ReadingValid) {
            failure = st.LastError;
        }
        st.LastError = 0;
        st.freq = st.start_freq;
    }
    const int previousLast = st.last_scan_index;
    if (live) {
        // A replay recomputes the points it draws and leaves the others as they are.
        const int cleared = std::min(std::max(st.scan_points, n) + 1, core::ScanCapacity);
        std::fill_n(s.scan_swr.begin(), cleared, 0.0);
        std::fill_n(s.scan_zmag.begin(), cleared, 0.0);
        std::fill_n(s.scan_phase.begin(), cleared, 0.0);
    }
    TemperatureNote(p);
    const std::uint32_t startTick = p.clock.tickMs();
    st.scana_ok = 0;
    TrendNote(p);

    // The points.
    TrendMemory memory;
    ScanPoint lastMeasured;
    double lastRawZmag = 0;
    double lastRawPhase = 0;
    double stepSum = 0;
    int previousRow = 0;
    bool measure = true;
    bool noReference = false;
    std::optional<core::ProgressMeter> progress;
    if (live) {
        progress.emplace(p, "Port A sweep", n);
    }
    int i = 0;
    while (failure == 0 && i < n) {
        const auto k = static_cast<std::size_t>(i);
        if (measure) {
            if (live) {
                st.CalIndex = i;
                st.Measuring = 1;
                instrument::MeasurePortAPoint(p);
                if (st.ReadingValid && st.MagRef < WeakReference) {
                    instrument::StatusText(p, 100, 200,
                                           " **** There is no reference signal from the VNA at " +
                                               FreqText(st, st.freq) + "  //error= 17835",
                                           Red);
                    st.SweepRunning = 0;
                    st.recycle = 0;
                    instrument::SetRelays(p, 0);
                    noReference = true;
                    break;
                }
                if (st.LastError != 0 || !st.ReadingValid) {
                    // The reading never arrived or was refused: the points before it stand, this
                    // one is not invented.
                    failure = st.LastError != 0 ? st.LastError : 10;
                    break;
                }
                ApplyCorr(p);
                s.raw_zmag[k] = pt.zmag;
                s.raw_phase[k] = pt.zphase;
            }
            // Live or replayed, the point is taken from its record, so a replay shows exactly what
            // the sweep showed.
            PointFromRawA(p, i);
            computeReflection(p);
            lastMeasured = pt;
            lastRawZmag = s.raw_zmag[k];
            lastRawPhase = s.raw_phase[k];
        } else {
            // A point band skip passes over keeps the values of the point before; its record does
            // too, so a replay or a scan file shows what the sweep showed.
            pt = lastMeasured;
            pt.freq = st.delta_freq * i + st.start_freq;
            s.raw_zmag[k] = lastRawZmag;
            s.raw_phase[k] = lastRawPhase;
        }
        s.scan_rs[k] = pt.rs;
        s.scan_xs[k] = pt.xs;
        if (st.trendOn) {
            smoothTrend(p, memory, i);
        }
        pt.q = std::fabs(pt.xs) / (pt.rs + 0.00001);
        CompensateTemperature(p);
        display::PlotPointA(p, i);
        const int row = ZmagRow(p, pt.zmag);
        if (i > 0) {
            stepSum += std::abs(row - previousRow);
        }
        previousRow = row;
        s.scan_swr[k] = pt.swr;
        s.scan_zmag[k] = pt.zmag;
        s.scan_phase[k] = pt.zphase;

        ++i;
        if (progress) {
            progress->update(i);
        }
        st.freq = st.delta_freq * i + st.start_freq;
        measure = !live || !st.bandskip || BandSkipMeasures(st, st.freq);
        if (st.freq > stopLimit) {
            st.SweepRunning = 0;
        }
        if (st.freq >= st.maximumfreq + 1) {
            st.freq = st.maximumfreq + 1;
        }
        if (live) {
            // A replay draws in a moment and waits for nothing: it looks at no messages, so a
            // click can neither cut the scan it shows nor hold it up.
            PumpEveryFifthPoint(p, i);
        }
        if (st.LastError != 0) {
            failure = st.LastError;
        }
        if (!st.SweepRunning) {
            break;
        }
    }

    if (progress) {
        progress->finish();
    }

    // After the points. A replay shows the stored scan and never changes how many points it has,
    // even when the graph's axis ends before its last point.
    st.last_scan_index = live ? i - 1 : previousLast;
    if (i == 0 && live) {
        // Not one point came in: the scan shown before stays the scan of the program (its record
        // was not touched), and no file is replaced by an empty one.
        st.last_scan_index = previousLast;
        ReplayScanA(p);
    }
    if (!noReference) {
        st.scana_ok = 1;
        if (live && failure == 0 && st.InstrumentPresent) {
            instrument::CheckSupply(p);
        }
        if (st.markerena) {
            display::DrawMarkers(p);
        }
        if (live && !st.recycle) {
            instrument::SetRelays(p, 0);
        }
        if (i > 0) {
            Annotate(p, live, i, stepSum);
        }
    }

    // Always at the end.
    st.SweepRunning = 0;
    st.Measuring = 0;
    st.HardwareEnabled = previousHardware;
    if (live && i > 0) {
        files::RecordLiveScanA(p, p.cal.custom_cal);
        // The date and time of the new scan under the graph.
        display::DrawCaptionLine(p);
    } else if (!live) {
        st.scanSettingsA.trend = st.trend;
        st.scanSettingsA.average = st.average;
        st.scanSettingsA.Zo = st.Zo;
    }
    if (!noReference) {
        TimingNote(p, startTick, n);
    }
    display::EndSweepPlot(p);
    if (live && i > 0) {
        // Nothing is saved for a sweep that stored no point: the older graph stays.
        files::AutoSaveGraphA(p);
    }
    if (failure != 0) {
        st.LastError = failure;
    }
    return live ? i : 0;
}

} // namespace vna::measure
