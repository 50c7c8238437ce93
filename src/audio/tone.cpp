#include "audio/tone.h"

#include "core/program.h"

namespace vna::audio {

void OpenToneOutput(core::Program& p) {
    (void)p;
}

void CloseToneOutput(core::Program& p) {
    (void)p;
}

} // namespace vna::audio
