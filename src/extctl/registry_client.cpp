#include "extctl/registry_client.h"

#include <cstdio>

#include "core/number_text.h"
#include "extctl/registry_control.h"
#include "platform/clock.h"
#include "platform/registry.h"

namespace vna::extctl {

namespace {

constexpr int LookEveryMs = 50;
constexpr int NoAnswer = 10;

std::string MHz(double f) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", f);
    return text;
}

} // namespace

RequestOutcome RequestSweep(platform::Registry& registry, platform::Clock& clock, std::string_view key,
                            const SweepRequest& request, std::string_view token, int timeoutMs) {
    RequestOutcome out;
    // The older answer goes first, so that it cannot pass for this one.
    const bool written = registry.createKey(key) && registry.set(key, CsvReadyValue, "") &&
                         registry.set(key, StartFreqValue, MHz(request.start)) &&
                         registry.set(key, EndFreqValue, MHz(request.stop)) &&
                         registry.set(key, DeltaFreqValue, MHz(request.step)) &&
                         registry.set(key, ScanPortValue, request.portB ? "1" : "0") &&
                         registry.set(key, DataReadyValue, token);
    if (!written) {
        out.code = 1;
        out.reason = "the request cannot be written to the registry";
        return out;
    }
    const std::uint32_t start = clock.tickMs();
    for (;;) {
        if (registry.get(key, AnsweredValue).value_or("") == token) {
            const std::string status = registry.get(key, StatusValue).value_or("");
            std::size_t used = 0;
            out.code = core::Nint(core::TextToNumber(status, used));
            if (used == 0) {
                out.code = NoAnswer;
            }
            const auto blank = status.find(' ');
            out.reason = blank == std::string::npos ? std::string() : status.substr(blank + 1);
            out.csvPath = registry.get(key, CsvReadyValue).value_or("");
            return out;
        }
        if (clock.tickMs() - start >= static_cast<std::uint32_t>(timeoutMs)) {
            break;
        }
        clock.sleepMs(LookEveryMs);
    }
    // Nobody took it: it must not start a sweep when a program comes along later.
    if (registry.get(key, DataReadyValue).value_or("") == token) {
        registry.set(key, DataReadyValue, NoRequest);
        out.taken = false;
        out.reason = "no program took the request";
    } else {
        out.reason = "the request was taken but not answered in time";
    }
    out.code = NoAnswer;
    return out;
}

} // namespace vna::extctl
