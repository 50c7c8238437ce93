#pragma once

#include "platform/clock.h"

namespace vna::platform::fake {

// A clock that only moves when the program sleeps (or by `autoAdvanceMs` per tick read), so that
// Delay and every time-out run instantly and repeatably in tests.
class FakeClock final : public Clock {
public:
    std::uint32_t ticks = 1000;
    std::uint32_t autoAdvanceMs = 0;
    LocalTime date{2026, 12, 7, 12, 0, 0, 0};
    long long sleptMs = 0;

    std::uint32_t tickMs() override {
        const std::uint32_t t = ticks;
        ticks += autoAdvanceMs;
        return t;
    }
    LocalTime now() override { return date; }
    void sleepMs(int ms) override;
    void advance(std::uint32_t ms) { ticks += ms; }
};

} // namespace vna::platform::fake
