#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vna::core {
struct Program;
}

// The cable tools of "1/4Wave Stub": the velocity factor of a cable of known length and the
// length of a cable of known velocity factor, both from its measured quarter-wave resonance (the
// distance-to-fault search on the open or shorted cable), and the length of a quarter-wave stub
// to cut for a frequency.
namespace vna::tools {

// Light in metres per microsecond.
inline constexpr double LightMetresPerMicrosecond = 299.7925;

// A quarter wavelength at f MHz on a cable of velocity factor vf, in metres.
double QuarterWaveMetres(double fMHz, double vf);
// The velocity factor of a cable `metres` long whose quarter-wave frequency is fq MHz.
double VelocityFactorOf(double metres, double fq);

// A length as typed: metres, or feet with "ft", "f" or an apostrophe, inches with "in" or a
// double quote, centimetres with "cm". Nothing for a text that is not a positive length.
std::optional<double> LengthMetresFromText(std::string_view text);

// The result lines of the stub calculation: the stub in metres, feet and inches.
std::string StubText(double fMHz, double vf);

// "1/4Wave Stub": asks which of the three tools, its entries, measures when the tool needs it and
// shows the result.
void QuarterWaveStub(core::Program& p);

} // namespace vna::tools
