#include "files/even_grid.h"

#include <cmath>

namespace vna::files {

namespace {

// Frequencies written with 6 decimals after a rounding to single precision are off by up to
// about 1e-5 MHz at the top of the instrument's range.
constexpr double WrittenFreqError = 2e-5;

} // namespace

bool MakeEvenGrid(const std::vector<double>& freq, const std::vector<std::vector<double>*>& columns,
                  EvenGrid& grid, std::string& problem) {
    const std::size_t n = freq.size();
    if (n == 0) {
        problem = "It holds no point.";
        return false;
    }
    if (n == 1) {
        // A sweep stopped after its first point is exported so; the file holds no step, and the
        // step of 1 kHz stands in for it.
        grid.start = freq.front();
        grid.step = OnePointStep;
        grid.count = 1;
        grid.interpolated = false;
        return true;
    }
    for (std::size_t k = 1; k < n; ++k) {
        if (!(freq[k] > freq[k - 1])) {
            problem = "Its frequencies are not in ascending order (point " + std::to_string(k + 1) + ").";
            return false;
        }
    }
    grid.start = freq.front();
    grid.count = static_cast<int>(n);
    grid.step = (freq.back() - freq.front()) / static_cast<double>(n - 1);
    const double tolerance = std::max(0.01 * grid.step, WrittenFreqError);
    bool even = true;
    for (std::size_t k = 0; k < n && even; ++k) {
        even = std::fabs(freq[k] - (grid.start + grid.step * static_cast<double>(k))) <= tolerance;
    }
    grid.interpolated = !even;
    if (even) {
        return true;
    }
    for (std::vector<double>* column : columns) {
        std::vector<double> out(n);
        std::size_t j = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const double f = k + 1 == n ? freq.back() : grid.start + grid.step * static_cast<double>(k);
            while (j + 2 < n && freq[j + 1] < f) {
                ++j;
            }
            const double t = (f - freq[j]) / (freq[j + 1] - freq[j]);
            out[k] = (*column)[j] + ((*column)[j + 1] - (*column)[j]) * t;
        }
        *column = std::move(out);
    }
    return true;
}

} // namespace vna::files
