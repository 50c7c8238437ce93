// Loading a scan: a scan file, a Touchstone file or a CSV export becomes the scan of its port by
// the rules of the scan file readers, and is shown by a sweep that replays it.

#include <algorithm>
#include <cmath>

#include "commands/scan_commands.h"
#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/scan_plot.h"
#include "files/csv_export.h"
#include "files/scan_file.h"
#include "files/touchstone.h"
#include "measure/scan_replay.h"
#include "measure/sweep.h"

namespace vna::commands {

using core::ReadWholeFile;
using display::DrawLoadedNotes;

using core::AppState;
using core::LowerExtension;
using core::SplitPath;
using core::TruncInt;
using files::ScanFileA;
using files::ScanFileB;

namespace {

// The Port B arrays a new Port A grid clears (and the other way round).
constexpr std::size_t ClearedPoints = 30011;

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

// The settings a scan file brings along. A value out of its range comes from a damaged file: it
// is not taken, the user's setting stays, and the user is told.
class FileSettings {
public:
    explicit FileSettings(AppState& st) : st_(st) {}

    void Zo(double zo) {
        if (zo < 3 || zo > 10000) {
            Refuse("Zo", zo, "3 to 10000 ohms", st_.Zo);
            return;
        }
        st_.Zo = zo;
        st_.Z0real = zo;
    }
    void Average(double v) {
        if (v < 1 || v > 256) {
            Refuse("The averaging", v, "1 to 256", st_.average);
            return;
        }
        st_.average = TruncInt(v);
    }
    // A trend below 1 switches smoothing off, as it always has.
    void Trend(double v) {
        if (v > 20) {
            Refuse("The trend", v, "0 to 20", st_.trend);
            return;
        }
        st_.trend = v < 1 ? 0 : TruncInt(v);
        st_.trendOn = st_.trend >= 1 ? 1 : 0;
    }
    // Empty when every value was taken.
    std::string Report() const {
        return refused_.empty() ? std::string()
                                : "Settings of this file out of range were not taken:" + refused_;
    }

private:
    void Refuse(const char* what, double value, const char* range, double kept) {
        if (value == kept) {
            return; // nothing would change (an import carries the present settings)
        }
        refused_ += std::string("\r") + what + " of the file is" + core::NumText(value, 3) + ", outside " +
                    range + "; it stays at" + core::NumText(kept, 3) + ".";
    }

    AppState& st_;
    std::string refused_;
};

void WarnOldFormat(core::Program& p, char port) {
    p.ui.message(std::string("This file for Port ") + port +
                     " is not in the latest format.\rIt may not have the latest features.",
                 std::string("Port ") + port + " - Warning: Invalid File Format");
}

void ReportUnreadable(core::Program& p, char port, const std::string& path, const std::string& problem) {
    p.ui.message("The file named: " + path + "\rcould not be read as a Port " + port + " scan.\r" + problem +
                     "\rThe graph was not changed.",
                 std::string("Port ") + port + " - File Error");
}

void ReportNote(core::Program& p, char port, const std::string& note) {
    if (!note.empty()) {
        p.ui.message(note, std::string(" Port ") + port + " - File Loaded");
    }
}

// Base records for files of other kinds (Touchstone, CSV): the present header values, with the
// present trend and averaging, so that loading them changes none of the user's settings.
ScanFileA ImportBaseA(core::Program& p) {
    ScanFileA s = files::CaptureScanA(p);
    s.stamp = files::ScanStamp(p.clock.now());
    s.description.clear();
    s.trailer[files::TrailerAAverage] = p.st.average;
    s.trailer[files::TrailerATrend] = p.st.trend;
    s.trailer[files::TrailerAZo] = p.st.Zo;
    s.trailer[files::TrailerACustomCal] = 0;
    return s;
}

ScanFileB ImportBaseB(core::Program& p) {
    ScanFileB s = files::CaptureScanB(p);
    s.stamp = files::ScanStamp(p.clock.now());
    s.description.clear();
    s.trailer[files::TrailerBAverage] = p.st.average;
    s.trailer[files::TrailerBTrend] = p.st.trend;
    s.trailer[files::TrailerBZo] = p.st.Zo;
    s.trailer[files::TrailerBCustomCal] = 0;
    return s;
}

} // namespace

std::string LoadedFileCaption(std::string_view path) {
    std::string name = SplitPath(path).name;
    if (name.size() < 20) {
        name.resize(20, ' ');
    }
    return "File: " + name;
}

std::string ApplyScanA(core::Program& p, const ScanFileA& s, std::string_view fileName) {
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
    FileSettings settings(st);
    if (has(files::TrailerAZo)) {
        settings.Zo(t[files::TrailerAZo]);
    }
    if (has(files::TrailerAVF)) {
        st.VF = t[files::TrailerAVF];
    }
    if (has(files::TrailerACableLength)) {
        st.cable_length = t[files::TrailerACableLength];
    }
    if (has(files::TrailerAAverage)) {
        settings.Average(t[files::TrailerAAverage]);
    }
    if (has(files::TrailerATrend)) {
        settings.Trend(t[files::TrailerATrend]);
    }
    files::RecordScanGrid(st, st.scanSettingsA);
    st.scanSettingsA.trend = st.trend;
    st.scanSettingsA.average = st.average;
    st.scanSettingsA.Zo = st.Zo;
    st.scanSettingsA.customCal = has(files::TrailerACustomCal) && t[files::TrailerACustomCal] == 1 ? 1 : 0;
    st.scanSettingsA.recorded = 1;
    st.scana_ok = 1;
    st.scanHeldA = 1;
    return settings.Report();
}

std::string ApplyScanB(core::Program& p, const ScanFileB& s, std::string_view fileName) {
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
    st.swr_scale = c[files::ScaleBSwr];
    st.zmag_scale = c[files::ScaleBZmag];
    st.phase_scale = c[files::ScaleBPhase];
    st.s21gain_scale = c[files::ScaleBS21Gain];
    st.s11gain_scale = c[files::ScaleBS11Gain];
    st.rtloss_scale = c[files::ScaleBReturnLoss];
    st.delay_scale = c[files::ScaleBDelay];
    st.Q_scale = c[files::ScaleBQ];
    if (c[files::ScaleBInsertionLoss] > 0) {
        st.insertionLossScale = c[files::ScaleBInsertionLoss];
    }
    st.Zero_Ref = std::clamp(TruncInt(c[files::ScaleBZeroRef]), 0, 20);
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
        a.s21_phase[k] = (k < s.s21deg.size() ? s.s21deg[k] : 0) / files::ScanFileDegrees;
        a.s11_db[k] = k < s.s11db.size() ? s.s11db[k] : 0;
        a.s11_phase[k] = (k < s.s11deg.size() ? s.s11deg[k] : 0) / files::ScanFileDegrees;
    }
    const int points = std::clamp(TruncInt(s.points), 0, core::ScanCapacity - 1);
    st.scan_points = std::max(points, 1);
    st.last_scan_index = points - 1;

    const auto& t = s.trailer;
    const int lines = s.trailerLines;
    auto has = [lines](int k) { return k < lines; };
    FileSettings settings(st);
    if (has(files::TrailerBZo)) {
        settings.Zo(t[files::TrailerBZo]);
    }
    if (has(files::TrailerBVF)) {
        st.VF = t[files::TrailerBVF];
    }
    if (has(files::TrailerBCableLength)) {
        st.cable_length = t[files::TrailerBCableLength];
    }
    if (has(files::TrailerBAverage)) {
        settings.Average(t[files::TrailerBAverage]);
    }
    if (has(files::TrailerBTrend)) {
        settings.Trend(t[files::TrailerBTrend]);
    }
    if (has(files::TrailerBS21PhaseScale) && s.format >= files::ScanFormatB) {
        // The same limits as the settings file puts on it.
        const double v = std::fabs(t[files::TrailerBS21PhaseScale]);
        st.s21phase_scale = v < 1 || v > 200 ? 200 : v;
    }
    files::RecordScanGrid(st, st.scanSettingsB);
    st.scanSettingsB.trend = st.trend;
    st.scanSettingsB.average = st.average;
    st.scanSettingsB.Zo = st.Zo;
    st.scanSettingsB.customCal = has(files::TrailerBCustomCal) && t[files::TrailerBCustomCal] == 1 ? 1 : 0;
    st.scanSettingsB.recorded = 1;
    st.scanb_ok = 1;
    st.scanHeldB = 1;
    return settings.Report();
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

bool LoadScanFileA(core::Program& p, const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        return false;
    }
    const std::string ext = LowerExtension(path);
    std::string problem;
    std::string note;
    std::optional<ScanFileA> scan;
    if (ext == "s1p") {
        const auto data = files::ParseTouchstone(text, 1, problem);
        if (data) {
            scan = TouchstoneToScanA(*data, p.st, ImportBaseA(p), problem, note);
        }
    } else if (ext == "csv") {
        const auto csv = ParseCsvExport(text, ImportBaseA(p), ImportBaseB(p), problem, note);
        if (csv && std::holds_alternative<ScanFileA>(*csv)) {
            scan = std::get<ScanFileA>(*csv);
        } else if (csv) {
            problem = "It is the export of a Port B scan.";
        }
    } else {
        scan = files::ParseScanFileA(text, problem);
        if (scan && scan->format < p.st.ScanFileFormatA) {
            WarnOldFormat(p, 'A');
        }
    }
    if (!scan) {
        ReportUnreadable(p, 'A', path, problem);
        return false;
    }
    const std::string refused = ApplyScanA(p, *scan, path);
    ShowLoadedScanA(p);
    ReportNote(p, 'A', note);
    ReportNote(p, 'A', refused);
    return true;
}

bool LoadScanFileB(core::Program& p, const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        return false;
    }
    const std::string ext = LowerExtension(path);
    std::string problem;
    std::string note;
    std::optional<ScanFileB> scan;
    if (ext == "s2p") {
        const auto data = files::ParseTouchstone(text, 2, problem);
        if (data) {
            scan = TouchstoneToScanB(*data, p.st, ImportBaseB(p), problem, note);
        }
    } else if (ext == "csv") {
        const auto csv = ParseCsvExport(text, ImportBaseA(p), ImportBaseB(p), problem, note);
        if (csv && std::holds_alternative<ScanFileB>(*csv)) {
            scan = std::get<ScanFileB>(*csv);
        } else if (csv) {
            problem = "It is the export of a Port A scan.";
        }
    } else {
        scan = files::ParseScanFileB(text, problem);
        if (scan && scan->format < p.st.ScanFileFormatB) {
            WarnOldFormat(p, 'B');
        }
    }
    if (!scan) {
        ReportUnreadable(p, 'B', path, problem);
        return false;
    }
    const std::string refused = ApplyScanB(p, *scan, path);
    ShowLoadedScanB(p);
    ReportNote(p, 'B', note);
    ReportNote(p, 'B', refused);
    return true;
}

void LoadScanA(core::Program& p) {
    AppState& st = p.st;
    std::string path;
    switch (st.ScanFileMode) {
        case 0: {
            const auto chosen = p.ui.openFile(
                ScanFileDialog(st, " Load Port A Scan File",
                               "Scan Files(*.scn)|*.scn|Touchstone Files(*.s1p)|*.s1p||", "scn"));
            if (!chosen || chosen->size() < 3) {
                return;
            }
            path = *chosen;
            RememberScanFile(st, path);
            break;
        }
        case 10:
            path = files::LastGraphPathA(st, files::LastGraphSuffix(st.swapToggleA));
            break;
        default:
            path = (st.ScanFileMode == 3 || st.CommandLineScan == 3) && !st.CommandLineFile.empty()
                       ? st.CommandLineFile
                       : files::LastGraphPathA(st, "");
            break;
    }
    LoadScanFileA(p, path);
}

void LoadScanB(core::Program& p) {
    AppState& st = p.st;
    std::string path;
    switch (st.ScanFileMode) {
        case 0: {
            const auto chosen = p.ui.openFile(
                ScanFileDialog(st, " Load Port B Scan File",
                               " B Scan Files(*.scnb)|*.scnb|Touchstone Files(*.s2p)|*.s2p||", "scnb"));
            if (!chosen || chosen->size() < 3) {
                return;
            }
            path = *chosen;
            RememberScanFile(st, path);
            break;
        }
        case 10:
            path = files::LastGraphPathB(st, files::LastGraphSuffix(st.swapToggleB));
            break;
        default:
            path = files::LastGraphPathB(st, "");
            break;
    }
    LoadScanFileB(p, path);
}

} // namespace vna::commands
