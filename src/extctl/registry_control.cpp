#include "extctl/registry_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "core/delay.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "display/graph_draw.h"
#include "extctl/control_csv.h"
#include "extctl/exported.h"
#include "instrument/status_text.h"
#include "measure/sweep.h"

namespace vna::extctl {

namespace {

constexpr int PollMs = 500;
constexpr int NoData = 10;
// The `status` code of a request whose CSV file could not be written.
constexpr int FileNotWritten = 4;
// A value text is shown at most this long on the graph and in `status`.
constexpr std::size_t MaxValueText = 40;

// The texts given back for values the client did not write; they are not numbers, so the limit
// checks refuse them.
constexpr const char* MissingStart = "Start not found";
constexpr const char* MissingEnd = "End freq not found";
constexpr const char* MissingDelta = "delta not found";
constexpr const char* MissingPort = "0";

std::string Value(core::Program& p, std::string_view name, const char* missing) {
    return p.registry.get(p.st.registryPath, name).value_or(missing);
}

// A client's text as it can be shown: one line, without the line end a shell adds, not too long.
std::string Shown(std::string_view text) {
    std::string s = core::OneLine(text);
    const auto first = s.find_first_not_of(" \t");
    s = first == std::string::npos ? std::string() : s.substr(first);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.pop_back();
    }
    if (s.size() > MaxValueText) {
        s = s.substr(0, MaxValueText) + "...";
    }
    return s;
}

struct Request {
    std::string token; // the `dataready` text
    std::string startText, endText, stepText;
    double start = 0, end = 0, step = 0;
    bool portB = false;
};

// The answer: `status`, then `answered`, so a client that sees its token finds the status in place.
void Answer(core::Program& p, const Request& r, int code, const std::string& reason) {
    const std::string& key = p.st.registryPath;
    const std::string status = code == 0 ? "0" : std::to_string(code) + " " + reason;
    p.registry.set(key, StatusValue, status);
    p.registry.set(key, AnsweredValue, r.token);
}

void PrintTime(core::Program& p) {
    const platform::LocalTime t = p.clock.now();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    instrument::StatusText(p, 1, 1, text, instrument::NormalTextColor);
}

// The points from start to stop: the sweep ends at the stop asked for, not at the graph's edge.
int PointsOf(const core::AppState& st) {
    const double n = std::floor((st.end_freq - st.start_freq) / st.delta_freq + 1e-6) + 1;
    return static_cast<int>(std::clamp(n, 1.0, static_cast<double>(core::ScanCapacity - 1)));
}

// Sweeps the request and writes its CSV file; the code and reason of the answer.
std::pair<int, std::string> Sweep(core::Program& p, const Request& r) {
    core::AppState& st = p.st;
    const char* port = r.portB ? "Port B" : "Port A";
    if (!(r.portB ? st.portb_cal_ok : st.porta_cal_ok)) {
        // Answered at once: the sweep would only stop at a message box that nobody may be there
        // to close.
        const std::string reason = std::string(port) + " is not calibrated; nothing was measured.";
        instrument::StatusText(p, 100, 100, "   External control: " + reason, instrument::WarningColor(st));
        return {PortNotCalibrated, reason};
    }
    // Limits in the wrong order are taken the other way round, as the limits dialog takes them,
    // and a span below one step becomes one step: the sweep would otherwise fall back to its
    // default span.
    st.start_freq = std::min(r.start, r.end);
    st.end_freq = std::max(r.start, r.end);
    if (st.end_freq - st.start_freq < r.step) {
        st.end_freq = st.start_freq + r.step;
    }
    st.delta_freq = r.step;
    st.delta_freq_text.clear();
    st.PortB_on = r.portB ? 1 : 0;
    st.live_scan = 1;
    st.LastError = 0;
    display::DrawGraph(p);
    const int measured = measure::SweepActivePort(p, PointsOf(st));
    const int code = st.LastError;
    if (measured == 0) {
        // The arrays still hold an older scan: it must not be handed out as this one.
        return {code != 0 ? code : NoData, std::string("The ") + port + " sweep measured no point."};
    }
    if (!WriteControlCsv(p)) {
        return {FileNotWritten, "Data file: " + ControlCsvPath(st) + " is not available for writing."};
    }
    p.registry.set(st.registryPath, CsvReadyValue, ControlCsvPath(st));
    if (code != 0) {
        const double last = st.start_freq + st.delta_freq * (measured - 1);
        return {code, std::string("The ") + port + " sweep stopped after" + core::NumText(measured, 0) +
                          " points, at" + core::NumText(last, 6) + " MHz; the file holds those points."};
    }
    return {0, {}};
}

} // namespace

int LimitCode(const core::AppState& st, double start, double end, double step) {
    int code = 0;
    // Written so that a value that is not a number fails as well.
    if (!(step >= 0.001 && step <= 1)) {
        code = 1;
    }
    if (!(end >= 0.01 && end <= st.maximumfreq + 0.0001)) {
        code = 2;
    }
    if (!(start >= 0.005 && start <= st.maximumfreq)) {
        code = 3;
    }
    return code;
}

std::string LimitMessage(const core::AppState& st, int code, std::string_view value) {
    const std::string max = core::NumText(st.maximumfreq, st.NumDecimals);
    std::string text;
    switch (code) {
        case 1:
            text = "Delta Freq is outside of limits, 1KHz to 1MHz ";
            break;
        case 2:
            text = "End Freq is outside of limits, 10KHz to " + max + "  ";
            break;
        case 3:
            text = "Start Freq is outside of limits, 5KHz to " + max + "  ";
            break;
        default:
            return {};
    }
    return text + Shown(value);
}

bool PollRegistry(core::Program& p) {
    core::AppState& st = p.st;
    const std::string& key = st.registryPath;
    if (st.externalControl == 3) {
        PrintTime(p);
    }
    const std::string ready = Value(p, DataReadyValue, "null");
    // A blank value is no request either: a shell empties a file before it writes the new text.
    if (ready.find(NoRequest) != std::string::npos ||
        ready.find_first_not_of(" \t\r\n") == std::string::npos || st.SweepRunning) {
        return false;
    }
    Request r;
    r.token = ready;
    r.startText = Value(p, StartFreqValue, MissingStart);
    r.endText = Value(p, EndFreqValue, MissingEnd);
    r.stepText = Value(p, DeltaFreqValue, MissingDelta);
    r.start = core::TextToNumber(r.startText);
    r.end = core::TextToNumber(r.endText);
    r.step = core::TextToNumber(r.stepText);
    r.portB = core::Nint(core::TextToNumber(Value(p, ScanPortValue, MissingPort))) != 0;
    if (!p.registry.set(key, DataReadyValue, NoRequest)) {
        // A request that cannot be marked as taken would be taken again at every look.
        instrument::StatusText(p, 100, 100, "   External control: the registry key cannot be written.   ",
                               instrument::WarningColor(st));
        return false;
    }
    st.LastError = 0;
    const int code = LimitCode(st, r.start, r.end, r.step);
    if (code != 0) {
        const std::string& value = code == 1 ? r.stepText : code == 2 ? r.endText : r.startText;
        const std::string message = LimitMessage(st, code, value);
        instrument::StatusText(p, 100, 100, "   INVALID data in external control file: " + message,
                               instrument::WarningColor(st));
        st.LastError = code;
        Answer(p, r, code, message);
        return true;
    }
    // The client waits for its answer and nobody may be at the screen: a message of the sweep (a
    // silent instrument's "Hardware Reset") must not hold the answer up until someone clicks it.
    p.ui.setUnattended(true);
    const auto [result, reason] = Sweep(p, r);
    p.ui.setUnattended(false);
    Answer(p, r, result, reason);
    return true;
}

void RunRegistryExternalControl(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.InstrumentPresent) {
        return;
    }
    if (!p.registry.createKey(st.registryPath)) {
        p.ui.message("Registry Key Creation failed", " Cannot use registry external control");
        st.externalControl = 1;
        return;
    }
    while (st.externalControl > 1 && st.ProgramRunning && st.InstrumentPresent) {
        PollRegistry(p);
        core::Delay(p, PollMs);
        p.ui.processEvents();
    }
}

} // namespace vna::extctl
