#pragma once

#include <array>

#include "core/cal_table.h"

namespace vna::core {

using IpArray = std::array<double, core::CalCapacity>;

// The cal values of every point of the present sweep grid, interpolated from the cal table: short
// and open readings, and the resistor factor K = R (open - std) / (std - short) (the interpolated
// standard-resistor reading until the second pass of the build replaces it). Valid for the grid
// they were built for.
struct InterpolatedCal {
    IpArray ip_short_re{};
    IpArray ip_short_im{};
    IpArray ip_open_re{};
    IpArray ip_open_im{};
    IpArray ip_factor_re{};
    IpArray ip_factor_im{};
};

} // namespace vna::core
