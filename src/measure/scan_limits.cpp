#include "measure/scan_limits.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/cal_table.h"
#include "core/entry.h"
#include "core/freq_axis.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "display/graph_geometry.h"
#include "display/status_panel.h"
#include "measure/interpolation.h"

namespace vna::measure {

namespace {

// The largest number of points the dialog's step rules produce.
constexpr int MaxDialogPoints = 30010;
// Frequencies closer than this are the same (MHz).
constexpr double SameFreq = 0.000001;

std::string Num(const core::AppState& st, double v) {
    return core::NumText(v, st.NumDecimals);
}

// A limit as the dialog shows it: up to 6 decimals, without trailing zeros or the leading blank.
std::string LimitText(double v) {
    std::string s = core::NumText(v, 6).substr(1);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') {
            s.pop_back();
        }
        if (!s.empty() && s.back() == '.') {
            s.pop_back();
        }
    }
    return s;
}

// The number before the first occurrence of `mark` (the whole text when there is none).
double NumberBefore(std::string_view text, std::string_view mark) {
    const std::size_t pos = text.find_first_of(mark);
    return core::TextToNumber(pos == std::string_view::npos ? text : text.substr(0, pos));
}

void NeutralScanArrays(core::Program& p) {
    const int last = std::min(core::MaxScanPoints(p.st), core::CalCapacity - 1);
    for (int k = 0; k <= last; ++k) {
        const auto u = static_cast<std::size_t>(k);
        const double v = k * 0.0001;
        p.scan.scan_zmag[u] = v;
        p.scan.scan_phase[u] = v;
        p.scan.scan_swr[u] = v;
        p.scan.s21_db[u] = v;
        p.scan.s21_phase[u] = v;
    }
}

} // namespace

SavedLimits SaveLimits(const core::Program& p) {
    return {p.st.start_freq, p.st.end_freq, p.st.delta_freq, p.st.plot_at_zero};
}

void RestoreLimits(core::Program& p, const SavedLimits& saved) {
    p.st.start_freq = saved.start;
    p.st.end_freq = saved.stop;
    p.st.delta_freq = saved.step;
    p.st.plot_at_zero = saved.plotAtZero;
}

void SetupScanLimitsDialog(core::Program& p) {
    core::AppState& st = p.st;
    if (st.delta_freq_text.find_first_not_of(' ') == std::string::npos) {
        st.delta_freq_text = " " + LimitText(st.delta_freq);
    }
}

int CheckCustomLimits(core::Program& p) {
    core::AppState& st = p.st;
    const core::CalTable& c = p.cal;
    if (!c.custom_cal) {
        return 0;
    }
    const double plotStop = p.display.g.axis.plotStop;
    int code = 0;
    std::string word;
    double value = 0;
    if (st.start_freq < c.custom_start_freq - SameFreq || st.start_freq > c.custom_end_freq + SameFreq) {
        word = " start";
        value = st.start_freq;
        code = 1;
    }
    if (plotStop < c.custom_start_freq - SameFreq ||
        (st.end_freq > c.custom_end_freq + SameFreq && plotStop < st.maximumfreq)) {
        word = " end";
        value = st.end_freq;
        code = 2;
    }
    if (code != 0) {
        p.ui.message("The" + word + " frequency (" + Num(st, value) +
                         " MHz) is not within the custom cal limits,\r" + "which are " +
                         Num(st, c.custom_start_freq) + "  to  " + Num(st, c.custom_end_freq) + " MHz",
                     "Custom Cal problem");
    }
    st.LastError = code;
    return code;
}

void CheckScanLimits(core::Program& p) {
    core::AppState& st = p.st;
    st.LastError = 0;
    int code = 0;
    st.start_freq = std::fabs(st.start_freq);
    if (st.start_freq < st.minimum_freq) {
        st.start_freq = 1;
        code = 1;
    } else if (st.start_freq > st.maximumfreq) {
        st.start_freq = 10;
        code = 2;
    }
    st.end_freq = std::fabs(st.end_freq);
    if (st.end_freq < st.minimum_freq) {
        st.end_freq = 20;
        code = 3;
    } else if (st.end_freq > st.maximumfreq) {
        st.end_freq = 21;
        code = 4;
    }
    st.delta_freq = std::fabs(st.delta_freq);
    if (!(st.delta_freq >= 0.000001) || st.delta_freq > st.maximumfreq / 10) {
        // One per cent of the span, whichever way round the limits stand; a span of nothing still
        // gets a step that a sweep can advance by.
        st.delta_freq = std::fabs(st.end_freq - st.start_freq) * 0.01;
        if (st.delta_freq < 0.000001) {
            st.delta_freq = 0.01;
        }
        code = 5;
    }
    code += CheckCustomLimits(p);
    st.LastError = code;
    if (code != 0) {
        p.ui.message(
            "A scan limit error was found.\r\nBe sure the proper scan limits are set and\r\nthe correct cal "
            "file and config file are loaded.",
            " Scan Limit Error");
    }
}

void SnapToCalGrid(core::Program& p) {
    core::AppState& st = p.st;
    const core::CalTable& c = p.cal;
    if (st.interpolate != 0 || !(c.caldelta > 0)) {
        return;
    }
    const double old = st.delta_freq;
    const double k = std::max(1.0, std::floor(old / c.caldelta + 0.0000001));
    const double step = c.caldelta * k;
    const double ratio = old != 0 ? step / old : 0;
    if (ratio < 0.9999 || ratio > 1.0001) {
        p.ui.message("The freq step size will be \r" + Num(st, step) + " instead of " + Num(st, old) +
                         "\rbecause interpolation is off.\r",
                     " Interpolation is off");
    }
    st.delta_freq = step;
    const double j = std::max(1.0, std::floor(st.start_freq / c.caldelta + 0.0000001));
    st.start_freq = c.caldelta * j;
    double n = std::max(1.0, std::floor((st.end_freq - st.start_freq) / st.delta_freq + 0.9999999));
    const double limit = c.custom_cal ? c.custom_end_freq : st.maximumfreq;
    st.end_freq = st.start_freq + st.delta_freq * n;
    while (st.end_freq > limit && n > 1) {
        n -= 1;
        st.end_freq = st.start_freq + st.delta_freq * n;
    }
}

double FrequencyFromText(std::string_view text) {
    const std::string lower = core::ToLower(text);
    if (lower.find('k') != std::string::npos) {
        return std::fabs(NumberBefore(lower, "k") * 0.001);
    }
    return std::fabs(core::TextToNumber(lower));
}

double StepFromText(std::string_view text, double start, double stop) {
    // The span whichever way round the limits were typed: they are put in order later.
    const double span = std::fabs(stop - start);
    const std::string s(text);
    if (s.find('%') != std::string::npos) {
        double percent = std::fabs(NumberBefore(s, "%"));
        if (percent == 0) {
            percent = 1;
        }
        return span / (100 / percent);
    }
    if (s.find_first_of("Pp") != std::string::npos) {
        double steps = std::fabs(NumberBefore(s, "Pp"));
        if (steps == 0) {
            steps = 5;
        }
        return span / steps;
    }
    const double v = FrequencyFromText(s);
    if (v >= 20) {
        return span / std::min(v, static_cast<double>(MaxDialogPoints));
    }
    if (v == 0 || core::Nint(span / v) > MaxDialogPoints) {
        return span / MaxDialogPoints;
    }
    return v;
}

void ApplyNewLimits(core::Program& p, const SavedLimits& saved) {
    core::AppState& st = p.st;
    const core::CalTable& c = p.cal;
    double& start = st.start_freq;
    double& stop = st.end_freq;
    if (start > stop) {
        std::swap(start, stop);
    }
    if (start < st.minimum_freq) {
        start = st.minimum_freq;
    }
    if (start >= st.maximumfreq) {
        start = st.maximumfreq - 0.1;
    }
    if (stop < st.minimum_freq + 0.01) {
        stop = st.minimum_freq + 0.01;
    }
    if (stop > st.maximumfreq) {
        stop = st.maximumfreq;
    }
    if (stop < start + 0.001) {
        stop = start + 0.001;
    }
    if (!(st.delta_freq >= 0.000001)) {
        st.delta_freq = 0.000001;
    }
    const double span = stop - start;
    const int maxPoints = core::MaxScanPoints(st);
    if (span / st.delta_freq < 5) {
        st.delta_freq = std::max((span - 0.001) / 5, 0.000001);
    } else if (span / st.delta_freq > maxPoints) {
        st.delta_freq = (span + 0.0000001) / maxPoints;
    }

    if (c.custom_cal) {
        bool accepted = true;
        if (start < c.custom_start_freq) {
            accepted =
                p.ui.message("The Start Frequency cannot be less than " + Num(st, c.custom_start_freq) +
                                 ".\rDo you want to set it to this value?",
                             "Custom Cal Start Limit", platform::Buttons::YesNo) == platform::Answer::Yes;
            if (accepted) {
                start = c.custom_start_freq;
            }
        }
        if (accepted && stop > c.custom_end_freq) {
            accepted =
                p.ui.message("The Stop Frequency cannot be greater than " + Num(st, c.custom_end_freq) +
                                 ".\rDo you want to set it to this value?",
                             "Custom Cal Stop Limit", platform::Buttons::YesNo) == platform::Answer::Yes;
            if (accepted) {
                stop = c.custom_end_freq;
            }
        }
        if (!accepted) {
            p.ui.message("Enter scan limits again.", "New Limits");
            RestoreLimits(p, saved);
            return;
        }
    }

    SnapToCalGrid(p);
    display::RefreshStatusPanel(p);
    NeutralScanArrays(p);
    display::ComputeScaleFactors(p);

    if (c.custom_cal && CheckCustomLimits(p) != 0) {
        RestoreLimits(p, saved);
        display::ComputeScaleFactors(p);
    }
    if (st.LastError != 0) {
        return;
    }

    st.RefToAntenna = 0;
    const double change = std::fabs(start - saved.start) + std::fabs(stop - saved.stop) +
                          std::fabs(static_cast<double>(st.plot_at_zero - saved.plotAtZero));
    if (change > 0.0000001) {
        display::RedrawGraph(p);
        st.scana_ok = 0;
        st.scanb_ok = 0;
        st.scanFileNameA.clear();
        st.scanFileNameB.clear();
    }
    BuildInterpolation(p);
}

void ScanLimitsCommand(core::Program& p) {
    core::AppState& st = p.st;
    if (st.SweepRunning || st.TdrActive) {
        return;
    }
    const core::CalTable& c = p.cal;
    platform::Form form;
    form.title = " Scan Limits";
    if (c.custom_cal) {
        form.title += "    Custom Cal: Start=" + Num(st, c.custom_start_freq) +
                      " Stop=" + Num(st, c.custom_end_freq) + " Step=" + Num(st, c.custom_delta_freq);
    }
    SetupScanLimitsDialog(p);
    const std::string step = st.delta_freq_text.substr(st.delta_freq_text.find_first_not_of(' '));
    const std::string center = LimitText((st.start_freq + st.end_freq) / 2);
    const std::string span = LimitText(st.end_freq - st.start_freq);
    using Kind = platform::FormField::Kind;
    form.fields.push_back(platform::MakeField(Kind::Text, "Start", LimitText(st.start_freq)));
    form.fields.push_back(platform::MakeField(Kind::Text, "Stop", LimitText(st.end_freq)));
    form.fields.push_back(platform::MakeField(Kind::Text, "Step", step));
    form.fields.push_back(platform::MakeField(Kind::Label, "Frequencies in MHz"));
    platform::FormField atZero = platform::MakeField(Kind::Check, "Start Plot at Zero");
    atZero.checked = st.plot_at_zero != 0;
    form.fields.push_back(atZero);
    form.fields.push_back(platform::MakeField(Kind::Text, "Center", center));
    form.fields.push_back(platform::MakeField(Kind::Text, "Span", span));
    if (p.ui.form(form) != platform::FormOk) {
        return;
    }
    std::string startText = form.fields[0].text;
    std::string stopText = form.fields[1].text;
    const std::string stepText = form.fields[2].text;
    // Center and Span rewrite Start and Stop when they were changed.
    const std::string& centerText = form.fields[5].text;
    const std::string& spanText = form.fields[6].text;
    if (centerText != center || spanText != span) {
        for (const std::string* t : {&centerText, &spanText}) {
            if (!core::ParseEntry(p, *t, " Scan Limits")) {
                return;
            }
        }
        const double mid = FrequencyFromText(centerText);
        const double width = FrequencyFromText(spanText);
        startText = LimitText(std::max(mid - width / 2, 0.0));
        stopText = LimitText(mid + width / 2);
    }
    // A typing slip is refused rather than taken as 0.
    for (const std::string& t : {startText, stopText, stepText}) {
        if (!core::ParseEntry(p, t, " Scan Limits")) {
            return;
        }
    }
    const SavedLimits saved = SaveLimits(p);
    st.plot_at_zero = form.fields[4].checked ? 1 : 0;
    st.start_freq = FrequencyFromText(startText);
    st.end_freq = FrequencyFromText(stopText);
    st.delta_freq = StepFromText(stepText, st.start_freq, st.end_freq);
    if (st.start_freq > 0.25 * st.end_freq) {
        st.plot_at_zero = 0;
    }
    ApplyNewLimits(p, saved);
    st.delta_freq_text = " " + LimitText(st.delta_freq);
    if (std::fabs(st.start_freq - saved.start) > 0.0000001 ||
        std::fabs(st.end_freq - saved.stop) > 0.0000001) {
        display::RedrawGraph(p);
    }
}

} // namespace vna::measure
