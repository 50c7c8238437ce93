#include "measure/entry_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "measure/scan_limits.h"
#include "platform/form.h"

namespace vna::measure {

namespace {

std::string EditText(double v, int decimals) {
    return core::NumText(v, decimals).substr(1);
}

struct DelayUnit {
    const char* name;
    double seconds;
};
constexpr DelayUnit DelayUnits[] = {{"nsec", 1e-9}, {"usec", 1e-6}, {"msec", 1e-3}};

// Beyond a second the delay term turns every phase into noise; such an entry is a slip.
constexpr double MaxDelaySeconds = 1;
// The group-delay window is |value| x points / 200: 1000 already spans five sweeps.
constexpr int MaxDelaySmoothing = 1000;

} // namespace

void SelectBand(core::Program& p, int band) {
    core::AppState& st = p.st;
    if (band < 1 || band > std::min(st.bandCount, core::BandCount) || st.SweepRunning) {
        return;
    }
    if (st.TdrActive) {
        p.ui.message("The TDR view keeps its own limits: switch the TDR mode off to choose a band.",
                     " Bands");
        return;
    }
    const core::Band& b = st.bandTable[static_cast<std::size_t>(band)];
    if (b.start < 0.001 || !(b.end > b.start)) {
        return; // an unused entry of the table (its menu item is grey)
    }
    const SavedLimits saved = SaveLimits(p);
    const double points = std::max((st.end_freq - st.start_freq) / st.delta_freq, 1.0);
    st.start_freq = b.start;
    st.end_freq = b.end;
    st.delta_freq = b.step > 0 ? b.step : (b.end - b.start) / points;
    st.plot_at_zero = 0;
    // The step text of the limits dialog follows the new step.
    st.delta_freq_text.clear();
    ApplyNewLimits(p, saved);
}

DelayText DelayOffsetText(double seconds) {
    const double a = std::fabs(seconds);
    const DelayUnit& u = a < 1e-6 ? DelayUnits[0] : a < 1e-3 ? DelayUnits[1] : DelayUnits[2];
    // Six significant digits and no trailing zeros: the entry shows what was typed.
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", seconds / u.seconds);
    return {text, u.name};
}

void DelayOffsetDialog(core::Program& p) {
    core::AppState& st = p.st;
    const std::string caption = " Delay Offset";
    const DelayText now = DelayOffsetText(st.PortB_Delay);
    platform::Form form;
    form.title = caption;
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Label,
                                              "Electrical delay taken off every Port B phase (0 = none)"));
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Text, "Delay", now.value));
    platform::FormField unit = platform::MakeField(platform::FormField::Kind::Choice, "Units", now.unit);
    for (const DelayUnit& u : DelayUnits) {
        unit.choices.push_back(u.name);
    }
    unit.fixed = true;
    form.fields.push_back(unit);
    if (p.ui.form(form) != platform::FormOk) {
        return;
    }
    const auto value = core::ParseEntry(p, form.fields[1].text, caption);
    if (!value) {
        return;
    }
    double scale = 0;
    for (const DelayUnit& u : DelayUnits) {
        if (form.fields[2].text == u.name) {
            scale = u.seconds;
        }
    }
    const double seconds = *value * scale;
    if (scale == 0 || !(std::fabs(seconds) <= MaxDelaySeconds)) {
        p.ui.message("The delay must be given in nsec, usec or msec and stay within 1 second.", caption);
        return;
    }
    st.PortB_Delay = seconds;
    display::RedrawGraph(p);
}

void DelaySmoothingDialog(core::Program& p) {
    core::AppState& st = p.st;
    const std::string caption = " Delay Smoothing";
    const auto v = core::EnterNumber(p,
                                     "Group delay smoothing: the delay is taken over a window of this value "
                                     "x points / 200 (1 .. 1000)",
                                     caption, std::to_string(st.delay_smoothing));
    if (!v) {
        return;
    }
    const long n = std::lround(*v);
    if (n == 0 || std::labs(n) > MaxDelaySmoothing) {
        p.ui.message("The delay smoothing must be 1 to 1000.", caption);
        return;
    }
    st.delay_smoothing = static_cast<std::int32_t>(n);
}

void TemperatureCompDialog(core::Program& p) {
    core::AppState& st = p.st;
    const std::string caption = " Temperature Comp";
    platform::Form form;
    form.title = caption;
    form.fields.push_back(
        platform::MakeField(platform::FormField::Kind::Label,
                            "Port A phase += (temperature - reference) x coefficient x MHz / 180 / 57.3; "
                            "coefficient 0 = off"));
    form.fields.push_back(
        platform::MakeField(platform::FormField::Kind::Text, "Coefficient", EditText(st.myvar1, 6)));
    form.fields.push_back(platform::MakeField(platform::FormField::Kind::Text, "Reference temperature (degF)",
                                              EditText(st.myvar2, 2)));
    if (p.ui.form(form) != platform::FormOk) {
        return;
    }
    const auto k = core::ParseEntry(p, form.fields[1].text, caption);
    const auto t = k ? core::ParseEntry(p, form.fields[2].text, caption) : std::nullopt;
    if (!t) {
        return;
    }
    st.myvar1 = *k;
    st.myvar2 = *t;
}

} // namespace vna::measure
