#pragma once

#include <chrono>

#include "platform/clock.h"

namespace vna::platform {

// The production clock: the monotonic clock for ticks, the local calendar time for dates.
class SystemClock final : public Clock {
public:
    std::uint32_t tickMs() override;
    LocalTime now() override;
    void sleepMs(int ms) override;
};

} // namespace vna::platform
