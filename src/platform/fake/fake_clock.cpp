#include "platform/fake/fake_clock.h"

namespace vna::platform::fake {

void FakeClock::sleepMs(int ms) {
    // A sleep of 0 still moves the clock, so a loop that polls without sleeping cannot hang a test.
    const std::uint32_t step = ms > 0 ? static_cast<std::uint32_t>(ms) : 1u;
    ticks += step;
    sleptMs += step;
}

} // namespace vna::platform::fake
