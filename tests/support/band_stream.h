#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/protocol.h"

namespace vna::test {

// The far end of the line during a band scan: after the three set-up words it sends `levels`, one
// per acknowledge, then the end marker (again at every further acknowledge); with `endless` it
// repeats the levels instead, with `breakAfter` it sends only the high byte of that level and
// falls silent, with `garbage` one stray byte follows every level, and with `silent` it sends
// nothing at all. It answers the version query.
struct BandStream {
    std::vector<std::uint16_t> levels{};
    bool endless = false;
    int breakAfter = -1;
    bool garbage = false;
    bool silent = false;
    int setupWords = 0;
    std::size_t next = 0;
    int acks = 0;
    int leaves = 0;

    std::vector<std::uint8_t> level() {
        if (silent) {
            return {};
        }
        if (breakAfter >= 0 && next >= static_cast<std::size_t>(breakAfter)) {
            return next++ == static_cast<std::size_t>(breakAfter) ? std::vector<std::uint8_t>{0x02}
                                                                  : std::vector<std::uint8_t>{};
        }
        std::uint16_t v = instrument::BandScanEndMarker;
        if (next < levels.size() || (endless && !levels.empty())) {
            v = levels[next++ % levels.size()];
        }
        std::vector<std::uint8_t> out = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
        if (garbage) {
            out.push_back(0xA5);
        }
        return out;
    }
    std::vector<std::uint8_t> operator()(const std::vector<std::uint8_t>& c) {
        if (c.size() == 9 && c[0] == 'N') {
            setupWords = 1;
        } else if (c.size() == 8 && setupWords > 0 && setupWords < 3 && ++setupWords == 3) {
            return level();
        } else if (c == std::vector<std::uint8_t>{instrument::BandScanAck}) {
            ++acks;
            return level();
        } else if (c == std::vector<std::uint8_t>{instrument::BandScanLeave}) {
            ++leaves;
        } else if (c == std::vector<std::uint8_t>{'V'}) {
            const std::string v = "VNA ver 2.60 sn=1042 cpuclk=20mhz@";
            return {v.begin(), v.end()};
        }
        return {};
    }
};

} // namespace vna::test
