#pragma once

#include <array>
#include <cstdint>
#include <string>

// The calibration table: the raw readings of the three Port A standards at every point of the cal
// grid, the Port B through-cable readings and the MUX channel references, with the header values
// that say how and where the calibration was made. One instance lives in core::Program.
namespace vna::core {

// Every table the program writes fits: the custom calibration stops at 30000 steps.
inline constexpr int CalCapacity = 30012;

// The standard grid's origin of the 0.2 MHz part is index 19 (0.1 MHz); the custom grid starts
// its measured points at index 2, with two extrapolated points below the start.
inline constexpr int StandardFirstCalIndex = 19;
inline constexpr int CustomFirstCalIndex = 1;
inline constexpr double StandardCalDelta = 0.2;

// One Port B cal point: the through-cable ratio and phase in both sensitivity ranges, and the
// segment tag of the grid step it was taken at (not carried by the file).
struct BCalPoint {
    double freq = 0; // MHz
    double lowMag = 0;
    double highMag = 0;
    double lowPhase = 0; // radians
    double highPhase = 0;
    std::int32_t tag = 0;
};

using CalArray = std::array<double, CalCapacity>;

struct CalTable {
    // ---- Header ----
    double cal_resistor = 50;  // the standard resistor (ohms)
    std::string instrument_id; // ID of the instrument the cal was made on
    std::string cal_comment;
    std::int32_t custom_cal = 0; // 1: made over custom limits
    double custom_start_freq = 0;
    double custom_end_freq = 0;
    double custom_delta_freq = 0;
    double cal_max_freq = 0; // the instrument's range when the cal was made (MHz)
    double MUF = 0;          // maximum usable frequency found by the cal procedure (MHz)
    double cal_temperature = 0;
    double DDS_Amplitude = 100; // percent
    std::int32_t PortA_Sens = 2;
    // The receiver gain step the Port A tables were measured with (restored into PortA_Gain).
    std::int32_t gain_code = 1;
    std::int32_t cal_points = 0;  // n, Port A points
    std::int32_t bcal_points = 0; // m, Port B points (0: Port B not calibrated)
    std::int32_t dumpchan = 0;

    // ---- Port A: raw complex readings of the standards, index 0..n-1 ----
    CalArray short_re{};
    CalArray short_im{};
    CalArray open_re{};
    CalArray open_im{};
    CalArray std_re{};
    CalArray std_im{};

    // ---- Port B ----
    std::array<BCalPoint, CalCapacity> bcal{};
    std::array<double, 6> chan_ref_mag{}; // MUX channels 1..5
    std::array<double, 6> chan_ref_phase{};

    // ---- The grid in use, set by a successful load and by the cal procedures ----
    double cal_start = 0;
    double cal_end = 0;
    double caldelta = 0;
    std::int32_t firstcalndx = StandardFirstCalIndex;
};

// Frequency of index k of the standard grid: 0.005 MHz steps up to index 19 (0.1 MHz), then
// 0.2 MHz steps, f(k) = 0.2 (k - 19).
inline double StandardGridFreq(int k) {
    return k < 20 ? 0.005 * (k + 1) : StandardCalDelta * (k - StandardFirstCalIndex);
}

// Frequency of index k of a custom grid: index 2 is the custom start.
inline double CustomGridFreq(const CalTable& t, int k) {
    return t.custom_start_freq + t.custom_delta_freq * (k - 2);
}

// Sets the grid in use (cal_start, cal_end, caldelta, firstcalndx) from the header: the custom
// limits for a custom cal, else the standard grid up to `maximumfreq`.
void SetGridInUse(CalTable& t, double minimumFreq, double maximumFreq);

} // namespace vna::core
