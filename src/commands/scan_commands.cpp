#include "commands/scan_commands.h"

#include <cmath>
#include <optional>

#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "display/scan_plot.h"
#include "files/scan_file.h"
#include "tools/tdr_commands.h"

namespace vna::commands {

using display::DrawScanNotes;

using core::AppState;
using core::DialogFolder;
using core::FileExists;
using core::JoinPath;
using core::LowerExtension;
using core::NumText;
using core::OneLine;
using core::SplitPath;

namespace {

// A comment is one line of the scan file; longer texts are cut there anyway.
constexpr std::size_t MaxComment = 255;

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
    if (LowerExtension(path).empty()) {
        path += std::string(".") + ext;
    }
    RememberScanFile(p.st, path);
    return path;
}

} // namespace

platform::FileDialog ScanFileDialog(const AppState& st, std::string title, std::string filter,
                                    std::string ext) {
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

bool SaveScanA(core::Program& p) {
    AppState& st = p.st;
    if (st.ScanFileMode != 0) {
        return files::SaveLastGraphA(p, st.ScanFileMode);
    }
    if (const int code = files::ScanLimitCode(st)) {
        p.ui.message("Invalid scan limits", " Invalid Limits " + NumText(code, 0));
        return false;
    }
    const auto chosen =
        AskSavePath(p,
                    ScanFileDialog(st, "Save Port A scan, default name= " + st.scanDescriptionA + ".scn",
                                   "Scan Files(*.scn)|*.scn|Touchstone Files(*.s1p)|*.s1p||", "scn"),
                    "scn");
    std::string path;
    if (chosen) {
        path = *chosen;
    } else {
        // Even without a name the scan is kept, under its description or a made-up name.
        const std::string base = st.scanDescriptionA.size() >= 2
                                     ? NameFromText(st.scanDescriptionA)
                                     : "Scan_A_" + NumText(std::floor(p.clock.tickMs() / 1000.0), 0);
        path = FreeName(DialogFolder(st.scan_folder, st.ProgramFolder), base, ".scn");
    }
    return files::WriteScanFileA(p, path, true);
}

bool SaveScanB(core::Program& p) {
    AppState& st = p.st;
    if (st.ScanFileMode != 0) {
        return files::SaveLastGraphB(p, st.ScanFileMode);
    }
    if (const int code = files::ScanLimitCode(st)) {
        p.ui.message("Invalid scan limits", " Invalid Limits " + NumText(code, 0));
        return false;
    }
    const auto chosen =
        AskSavePath(p,
                    ScanFileDialog(st, " Save Port B Scan File",
                                   " B Scan Files(*.scnb)|*.scnb|Touchstone Files(*.s2p)|*.s2p||", "scnb"),
                    "scnb");
    if (!chosen) {
        return false;
    }
    return files::WriteScanFileB(p, *chosen, true);
}

void LoadGraphCommand(core::Program& p) {
    core::AppState& st = p.st;
    // A load in the middle of a sweep would pull the arrays from under it.
    if (st.SweepRunning) {
        return;
    }
    if (st.TdrActive) {
        tools::LoadTdrGraphCommand(p);
        return;
    }
    st.ScanFileMode = 0;
    if (st.PortB_on) {
        LoadScanB(p);
    } else {
        LoadScanA(p);
    }
}

void SaveGraphCommand(core::Program& p) {
    core::AppState& st = p.st;
    if (st.SweepRunning) {
        return;
    }
    if (st.TdrActive) {
        tools::SaveTdrGraphCommand(p);
        return;
    }
    st.ScanFileMode = 0;
    if (st.PortB_on) {
        SaveScanB(p);
    } else {
        SaveScanA(p);
    }
}

void CommentCommand(core::Program& p) {
    core::AppState& st = p.st;
    std::string& description = st.PortB_on ? st.scanDescriptionB : st.scanDescriptionA;
    const auto text =
        p.ui.enterText(st.PortB_on ? "Comment for the Port B graph" : "Comment for the Port A graph",
                       " Comment", description);
    if (!text) {
        return;
    }
    std::string line = OneLine(*text);
    const auto first = line.find_first_not_of(" \t");
    const auto last = line.find_last_not_of(" \t");
    line = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    if (line.size() > MaxComment) {
        line.resize(MaxComment);
    }
    description = line;
    if (!st.SweepRunning) {
        display::RedrawScan(p);
        DrawScanNotes(p);
    }
}

} // namespace vna::commands
