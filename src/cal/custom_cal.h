#pragma once

#include <string_view>

#include "core/cal_table.h"

namespace vna::core {
struct Program;
}

// The custom calibration of Port A: the three standards over limits and a step the user chooses
// (up to 30000 steps), with the maximum usable frequency found on the short and two extrapolated
// points below the start.
namespace vna::cal {

// The most steps a custom grid may have.
inline constexpr int CustomCalMaxSteps = 30000;

// The limits dialog's texts turned into numbers.
// A frequency text: MHz, or kHz when it holds "k" (the number before the "k"); the absolute value.
double CustomFrequencyFromText(std::string_view text);
// A step text over start .. stop: "nP" is a number of points (5 to 30000), anything else a value
// (kHz with "k") limited to 0.001 .. 1000, the step itself below 20, a number of points from 20 on.
double CustomStepFromText(std::string_view text, double start, double stop);

// The maximum usable frequency of a custom cal: the first frequency above 0.5 MHz at which the
// short's imaginary part, after having risen above 10, turns negative (rounded down to 0.2 MHz).
class MufFinder {
public:
    explicit MufFinder(double maximumFreq) : muf_(maximumFreq) {}
    void add(double f, double shortIm);
    double muf() const { return muf_; }

private:
    double muf_;
    double largest_ = -1e300;
    bool found_ = false;
};

// Fills indices 1 and 0 by the quadratic through indices 2, 3 and 4.
void ExtrapolateBelowStart(core::CalArray& a);

// The menu's "Custom Cal". True when a new cal file was written.
bool CustomCal(core::Program& p);

} // namespace vna::cal
