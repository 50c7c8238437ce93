#include "files/scan_commands.h"

#include "core/program.h"
#include "core/text_lines.h"
#include "display/scan_plot.h"
#include "files/scan_file.h"
#include "tools/pending.h"

namespace vna::files {

using core::OneLine;

namespace {

// A comment is one line of the scan file; longer texts are cut there anyway.
constexpr std::size_t MaxComment = 255;

} // namespace

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

} // namespace vna::files
