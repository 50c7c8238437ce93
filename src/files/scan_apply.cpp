// The scan of a port as a scan file record and back: what a scan file carries and the rules by
// which a loaded one becomes the program's scan.

#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "display/scan_plot.h"
#include "files/scan_file.h"
#include "measure/scan_replay.h"
#include "measure/sweep.h"
#include "platform/canvas.h"

namespace vna::files {

using core::SplitPath;
using core::TruncInt;

namespace {

using core::AppState;

// The Port B arrays a new Port A grid clears (and the other way round).
constexpr std::size_t ClearedPoints = 30011;
constexpr platform::Rgb DescriptionBlue = platform::MakeRgb(0, 0, 255);
constexpr platform::Rgb Black = platform::MakeRgb(0, 0, 0);

// The settings a scan of a port goes into its file with: those recorded with it, else the present
// ones.
core::ScanSettings SettingsOf(const AppState& st, const core::ScanSettings& recorded) {
    if (recorded.recorded) {
        return recorded;
    }
    core::ScanSettings s;
    s.trend = st.trend;
    s.average = st.average;
    s.Zo = st.Zo;
    return s;
}

// The frequency axis of the graph for the present limits, without touching the program.
core::FreqAxis AxisOf(const AppState& st) {
    AppState copy = st;
    return display::ComputeFreqAxis(copy);
}

int Last(const AppState& st) {
    return std::clamp(st.last_scan_index, -1, core::ScanCapacity - 1);
}

// The limit rules of the readers: the start, stop and step of a file made usable.
struct Limits {
    double start;
    double end;
    double step;
};

Limits LimitsA(const AppState& st, double s, double e, double d) {
    s = std::fabs(s);
    e = std::fabs(e);
    d = std::fabs(d);
    if (s < 0.005) {
        s = 1;
    }
    if (e > st.maximumfreq + 2) {
        s = 1;
        e = 10;
    }
    if (d < 0.0000001 || s >= e) {
        s = 1;
        e = 10;
        d = 0.1;
    }
    return {s, e, d};
}

Limits LimitsB(const AppState& st, double s, double e, double d) {
    s = std::fabs(s);
    e = std::fabs(e);
    d = std::fabs(d);
    if (s < 0.005) {
        s = 1;
    }
    if (e > st.maximumfreq + 2) {
        s = 1;
        e = 2;
    }
    if (d < 0.0000001) {
        s = 1;
        e = 2;
        d = 0.1;
    }
    if (s > e) {
        s = 1;
        e = 2;
        d = 0.02;
    }
    return {s, e, d};
}

// Takes new limits; true when start or stop moved (the other port's scan no longer fits them).
bool TakeLimits(AppState& st, const Limits& l) {
    const bool moved = std::fabs(l.start - st.start_freq) + std::fabs(l.end - st.end_freq) > 0.0000001;
    st.start_freq = l.start;
    st.end_freq = l.end;
    st.delta_freq = l.step;
    return moved;
}

void RestoreAxis(core::Program& p, double plotStart, double plotStop, double divPx, double mhzPerDiv) {
    core::GraphGeometry& g = p.display.g;
    g.axis.plotStart = plotStart;
    g.axis.plotStop = plotStop;
    g.divPx = divPx;
    g.axis.mhzPerDiv = mhzPerDiv;
}

double UsableZo(double zo) {
    return zo < 3 || zo > 10000 ? 50 : zo;
}

int UsableAverage(double v) {
    return v < 0 || v > 256 ? 0 : TruncInt(v);
}

int UsableTrend(double v) {
    return v < 1 || v > 20 ? 0 : TruncInt(v);
}

void DrawLoadedNotes(core::Program& p, const std::string& description, bool customCal) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const core::GraphGeometry& g = p.display.g;
    display::SetGraphFont(*c, p.st, 0, display::GraphFontWeight(p.st));
    if (!description.empty()) {
        const int w = c->textExtent(description).width;
        display::TextAt(*c, g.centreX - w / 2, g.rows[1] - 2, description, DescriptionBlue);
    }
    if (customCal) {
        display::TextAt(*c, g.box.left + 5, g.box.bottom - g.lineH - 4, "CUSTOM CAL   ", Black);
    }
    c->flush();
}

} // namespace

std::string LoadedFileCaption(std::string_view path) {
    std::string name = SplitPath(path).name;
    if (name.size() < 20) {
        name.resize(20, ' ');
    }
    return "File: " + name;
}

ScanFileA CaptureScanA(const core::Program& p) {
    const AppState& st = p.st;
    const core::ScanArrays& a = p.scan;
    ScanFileA s;
    s.stamp = st.scanStampA;
    s.format = st.ScanFileFormatA;
    s.plotAtZero = st.plot_at_zero != 0;
    s.start = st.start_freq;
    s.end = st.end_freq;
    s.step = st.delta_freq;
    const core::FreqAxis axis = AxisOf(st);
    s.plotStart = axis.plotStart;
    s.plotStop = axis.plotStop;
    s.mhzPerDiv = axis.mhzPerDiv;
    s.swrScale = st.swr_scale;
    s.zmagScale = st.zmag_scale;
    s.phaseScale = st.phase_scale;
    s.divPx = p.display.g.divPx;
    s.plotSwr = st.plot_swr;
    s.description = st.scanDescriptionA;
    const auto points = static_cast<std::size_t>(Last(st) + 1);
    s.zmag.assign(a.raw_zmag.begin(), a.raw_zmag.begin() + static_cast<std::ptrdiff_t>(points));
    s.phase.assign(a.raw_phase.begin(), a.raw_phase.begin() + static_cast<std::ptrdiff_t>(points));
    const core::ScanSettings rec = SettingsOf(st, st.scanSettingsA);
    auto& t = s.trailer;
    t.fill(0);
    t[TrailerAZo] = rec.Zo;
    t[TrailerAVF] = st.VF;
    t[TrailerACableLength] = st.cable_length;
    t[TrailerADistanceUnits] = st.distanceUnits;
    t[TrailerAPlotRs] = st.plot_rsA;
    t[TrailerAAverage] = rec.average;
    // Three constants of the instrument's converter that older readers expect here.
    t[TrailerAConstant10] = 10;
    t[TrailerAConstant011746] = 0.011746;
    t[TrailerAConstant10012] = 1.0012;
    t[TrailerARealOffset] = st.BridgeResistance;
    t[TrailerAModel] = st.ModelNumber;
    t[TrailerATrend] = rec.trend;
    t[TrailerACustomCal] = rec.customCal;
    return s;
}

ScanFileB CaptureScanB(const core::Program& p) {
    const AppState& st = p.st;
    const core::ScanArrays& a = p.scan;
    ScanFileB s;
    s.stamp = st.scanStampB;
    s.format = st.ScanFileFormatB;
    s.plotAtZero = st.plot_at_zero != 0;
    const int points = std::clamp(st.scan_points, 0, core::ScanCapacity - 1);
    s.points = points;
    s.start = st.start_freq;
    s.end = st.end_freq;
    s.step = st.delta_freq;
    const core::FreqAxis axis = AxisOf(st);
    s.plotStart = axis.plotStart;
    s.plotStop = axis.plotStop;
    s.mhzPerDiv = axis.mhzPerDiv;
    s.scales = {st.swr_scale,          st.zmag_scale,
                st.phase_scale,        st.s21gain_scale,
                st.s11gain_scale,      st.rtloss_scale,
                st.delay_scale,        st.Q_scale,
                st.insertionLossScale, static_cast<double>(st.Zero_Ref)};
    s.ruler1 = st.ruler_1;
    s.ruler1On = st.ruler1_on;
    s.ruler2 = st.ruler_2;
    s.ruler2On = st.ruler2_on;
    s.gain = st.PortB_Gain;
    s.sens = st.PortB_Sens;
    s.divPx = p.display.g.divPx;
    s.description = st.scanDescriptionB;
    const auto blocks = static_cast<std::size_t>(points + 1);
    s.s21db.resize(blocks);
    s.s21deg.resize(blocks);
    s.s11db.resize(blocks);
    s.s11deg.resize(blocks);
    for (std::size_t k = 0; k < blocks; ++k) {
        s.s21db[k] = a.s21_db[k];
        s.s21deg[k] = a.s21_phase[k] * ScanFileDegrees;
        s.s11db[k] = a.s11_db[k];
        s.s11deg[k] = a.s11_phase[k] * ScanFileDegrees;
    }
    const core::ScanSettings rec = SettingsOf(st, st.scanSettingsB);
    auto& t = s.trailer;
    t.fill(0);
    t[TrailerBZo] = rec.Zo;
    t[TrailerBVF] = st.VF;
    t[TrailerBCableLength] = st.cable_length;
    t[TrailerBAverage] = rec.average;
    t[TrailerBModel] = st.ModelNumber;
    t[TrailerBTrend] = rec.trend;
    t[TrailerBCustomCal] = rec.customCal;
    t[TrailerBS21PhaseScale] = st.s21phase_scale;
    return s;
}

void ApplyScanA(core::Program& p, const ScanFileA& s, std::string_view fileName) {
    AppState& st = p.st;
    core::ScanArrays& a = p.scan;
    st.scanFileNameA = LoadedFileCaption(fileName);
    st.scanStampA = s.stamp;
    st.plot_at_zero = s.plotAtZero ? 1 : 0;
    if (TakeLimits(st, LimitsA(st, s.start, s.end, s.step))) {
        for (auto* arr :
             {&a.s21_db, &a.s21_phase, &a.s11_db, &a.s11_phase, &a.group_delay, &a.insertion_loss}) {
            std::fill_n(arr->begin(), ClearedPoints, 0.0);
        }
        st.scanHeldB = 0;
    }
    RestoreAxis(p, s.plotStart, s.plotStop, s.divPx, s.mhzPerDiv);
    st.swr_scale = s.swrScale;
    st.zmag_scale = s.zmagScale;
    st.phase_scale = s.phaseScale;
    st.scanDescriptionA = s.description;
    const std::size_t points = std::min(s.zmag.size(), static_cast<std::size_t>(core::ScanCapacity));
    std::copy_n(s.zmag.begin(), points, a.raw_zmag.begin());
    std::copy_n(s.phase.begin(), std::min(points, s.phase.size()), a.raw_phase.begin());
    st.last_scan_index = static_cast<std::int32_t>(points) - 1;

    const auto& t = s.trailer;
    const int lines = s.trailerLines;
    auto has = [lines](int k) { return k < lines; };
    if (has(TrailerAZo)) {
        st.Zo = UsableZo(t[TrailerAZo]);
        st.Z0real = st.Zo;
    }
    if (has(TrailerAVF)) {
        st.VF = t[TrailerAVF];
    }
    if (has(TrailerACableLength)) {
        st.cable_length = t[TrailerACableLength];
    }
    if (has(TrailerAAverage)) {
        st.average = UsableAverage(t[TrailerAAverage]);
    }
    if (has(TrailerATrend)) {
        st.trend = UsableTrend(t[TrailerATrend]);
        st.trendOn = st.trend >= 1 ? 1 : 0;
    }
    st.scanSettingsA.trend = st.trend;
    st.scanSettingsA.average = st.average;
    st.scanSettingsA.Zo = st.Zo;
    st.scanSettingsA.customCal = has(TrailerACustomCal) && t[TrailerACustomCal] == 1 ? 1 : 0;
    st.scanSettingsA.recorded = 1;
    st.scana_ok = 1;
    st.scanHeldA = 1;
}

void ApplyScanB(core::Program& p, const ScanFileB& s, std::string_view fileName) {
    AppState& st = p.st;
    core::ScanArrays& a = p.scan;
    st.scanFileNameB = LoadedFileCaption(fileName);
    st.scanStampB = s.stamp;
    st.plot_at_zero = s.plotAtZero ? 1 : 0;
    if (TakeLimits(st, LimitsB(st, s.start, s.end, s.step))) {
        for (auto* arr : {&a.scan_swr, &a.scan_zmag, &a.scan_phase}) {
            std::fill_n(arr->begin(), ClearedPoints, 0.0);
        }
    }
    RestoreAxis(p, s.plotStart, s.plotStop, s.divPx, s.mhzPerDiv);
    const auto& c = s.scales;
    st.swr_scale = c[ScaleBSwr];
    st.zmag_scale = c[ScaleBZmag];
    st.phase_scale = c[ScaleBPhase];
    st.s21gain_scale = c[ScaleBS21Gain];
    st.s11gain_scale = c[ScaleBS11Gain];
    st.rtloss_scale = c[ScaleBReturnLoss];
    st.delay_scale = c[ScaleBDelay];
    st.Q_scale = c[ScaleBQ];
    if (c[ScaleBInsertionLoss] > 0) {
        st.insertionLossScale = c[ScaleBInsertionLoss];
    }
    st.Zero_Ref = std::clamp(TruncInt(c[ScaleBZeroRef]), 0, 20);
    st.ruler_1 = s.ruler1;
    st.ruler1_on = TruncInt(s.ruler1On);
    st.ruler_2 = s.ruler2;
    st.ruler2_on = TruncInt(s.ruler2On);
    st.PortB_Gain = std::clamp(TruncInt(s.gain), 1, 5);
    st.PortB_Sens = std::clamp(TruncInt(s.sens), 1, 2);
    st.scanDescriptionB = s.description;
    const std::size_t blocks = std::min(s.s21db.size(), static_cast<std::size_t>(core::ScanCapacity));
    for (std::size_t k = 0; k < blocks; ++k) {
        a.s21_db[k] = s.s21db[k];
        a.s21_phase[k] = (k < s.s21deg.size() ? s.s21deg[k] : 0) / ScanFileDegrees;
        a.s11_db[k] = k < s.s11db.size() ? s.s11db[k] : 0;
        a.s11_phase[k] = (k < s.s11deg.size() ? s.s11deg[k] : 0) / ScanFileDegrees;
    }
    const int points = std::clamp(TruncInt(s.points), 0, core::ScanCapacity - 1);
    st.scan_points = std::max(points, 1);
    st.last_scan_index = points - 1;

    const auto& t = s.trailer;
    const int lines = s.trailerLines;
    auto has = [lines](int k) { return k < lines; };
    if (has(TrailerBZo)) {
        st.Zo = UsableZo(t[TrailerBZo]);
        st.Z0real = st.Zo;
    }
    if (has(TrailerBVF)) {
        st.VF = t[TrailerBVF];
    }
    if (has(TrailerBCableLength)) {
        st.cable_length = t[TrailerBCableLength];
    }
    if (has(TrailerBAverage)) {
        st.average = UsableAverage(t[TrailerBAverage]);
    }
    if (has(TrailerBTrend)) {
        st.trend = UsableTrend(t[TrailerBTrend]);
        st.trendOn = st.trend >= 1 ? 1 : 0;
    }
    if (has(TrailerBS21PhaseScale) && s.format >= ScanFormatB) {
        // The same limits as the settings file puts on it.
        const double v = std::fabs(t[TrailerBS21PhaseScale]);
        st.s21phase_scale = v < 1 || v > 200 ? 200 : v;
    }
    st.scanSettingsB.trend = st.trend;
    st.scanSettingsB.average = st.average;
    st.scanSettingsB.Zo = st.Zo;
    st.scanSettingsB.customCal = has(TrailerBCustomCal) && t[TrailerBCustomCal] == 1 ? 1 : 0;
    st.scanSettingsB.recorded = 1;
    st.scanb_ok = 1;
    st.scanHeldB = 1;
}

void ShowLoadedScanA(core::Program& p) {
    AppState& st = p.st;
    measure::ReplayScanA(p);
    if (st.PortB_on) {
        return;
    }
    if (!st.ConfigLoaded) {
        // Without a configuration no sweep runs, not even a replay; the graph still shows the scan.
        display::RedrawScan(p);
        DrawLoadedNotes(p, st.scanDescriptionA, st.scanSettingsA.customCal == 1);
        return;
    }
    // The empty graph, then the scan drawn by a sweep that replays it (with its notes).
    display::DrawGraph(p);
    st.live_scan = 0;
    measure::sweepPortA(p);
    st.live_scan = 1;
}

void ShowLoadedScanB(core::Program& p) {
    AppState& st = p.st;
    measure::ReplayScanB(p);
    if (!st.PortB_on) {
        return;
    }
    if (!st.ConfigLoaded) {
        display::RedrawScan(p);
    } else {
        display::DrawGraph(p);
        st.live_scan = 0;
        measure::sweepPortB(p);
        st.live_scan = 1;
    }
    DrawLoadedNotes(p, st.scanDescriptionB, st.scanSettingsB.customCal == 1);
}

void DrawScanNotes(core::Program& p) {
    const AppState& st = p.st;
    if (st.PortB_on) {
        DrawLoadedNotes(p, st.scanDescriptionB, st.scanSettingsB.customCal == 1);
    } else {
        DrawLoadedNotes(p, st.scanDescriptionA, st.scanSettingsA.customCal == 1);
    }
}

} // namespace vna::files
