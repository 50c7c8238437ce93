#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vna::core {
struct Program;
}

// The scan limits start_freq, end_freq and delta_freq: the check before every sweep and every
// interpolation build, the custom-cal rule, the snapping to cal frequencies without
// interpolation, and the "Scan Limits" command.
namespace vna::measure {

// The limits as they were before the dialog, to put them back.
struct SavedLimits {
    double start = 0;
    double stop = 0;
    double step = 0;
    std::int32_t plotAtZero = 0;
};
SavedLimits SaveLimits(const core::Program& p);
void RestoreLimits(core::Program& p, const SavedLimits& saved);

// Prepares the dialog's step text from the present step when no text was kept.
void SetupScanLimitsDialog(core::Program& p);

// Replaces impossible limits (start 1 or 10, stop 20 or 21, step 1 % of the span) and adds the
// custom-cal check; a nonzero code is reported once and left in `LastError`.
void CheckScanLimits(core::Program& p);
// With a custom cal loaded: start and stop must lie inside the custom cal limits (code 1 for the
// start, 2 for the end, reported with " Custom Cal problem"). Returns the code and leaves it in
// `LastError`; without a custom cal it changes nothing and returns 0.
int CheckCustomLimits(core::Program& p);
// With interpolation off: the step becomes a whole number of cal steps, the start a cal
// frequency, the stop a whole number of steps away and not above the cal's limit.
void SnapToCalGrid(core::Program& p);

// A start or stop text: a number in MHz, or in kHz when the text holds "k".
double FrequencyFromText(std::string_view text);
// A step text: "n%" of the span, "nP" steps over the span, a value of 20 or more a number of
// points, a smaller one the step itself (kHz with "k").
double StepFromText(std::string_view text, double start, double stop);

// The rules applied to limits typed by the user (order, instrument and custom-cal limits, point
// count, snapping), the neutral scan arrays, the axis and the interpolation. `saved` are the
// limits to go back to.
void ApplyNewLimits(core::Program& p, const SavedLimits& saved);
// The "Scan Limits" command: the dialog and the processing of its result.
void ScanLimitsCommand(core::Program& p);

} // namespace vna::measure
