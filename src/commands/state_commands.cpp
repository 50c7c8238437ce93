#include "commands/state_commands.h"

#include <optional>
#include <string>

#include "cal/cal_file.h"
#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "files/config_file.h"
#include "files/init_file.h"
#include "measure/scan_limits.h"

namespace vna::commands {

using core::DialogFolder;
using core::SplitPath;
using files::ReadConfigFile;
using files::ReadInitFormatFile;
using files::WriteInitFormatFile;

namespace {

// The state dialogs start in the folder of the last file chosen in a file dialog.
std::optional<std::string> AskStatePath(core::Program& p, const char* title, bool save) {
    platform::FileDialog dialog;
    dialog.title = title;
    dialog.filter = "State Files(*.stat)|*.stat||";
    dialog.defaultExtension = "stat";
    dialog.initialFolder = DialogFolder(p.st.lastDialogFolder, p.st.ProgramFolder);
    auto chosen = save ? p.ui.saveFile(dialog) : p.ui.openFile(dialog);
    if (!chosen || chosen->size() <= 2) {
        return std::nullopt;
    }
    p.st.lastDialogFolder = SplitPath(*chosen).folder;
    return chosen;
}

} // namespace

void SaveStateCommand(core::Program& p) {
    const auto path = AskStatePath(p, " Save State File", true);
    if (!path) {
        return;
    }
    WriteInitFormatFile(p, *path, SplitPath(*path).name);
}

void RecallStateCommand(core::Program& p) {
    const auto path = AskStatePath(p, " Load State File", false);
    if (!path) {
        return;
    }
    // The cal file in force before the recall; a cal file named by the state that cannot be used
    // leaves that one in force, and the settings keep naming it.
    const std::string calFile = p.st.cal_file;
    const std::string calFolder = p.st.cal_folder;
    const std::string calName = p.st.cal_file_name;
    ReadInitFormatFile(p, *path);
    // The cal file first (its grid decides the interpolation), then the config file named by the
    // state, then the limits against both, then the graph.
    cal::LoadCalFileAtStartup(p);
    if (p.st.LastError != 0) {
        p.st.cal_file = calFile;
        p.st.cal_folder = calFolder;
        p.st.cal_file_name = calName;
    }
    ReadConfigFile(p, 0);
    measure::CheckScanLimits(p);
    display::RedrawGraph(p);
}

} // namespace vna::commands
