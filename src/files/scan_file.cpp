#include "files/scan_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>

#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "files/csv_export.h"
#include "files/init_file.h"
#include "files/touchstone.h"

namespace vna::files {

using core::DialogFolder;
using core::FileExists;
using core::FileIsWriteProtected;
using core::JoinPath;
using core::NumText;
using core::ReadWholeFile;
using core::SplitPath;
using core::ToLower;
using core::WriteFileAtomic;

namespace {

using core::AppState;

constexpr const char* NotSavedMessage =
    "The file was not saved.\rBe sure the file is not set for Read-Only.\r"
    "Also, be sure the disk is not full.";

std::string Suffix(int toggle) {
    return toggle ? "1" : "0";
}

// The extension of a path in lower case, without its point ("" when there is none).
std::string Extension(std::string_view path) {
    const std::string name = SplitPath(path).name;
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : ToLower(name.substr(dot + 1));
}

// The limit check of a save: 0, or the code of the first limit that makes no scan.
int LimitCode(const AppState& st) {
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

// A description used as a file name: separators and the characters no file system takes become
// "_", so the file stays in the scan folder.
std::string NameFromText(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
            c == '|' || static_cast<unsigned char>(c) < 32) {
            c = '_';
        }
    }
    return out;
}

// A name not yet taken in the folder: "name.ext", else "name (2).ext", "name (3).ext", ... A save
// nobody chose a name for must not replace a file someone saved before.
std::string FreeName(const std::string& folder, const std::string& base, const std::string& ext) {
    std::string path = JoinPath(folder, base + ext);
    for (int k = 2; FileExists(path) && k < 10000; ++k) {
        path = JoinPath(folder, base + " (" + std::to_string(k) + ")" + ext);
    }
    return path;
}

platform::FileDialog ScanDialog(const AppState& st, std::string title, std::string filter, std::string ext) {
    platform::FileDialog d;
    d.title = std::move(title);
    d.filter = std::move(filter);
    d.defaultExtension = std::move(ext);
    d.initialFolder = DialogFolder(st.scan_folder, st.ProgramFolder);
    return d;
}

void RememberScanFile(AppState& st, const std::string& path) {
    if (path.size() > 2) {
        st.scan_file = path;
        st.scan_folder = SplitPath(path).folder;
    }
}

// The file the save command asks for: nothing when the user gave none (for Port A the caller
// then makes one up).
std::optional<std::string> AskSavePath(core::Program& p, platform::FileDialog d, const char* ext) {
    d.initialName = NameFromText(p.st.PortB_on ? p.st.scanDescriptionB : p.st.scanDescriptionA);
    if (!d.initialName.empty()) {
        d.initialName += std::string(".") + ext;
    }
    const auto chosen = p.ui.saveFile(d);
    if (!chosen || chosen->size() < 2) {
        return std::nullopt;
    }
    std::string path = *chosen;
    if (Extension(path).empty()) {
        path += std::string(".") + ext;
    }
    RememberScanFile(p.st, path);
    return path;
}

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
    ScanFileA s = CaptureScanA(p);
    s.stamp = ScanStamp(p.clock.now());
    s.description.clear();
    s.trailer[TrailerAAverage] = p.st.average;
    s.trailer[TrailerATrend] = p.st.trend;
    s.trailer[TrailerAZo] = p.st.Zo;
    s.trailer[TrailerACustomCal] = 0;
    return s;
}

ScanFileB ImportBaseB(core::Program& p) {
    ScanFileB s = CaptureScanB(p);
    s.stamp = ScanStamp(p.clock.now());
    s.description.clear();
    s.trailer[TrailerBAverage] = p.st.average;
    s.trailer[TrailerBTrend] = p.st.trend;
    s.trailer[TrailerBZo] = p.st.Zo;
    s.trailer[TrailerBCustomCal] = 0;
    return s;
}

} // namespace

std::string LastGraphPathA(const AppState& st, std::string_view suffix) {
    return JoinPath(st.ProgramFolder, "VNA_LastGraph" + std::string(suffix) + ".scn");
}

std::string LastGraphPathB(const AppState& st, std::string_view suffix) {
    return JoinPath(st.ProgramFolder, "VNA_LastGraphB" + std::string(suffix) + ".scnb");
}

bool LoadScanFileA(core::Program& p, const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        return false;
    }
    const std::string ext = Extension(path);
    std::string problem;
    std::string note;
    std::optional<ScanFileA> scan;
    if (ext == "s1p") {
        const auto data = ParseTouchstone(text, 1, problem);
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
        scan = ParseScanFileA(text, problem);
        if (scan && scan->format < p.st.ScanFileFormatA) {
            WarnOldFormat(p, 'A');
        }
    }
    if (!scan) {
        ReportUnreadable(p, 'A', path, problem);
        return false;
    }
    ApplyScanA(p, *scan, path);
    ShowLoadedScanA(p);
    ReportNote(p, 'A', note);
    return true;
}

bool LoadScanFileB(core::Program& p, const std::string& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        return false;
    }
    const std::string ext = Extension(path);
    std::string problem;
    std::string note;
    std::optional<ScanFileB> scan;
    if (ext == "s2p") {
        const auto data = ParseTouchstone(text, 2, problem);
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
        scan = ParseScanFileB(text, problem);
        if (scan && scan->format < p.st.ScanFileFormatB) {
            WarnOldFormat(p, 'B');
        }
    }
    if (!scan) {
        ReportUnreadable(p, 'B', path, problem);
        return false;
    }
    ApplyScanB(p, *scan, path);
    ShowLoadedScanB(p);
    ReportNote(p, 'B', note);
    return true;
}

void LoadScanA(core::Program& p) {
    AppState& st = p.st;
    std::string path;
    switch (st.ScanFileMode) {
        case 0: {
            const auto chosen =
                p.ui.openFile(ScanDialog(st, " Load Port A Scan File",
                                         "Scan Files(*.scn)|*.scn|Touchstone Files(*.s1p)|*.s1p||", "scn"));
            if (!chosen || chosen->size() < 3) {
                return;
            }
            path = *chosen;
            RememberScanFile(st, path);
            break;
        }
        case 10:
            path = LastGraphPathA(st, Suffix(st.swapToggleA));
            break;
        default:
            path = (st.ScanFileMode == 3 || st.CommandLineScan == 3) && !st.CommandLineFile.empty()
                       ? st.CommandLineFile
                       : LastGraphPathA(st, "");
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
                ScanDialog(st, " Load Port B Scan File",
                           " B Scan Files(*.scnb)|*.scnb|Touchstone Files(*.s2p)|*.s2p||", "scnb"));
            if (!chosen || chosen->size() < 3) {
                return;
            }
            path = *chosen;
            RememberScanFile(st, path);
            break;
        }
        case 10:
            path = LastGraphPathB(st, Suffix(st.swapToggleB));
            break;
        default:
            path = LastGraphPathB(st, "");
            break;
    }
    LoadScanFileB(p, path);
}

bool SaveScanA(core::Program& p) {
    AppState& st = p.st;
    const int mode = st.ScanFileMode;
    st.ScanFileMode = 0;
    if (mode == 1 && !st.scanHeldA) {
        return false;
    }
    if (const int code = LimitCode(st)) {
        if (mode == 0) {
            p.ui.message("Invalid scan limits", " Invalid Limits " + NumText(code, 0));
        }
        return false;
    }
    std::string path;
    if (mode == 0) {
        const auto chosen =
            AskSavePath(p,
                        ScanDialog(st, "Save Port A scan, default name= " + st.scanDescriptionA + ".scn",
                                   "Scan Files(*.scn)|*.scn|Touchstone Files(*.s1p)|*.s1p||", "scn"),
                        "scn");
        if (chosen) {
            path = *chosen;
        } else {
            // Even without a name the scan is kept, under its description or a made-up name.
            const std::string base = st.scanDescriptionA.size() >= 2
                                         ? NameFromText(st.scanDescriptionA)
                                         : "Scan_A_" + NumText(std::floor(p.clock.tickMs() / 1000.0), 0);
            path = FreeName(DialogFolder(st.scan_folder, st.ProgramFolder), base, ".scn");
        }
    } else {
        path = LastGraphPathA(st, mode == 10 ? Suffix(st.swapToggleA) : "");
    }
    const bool touchstone = mode == 0 && Extension(path) == "s1p";
    const std::string text =
        touchstone ? TouchstoneTextA(p, TouchstoneFormat::RI) : FormatScanFileA(CaptureScanA(p));
    if (!WriteScanText(p, path, text)) {
        return false;
    }
    if (mode == 0 && !touchstone) {
        WriteScanText(p, CsvNameA(path), CsvTextA(p, p.clock.now()));
    }
    return CheckSaved(p, path);
}

bool SaveScanB(core::Program& p) {
    AppState& st = p.st;
    const int mode = st.ScanFileMode;
    st.ScanFileMode = 0;
    if (mode == 1 && !st.scanHeldB) {
        return false;
    }
    if (const int code = LimitCode(st)) {
        if (mode == 0) {
            p.ui.message("Invalid scan limits", " Invalid Limits " + NumText(code, 0));
        }
        return false;
    }
    std::string path;
    if (mode == 0) {
        const auto chosen =
            AskSavePath(p,
                        ScanDialog(st, " Save Port B Scan File",
                                   " B Scan Files(*.scnb)|*.scnb|Touchstone Files(*.s2p)|*.s2p||", "scnb"),
                        "scnb");
        if (!chosen) {
            return false;
        }
        path = *chosen;
    } else {
        path = LastGraphPathB(st, mode == 10 ? Suffix(st.swapToggleB) : "");
    }
    const bool touchstone = mode == 0 && Extension(path) == "s2p";
    const std::string text =
        touchstone ? TouchstoneTextB(p, TouchstoneFormat::RI) : FormatScanFileB(CaptureScanB(p));
    if (!WriteScanText(p, path, text)) {
        return false;
    }
    if (mode == 0 && !touchstone) {
        WriteScanText(p, CsvNameB(path), CsvTextB(p, p.clock.now()));
    }
    return CheckSaved(p, path);
}

void RecordLiveScanA(core::Program& p, int customCal) {
    AppState& st = p.st;
    st.scanSettingsA = {st.trend, st.average, st.Zo, customCal ? 1 : 0, 1};
    st.scanStampA = ScanStamp(p.clock.now());
    st.scanHeldA = 1;
}

void RecordLiveScanB(core::Program& p, int customCal) {
    AppState& st = p.st;
    st.scanSettingsB = {st.trend, st.average, st.Zo, customCal ? 1 : 0, 1};
    st.scanStampB = ScanStamp(p.clock.now());
    st.scanHeldB = 1;
}

void AutoSaveGraphA(core::Program& p) {
    AppState& st = p.st;
    if (st.recycle || !st.autoSaveGraph || st.autoSaveSuppressed) {
        return;
    }
    st.swapToggleA = st.swapToggleA ? 0 : 1;
    st.ScanFileMode = 10;
    SaveScanA(p);
}

void AutoSaveGraphB(core::Program& p) {
    AppState& st = p.st;
    if (st.recycle || !st.autoSaveGraph || st.autoSaveSuppressed) {
        return;
    }
    st.swapToggleB = st.swapToggleB ? 0 : 1;
    st.ScanFileMode = 10;
    SaveScanB(p);
}

} // namespace vna::files
