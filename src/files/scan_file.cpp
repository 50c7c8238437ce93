#include "files/scan_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "core/atomic_file.h"
#include "core/freq_axis.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "files/csv_export.h"
#include "files/init_file.h"
#include "files/touchstone.h"

namespace vna::files {

using core::AppState;
using core::FileExists;
using core::FileIsWriteProtected;
using core::JoinPath;
using core::LowerExtension;
using core::WriteFileAtomic;

namespace {

constexpr const char* NotSavedMessage =
    "The file was not saved.\rBe sure the file is not set for Read-Only.\r"
    "Also, be sure the disk is not full.";

// Writes one file of a save, with the messages of a file that cannot be written.
bool WriteScanText(core::Program& p, const std::string& path, std::string_view text) {
    if (FileIsWriteProtected(path)) {
        if (path.size() >= 3) {
            p.ui.message(ReadOnlyMessage(path), "");
        }
        return false;
    }
    if (!WriteFileAtomic(path, text)) {
        p.ui.message(NotSavedMessage, "File Error");
        return false;
    }
    return true;
}

// Reopens a written file, as the check that it is really there.
bool CheckSaved(core::Program& p, const std::string& path) {
    std::ifstream back(path, std::ios::binary);
    if (!FileExists(path) || !back) {
        p.ui.message(NotSavedMessage, "File Error");
        return false;
    }
    return true;
}

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

// The frequency axis of the graph for a grid, without touching the program.
core::FreqAxis AxisOf(const AppState& st, const ScanGrid& g) {
    AppState copy = st;
    copy.start_freq = g.start;
    copy.end_freq = g.end;
    copy.delta_freq = g.step;
    return core::ComputeFreqAxis(copy);
}

} // namespace

void RecordScanGrid(const AppState& st, core::ScanSettings& s) {
    s.start = st.start_freq;
    s.end = st.end_freq;
    s.step = st.delta_freq;
    s.points = st.scan_points;
    s.last = st.last_scan_index;
}

std::string LastGraphSuffix(int toggle) {
    return toggle ? "1" : "0";
}

int ScanLimitCode(const AppState& st) {
    if (st.start_freq < 0.005) {
        return 1;
    }
    if (std::fabs(st.end_freq) > st.maximumfreq) {
        return 2;
    }
    if (std::fabs(st.delta_freq) < 0.0000001) {
        return 3;
    }
    return 0;
}

std::string LastGraphPathA(const AppState& st, std::string_view suffix) {
    return JoinPath(st.ProgramFolder, "VNA_LastGraph" + std::string(suffix) + ".scn");
}

std::string LastGraphPathB(const AppState& st, std::string_view suffix) {
    return JoinPath(st.ProgramFolder, "VNA_LastGraphB" + std::string(suffix) + ".scnb");
}

ScanFileA CaptureScanA(const core::Program& p) {
    const AppState& st = p.st;
    const core::ScanArrays& a = p.scan;
    ScanFileA s;
    s.stamp = st.scanStampA;
    s.format = st.ScanFileFormatA;
    s.plotAtZero = st.plot_at_zero != 0;
    const ScanGrid grid = ScanGridOf(st, st.scanSettingsA);
    s.start = grid.start;
    s.end = grid.end;
    s.step = grid.step;
    const core::FreqAxis axis = AxisOf(st, grid);
    s.plotStart = axis.plotStart;
    s.plotStop = axis.plotStop;
    s.mhzPerDiv = axis.mhzPerDiv;
    s.swrScale = st.swr_scale;
    s.zmagScale = st.zmag_scale;
    s.phaseScale = st.phase_scale;
    s.divPx = p.display.g.divPx;
    s.plotSwr = st.plot_swr;
    s.description = st.scanDescriptionA;
    const auto points = static_cast<std::size_t>(std::clamp(grid.last, -1, core::MaxSweepPoints - 1) + 1);
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
    const ScanGrid grid = ScanGridOf(st, st.scanSettingsB);
    const int points = std::clamp(grid.points, 0, core::MaxSweepPoints);
    s.points = points;
    s.start = grid.start;
    s.end = grid.end;
    s.step = grid.step;
    const core::FreqAxis axis = AxisOf(st, grid);
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

bool WriteScanFileA(core::Program& p, const std::string& path, bool userFile) {
    const bool touchstone = userFile && LowerExtension(path) == "s1p";
    const std::string text =
        touchstone ? TouchstoneTextA(p, TouchstoneFormat::RI) : FormatScanFileA(CaptureScanA(p));
    if (!WriteScanText(p, path, text)) {
        return false;
    }
    if (userFile && !touchstone) {
        WriteScanText(p, CsvNameA(path), CsvTextA(p, p.clock.now()));
    }
    return CheckSaved(p, path);
}

bool WriteScanFileB(core::Program& p, const std::string& path, bool userFile) {
    const bool touchstone = userFile && LowerExtension(path) == "s2p";
    const std::string text =
        touchstone ? TouchstoneTextB(p, TouchstoneFormat::RI) : FormatScanFileB(CaptureScanB(p));
    if (!WriteScanText(p, path, text)) {
        return false;
    }
    if (userFile && !touchstone) {
        WriteScanText(p, CsvNameB(path), CsvTextB(p, p.clock.now()));
    }
    return CheckSaved(p, path);
}

bool SaveLastGraphA(core::Program& p, int mode) {
    AppState& st = p.st;
    st.ScanFileMode = 0;
    if ((mode == 1 && !st.scanHeldA) || ScanLimitCode(st) != 0) {
        return false;
    }
    return WriteScanFileA(p, LastGraphPathA(st, mode == 10 ? LastGraphSuffix(st.swapToggleA) : ""), false);
}

bool SaveLastGraphB(core::Program& p, int mode) {
    AppState& st = p.st;
    st.ScanFileMode = 0;
    if ((mode == 1 && !st.scanHeldB) || ScanLimitCode(st) != 0) {
        return false;
    }
    return WriteScanFileB(p, LastGraphPathB(st, mode == 10 ? LastGraphSuffix(st.swapToggleB) : ""), false);
}

void RecordLiveScanA(core::Program& p, int customCal) {
    AppState& st = p.st;
    st.scanSettingsA = {st.trend, st.average, st.Zo, customCal ? 1 : 0, 1};
    RecordScanGrid(st, st.scanSettingsA);
    st.scanStampA = ScanStamp(p.clock.now());
    st.scanHeldA = 1;
}

void RecordLiveScanB(core::Program& p, int customCal) {
    AppState& st = p.st;
    st.scanSettingsB = {st.trend, st.average, st.Zo, customCal ? 1 : 0, 1};
    RecordScanGrid(st, st.scanSettingsB);
    st.scanStampB = ScanStamp(p.clock.now());
    st.scanHeldB = 1;
}

void AutoSaveGraphA(core::Program& p) {
    AppState& st = p.st;
    if (st.recycle || !st.autoSaveGraph || st.autoSaveSuppressed) {
        return;
    }
    st.swapToggleA = st.swapToggleA ? 0 : 1;
    SaveLastGraphA(p, 10);
}

void AutoSaveGraphB(core::Program& p) {
    AppState& st = p.st;
    if (st.recycle || !st.autoSaveGraph || st.autoSaveSuppressed) {
        return;
    }
    st.swapToggleB = st.swapToggleB ? 0 : 1;
    SaveLastGraphB(p, 10);
}

} // namespace vna::files
