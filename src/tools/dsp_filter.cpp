#include "tools/dsp_filter.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_text.h"
#include "display/scan_plot.h"
#include "measure/scan_limits.h"
#include "measure/scan_replay.h"
#include "measure/sweep_commands.h"
#include "platform/canvas.h"

namespace vna::tools {

using core::AppState;
using core::Program;

namespace {

constexpr int HalfWindow = 3;         // seven points
constexpr double MadToSigma = 1.4826; // median absolute deviation of normal noise -> its sigma
constexpr double DefaultFactor = 2;   // when the config file gives none
constexpr int FewestRescanPoints = 21;

double Median(std::vector<double> w) {
    const auto mid = w.begin() + static_cast<std::ptrdiff_t>(w.size() / 2);
    std::nth_element(w.begin(), mid, w.end());
    if (w.size() % 2 == 1) {
        return *mid;
    }
    const double upper = *mid;
    return (*std::max_element(w.begin(), mid) + upper) / 2;
}

std::string Fixed(double v, int decimals) {
    return core::PictureFixed(v, decimals);
}

} // namespace

int RejectOutliers(std::vector<double>& v, double factor, double floor, bool relativeFloor) {
    const int n = static_cast<int>(v.size());
    if (n < 3) {
        return 0;
    }
    const std::vector<double> in = v;
    int replaced = 0;
    std::vector<double> window;
    std::vector<double> deviation;
    for (int i = 0; i < n; ++i) {
        const int from = std::max(0, i - HalfWindow);
        const int to = std::min(n - 1, i + HalfWindow);
        window.assign(in.begin() + from, in.begin() + to + 1);
        const double median = Median(window);
        deviation.clear();
        for (const double x : window) {
            deviation.push_back(std::fabs(x - median));
        }
        const double spread = MadToSigma * Median(deviation);
        const double least = relativeFloor ? floor * std::fabs(median) : floor;
        const double off = std::fabs(in[static_cast<std::size_t>(i)] - median);
        if (off > factor * spread && off > least) {
            v[static_cast<std::size_t>(i)] = median;
            ++replaced;
        }
    }
    return replaced;
}

void SmoothQuadratic(std::vector<double>& v) {
    const std::size_t n = v.size();
    if (n < 5) {
        return;
    }
    const std::vector<double> in = v;
    for (std::size_t i = 2; i + 2 < n; ++i) {
        v[i] = (-3 * in[i - 2] + 12 * in[i - 1] + 17 * in[i] + 12 * in[i + 1] - 3 * in[i + 2]) / 35;
    }
}

int FilterStoredScanA(Program& p, int filter) {
    AppState& st = p.st;
    const int count = std::clamp(st.last_scan_index + 1, 0, core::ScanCapacity);
    if (count <= 0) {
        return 0;
    }
    const double factor = st.dspthreshold_factor > 0 ? st.dspthreshold_factor : DefaultFactor;
    const double floor = std::max(0.0, st.dspthreshold);
    std::vector<double> zmag(p.scan.raw_zmag.begin(), p.scan.raw_zmag.begin() + count);
    std::vector<double> phase(p.scan.raw_phase.begin(), p.scan.raw_phase.begin() + count);
    int replaced = RejectOutliers(zmag, factor, floor, true);
    replaced += RejectOutliers(phase, factor, floor, false);
    if (filter == 2) {
        SmoothQuadratic(zmag);
        SmoothQuadratic(phase);
    }
    std::copy(zmag.begin(), zmag.end(), p.scan.raw_zmag.begin());
    std::copy(phase.begin(), phase.end(), p.scan.raw_phase.begin());
    measure::ReplayScanA(p);
    return replaced;
}

void DspFilterRescan(Program& p, int filter) {
    AppState& st = p.st;
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return;
    }
    const std::string caption = " DSP Filter " + std::to_string(filter);
    if (st.PortB_on) {
        p.ui.message("The DSP filters work on Port A scans: switch to Port A first.", caption);
        return;
    }
    if (!st.porta_cal_ok) {
        p.ui.message("The instrument needs to be calibrated.", "Cal Problem  4482");
        return;
    }
    // Offered: the first resonance of the last sweep (else its lowest SWR) and a tenth of its span.
    double centre = (st.start_freq + st.end_freq) / 2;
    if (st.last_scan_index >= 0 && p.scan.reson_freq[0] > 0) {
        centre = p.scan.reson_freq[0];
    } else if (st.last_scan_index >= 0 && st.min_swr < 999) {
        centre = st.min_swr_freq;
    }
    const double span = std::max((st.end_freq - st.start_freq) / 10, st.minimum_freq);
    platform::Form form;
    form.title = caption;
    form.fields.push_back(
        platform::MakeField(platform::FormField::Kind::Text, "Centre Freq (MHz)", Fixed(centre, 6)));
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Text, "Span (MHz)", Fixed(span, 6)));
    if (p.ui.form(form) != platform::FormOk) {
        return;
    }
    const auto c = core::ParseEntry(p, form.fields[0].text, caption);
    const auto s = core::ParseEntry(p, form.fields[1].text, caption);
    if (!c || !s) {
        return;
    }
    if (!(*c > st.minimum_freq && *c<st.maximumfreq&& * s> 0)) {
        p.ui.message("The centre must lie between " + Fixed(st.minimum_freq, 3) + " and " +
                         Fixed(st.maximumfreq, 3) + " MHz, and the span must be above 0.",
                     caption);
        return;
    }
    const measure::SavedLimits saved = measure::SaveLimits(p);
    const int points = std::max(st.scan_points, FewestRescanPoints);
    st.start_freq = std::max(st.minimum_freq, *c - *s / 2);
    st.end_freq = std::min(st.maximumfreq, *c + *s / 2);
    st.delta_freq = (st.end_freq - st.start_freq) / (points - 1);
    st.delta_freq_text.clear();
    measure::ApplyNewLimits(p, saved);
    if (st.LastError != 0) {
        return;
    }
    st.live_scan = 1;
    measure::ScanCommand(p);
    if (st.LastError != 0 || st.last_scan_index < 2) {
        return;
    }
    const int replaced = FilterStoredScanA(p, filter);
    display::RedrawScan(p);
    if (platform::Canvas* canvas = p.ui.mainCanvas()) {
        const core::GraphGeometry& g = p.display.g;
        std::string note = "DSP Filter " + std::to_string(filter) + ": " + std::to_string(replaced) +
                           " noisy readings replaced" + (filter == 2 ? ", smoothed" : "") +
                           ".  Resonant freq:";
        int shown = 0;
        for (const double f : p.scan.reson_freq) {
            if (f > 0 && shown < 3) {
                note += " " + Fixed(f, 6);
                ++shown;
            }
        }
        if (shown == 0) {
            note += " none";
        }
        display::SetGraphFont(*canvas, st, 0, display::GraphFontWeight(st));
        display::TextAt(*canvas, g.box.left + 40, g.box.top + g.lineH + 4, note, st.Blue);
        canvas->flush();
    }
}

} // namespace vna::tools
