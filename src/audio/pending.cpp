#include "audio/pending.h"

namespace vna::audio {

void SwrToneDialog(core::Program&) {}

} // namespace vna::audio
