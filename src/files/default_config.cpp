#include "files/default_config.h"

#include "core/atomic_file.h"
#include "core/path_split.h"
#include "core/program.h"
#include "files/config_file.h"

namespace vna::files {

using core::FileExists;
using core::JoinPath;
using core::WriteFileAtomic;

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
