#include "tools/tdr.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/atomic_file.h"
#include "core/delay.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/progress.h"
#include "core/text_lines.h"
#include "display/graph_draw.h"
#include "display/tdr_view.h"
#include "files/init_file.h"
#include "files/scan_format.h"
#include "instrument/commands.h"
#include "measure/averaging.h"
#include "measure/point_data.h"
#include "platform/canvas.h"
#include "tools/tdr_transform.h"

namespace vna::tools {

using core::AppState;
using core::Program;

namespace {

constexpr platform::Rgb ProgressColor = platform::MakeRgb(175, 175, 250);

std::string LastTdrPath(const Program& p) {
    return core::JoinPath(p.st.ProgramFolder, LastTdrFileName);
}

double ZOf(double s, double zref) {
    return ImpedanceOfRho(LimitedRho(s), zref);
}

// The mean step value over indices lo..hi (kept inside 1..last).
double MeanStep(const core::TdrTrace& t, int lo, int hi, int last) {
    lo = std::clamp(lo, 1, last);
    hi = std::clamp(hi, lo, last);
    double sum = 0;
    for (int k = lo; k <= hi; ++k) {
        sum += t.s[static_cast<std::size_t>(k)];
    }
    return sum / (hi - lo + 1);
}

bool WriteTdrText(Program& p, const std::string& path, bool quiet) {
    const std::string text = files::TdrFileText(TdrFileOf(p));
    if (core::FileIsWriteProtected(path)) {
        if (!quiet) {
            p.ui.message(files::ReadOnlyMessage(path), "");
        }
        return false;
    }
    if (!core::WriteFileAtomic(path, text)) {
        if (!quiet) {
            p.ui.message("The file was not saved.\rBe sure the storage medium is not set for Read-Only.\r"
                         "Also, be sure the disk is not full.",
                         "File Error");
        }
        return false;
    }
    return true;
}

// The checks before a measurement; false after the message.
bool TdrCanMeasure(Program& p) {
    AppState& st = p.st;
    if (st.cal_loaded && p.cal.custom_cal) {
        p.ui.message("A Custom Cal file is loaded now.\r\n\r\nThis function requires a Standard Cal file.",
                     " Load cal file");
        return false;
    }
    if (!st.porta_cal_ok) {
        p.ui.message("Calibration is required.", " Cal Required");
        return false;
    }
    if (p.tdr.points > core::TdrMaxPoints) {
        p.ui.message("TDR number of points = " + core::NumText(p.tdr.points, 0) +
                         "  Max # of points is 1050.",
                     " Too Many Points");
    }
    return core::RequireHardware(p);
}

// The light-blue line along Y1 - 3 that grows with the points measured.
void ProgressLine(Program& p, int done, int n) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const core::GraphBox& b = p.display.g.box;
    const double step = 2.0 * (b.right - b.left) / n;
    c->setPen(ProgressColor, 2, platform::PenStyle::Solid);
    c->moveTo(b.left + core::Nint(step * std::max(0, done - 1)), b.top - 3);
    c->lineTo(std::min(b.right, b.left + core::Nint(step * done)), b.top - 3);
    c->flush();
}

} // namespace

void SaveLastTdrFile(Program& p) {
    if (p.tdr.points <= 0 || p.st.ProgramFolder.empty()) {
        return;
    }
    WriteTdrText(p, LastTdrPath(p), true);
}

files::TdrFileData TdrFileOf(const Program& p) {
    const AppState& st = p.st;
    const core::TdrTrace& t = p.tdr;
    files::TdrFileData d;
    d.stamp = t.stamp;
    d.programVersion = core::TextToNumber(st.ProgramVersion);
    d.title = t.title;
    d.calName = t.calName;
    d.points = t.points;
    d.delf = t.delf;
    d.maxDist = st.tdrMaxDist;
    // The file gives the trace its length offset back through its scale (a tenth of it, at least
    // 10 ft): a scale changed since the measurement must not move the trace when it is read.
    if (t.points > 0 && std::fabs(std::max(10.0, 0.1 * d.maxDist) - t.offset) > 1e-9) {
        d.maxDist = t.offset > 10 ? 10 * t.offset : std::min(d.maxDist, 100.0);
    }
    d.zScale = st.tdrZScale;
    d.rhoScale = st.tdrRhoScale;
    d.average = t.average;
    d.zref = st.tdrZref;
    d.linearZ = st.tdrLinearZ ? 1 : 0;
    d.lines = st.tdrLines ? 1 : 0;
    d.vf = t.VF;
    d.metres = st.tdrMetres ? 1 : 0;
    d.colorIndex = t.colorIndex;
    d.feetPerIndex = t.feetPerIndex;
    d.swrTrace = st.plot_swr ? 1 : 0;
    const int n = std::clamp(t.points, 0, core::TdrCapacity);
    d.step.assign(t.s.begin(), t.s.begin() + n + 1);
    return d;
}

void TakeTdrFile(Program& p, const files::TdrFileData& d) {
    AppState& st = p.st;
    core::TdrTrace& t = p.tdr;
    t.points = d.points;
    t.stamp = d.stamp;
    t.title = d.title;
    t.calName = d.calName;
    t.delf = d.delf;
    t.average = d.average;
    t.VF = d.vf;
    t.colorIndex = d.colorIndex;
    t.feetPerIndex = d.feetPerIndex;
    t.offset = std::max(10.0, 0.1 * d.maxDist);
    t.s.fill(0);
    std::copy(d.step.begin(), d.step.begin() + std::min<std::size_t>(d.step.size(), t.s.size()), t.s.begin());
    st.tdrMaxDist = d.maxDist;
    st.tdrZScale = d.zScale;
    st.tdrRhoScale = d.rhoScale;
    st.tdrZref = d.zref;
    st.tdrLinearZ = d.linearZ;
    st.VF = d.vf;
}

bool RunTdr(Program& p, bool clear) {
    AppState& st = p.st;
    if (st.SweepRunning || !TdrCanMeasure(p)) {
        return false;
    }
    const TdrPlan plan = ApplyTdrPlan(st);
    const int n = plan.points;
    const int half = n / 2;
    if (clear) {
        display::DrawTdrAxes(p);
    }
    std::vector<Complex> gamma(static_cast<std::size_t>(half) + 1);
    st.PortBMode = 0;
    st.SweepRunning = 1;
    st.LastError = 0;
    instrument::SetRelays(p, 3);
    const int tdrAverage = st.average;
    const double constantFreq = st.freq;
    int failure = 0;
    bool stopped = false;
    {
        core::ProgressMeter progress(p, "TDR", half + 1);
        for (int i = 0; i <= half; ++i) {
            const double f = i == 0 ? 0.1 : i * plan.delf;
            if (!measure::TakePointReading(p, f)) {
                failure = st.LastError;
                break;
            }
            if (i == 0) {
                measure::ApplyAveraging(p, st.tdrSavedAverage);
            }
            const Complex z(p.point.rs, p.point.xs);
            gamma[static_cast<std::size_t>(i)] = OffsetReflection(z, f, plan.offset, st.VF, st.tdrZref);
            ProgressLine(p, i + 1, n);
            progress.update(i + 1);
            p.ui.processEvents();
            if (!st.SweepRunning) {
                stopped = true;
                break;
            }
        }
    }
    instrument::SetRelays(p, 0);
    st.Measuring = 0;
    const double lastFreq = st.freq;
    st.freq = constantFreq;
    if (st.average != tdrAverage) {
        measure::ApplyAveraging(p, tdrAverage);
    }
    if (failure != 0) {
        st.SweepRunning = 0;
        p.ui.message("No reading at " + core::NumText(lastFreq, 4) + " MHz (error " +
                         std::to_string(failure) + "): the TDR measurement has stopped.",
                     " TDR");
        st.LastError = failure;
        return false;
    }
    if (stopped) {
        return false;
    }
    core::TdrTrace& t = p.tdr;
    std::vector<double> s(static_cast<std::size_t>(n) + 1);
    const bool whole = StepResponse(gamma.data(), n, s.data(), [&p] {
        p.ui.processEvents();
        return !p.st.SweepRunning;
    });
    st.SweepRunning = 0;
    if (!whole) {
        return false;
    }
    if (st.tdrSmoothing) {
        SmoothStepResponse(s.data(), n);
    }
    t.s.fill(0);
    std::copy(s.begin(), s.end(), t.s.begin());
    t.points = n;
    t.delf = plan.delf;
    t.feetPerIndex = plan.feetPerIndex;
    t.offset = plan.offset;
    t.VF = st.VF;
    t.average = st.tdrSavedAverage;
    t.stamp = files::ScanStamp(p.clock.now());
    t.title = st.scanDescriptionA;
    t.calName = st.cal_file_name;
    t.colorIndex = std::clamp(st.tdrColorIndex, 1, 5);
    st.tdrColorIndex = t.colorIndex % 5 + 1;
    display::DrawCaptionLine(p);
    display::DrawTdrTrace(p, display::TdrTraceColor(st, t.colorIndex));
    SaveLastTdrFile(p);
    return true;
}

bool SaveTdr(Program& p, std::string path) {
    if (path.size() < 4 || core::ToLower(path.substr(path.size() - 4)) != ".tdr") {
        path += ".tdr";
    }
    if (!WriteTdrText(p, path, false)) {
        return false;
    }
    p.st.tdrFileName = path;
    return true;
}

bool LoadTdr(Program& p, std::string path) {
    if (path.size() < 4 || core::ToLower(path.substr(path.size() - 4)) != ".tdr") {
        path += ".tdr";
    }
    std::string text;
    if (!core::ReadWholeFile(path, text, 1u << 20)) {
        return false;
    }
    files::TdrFileProblem problem;
    const auto d = files::ParseTdrFile(text, problem);
    if (!d) {
        p.ui.message(problem.text, problem.caption);
        return false;
    }
    TakeTdrFile(p, *d);
    ApplyTdrPlan(p.st);
    p.st.feetPerIndex = d->feetPerIndex;
    p.st.tdrOffset = p.tdr.offset;
    p.st.tdrFileName = path;
    display::DrawTdrView(p);
    return true;
}

double TdrIndexDistance(const AppState& st, int k) {
    return 0.97 * st.tdrDistFactor * (st.feetPerIndex * (k + 1) - st.tdrOffset);
}

std::optional<TdrStep> LargestTdrStep(const Program& p) {
    const AppState& st = p.st;
    const core::TdrTrace& t = p.tdr;
    const int last = std::min(t.points, core::TdrMaxPoints) / 2 - 1;
    int port = 1;
    while (port < last && TdrIndexDistance(st, port) < 0) {
        ++port;
    }
    // The rise at the port spans a few points: the line itself starts past it.
    constexpr int Settle = 4;
    const int first = port + Settle + 2;
    int best = -1;
    double bestDelta = 0;
    for (int k = first; k + 2 <= last; ++k) {
        const double delta =
            std::fabs(t.s[static_cast<std::size_t>(k + 2)] - t.s[static_cast<std::size_t>(k - 2)]);
        if (delta > bestDelta) {
            bestDelta = delta;
            best = k;
        }
    }
    if (best < 0 || bestDelta < 0.02) {
        return std::nullopt;
    }
    TdrStep step;
    const double before = MeanStep(t, best - 6, best - 3, last);
    const double after = MeanStep(t, best + 3, best + 6, last);
    // Where the step passes half-way, between two points.
    const double mid = (before + after) / 2;
    double at = best;
    for (int k = best - 3; k < best + 3; ++k) {
        const double a = t.s[static_cast<std::size_t>(std::clamp(k, 1, last))];
        const double b = t.s[static_cast<std::size_t>(std::clamp(k + 1, 1, last))];
        if ((a - mid) * (b - mid) <= 0 && a != b) {
            at = k + (mid - a) / (b - a);
            break;
        }
    }
    step.index = best;
    step.distanceFeet = 0.97 * st.tdrDistFactor * (st.feetPerIndex * (at + 1) - st.tdrOffset);
    step.zBefore = ZOf(before, st.tdrZref);
    step.zAfter = ZOf(after, st.tdrZref);
    step.lineZ = ZOf(MeanStep(t, port + Settle, std::max(port + Settle, best - 4), last), st.tdrZref);
    return step;
}

} // namespace vna::tools
