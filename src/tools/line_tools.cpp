#include "tools/line_tools.h"

#include <cctype>
#include <cmath>
#include <string>

#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "tools/distance_to_fault.h"
#include "tools/tdr_commands.h"

namespace vna::tools {

using core::Program;
using platform::Form;
using platform::FormField;

namespace {

constexpr double MetresToFeet = 3.2808;
constexpr const char* Caption = " 1/4 Wave Stub";
const char* const ToolVelocity = "Velocity factor of a cable of known length (measured)";
const char* const ToolLength = "Length of a cable of known velocity factor (measured)";
const char* const ToolStub = "Length of a quarter-wave stub to cut for a frequency";

std::string Num(double v, int decimals) {
    return core::NumText(v, decimals);
}

std::string LengthText(double metres) {
    return Num(metres, 3) + " meters  =" + Num(metres * MetresToFeet, 3) + " feet";
}

// The quarter wave of the cable at Port A, with the distance-to-fault search; its failure shown.
std::optional<DtfResult> MeasureQuarterWave(Program& p, double vf) {
    if (!core::RequireHardware(p)) {
        return std::nullopt;
    }
    if (!p.st.porta_cal_ok || (p.st.cal_loaded && p.cal.custom_cal)) {
        p.ui.message("The cable tools need a Standard Cal file loaded.", Caption);
        return std::nullopt;
    }
    if (p.ui.message("Connect the cable to Port A, open or shorted at its far end.", Caption,
                     platform::Buttons::OkCancel) != platform::Answer::Ok) {
        return std::nullopt;
    }
    const DtfResult r = MeasureDistanceToFault(p, vf);
    if (r.status == DtfStatus::Ok) {
        return r;
    }
    if (r.status != DtfStatus::Stopped) {
        std::string caption;
        const std::string text = DtfMessage(r, &caption);
        p.ui.message(text, caption);
    }
    return std::nullopt;
}

} // namespace

double QuarterWaveMetres(double fMHz, double vf) {
    return 0.25 * LightMetresPerMicrosecond / fMHz * vf;
}

double VelocityFactorOf(double metres, double fq) {
    return 4 * metres * fq / LightMetresPerMicrosecond;
}

std::optional<double> LengthMetresFromText(std::string_view text) {
    std::size_t used = 0;
    const double v = core::TextToNumber(text, used);
    if (used == 0 || !(v > 0) || !std::isfinite(v)) {
        return std::nullopt;
    }
    const std::string unit = core::ToLower(text.substr(used));
    if (unit.find('\'') != std::string::npos || unit.find('f') != std::string::npos) {
        return v / MetresToFeet;
    }
    if (unit.find('"') != std::string::npos || unit.find("in") != std::string::npos) {
        return v * 0.0254;
    }
    if (unit.find("cm") != std::string::npos) {
        return v / 100;
    }
    if (unit.find("mm") != std::string::npos) {
        return v / 1000;
    }
    return v;
}

std::string StubText(double fMHz, double vf) {
    const double m = QuarterWaveMetres(fMHz, vf);
    return "Quarter-wave stub for" + Num(fMHz, 4) + " MHz at velocity factor" + Num(vf, 3) + ":\r\n" +
           "Length =" + LengthText(m) + "  =" + Num(m / 0.0254, 2) + " inches\r\n" +
           "(cut it a little long and trim it to the resonance: the end and the connector add length)";
}

void QuarterWaveStub(Program& p) {
    core::AppState& st = p.st;
    if (st.SweepRunning) {
        return;
    }
    Form f;
    f.title = Caption;
    FormField tool = platform::MakeField(FormField::Kind::Choice, "Tool", ToolStub);
    tool.choices = {ToolVelocity, ToolLength, ToolStub};
    tool.fixed = true;
    f.fields = {tool,
                platform::MakeField(FormField::Kind::Text, "Cable length (m, or ft / in / cm)",
                                    Num(st.cable_length / MetresToFeet, 3)),
                platform::MakeField(FormField::Kind::Text, "Velocity factor (0.5 ... 1)", Num(st.VF, 3)),
                platform::MakeField(FormField::Kind::Text, "Frequency of the stub (MHz)", Num(st.freq, 4))};
    if (p.ui.form(f) != platform::FormOk) {
        return;
    }
    const std::string& which = f.fields[0].text;
    if (which == ToolVelocity) {
        const auto metres = LengthMetresFromText(f.fields[1].text);
        if (!metres) {
            p.ui.message("The cable length must be a length above 0 (metres, or with ft, in or cm).",
                         Caption);
            return;
        }
        const auto r = MeasureQuarterWave(p, 1);
        if (!r) {
            return;
        }
        const double vf = VelocityFactorOf(*metres, r->quarterWave);
        std::string text = "Quarter wavelength (90 deg) =" + Num(r->quarterWave, 4) + " MHz\r\n" +
                           "Cable length =" + LengthText(*metres) + "\r\n" + "Velocity factor =" + Num(vf, 3);
        if (!(vf > 0.1 && vf <= 1.02)) {
            text += "\r\n\r\nNo cable has this velocity factor: check the length, and that the far end is "
                    "open or shorted.";
        } else {
            st.VF = LimitVelocityFactor(vf);
        }
        p.ui.message(text, Caption);
    } else if (which == ToolLength) {
        const auto vf = core::ParseEntry(p, f.fields[2].text, Caption);
        if (!vf) {
            return;
        }
        st.VF = LimitVelocityFactor(*vf);
        const auto r = MeasureQuarterWave(p, st.VF);
        if (!r) {
            return;
        }
        p.ui.message("Quarter wavelength (90 deg) =" + Num(r->quarterWave, 4) + " MHz\r\n" +
                         "Velocity factor =" + Num(st.VF, 3) + "\r\n" +
                         "Cable length =" + LengthText(r->metres),
                     Caption);
    } else {
        const auto freq = core::ParseEntry(p, f.fields[3].text, Caption);
        const auto vf = core::ParseEntry(p, f.fields[2].text, Caption);
        if (!freq || !vf) {
            return;
        }
        if (!(*freq >= 0.001 && *freq <= 100000)) {
            p.ui.message("The frequency must lie between 0.001 and 100000 MHz.", Caption);
            return;
        }
        st.VF = LimitVelocityFactor(*vf);
        p.ui.message(StubText(*freq, st.VF), Caption);
    }
}

} // namespace vna::tools
