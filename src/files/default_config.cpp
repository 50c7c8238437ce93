#include "files/default_config.h"

#include "core/program.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/path_split.h"

namespace vna::files {

bool InstallDefaultConfig(core::Program& p) {
    if (p.st.ProgramFolder.empty()) {
        return false; // no data folder: nothing is put into the working directory
    }
    const std::string path = JoinPath(p.st.ProgramFolder, DefaultConfigName);
    if (FileExists(path)) {
        return true;
    }
    return WriteFileAtomic(path, DefaultConfigText());
}

} // namespace vna::files
