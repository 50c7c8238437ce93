#pragma once

#include <array>
#include <cstdint>
#include <string>

// The TDR view's settings and its last trace. The settings are part of AppState; the trace is a
// program-wide record of Program, read by the TDR drawing, the cursor and the TDR files.
namespace vna::core {

// The transform arrays hold 1050 points; a trace of more than 1025 cannot be transformed.
inline constexpr int TdrCapacity = 1050;
inline constexpr int TdrMaxPoints = 1025;

// The distance and impedance full scales the "TDR Scales" dialog offers.
inline constexpr std::array<double, 9> TdrDistanceScales = {5, 10, 20, 50, 100, 200, 500, 1000, 2000};
inline constexpr std::array<double, 5> TdrImpedanceScales = {70, 100, 200, 500, 1000};

// The view itself is on while RunState::TdrActive is set ("TDR Mode on/off").
struct TdrSettings {
    std::int32_t tdrHighRes = 0;    // 512 instead of 256 transform points ("High Resolution")
    std::int32_t tdrPoints = 256;   // N
    double tdrDelf = 1;             // the frequency step (MHz)
    double tdrMaxDist = 100;        // distance full scale (feet)
    double tdrZScale = 200;         // impedance full scale (ohm)
    double tdrRhoScale = 1;         // reflection-coefficient full scale
    double tdrZref = 50;            // reference impedance of the transform (ohm)
    std::int32_t tdrLinearZ = 1;    // impedance axis instead of the reflection-coefficient axis
    std::int32_t tdrShowRho = 0;    // reflection coefficients beside the impedance numbers
    std::int32_t tdrLines = 1;      // lines instead of dots
    std::int32_t tdrMetres = 0;     // distances in metres instead of feet
    double tdrDistFactor = 1;       // 0.5..2
    std::int32_t tdrSmoothing = 0;  // 3-point smoothing of the step response
    double tdrOffset = 10;          // length offset (feet)
    double feetPerIndex = 1.056;    // feet per index of the step response
    std::int32_t tdrColorIndex = 1; // colour of the next trace, 1..5
    // What the mode switch set aside and gives back when the view is left.
    std::int32_t tdrSavedAverage = 4;
    std::int32_t tdrSavedTrend = 0;
};

// The last TDR trace: its step response and the (x pixel, impedance) table the drawing leaves for
// the cursor, with the values its file carries.
struct TdrTrace {
    std::int32_t points = 0; // N of the trace; 0 while there is none
    std::array<double, TdrCapacity + 1> s{};
    double delf = 0;         // MHz
    double feetPerIndex = 0; // of the measurement
    double offset = 10;      // the length offset it was measured with (feet)
    double VF = 0.66;
    std::int32_t colorIndex = 1;
    std::int32_t average = 1;
    std::string stamp;
    std::string title;
    std::string calName;
    // Filled by the drawing: entry k (1..N/2 - 1) is the pixel x and impedance of s[k].
    std::int32_t tableCount = 0;
    std::array<std::int32_t, TdrCapacity> tableX{};
    std::array<double, TdrCapacity> tableZ{};
};

} // namespace vna::core
