#include "display/swr_ratio.h"

#include <algorithm>
#include <cmath>

namespace vna::display {

std::array<double, core::MarkerSlots + 1> SwrRatios(const core::MarkerTable& table, int count) {
    std::array<double, core::MarkerSlots + 1> ratio{};
    const int last = std::clamp(count, 0, core::MarkerSlots);
    // An SWR is 1 or more; anything else (a slot never measured, a damaged file) has none.
    const auto swr = [&](int k) { return table.slot[static_cast<std::size_t>(k)][5]; };
    const auto valid = [](double s) { return std::isfinite(s) && s >= 1; };
    double lowest = 0;
    for (int k = 1; k <= last; ++k) {
        if (valid(swr(k)) && (lowest == 0 || swr(k) < lowest)) {
            lowest = swr(k);
        }
    }
    for (int k = 1; k <= last && lowest > 0; ++k) {
        if (valid(swr(k))) {
            ratio[static_cast<std::size_t>(k)] = swr(k) / lowest;
        }
    }
    return ratio;
}

} // namespace vna::display
