#include "files/pending.h"

namespace vna::files {

void LoadGraphCommand(core::Program&) {}

void SaveGraphCommand(core::Program&) {}

void CommentCommand(core::Program&) {}

} // namespace vna::files
