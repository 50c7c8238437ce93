#pragma once

// The entry points of the fuzz targets: each feeds one input of outside bytes to one reader of the
// program, the way the program meets such bytes (a file in the data folder, a reply on the serial
// line). The libFuzzer targets call them, and the replay test runs every seed and every crash
// input found so far through them in the ordinary build.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vna::fuzz {

using Entry = void (*)(std::span<const std::uint8_t> input);

struct Target {
    std::string_view name; // the folder of its corpus and regressions, and the fuzzer's name
    Entry run;
};

// Every target, in a fixed order.
std::span<const Target> Targets();
// The target of that name, or nullptr.
const Target* FindTarget(std::string_view name);

// The instrument target's input: a selector byte (which exchange: see fuzz_entries.cpp) and then
// the replies, each a length byte and that many bytes, handed out one per command the program
// writes. A command after the last reply meets a silent instrument.
inline constexpr int InstrumentExchanges = 4;

} // namespace vna::fuzz
