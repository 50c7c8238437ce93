#include "instrument/serial_link.h"

#include "core/program.h"

namespace vna::instrument {

void ConnectInstrument(core::Program& p) {
    // No link exists yet: nothing can answer.
    p.st.LastError = 10;
}

void ClosePort(core::Program& p) {
    (void)p;
}

} // namespace vna::instrument
