#pragma once

#include <complex>
#include <functional>

namespace vna::core {
struct AppState;
}

// The arithmetic of the TDR view: the frequency plan, the length offset, and the inverse discrete
// Fourier transform of the reflection coefficients into the step response. No instrument, no
// drawing.
namespace vna::tools {

using Complex = std::complex<double>;

// Feet per microsecond of light (299.7924 m/us in feet).
inline constexpr double LightFeetPerMicrosecond = 299.7924 * 39.37 / 12;

// The frequency plan of one TDR measurement.
struct TdrPlan {
    int points = 256;   // N
    double delf = 1.25; // MHz
    double offset = 10; // the length offset (feet)
    double feetPerIndex = 1;
};

// The step (MHz) the distance full scale asks for: below 101 ft 1.25, below 201 ft 0.75, below
// 501 ft 0.3, else 0.15.
double TdrStepForDistance(double maxDistFeet);

// N = 512 with the high resolution, else 256; a top frequency N delf / 2 above `maximumFreq` takes
// delf = 2 maximumFreq / N; offset max(10, maxDist / 10); feetPerIndex = 512 VF / (delf N).
TdrPlan PlanTdr(double maxDistFeet, bool highRes, double maximumFreq, double vf);

// The plan for the present settings, stored into tdrPoints, tdrDelf, tdrOffset and feetPerIndex.
TdrPlan ApplyTdrPlan(core::AppState& st);

// The reflection coefficient against `zref` of the impedance `z` measured at f MHz, seen through
// `offsetFeet` of lossless 50 ohm line of velocity factor vf: the port appears that far down the
// trace, so a fault right at the port is not cut off at the left edge.
Complex OffsetReflection(Complex z, double fMHz, double offsetFeet, double vf, double zref);

// The step response of N (256 or 512, at most 1024) points from the reflection coefficients
// gamma[0..N/2]: the spectrum mirrored into N points, the impulse response h[k] for k = 1..N/2 - 1
// by a direct sum (pi / 2 sum (A cos - B sin), A and B = 2 Re / pi, 2 Im / pi), and
// s[k] = (h[1] + ... + h[k]) 0.0019417 512 / N. s[0] and s[N/2..N] are 0. `aborted`, asked once
// per k, stops the sum early: false is returned and s holds what was done.
bool StepResponse(const Complex* gamma, int n, double* s, const std::function<bool()>& aborted = {});

// 3-point smoothing of s[2..N/2 - 2] in place, each point with the already smoothed one before it.
void SmoothStepResponse(double* s, int n);

// The reflection coefficient of a step value limited to +-0.999 and its impedance against zref.
double LimitedRho(double s);
double ImpedanceOfRho(double rho, double zref);

} // namespace vna::tools
