#pragma once

#include <array>

#include "core/app_state.h"

// The SWR ratio of the markers: how many times the SWR at a marker exceeds the best match among
// the markers. It compares the points of a band (its edges against its centre, one antenna setting
// against another) without caring how good the best one is; the marker text export carries it.
namespace vna::display {

// Ratios of slots 1..`count` (index 0 unused): the marker's SWR (field 5) over the lowest SWR of
// those slots, so the best-matched marker has 1. A slot without an SWR of 1 or more gets 0, and
// is left out of the lowest.
std::array<double, core::MarkerSlots + 1> SwrRatios(const core::MarkerTable& table, int count);

} // namespace vna::display
