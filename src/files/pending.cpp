#include "files/pending.h"

namespace vna::files {

void LoadGraphCommand(core::Program&) {}

void SaveGraphCommand(core::Program&) {}

void CommentCommand(core::Program&) {}

void LoadConfigFileCommand(core::Program&) {}

void SaveStateCommand(core::Program&) {}

void RecallStateCommand(core::Program&) {}

void ConfigEditor(core::Program&) {}

} // namespace vna::files
