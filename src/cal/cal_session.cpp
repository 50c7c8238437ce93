#include "cal/cal_session.h"

#include <cmath>

#include "cal/cal_file.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "display/status_panel.h"
#include "instrument/commands.h"
#include "instrument/raw_reading.h"
#include "instrument/status_text.h"
#include "measure/averaging.h"
#include "measure/interpolation.h"
#include "platform/canvas.h"

namespace vna::cal {

using core::CalArray;
using core::CalCapacity;
using core::CalTable;

namespace {

// The reference channel of a good reading is far above this; below it the bridge is not driven
// and the reading is noise.
constexpr double MinimumReference = 50;
// The temperature reported while none is known.
constexpr double UnknownTemperature = 88.88;

CalArray& ReArray(CalTable& t, Standard s) {
    switch (s) {
        case Standard::Short:
            return t.short_re;
        case Standard::Open:
            return t.open_re;
        case Standard::Load:
            break;
    }
    return t.std_re;
}

CalArray& ImArray(CalTable& t, Standard s) {
    switch (s) {
        case Standard::Short:
            return t.short_im;
        case Standard::Open:
            return t.open_im;
        case Standard::Load:
            break;
    }
    return t.std_im;
}

} // namespace

std::string CalNumber(const core::AppState& st, double v) {
    return core::NumText(v, st.NumDecimals);
}

double CalFileTemperature(double t) {
    return (t >= 0 && t <= 200) ? t : UnknownTemperature;
}

PreviousCal RememberCal(const core::Program& p) {
    const core::AppState& st = p.st;
    PreviousCal prev;
    prev.table = std::make_unique<CalTable>(p.cal);
    prev.portaOk = st.porta_cal_ok;
    prev.portbOk = st.portb_cal_ok;
    prev.loaded = st.cal_loaded;
    prev.file = st.cal_file;
    prev.folder = st.cal_folder;
    prev.name = st.cal_file_name;
    prev.average = st.average;
    prev.amplitude = st.DDS_Amplitude;
    prev.portAGain = st.PortA_Gain;
    prev.portASens = st.PortA_Sens;
    prev.portBGain = st.PortB_Gain;
    prev.portBSens = st.PortB_Sens;
    prev.portBOn = st.PortB_on;
    prev.portBMode = st.PortBMode;
    prev.start = st.start_freq;
    prev.stop = st.end_freq;
    prev.step = st.delta_freq;
    prev.stepText = st.delta_freq_text;
    prev.plotAtZero = st.plot_at_zero;
    return prev;
}

void SetScanLimits(core::Program& p, double start, double stop, double step) {
    core::AppState& st = p.st;
    st.start_freq = start;
    st.end_freq = stop;
    st.delta_freq = step;
    st.delta_freq_text.clear();
    display::ComputeScaleFactors(p);
}

void RestoreScanLimits(core::Program& p, const PreviousCal& previous) {
    core::AppState& st = p.st;
    st.start_freq = previous.start;
    st.end_freq = previous.stop;
    st.delta_freq = previous.step;
    st.delta_freq_text = previous.stepText;
    st.plot_at_zero = previous.plotAtZero;
    display::ComputeScaleFactors(p);
}

void RestorePreviousCal(core::Program& p, PreviousCal& previous, Limits limits) {
    core::AppState& st = p.st;
    st.Measuring = 0;
    st.SweepRunning = 0;
    st.multichan_number = 0;
    if (limits == Limits::Restore) {
        RestoreScanLimits(p, previous);
    }
    bool reloaded = false;
    if (previous.saved) {
        // What was written is what is in force: reading it back also proves the file whole.
        LoadCalFile(p, 0);
        reloaded = st.LastError == 0;
    }
    if (!reloaded) {
        if (previous.table) {
            p.cal = *previous.table;
        }
        st.porta_cal_ok = previous.portaOk;
        st.portb_cal_ok = previous.portbOk;
        st.cal_loaded = previous.loaded;
        st.cal_file = previous.file;
        st.cal_folder = previous.folder;
        st.cal_file_name = previous.name;
        st.PortA_Gain = previous.portAGain;
        st.PortA_Sens = previous.portASens;
        st.PortB_Gain = previous.portBGain;
        st.PortB_Sens = previous.portBSens;
        instrument::SetAmplitude(p, previous.amplitude);
        instrument::SendGains(p);
        display::ComputeScaleFactors(p);
        measure::BuildInterpolation(p);
    }
    st.PortB_on = previous.portBOn;
    st.PortBMode = previous.portBMode;
    measure::ApplyAveraging(p, previous.average);
    st.RelayBit0 = 0;
    st.RelayBit1 = 0;
    instrument::SetRelays(p, 0);
    st.LastError = 0;
    display::RefreshStatusPanel(p);
    display::RedrawGraph(p);
}

void RawCalValue(const core::AppState& st, double& re, double& im) {
    const double ratio = st.MagLoad <= 1 ? 1000000.0 : 50 * st.MagRef / st.MagLoad;
    const double phi = st.PhaseLoad - st.PhaseRef;
    re = ratio * std::cos(phi);
    im = ratio * std::sin(phi);
}

void CalStatusLine(core::Program& p, int x, int y, const std::string& text) {
    instrument::StatusText(p, x, y, text, instrument::WarningColor(p.st));
}

void CalSummaryLine(core::Program& p, const std::string& text) {
    instrument::StatusText(p, 100, p.display.g.box.bottom - 40, text, instrument::NormalTextColor);
}

void CalProgress(core::Program& p, core::ProgressMeter& meter, int done) {
    if (!meter.update(done)) {
        return;
    }
    const platform::Progress& r = meter.last();
    std::string text = r.task + ": point " + std::to_string(r.done) + " of " + std::to_string(r.total);
    if (r.secondsLeft >= 0) {
        text += ", " + platform::DurationText(r.secondsLeft) + " left";
    }
    // Blanks after it cover a longer text of the point before.
    CalSummaryLine(p, text + "          ");
}

RunEnd MeasureStandard(core::Program& p, const StandardRun& run, std::string& statusLine) {
    core::AppState& st = p.st;
    CalArray& re = ReArray(p.cal, run.standard);
    CalArray& im = ImArray(p.cal, run.standard);
    const std::vector<double>& grid = *run.grid;
    static const char* const names[] = {"Short circuit", "Open circuit", "Standard resistor"};
    core::ProgressMeter meter(p, names[static_cast<int>(run.standard)], static_cast<int>(grid.size()));
    st.Measuring = 1;
    st.SweepRunning = 1;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const int k = run.firstIndex + static_cast<int>(i);
        if (k >= CalCapacity) {
            break;
        }
        const double f = grid[i];
        p.ui.processEvents();
        if (!st.SweepRunning) {
            // A key, a click, Halt or Quit: the user stopped the calibration.
            st.Measuring = 0;
            instrument::SetRelays(p, 0);
            return RunEnd::Stopped;
        }
        st.LastError = 0;
        st.freq = f;
        instrument::MeasurePortAPoint(p);
        if (st.LastError != 0) {
            const int error = st.LastError;
            st.porta_cal_ok = 0;
            st.portb_cal_ok = 0;
            instrument::SetRelays(p, 0);
            p.ui.message("Cal Data Error  freq=" + CalNumber(st, f), "37453");
            st.LastError = error;
            return RunEnd::Failed;
        }
        if (st.MagRef < MinimumReference) {
            statusLine = " **** There is no reference signal from the VNA at " + CalNumber(st, f) +
                         "  //error= " + run.noReferenceCode;
            CalStatusLine(p, 100, 200, statusLine);
            instrument::SetRelays(p, 0);
            st.Measuring = 0;
            return RunEnd::Failed;
        }
        if (run.check && !run.check(k, f)) {
            return RunEnd::Refused;
        }
        double r = 0;
        double x = 0;
        RawCalValue(st, r, x);
        re[static_cast<std::size_t>(k)] = r;
        im[static_cast<std::size_t>(k)] = x;
        CalProgress(p, meter, static_cast<int>(i) + 1);
        if (st.DiagMode && k % 10 == 0) {
            instrument::StatusText(
                p, 20, 70, core::NumText(k, 0) + "  " + CalNumber(st, r) + "  " + CalNumber(st, x) + "   ",
                instrument::NormalTextColor);
        }
    }
    return RunEnd::Done;
}

void LineExtensionQuestion(core::Program& p, bool adapterNote) {
    core::AppState& st = p.st;
    if (std::fabs(st.ExtensionLength) <= 0.0001) {
        return;
    }
    std::string text = "The Line Extension is set for " + CalNumber(st, st.ExtensionLength * 100) + " cm\r";
    if (adapterNote) {
        text += "Any adapters attached to the RF connector at this time will be nulled out by the cal "
                "procedure.\r";
    }
    text += "Would you like to set the Line Extension to zero?";
    if (p.ui.message(text, "Line Extension", platform::Buttons::YesNo) == platform::Answer::Yes) {
        st.ExtensionLength = 0;
        st.ExtensionFlag = 0;
        display::UpdateStatus(p, 4);
    }
}

std::optional<double> AskCalResistor(core::Program& p, const std::string& caption) {
    // A resistor below 1 ohm is no standard: the usual 50 ohm is meant.
    const double present = p.cal.cal_resistor < 1 ? 50.0 : p.cal.cal_resistor;
    for (;;) {
        const auto text = p.ui.enterText(caption, caption, core::NumText(present, 6).substr(1));
        if (!text) {
            return std::nullopt;
        }
        if (text->find_first_not_of(" \t") == std::string::npos) {
            return present;
        }
        if (const auto v = core::ParseEntry(p, *text, caption)) {
            return *v < 1 ? 50.0 : *v;
        }
    }
}

void CalAbortedMessage(core::Program& p) {
    p.ui.message("The original cal data will be used.", " Calibration aborted");
}

void ShowCalDataNotSaved(core::Program& p) {
    p.ui.message("Cal data was not saved.\rThe original cal data will be used.", " Calibration aborted");
}

} // namespace vna::cal
