#include "commands/config_commands.h"

#include "core/path_split.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "files/config_file.h"
#include "files/init_file.h"

namespace vna::commands {

using core::AppState;
using core::DialogFolder;
using core::SplitPath;
using core::SplitPathResult;

void LoadConfigFileCommand(core::Program& p) {
    AppState& st = p.st;
    platform::FileDialog dialog;
    dialog.title = " Load Config File";
    dialog.filter = "Config Files(*.cfg)|*.cfg||";
    dialog.defaultExtension = "cfg";
    dialog.initialFolder = DialogFolder(st.config_folder, st.ProgramFolder);
    const auto chosen = p.ui.openFile(dialog);
    if (!chosen || chosen->size() <= 2) {
        return;
    }
    st.ConfigFromMenu = 1;
    st.config_file = *chosen;
    const SplitPathResult parts = SplitPath(*chosen);
    st.config_file_name = parts.name;
    st.config_folder = parts.folder;
    st.lastDialogFolder = parts.folder;
    const files::ConfigRead read = files::ReadConfigFile(p, 1);
    if (read == files::ConfigRead::NotFound) {
        display::RedrawGraph(p);
    } else if (read == files::ConfigRead::Complete) {
        display::RedrawGraph(p);
        p.ui.message(st.configHeader, "Config File");
        display::RedrawGraph(p);
    }
    if (st.ConfigLoaded) {
        p.ui.message("Please close the VNA program and restart it\rfor the changes to take effect.",
                     "Restart VNA Prog");
    }
}

void ConfigEditor(core::Program& p) {
    AppState& st = p.st;
    if (st.ConfigEditorOpen) {
        return;
    }
    st.ConfigEditorOpen = 1;
    std::string path = files::ConfigReadPath(p, st.config_file);
    std::string text;
    files::ConfigEditorText(path, text);
    for (;;) {
        const platform::EditorAction action = p.ui.editText("Edit: " + path, st.WinWidth, st.WinHeight, text);
        if (action == platform::EditorAction::Quit) {
            break;
        }
        platform::FileDialog dialog;
        dialog.defaultExtension = "cfg";
        dialog.initialFolder = DialogFolder(st.config_folder, st.ProgramFolder);
        if (action == platform::EditorAction::LoadFile) {
            dialog.title = " Load Config File";
            dialog.filter = "Config Files(*.cfg)|*.cfg||";
            const auto chosen = p.ui.openFile(dialog);
            std::string loaded;
            if (chosen && chosen->size() > 2 && files::ConfigEditorText(*chosen, loaded)) {
                path = *chosen;
                text = std::move(loaded);
            }
            continue;
        }
        dialog.title = "Save Config File";
        dialog.filter = "Config files(*.cfg)|*.cfg||";
        const auto chosen = p.ui.saveFile(dialog);
        if (!chosen || chosen->size() <= 2) {
            continue;
        }
        const SplitPathResult parts = SplitPath(*chosen);
        if (!files::WriteFileOrWarn(p, *chosen, text, parts.name)) {
            continue;
        }
        path = *chosen;
        st.config_file = *chosen;
        st.config_file_name = parts.name;
        st.config_folder = parts.folder;
        st.lastDialogFolder = parts.folder;
        p.ui.message("Be sure to close the VNA program and RESTART it\rfor the changes to take effect.",
                     "Restart VNA Prog");
        // The settings in memory no longer match the file: no more instrument work in this run.
        st.InstrumentPresent = 0;
        st.ConfigEdited = 1;
    }
    st.ConfigEditorOpen = 0;
}

} // namespace vna::commands
