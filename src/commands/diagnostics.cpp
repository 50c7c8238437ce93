#include "commands/diagnostics.h"

#include <filesystem>
#include <fstream>

#include "commands/menus.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "instrument/link_log.h"

namespace vna::commands {

using core::AppState;
using core::Program;

std::vector<std::string> DiagnosticFlagFiles(const std::string& programFolder) {
    std::vector<std::string> files;
    files.push_back(programFolder + "vna_diag2flag.txt");
    std::error_code ec;
    const auto temp = std::filesystem::temp_directory_path(ec);
    if (!ec) {
        files.push_back((temp / "vna_diag2flag.txt").string());
    }
    return files;
}

void CheckDiagnosticFlagFiles(Program& p) {
    AppState& st = p.st;
    st.DiagSwitch1 = st.DiagSwitch2 = st.DiagSwitch3 = st.DiagSwitch4 = 0;
    st.DiagMode = 0;
    for (const std::string& path : DiagnosticFlagFiles(st.ProgramFolder)) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            continue;
        }
        std::ifstream f(path);
        if (f.is_open()) {
            st.DiagMode = 1;
            st.DiagSwitch1 = 1;
            return;
        }
    }
}

bool FeedKeyCode(Program& p, char key) {
    AppState& st = p.st;
    st.KeyCodeBuffer += key;
    bool recognised = true;
    const bool diagBefore = st.DiagMode != 0;
    if (st.KeyCodeBuffer == "5283") {
        st.DiagMode = st.DiagMode ? 0 : 1;
        st.DiagSwitch1 = st.DiagSwitch1 ? 0 : 1;
    } else if (st.KeyCodeBuffer == "6149") {
        st.DiagSwitch4 = 1;
        BuildMenus(p);
    } else if (st.KeyCodeBuffer == "7352") {
        st.DiagSwitch3 = 1;
        st.DiagMode = 1;
    } else if (st.KeyCodeBuffer == "8426") {
        st.DiagSwitch2 = 1;
        display::ScreenGeometryDiagnostic(p);
    } else if (st.KeyCodeBuffer == "9031") {
        st.DiagSwitch1 = st.DiagSwitch1 ? 0 : 1;
    } else {
        recognised = false;
    }
    if (diagBefore != (st.DiagMode != 0)) {
        // The monitor of the exchanges comes and goes with diagnostic mode.
        if (st.DiagMode) {
            instrument::OpenLinkMonitor(p);
        } else {
            instrument::CloseLinkMonitor(p);
        }
    }
    // Codes count only as the first four keys after start-up.
    if (st.KeyCodeBuffer.size() >= 4) {
        st.KeyCodeBuffer = "x";
    }
    return recognised;
}

} // namespace vna::commands
