#pragma once

#include <complex>
#include <string_view>

namespace vna::core {
struct ScanPoint;
struct Program;
} // namespace vna::core

namespace vna::measure {

using Complex = std::complex<double>;

// The three-standard correction of a raw reading zm with the short and open readings and the
// resistor factor K: Z = K (zm - short) / (open - zm).
Complex ThreeStandardCorrection(Complex zm, Complex zshort, Complex zopen, Complex k);
// The resistor factor K = R (open - std) / (std - short), with a zero denominator replaced by a
// tiny one (q = 0.0001).
Complex ResistorFactor(Complex zshort, Complex zopen, Complex zstd, double resistor);
// Resistances below 5 milliohm become small positive values just below 0.005 that keep their
// order: 0.005 - log10(|rs - 1.005|) / 1200, at least 0.00001.
double SoftFloor(double rs);
// The impedance at the far end of a lossy feed line of impedance z0 (ohms), length (feet),
// velocity factor and loss (nepers per foot at 1 MHz, growing with the square root of
// frequency), seen as zin at the near end, at freq MHz.
Complex DeEmbedFeedLine(Complex zin, double z0, double lengthFt, double vf, double lossNeperPerFt,
                        double freq);
// The impedance at the far end of a lossless line extension of impedance zext whose phase is
// `angle` radians per MHz.
Complex DeEmbedLineExtension(Complex z, double zext, double angle, double freq);
// Fills the derived values of a point from rs and xs at freq MHz: |Z|, phase, parallel
// equivalents and the two capacitances (the division guards: xs 0 -> 0.001, rs 0 -> 0.01).
void DeriveValues(core::ScanPoint& pt, double rs, double xs, double freq);

// Corrects the last raw reading (RsRaw, XsRaw) with the given cal values: the correction, the
// soft floor, the feed line ("Refer to Antenna") and the line extension when they are on, and
// the derived values, into p.point.
void CorrectReading(core::Program& p, Complex zshort, Complex zopen, Complex k);
// The correction of the point at scan index `CalIndex`, with the interpolated cal values of the
// present grid. With `RawMode` the raw values pass uncorrected.
void ApplyCorr(core::Program& p);

// The length typed in the line-extension dialog, in metres: centimetres unless the text says
// millimetres ("mm"), metres ("m" without "c"), inches (a double quote or "i") or feet (an
// apostrophe or "f").
double ExtensionLengthFromText(std::string_view text);
// Takes the three texts of the line-extension dialog into ExtensionLength, Zextension (1..1000,
// else 50), ExtensionVP (0.5..1) and ExtensionAngle; a length of a micrometre or more switches
// the extension on, a shorter one off.
void SetLineExtension(core::Program& p, std::string_view length, std::string_view impedance,
                      std::string_view velocityFactor);

// The "Line Extension" dialog, then the status button and the graph.
void LineExtensionDialog(core::Program& p);
// The "Refer to Antenna" dialog: the feed line between the instrument and the antenna, and
// whether readings are referred to its far end.
void ReferToAntennaDialog(core::Program& p);

} // namespace vna::measure
