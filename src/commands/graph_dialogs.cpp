#include "commands/graph_dialogs.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <optional>
#include <string>

#include "commands/menus.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/scan_plot.h"
#include "platform/form.h"
#include "tools/tdr_commands.h"

namespace vna::commands {

using display::ComputeScaleFactors;
using display::DrawSwrRuler;
using display::RedrawScan;

namespace {

using platform::Form;
using platform::FormField;

std::string Upper(std::string_view text) {
    std::string s(text);
    for (char& ch : s) {
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    return s;
}

bool Blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// The number a field holds; nothing for an empty field.
std::optional<double> Number(std::string_view text) {
    if (Blank(text)) {
        return std::nullopt;
    }
    return core::TextToNumber(text);
}

// Number in the text as the dialogs show it: no leading blank.
std::string Shown(double v) {
    std::string s = core::NumText(v, 4);
    return s.substr(s.find_first_not_of(' '));
}

// Full-scale values beyond these only make the scale numbers unreadable.
constexpr double MaxZmagScale = 1e7;  // ohms
constexpr double MaxDelayScale = 1e9; // ns (one second)

FormField Choice(std::string label, std::vector<std::string> choices, std::string text) {
    FormField f;
    f.kind = FormField::Kind::Choice;
    f.label = std::move(label);
    f.choices = std::move(choices);
    f.text = std::move(text);
    return f;
}

FormField Label(std::string text) {
    FormField f;
    f.kind = FormField::Kind::Label;
    f.label = std::move(text);
    return f;
}

FormField Check(std::string label, bool on) {
    FormField f;
    f.kind = FormField::Kind::Check;
    f.label = std::move(label);
    f.checked = on;
    return f;
}

const std::string& FieldText(const Form& f, const std::string& label) {
    static const std::string none;
    const int i = f.find(label);
    return i < 0 ? none : f.fields[static_cast<std::size_t>(i)].text;
}

bool FieldChecked(const Form& f, const std::string& label) {
    const int i = f.find(label);
    return i >= 0 && f.fields[static_cast<std::size_t>(i)].checked;
}

// Refuses a field that holds no number at all, naming the field.
bool CheckNumber(core::Program& p, const std::string& label, const std::string& text) {
    if (Blank(text) || IsNumberText(text)) {
        return true;
    }
    p.ui.message("\"" + text + "\" is not a number.\r\nThe scale \"" + label + "\" is unchanged.",
                 " Graph Scales");
    return false;
}

// Takes one numeric field of a scale dialog into `target`: a text that is not a number is
// refused with a message naming the field, a number outside the scale's rule is ignored.
template <typename Accept, typename T>
void TakeScale(core::Program& p, const Form& f, const std::string& label, Accept accept, T& target) {
    const std::string& text = FieldText(f, label);
    if (CheckNumber(p, label, text)) {
        if (auto v = accept(text)) {
            target = *v;
        }
    }
}

const char* const StyleCaptions[] = {"Plain line", "Short Dash", "Long Dash",
                                     "Circle",     "Square",     "Wide Line"};
const char* const StyleTraces[] = {"SWR",         "Zmag",       "Rs",  "Xs",         "Phase",
                                   "Return loss", "Gain (S21)", "S11", "Group Delay"};

std::int32_t& StyleField(core::AppState& st, int trace) {
    std::array<std::int32_t*, 9> fields = {&st.swrstyle, &st.zmagstyle,  &st.rsstyle,
                                           &st.xsstyle,  &st.phasestyle, &st.rtstyle,
                                           &st.s21style, &st.s11style,   &st.delaystyle};
    return *fields[static_cast<std::size_t>(std::clamp(trace, 0, 8))];
}

void GraphScalesA(core::Program& p) {
    core::AppState& st = p.st;
    Form f;
    f.title = " Graph Scales";
    f.fields.push_back(Label("Any full scale value can be"));
    f.fields.push_back(Label("entered in the edit box."));
    f.fields.push_back(Choice("SWR",
                              {"1.5", "2", "3", "4", "5", "6", "11", "21", "51", "------- ", "2 Log", "5 Log",
                               "10 Log", "20 Log", "50 Log", "100 Log"},
                              Shown(st.swr_scale) + (st.swrLog ? " Log" : "")));
    f.fields.push_back(
        Choice("Impedance (ohms)",
               {" 2", " 5", "10", "20", "50", "100", "200", "500", "1000", "2000", "5000", "10000"},
               Shown(st.zmag_scale)));
    f.fields.push_back(Choice("Phase (degrees)", {"10", "20", "50", "100"}, Shown(st.phase_scale)));
    f.fields.push_back(Choice("Return Loss (dB)", {"1", "2", "5", "10", "20", "30", "40", "50", "60"},
                              Shown(st.rtloss_scale)));
    f.fields.push_back(Choice("Q", {"10", "20", "50", "100", "200"}, Shown(st.Q_scale)));
    if (p.ui.form(f) != platform::FormOk) {
        return;
    }
    const std::string& swr = FieldText(f, "SWR");
    if (swr.find("--") != std::string::npos ||
        CheckNumber(p, "SWR", Upper(swr).substr(0, Upper(swr).find('L')))) {
        if (auto v = AcceptSwrScale(swr)) {
            st.swr_scale = v->value;
            st.swrLog = v->log ? 1 : 0;
        }
    }
    TakeScale(p, f, "Impedance (ohms)", AcceptZmagScale, st.zmag_scale);
    TakeScale(p, f, "Phase (degrees)", AcceptPhaseScale, st.phase_scale);
    TakeScale(p, f, "Return Loss (dB)", AcceptRtlossScale, st.rtloss_scale);
    TakeScale(p, f, "Q", AcceptQScale, st.Q_scale);
}

std::string DelayText(double ns) {
    if (ns > 999999) {
        return Shown(ns / 1e6) + " ms";
    }
    if (ns > 999) {
        return Shown(ns / 1000) + " us";
    }
    return Shown(ns) + " ns";
}

void GraphScalesB(core::Program& p) {
    core::AppState& st = p.st;
    Form f;
    f.title = " Graph Scales";
    f.fields.push_back(Label("Any full scale value can be"));
    f.fields.push_back(Label("entered in the edit box."));
    std::vector<std::string> gains;
    for (int g : {1, 2, 3, 5, 6}) {
        gains.push_back(" " + std::to_string(g) + "     (" + Shown(g * (20.0 - st.Zero_Ref)) + ")");
    }
    f.fields.push_back(Choice("S21 (dB/div)", gains, Shown(st.s21gain_scale)));
    const std::string top = Shown(st.s21gain_scale * st.Zero_Ref);
    f.fields.push_back(
        Choice("S21 (dB) value at top line of graph.", {"0", "5", "6", "12", "-5", "-6", "-12"}, top));
    const std::string divs = Shown(st.Zero_Ref);
    FormField zero;
    zero.kind = FormField::Kind::Text;
    zero.label = "0_dB Ref Line (Div from Top 0-18)";
    zero.text = divs;
    f.fields.push_back(zero);
    f.fields.push_back(Choice("Phase (degrees)", {"10", "20", "50", "100", "200"}, Shown(st.s21phase_scale)));
    f.fields.push_back(Choice("Group Delay",
                              {" 1 ns", " 5 ns", " 10 ns", " 50 ns", " 100 ns", " 500 ns", " 1 us", " 5 us",
                               " 10 us", " 50 us", " 100 us", " 500 us", " 1 ms", " 5 ms", " 10 ms"},
                              DelayText(st.delay_scale)));
    f.fields.push_back(Choice("Insertion Loss (dB/div)", {" 0.2", " 0.5", "  1", "  2", "  3", "  5"},
                              Shown(st.insertionLossScale)));
    if (p.ui.form(f) != platform::FormOk) {
        return;
    }
    const std::string& gain = FieldText(f, "S21 (dB/div)");
    const std::string gainNumber = Upper(gain).substr(0, Upper(gain).find('D'));
    if (CheckNumber(p, "S21 (dB/div)", gainNumber)) {
        if (auto v = AcceptS21GainScale(gain)) {
            st.s21gain_scale = *v;
        }
    }
    const std::string& topText = FieldText(f, "S21 (dB) value at top line of graph.");
    if (CheckNumber(p, "S21 (dB) value at top line of graph.", topText)) {
        if (auto z = AcceptTopLineValue(topText, st.s21gain_scale)) {
            st.Zero_Ref = *z;
        }
    }
    const std::string& divText = FieldText(f, "0_dB Ref Line (Div from Top 0-18)");
    // The direct entry wins when it was changed.
    if (divText != divs && CheckNumber(p, "0_dB Ref Line (Div from Top 0-18)", divText)) {
        if (auto z = AcceptZeroRefDivisions(divText)) {
            st.Zero_Ref = *z;
        }
    }
    TakeScale(p, f, "Phase (degrees)", AcceptS21PhaseScale, st.s21phase_scale);
    TakeScale(p, f, "Group Delay", AcceptDelayScale, st.delay_scale);
    TakeScale(p, f, "Insertion Loss (dB/div)", AcceptInsertionLossScale, st.insertionLossScale);
}

} // namespace

bool IsNumberText(std::string_view text) {
    std::size_t used = 0;
    core::TextToNumber(text, used);
    return used > 0;
}

std::optional<SwrScale> AcceptSwrScale(std::string_view text) {
    std::string s = Upper(text);
    if (Blank(s)) {
        return std::nullopt;
    }
    SwrScale r;
    if (s.find("--") != std::string::npos) {
        s = "11";
    }
    const auto l = s.find('L');
    if (l != std::string::npos) {
        r.log = true;
        s = s.substr(0, l);
    }
    r.value = std::clamp(std::fabs(core::TextToNumber(s)), 1.1, 51.0);
    return r;
}

std::optional<double> AcceptZmagScale(std::string_view text) {
    const auto v = Number(text);
    if (!v || std::fabs(*v) == 0) {
        return std::nullopt;
    }
    return std::min(std::fabs(*v), MaxZmagScale);
}

std::optional<double> AcceptPhaseScale(std::string_view text) {
    const auto v = Number(text);
    if (!v) {
        return std::nullopt;
    }
    double a = std::fabs(*v);
    if (a > 226) {
        a = 225;
    }
    return a < 1 ? 1 : a;
}

std::optional<double> AcceptRtlossScale(std::string_view text) {
    const auto v = Number(text);
    if (!v) {
        return std::nullopt;
    }
    return std::clamp(std::fabs(*v), 1.0, 80.0);
}

std::optional<double> AcceptQScale(std::string_view text) {
    const auto v = Number(text);
    if (!v || std::fabs(*v) == 0) {
        return std::nullopt;
    }
    return std::min(std::fabs(*v), 500.0);
}

std::optional<double> AcceptS21GainScale(std::string_view text) {
    std::string s = Upper(text);
    s = s.substr(0, s.find('D'));
    const auto v = Number(s);
    if (!v) {
        return std::nullopt;
    }
    const double a = std::fabs(*v);
    if (a < 0.2) {
        return 0.1;
    }
    if (a < 0.5) {
        return 0.2;
    }
    if (a < 1) {
        return 0.5;
    }
    if (a < 2) {
        return 1;
    }
    if (a < 3) {
        return 2;
    }
    if (a < 5) {
        return 3;
    }
    if (a < 6) {
        return 5;
    }
    if (a < 10) {
        return 6;
    }
    return 10;
}

std::optional<double> AcceptS21PhaseScale(std::string_view text) {
    const auto v = Number(text);
    if (!v) {
        return std::nullopt;
    }
    double a = std::fabs(*v);
    if (a > 226) {
        a = 225;
    }
    return a < 1 ? 200 : a;
}

std::optional<int> AcceptTopLineValue(std::string_view text, double s21gainScale) {
    const auto v = Number(text);
    if (!v || !(std::fabs(s21gainScale) > 0)) {
        return std::nullopt;
    }
    // Far beyond the choices the zero line would only leave the graph; 200 divisions is plenty.
    return std::clamp(core::Nint(*v / s21gainScale + 0.49), -200, 200);
}

std::optional<int> AcceptZeroRefDivisions(std::string_view text) {
    const auto v = Number(text);
    if (!v) {
        return std::nullopt;
    }
    return core::Nint(std::clamp(*v, 0.0, 18.0));
}

std::optional<double> AcceptDelayScale(std::string_view text) {
    const auto v = Number(text);
    if (!v) {
        return std::nullopt;
    }
    double ns = std::fabs(*v);
    const std::string lower(text);
    if (lower.find('u') != std::string::npos || lower.find('U') != std::string::npos) {
        ns *= 1000;
    } else if (lower.find('m') != std::string::npos || lower.find('M') != std::string::npos) {
        ns *= 1000000;
    }
    if (ns == 0) {
        return std::nullopt;
    }
    return std::min(ns, MaxDelayScale);
}

std::optional<double> AcceptInsertionLossScale(std::string_view text) {
    const auto v = Number(text);
    if (!v || std::fabs(*v) == 0) {
        return std::nullopt;
    }
    return std::min(std::fabs(*v), 10.0);
}

void GraphScalesDialog(core::Program& p) {
    if (p.st.TdrActive) {
        tools::TdrScalesDialog(p);
        return;
    }
    if (!p.st.PortB_on) {
        GraphScalesA(p);
    } else {
        GraphScalesB(p);
    }
    RedrawScan(p);
}

void PlotParametersDialog(core::Program& p) {
    core::AppState& st = p.st;
    Form f;
    f.title = " Plot Parameters";
    if (!st.PortB_on) {
        f.fields = {Check("SWR", st.plot_swr),
                    Check("Log SWR scale", st.swrLog),
                    Check("Q", st.plot_Q),
                    Check("Return Loss", st.plot_rt),
                    Check("Zmag", st.plot_zmagA),
                    Check("Rs and Xs", st.plot_rsA),
                    Check("Rp and Xp", st.plot_rpA),
                    Check("Z phase", st.plot_ZphaseA),
                    Check("Start plot at zero", st.plot_at_zero)};
    } else {
        f.fields = {Check("S21 magnitude", st.plots21),
                    Check("S11 magnitude", st.plot_s11),
                    Check("S21 phase", st.plot_phaseS21),
                    Check("S11 phase", st.plot_phaseS11),
                    Check("Z phase", st.plot_ZphaseB),
                    Check("Group delay", st.plot_delay),
                    Check("Insertion loss", st.plotInsertionLoss),
                    Check("Start plot at zero", st.plot_at_zero)};
    }
    if (p.ui.form(f) != platform::FormOk) {
        return;
    }
    const auto flag = [&](const char* label) { return FieldChecked(f, label) ? 1 : 0; };
    if (!st.PortB_on) {
        st.plot_swr = flag("SWR");
        st.swrLog = flag("Log SWR scale");
        st.plot_Q = flag("Q");
        st.plot_rt = flag("Return Loss");
        st.plot_zmagA = flag("Zmag");
        // Rs/Xs and Rp/Xp share one pair of traces; the series pair wins when both are asked for.
        st.plot_rsA = flag("Rs and Xs");
        st.plot_rpA = st.plot_rsA ? 0 : flag("Rp and Xp");
        st.plot_ZphaseA = flag("Z phase");
    } else {
        st.plots21 = flag("S21 magnitude");
        st.plot_s11 = flag("S11 magnitude");
        // One phase trace at a time, in this order of preference.
        st.plot_phaseS21 = flag("S21 phase");
        st.plot_phaseS11 = st.plot_phaseS21 ? 0 : flag("S11 phase");
        st.plot_ZphaseB = (st.plot_phaseS21 || st.plot_phaseS11) ? 0 : flag("Z phase");
        st.plot_delay = flag("Group delay");
        st.plotInsertionLoss = flag("Insertion loss");
    }
    st.plot_at_zero = flag("Start plot at zero");
    RedrawScan(p);
}

void LineStyleDialog(core::Program& p, int trace) {
    trace = std::clamp(trace, 0, 8);
    std::int32_t& style = StyleField(p.st, trace);
    Form f;
    f.title = " Graph Style";
    f.fields.push_back(Label(StyleTraces[trace]));
    FormField choice = Choice("Style", {}, StyleCaptions[std::clamp(style, 0, 5)]);
    for (const char* c : StyleCaptions) {
        choice.choices.emplace_back(c);
    }
    choice.fixed = true;
    f.fields.push_back(choice);
    if (p.ui.form(f) != platform::FormOk) {
        return;
    }
    const std::string& chosen = FieldText(f, "Style");
    for (int k = 0; k < 6; ++k) {
        if (chosen == StyleCaptions[k]) {
            style = k;
        }
    }
    RedrawScan(p);
}

void ClearAllStyles(core::Program& p) {
    for (int k = 0; k < 9; ++k) {
        StyleField(p.st, k) = 0;
    }
    if (p.st.TdrActive) {
        // The styles belong to the scan graph, which the TDR view hides: say where they will show.
        p.ui.message("The graph styles are cleared; the scan graph shows them when the TDR display is off.",
                     "Graph Styles");
        return;
    }
    RedrawScan(p);
}

void ToggleLegend(core::Program& p) {
    p.st.LegendOn = p.st.LegendOn ? 0 : 1;
    RedrawScan(p);
}

namespace {

struct ColorSlot {
    const char* label;
    core::Rgb core::AppState::*field;
    int configLine; // the config line that holds its default
};

const ColorSlot ColorSlots[] = {
    {"SWR, Q", &core::AppState::RedColor, 1},
    {"Zmag, S21", &core::AppState::Green, 3},
    {"Phase", &core::AppState::Magenta, 5},
    {"Rs, Rp, delay", &core::AppState::Orange, 12},
    {"Xs, Xp", &core::AppState::Yellow, 10},
    {"Return loss, S11", &core::AppState::Blue, 8},
    {"SWR, Q (alternate sweeps)", &core::AppState::LightRed, 2},
    {"Zmag (alternate sweeps)", &core::AppState::LightGreen, 4},
    {"Phase (alternate sweeps)", &core::AppState::LightMagenta, 6},
    {"Rs, Rp (alternate sweeps)", &core::AppState::LightOrange, 13},
    {"Xs, Xp (alternate sweeps)", &core::AppState::LightYellow, 11},
    {"Return loss (alternate sweeps)", &core::AppState::LightBlue, 9},
};

} // namespace

void RestoreDefaultColors(core::Program& p) {
    for (const ColorSlot& s : ColorSlots) {
        p.st.*s.field = p.st.defaultColors[static_cast<std::size_t>(s.configLine)];
    }
}

void ColorSelectionDialog(core::Program& p) {
    Form f;
    f.title = " Color Selection";
    for (const ColorSlot& s : ColorSlots) {
        FormField c;
        c.kind = FormField::Kind::Color;
        c.label = s.label;
        c.color = p.st.*s.field;
        f.fields.push_back(c);
    }
    f.extraButtons = {"Restore Default Colors"};
    const int r = p.ui.form(f);
    if (r == platform::FormOk) {
        for (std::size_t i = 0; i < std::size(ColorSlots); ++i) {
            p.st.*ColorSlots[i].field = f.fields[i].color;
        }
    } else if (r == platform::FormExtraButton) {
        RestoreDefaultColors(p);
    } else {
        // Cancel keeps the twelve colours as they were before the dialog.
        return;
    }
    RedrawScan(p);
}

void SwrRulerDialog(core::Program& p) {
    const auto v = core::EnterNumber(p,
                                     "Enter an SWR value to display\r\na horizontal ruler.\r\n\r\nSWR =\r\n"
                                     "( enter 0.0 to turn ruler off )",
                                     " SWR Ruler", Shown(p.st.swr_ruler));
    if (!v) {
        return;
    }
    // A ruler beyond the largest SWR of the graph could never be seen.
    const double value = std::clamp(std::fabs(*v), 0.0, 1000.0);
    if (p.st.PortB_on || !p.st.plot_swr) {
        // The ruler belongs to the SWR trace: kept for the next Port A graph, not drawn here.
        p.st.swr_ruler = value;
    } else {
        ComputeScaleFactors(p);
        DrawSwrRuler(p, value);
    }
    commands::BuildMenus(p);
}

void RulersDialog(core::Program& p) {
    core::AppState& st = p.st;
    Form f;
    f.title = "Enter Rulers";
    f.fields.push_back(Label("S21 levels in dB; leave a field empty to hide that ruler."));
    f.fields.push_back(
        platform::MakeField(FormField::Kind::Text, "Ruler 1", st.ruler1_on ? Shown(st.ruler_1) : ""));
    f.fields.push_back(
        platform::MakeField(FormField::Kind::Text, "Ruler 2", st.ruler2_on ? Shown(st.ruler_2) : ""));
    if (p.ui.form(f) != platform::FormOk) {
        return;
    }
    std::array<std::optional<double>, 2> level;
    for (int k = 0; k < 2; ++k) {
        const std::string& text = FieldText(f, k == 0 ? "Ruler 1" : "Ruler 2");
        if (text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        level[static_cast<std::size_t>(k)] = core::ParseEntry(p, text, "Enter Rulers");
        const std::optional<double>& v = level[static_cast<std::size_t>(k)];
        if (!v) {
            return;
        }
        if (!(std::fabs(*v) <= 200)) {
            p.ui.message("A ruler level lies between -200 and 200 dB; the rulers are unchanged.",
                         "Enter Rulers");
            return;
        }
    }
    st.ruler1_on = level[0] ? 1 : 0;
    st.ruler2_on = level[1] ? 1 : 0;
    st.ruler_1 = level[0].value_or(st.ruler_1);
    st.ruler_2 = level[1].value_or(st.ruler_2);
    RedrawScan(p);
}

} // namespace vna::commands
