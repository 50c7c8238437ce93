#include "core/delay.h"

#include <string>

#include "core/program.h"

namespace vna::core {

void Delay(Program& p, int ms) {
    if (ms <= 0) {
        p.ui.processEvents();
        return;
    }
    const std::uint32_t start = p.clock.tickMs();
    const auto wanted = static_cast<std::uint32_t>(ms);
    for (;;) {
        p.ui.processEvents();
        const std::uint32_t elapsed = p.clock.tickMs() - start; // unsigned: survives the wrap
        if (elapsed >= wanted) {
            break;
        }
        // Sleep in short slices so that a click is answered within a few milliseconds.
        const std::uint32_t left = wanted - elapsed;
        p.clock.sleepMs(static_cast<int>(left < 5 ? left : 5));
    }
}

bool RequireHardware(Program& p) {
    if (p.st.InstrumentPresent) {
        return true;
    }
    if (p.st.ConfigEdited) {
        p.ui.message(
            "Please close the program and restart it so the new\rConfig File parameters can be loaded.",
            "Restart VNA Prog");
    } else {
        p.ui.message("This function requires the hardware", "");
    }
    return false;
}

void NotAvailableYet(Program& p, std::string_view feature) {
    p.ui.message(std::string(feature) + " is not available yet in this version of the program.",
                 " Not available yet");
}

} // namespace vna::core
