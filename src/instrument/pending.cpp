#include "instrument/pending.h"

namespace vna::instrument {

void WriteControlDataFile(core::Program&) {}

void VnaTestDialog(core::Program&) {}

} // namespace vna::instrument
