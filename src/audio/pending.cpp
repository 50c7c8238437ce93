#include "audio/pending.h"

#include "core/delay.h"

namespace vna::audio {

void SwrToneDialog(core::Program& p) {
    core::NotAvailableYet(p, "The SWR tone");
}

} // namespace vna::audio
