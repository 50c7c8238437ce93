#pragma once

#include <string>
#include <string_view>

namespace vna::platform {
class Clock;
class Registry;
} // namespace vna::platform

// The client side of registry external control: one sweep request of a running program.
namespace vna::extctl {

struct SweepRequest {
    bool portB = false;
    double start = 0; // MHz
    double stop = 0;
    double step = 0;
};

struct RequestOutcome {
    // 0 when the CSV file is ready; else the program's code, or 10 when no program answered.
    int code = 0;
    std::string csvPath; // the file the program wrote (also after a sweep that stopped early)
    std::string reason;  // why the request failed
    bool taken = true;   // false when no program took the request (it was withdrawn)
};

// Writes the request under `key` (the limits, then `dataready` = `token`, a text without
// "null") and waits up to `timeoutMs` for the program's answer to exactly this request. A request
// no program took in that time is withdrawn.
RequestOutcome RequestSweep(platform::Registry& registry, platform::Clock& clock, std::string_view key,
                            const SweepRequest& request, std::string_view token, int timeoutMs);

} // namespace vna::extctl
