#pragma once

#include <string>
#include <string_view>

namespace vna::core {
struct Program;
}

// The chart windows (the Smith charts and the polar plot) and the reference impedances they and
// the sweeps use.
namespace vna::commands {

struct ComplexValue {
    double re = 0;
    double im = 0;
};

// An impedance typed as a resistance alone or with a reactance: "50", "50+j25", "75 -12j",
// "-3-4i". The real part is read up to the first "+", "-" or blank after its digits, the imaginary
// part from there up to "i", "j" or a blank after its digits (a "j" or "+" before its digits is
// skipped); a missing part is 0.
ComplexValue ParseComplex(std::string_view text);

// The entry of a reference impedance: kind 1 "Transmission Line Z" (the system reference Zo, which
// the Smith reference follows when it was equal), kind 2 "Smith Chart Z" (the reference of "Smith
// Chart 2" and of the polar plot). An empty answer or Cancel changes nothing; a Zo below 3.1 ohms
// becomes 50 ohms with a caution.
void EnterReferenceZ(core::Program& p, int kind);

// The "Smith" button: the modal "Smith Chart" window of the last Port A scan.
void ShowSmithChart(core::Program& p);
// "Rotate Smith Chart": asks for the rotation and shows the modal "Smith Chart 2" window.
void RotateSmithChart(core::Program& p);
// "Polar Plot" > "SWR", "Z   ", "S11" (mode 0, 1, 2): the polar plot window, which stays open
// beside the graph.
void ShowPolarPlot(core::Program& p, int mode);

} // namespace vna::commands
