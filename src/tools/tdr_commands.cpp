#include "tools/tdr_commands.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/entry.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/scan_plot.h"
#include "display/tdr_view.h"
#include "measure/averaging.h"
#include "tools/tdr.h"
#include "tools/tdr_transform.h"

namespace vna::tools {

using core::AppState;
using core::Program;
using platform::Form;
using platform::FormField;

namespace {

constexpr double FeetToMetres = 0.3048;

std::string Plain(double v) {
    std::string s = core::NumText(v, 2);
    while (!s.empty() && s.back() == '0' && s.find('.') != std::string::npos) {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return s.substr(s.find_first_not_of(' ') == std::string::npos ? 0 : s.find_first_not_of(' '));
}

// The scales for the trace on the view: the plan of the present settings, with the distance
// scale of the trace itself (a trace measured with another plan keeps its own positions).
void PlanForTrace(Program& p) {
    ApplyTdrPlan(p.st);
    if (p.tdr.points > 0) {
        p.st.feetPerIndex = p.tdr.feetPerIndex;
        p.st.tdrOffset = p.tdr.offset;
    }
}

void RedrawTdr(Program& p) {
    if (p.st.TdrActive) {
        PlanForTrace(p);
        display::DrawTdrView(p);
    }
}

} // namespace

double SnapTdrDistance(double feet) {
    for (const double d : core::TdrDistanceScales) {
        if (feet <= d) {
            return d;
        }
    }
    return core::TdrDistanceScales.back();
}

double SnapTdrImpedance(double ohms) {
    for (const double z : core::TdrImpedanceScales) {
        if (ohms <= z) {
            return z;
        }
    }
    return core::TdrImpedanceScales.back();
}

double CheckTdrDistanceFactor(double f) {
    return f >= 0.5 && f <= 2 ? f : 1;
}

double LimitVelocityFactor(double vf) {
    if (std::isnan(vf)) {
        return 0.66;
    }
    return std::clamp(vf, 0.5, 1.0);
}

void TdrModeOn(Program& p) {
    AppState& st = p.st;
    if (st.TdrActive || st.SweepRunning) {
        return;
    }
    st.tdrSavedAverage = st.average;
    st.tdrSavedTrend = st.trend;
    st.trend = 0;
    st.trendOn = 0;
    measure::ApplyAveraging(p, 1);
    st.TdrActive = 1;
    ApplyTdrPlan(st);
    const std::string last = core::JoinPath(st.ProgramFolder, LastTdrFileName);
    if (!LoadTdr(p, last)) {
        display::DrawTdrView(p);
    }
}

void TdrModeOff(Program& p) {
    AppState& st = p.st;
    if (!st.TdrActive || st.SweepRunning) {
        return;
    }
    st.TdrActive = 0;
    st.trend = st.tdrSavedTrend;
    st.trendOn = st.trend >= 1 ? 1 : 0;
    measure::ApplyAveraging(p, st.tdrSavedAverage);
    display::RedrawScan(p);
}

void TdrCommand(Program& p, int item) {
    AppState& st = p.st;
    switch (item) {
        case TdrMenuMode:
            if (st.TdrActive) {
                TdrModeOff(p);
            } else {
                TdrModeOn(p);
            }
            return;
        case TdrMenuLinearZ:
            st.tdrLinearZ = st.tdrLinearZ ? 0 : 1;
            break;
        case TdrMenuShowRho:
            st.tdrShowRho = st.tdrShowRho ? 0 : 1;
            break;
        case TdrMenuLinesDots:
            st.tdrLines = st.tdrLines ? 0 : 1;
            break;
        case TdrMenuVelocityFactor: {
            const auto vf = core::EnterNumber(p, "Velocity Factor (0.5 ... 1)", " Velocity Factor",
                                              core::NumText(st.VF, 3));
            if (!vf) {
                return;
            }
            st.VF = LimitVelocityFactor(*vf);
            break;
        }
        case TdrMenuMetersFeet:
            st.tdrMetres = st.tdrMetres ? 0 : 1;
            break;
        case TdrMenuHighResolution:
            st.tdrHighRes = st.tdrHighRes ? 0 : 1;
            break;
        default:
            return;
    }
    RedrawTdr(p);
}

void TdrScalesDialog(Program& p) {
    AppState& st = p.st;
    const double unit = st.tdrMetres ? FeetToMetres : 1;
    Form f;
    f.title = "TDR Scales";
    FormField dist = platform::MakeField(FormField::Kind::Choice, "Distance", Plain(st.tdrMaxDist * unit));
    for (const double d : core::TdrDistanceScales) {
        dist.choices.push_back(Plain(d * unit));
    }
    FormField imp = platform::MakeField(FormField::Kind::Choice, "Impedance", Plain(st.tdrZScale));
    imp.choices = {"70", "100", "200", "500", "1000"};
    FormField factor =
        platform::MakeField(FormField::Kind::Text, " TDR Distance Factor (0.5...2)", Plain(st.tdrDistFactor));
    FormField smooth = platform::MakeField(FormField::Kind::Check, "Smoothing");
    smooth.checked = st.tdrSmoothing != 0;
    f.fields = {dist, imp, factor, smooth};
    if (p.ui.form(f) != platform::FormOk) {
        return;
    }
    const auto d = core::ParseEntry(p, f.fields[0].text, f.title);
    const auto z = core::ParseEntry(p, f.fields[1].text, f.title);
    const auto k = core::ParseEntry(p, f.fields[2].text, f.title);
    const double oldDist = st.tdrMaxDist;
    const double oldZ = st.tdrZScale;
    if (d) {
        st.tdrMaxDist = SnapTdrDistance(*d / unit);
    }
    if (z) {
        st.tdrZScale = SnapTdrImpedance(*z);
    }
    if (k) {
        st.tdrDistFactor = CheckTdrDistanceFactor(*k);
    }
    st.tdrSmoothing = f.fields[3].checked ? 1 : 0;
    st.tdrRhoScale = std::min(1.0, (st.tdrZScale - st.tdrZref) / (st.tdrZScale + st.tdrZref));
    if (std::fabs(st.tdrMaxDist - oldDist) > 0.01 || std::fabs(st.tdrZScale - oldZ) > 0.01 || k) {
        RedrawTdr(p);
    }
}

void LoadTdrGraphCommand(Program& p) {
    AppState& st = p.st;
    platform::FileDialog dialog;
    dialog.title = " Load TDR Scan File";
    dialog.filter = "TDR Scan Files(*.tdr)|*.tdr||";
    dialog.defaultExtension = "tdr";
    dialog.initialFolder = core::DialogFolder(st.scan_folder, st.ProgramFolder);
    const auto chosen = p.ui.openFile(dialog);
    if (!chosen || chosen->size() < 3) {
        return;
    }
    st.scan_folder = core::SplitPath(*chosen).folder;
    LoadTdr(p, *chosen);
}

void SaveTdrGraphCommand(Program& p) {
    AppState& st = p.st;
    if (p.tdr.points <= 0) {
        p.ui.message("There is no TDR trace to save yet.", " Save TDR File");
        return;
    }
    platform::FileDialog dialog;
    dialog.title = " Save TDR File";
    dialog.filter = "TDR Files(*.tdr)|*.tdr||";
    dialog.defaultExtension = "tdr";
    dialog.initialFolder = core::DialogFolder(st.scan_folder, st.ProgramFolder);
    const auto chosen = p.ui.saveFile(dialog);
    if (!chosen || chosen->size() < 3) {
        return;
    }
    st.scan_folder = core::SplitPath(*chosen).folder;
    if (SaveTdr(p, *chosen)) {
        display::DrawCaptionLine(p);
    }
}

void TdrScanButton(Program& p, bool clear) {
    RunTdr(p, clear);
}

} // namespace vna::tools
