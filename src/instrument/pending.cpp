#include "instrument/pending.h"

namespace vna::instrument {

void VnaTestDialog(core::Program&) {}

} // namespace vna::instrument
