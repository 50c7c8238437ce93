// The sweep generator: the " Sweep Parameters" dialog, the set-up of the instrument's own sweep,
// and its stop.

#include "measure/sweep_generator.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_text.h"
#include "instrument/commands.h"
#include "instrument/self_sweep.h"
#include "instrument/serial_link.h"
#include "instrument/status_text.h"
#include "measure/scan_limits.h"
#include "platform/canvas.h"
#include "platform/form.h"

namespace vna::measure {

namespace {

constexpr const char* Caption = " Sweep Parameters";
// A STEP above this is a number of points.
constexpr double PointsAbove = 20;
// Where a marker outside the sweep is put: above the instrument's range, so no sweep reaches it.
constexpr double OutsideMarker = 195;
// The text lines: the three limits, the four markers, then the line that says how to stop.
constexpr int StopLine = 8;

std::string Num(const core::AppState& st, double v) {
    return core::NumText(v, st.NumDecimals);
}

// A value as the dialog shows it: up to 6 decimals, without trailing zeros or the leading blank.
std::string FieldText(double v) {
    std::string s = core::NumText(v, 6).substr(1);
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.') {
            s.pop_back();
        }
    }
    return s;
}

// Text line k of the generator, one below the other at the top left of the graph.
void Line(core::Program& p, int k, const std::string& text) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const core::GraphGeometry& g = p.display.g;
    display::SetGraphFont(*c, p.st, 0, display::GraphFontWeight(p.st));
    instrument::StatusText(p, g.box.left + 20, g.box.top + 10 + k * (g.lineH + 4), text, 0);
}

// Reads the dialog's fields into `v`; false (after the message) when one of them is not a number.
// An empty field keeps the present value.
bool ReadFields(core::Program& p, const platform::Form& form, SweepParameters& v) {
    double* const targets[] = {&v.start,      &v.stop,       &v.step,       &v.settling,
                               &v.markers[0], &v.markers[1], &v.markers[2], &v.markers[3]};
    for (std::size_t i = 0; i < std::size(targets); ++i) {
        const std::string& text = form.fields[i].text;
        if (text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        const auto number = core::ParseEntry(p, text, Caption);
        if (!number) {
            return false;
        }
        // The frequencies follow the limits' rule: MHz, or kHz with "k".
        *targets[i] = i == 3 ? *number : FrequencyFromText(text);
    }
    return true;
}

} // namespace

std::optional<std::string> ApplySweepParameters(core::Program& p, SweepParameters v) {
    core::AppState& st = p.st;
    double start = std::fabs(v.start);
    double stop = std::fabs(v.stop);
    if (start > stop) {
        std::swap(start, stop);
    }
    start = std::max(start, st.minimum_freq);
    stop = std::min(stop, st.maximumfreq);
    if (!(start < st.maximumfreq)) {
        return "The sweep must start below" + Num(st, st.maximumfreq) + " MHz.";
    }
    double step = std::fabs(v.step);
    if (step > PointsAbove) {
        step = (stop - start) / step;
    }
    if (!(step > 0) || !std::isfinite(step)) {
        return std::string("STEP must be above 0 (MHz, or a number of points above 20).");
    }
    st.start_freq = start;
    st.end_freq = stop;
    st.delta_freq = step;
    st.sweepSettling = core::Nint(std::fabs(v.settling));
    for (std::size_t k = 0; k < v.markers.size(); ++k) {
        st.sweepMarkers[k] = std::isfinite(v.markers[k]) ? std::fabs(v.markers[k]) : 0;
    }
    return std::nullopt;
}

instrument::SweepGeneratorWords SweepGeneratorWordsOf(const core::AppState& st) {
    instrument::SweepGeneratorWords w;
    w.start = instrument::TuningWord(st, st.start_freq, 0);
    w.stop = instrument::TuningWord(st, st.end_freq, 0);
    w.step = instrument::TuningWord(st, st.delta_freq, 0);
    for (std::size_t k = 0; k < w.markers.size(); ++k) {
        const double marker = st.sweepMarkers[k];
        // Whether a marker lies inside the sweep is decided on the frequencies as typed, limits and
        // marker alike; the clock correction applies to the word sent, never to the comparison.
        w.markers[k] = marker < st.start_freq ? instrument::TuningWordCompensated(st, OutsideMarker)
                                              : instrument::TuningWord(st, marker, 0);
    }
    w.settling = instrument::SweepGeneratorSettlingByte(st.sweepSettling);
    return w;
}

void StartGenerator(core::Program& p) {
    core::AppState& st = p.st;
    // On from the first byte: Halt during the set-up ends the sweep as soon as it runs, and sends
    // nothing the instrument would take for a part of the set-up.
    st.sweepOn = 1;
    // Port A's relay alone, as for the band scan.
    st.RelayBit1 = 0;
    instrument::SetRelays(p, 1);
    const auto parts = instrument::SweepGeneratorSetup(SweepGeneratorWordsOf(st));
    const std::string blanks(5, ' ');
    const std::string limits[] = {"   Sweep start = " + Num(st, st.start_freq) + blanks,
                                  "   Sweep stop  = " + Num(st, st.end_freq) + blanks,
                                  "   Sweep delta freq  = " + Num(st, st.delta_freq) + blanks};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        instrument::SendCommand(p, parts[i]);
        if (i < 3) {
            Line(p, static_cast<int>(i), limits[i]);
        } else if (i < 7) {
            const int k = static_cast<int>(i) - 3;
            Line(p, static_cast<int>(i),
                 "Marker " + core::NumText(k + 1, 0) + "  = " +
                     Num(st, st.sweepMarkers[static_cast<std::size_t>(k)]) + blanks);
        }
    }
    instrument::StartSweepGenerator(p);
    Line(p, StopLine, "    ***  PRESS ANY KEY OR CLICK THE MOUSE TO STOP. ***       ");
}

void StopGenerator(core::Program& p) {
    instrument::StopSweepGenerator(p);
    p.st.sweepOn = 0;
    Line(p, StopLine, "     *** SWEEP IS OFF ***" + std::string(40, ' '));
}

void SweepGeneratorCommand(core::Program& p) {
    core::AppState& st = p.st;
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return;
    }
    using Kind = platform::FormField::Kind;
    platform::Form form;
    form.title = Caption;
    form.fields = {platform::MakeField(Kind::Text, "START", FieldText(st.start_freq)),
                   platform::MakeField(Kind::Text, "STOP", FieldText(st.end_freq)),
                   platform::MakeField(Kind::Text, "STEP", FieldText(st.delta_freq)),
                   platform::MakeField(Kind::Text, "SETTLING", FieldText(st.sweepSettling))};
    for (std::size_t k = 0; k < st.sweepMarkers.size(); ++k) {
        form.fields.push_back(platform::MakeField(Kind::Text, "MARKER " + std::to_string(k + 1),
                                                  FieldText(st.sweepMarkers[k])));
    }
    form.fields.push_back(platform::MakeField(
        Kind::Label, "Frequencies in MHz (kHz with k); a STEP above 20 is a number of points"));
    const int result = p.ui.form(form);
    if (result == platform::FormCancelled) {
        return;
    }
    if (result == platform::FormOk) {
        SweepParameters v{st.start_freq, st.end_freq, st.delta_freq, static_cast<double>(st.sweepSettling),
                          st.sweepMarkers};
        if (!ReadFields(p, form, v)) {
            return;
        }
        if (const auto why = ApplySweepParameters(p, v)) {
            p.ui.message(*why, Caption);
            return;
        }
    }
    // The instrument sweeps on its own from now on; a key, a click, Halt or Quit ends the wait.
    // Nothing else may talk to it meanwhile: it takes no command but its stop.
    st.SweepRunning = 1;
    StartGenerator(p);
    while (st.sweepOn && st.SweepRunning && st.ProgramRunning) {
        p.ui.waitForEvents();
    }
    st.SweepRunning = 0;
    StopGenerator(p);
}

} // namespace vna::measure
