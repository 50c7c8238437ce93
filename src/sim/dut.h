#pragma once

#include <complex>
#include <optional>
#include <string>
#include <string_view>

// The devices the simulated instrument can measure. One-ports sit at Port A; two-ports connect
// Port A to Port B (Port A then sees their input with Port B's 50 ohm input at the far side).
namespace vna::sim {

using Complex = std::complex<double>;

enum class DutKind {
    Short,
    Open,
    Resistor,
    SeriesRlc,
    ParallelRlc,
    Crystal,
    Line,
    Antenna,
    Through,
    Attenuator,
    Bandpass,
};

enum class LineEnd { Open, Short, Resistor };

struct Dut {
    DutKind kind = DutKind::Open;
    // Resistor and RLC circuits (ohm, henry, farad). In the parallel circuit a zero stands for an
    // element that is not there; in the series circuit a zero capacitance does.
    double r = 50;
    double l = 0;
    double c = 0;
    // Crystal: motional R, L, C and the holder capacitance.
    double rm = 20;
    double lm = 0.0253;
    double cm = 10e-15;
    double c0 = 4e-12;
    // Transmission line: length (m), impedance (ohm), velocity factor, loss in dB per 100 m at
    // 1 MHz (growing with the square root of frequency), and what ends it.
    double length = 10;
    double z0 = 50;
    double vf = 0.66;
    double db100m = 1.4;
    LineEnd end = LineEnd::Open;
    double endR = 50;
    // Antenna: resonance (MHz), the impedance of its two halves seen as a line, radiation
    // resistance at resonance.
    double f0 = 14.1;
    double zc = 600;
    double rr = 73;
    // Through and attenuator: loss (dB) and delay (s).
    double db = 0;
    double delay = 0.5e-9;
    // Band-pass: centre f0 (MHz), 3 dB bandwidth (MHz), Butterworth order, insertion loss (dB).
    double bw = 0.5;
    int order = 3;
    double il = 1;

    std::string text; // the description it was made from
};

// A description such as "short", "resistor:r=75", "rlc-series:r=30,l=1.2u,c=80p",
// "line:len=12,z0=50,vf=0.66,end=open", "antenna:f0=7.1", "bandpass:f0=10.7,bw=0.3,order=4".
// Numbers may carry the suffixes f p n u m k M G. Nothing (and a reason in `error`) when the text
// is not understood.
std::optional<Dut> ParseDut(std::string_view text, std::string* error = nullptr);
// The accepted kinds and keys, for help texts.
std::string DutHelp();

bool IsTwoPort(const Dut& dut);
// The impedance at Port A at f Hz. Opens give a very large value rather than infinity.
Complex PortAImpedance(const Dut& dut, double fHz);
// The transmission from Port A to Port B at f Hz (0 for a one-port).
Complex Transmission(const Dut& dut, double fHz);

// A number with an optional SI suffix (f p n u m k M G); nothing when the text is not a number.
std::optional<double> ParseSiNumber(std::string_view text);

} // namespace vna::sim
