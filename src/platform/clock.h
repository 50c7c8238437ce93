#pragma once

#include <cstdint>

namespace vna::platform {

struct LocalTime {
    int year = 2000;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Time as the program sees it. The tick count is a 32-bit millisecond counter that wraps, like the
// operating-system tick count the program's timing rules were written for; compare ticks by
// unsigned difference.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t tickMs() = 0;
    virtual LocalTime now() = 0;
    // Gives the processor away for about the given time; the fake clock just advances.
    virtual void sleepMs(int ms) = 0;
};

} // namespace vna::platform
