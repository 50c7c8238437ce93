#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "instrument/protocol.h"
#include "sim/dut.h"

// The analog side of the simulated instrument: DDS, reflection bridge, the two receivers and the
// converter, and how one measured point becomes the 72-byte reading.
namespace vna::sim {

// The reflection bridge as a one-port error network: the raw value the program computes from a
// device Z is Zm = (Z*Eo + K*Es) / (Z + K). It comes from the bridge's own physics: a series lead
// (Rs + jwLs) and a shunt stray (Cp with leakage Rp) around the port, a 50 ohm source, and a
// detector scale c(f) with a small roll-off and delay:
//   Zm = c * (Zs + 50 + Z || Zp),  so  Es = c (Zs + 50), Eo = c (Zs + 50 + Zp), K = Zp.
// The values keep the raw short near 62 ohm (ratio 1.25 at the calibration's sensitivity), the
// raw 50 ohm at about twice that, and the raw open above 2.5 kohm up to 180.2 MHz, which is what
// the standard calibration expects of its standards at every grid frequency.
struct Bridge {
    double scale = 1.25;      // |c| at 0 Hz
    double rollOff = 0.08;    // relative loss of |c| at 180 MHz
    double delay = 1.2e-9;    // s, detector path
    double seriesR = 0.35;    // ohm
    double seriesL = 6e-9;    // H
    double shuntC = 0.25e-12; // F
    double shuntR = 250e3;    // ohm

    Complex c(double fHz) const;
    Complex Es(double fHz) const;
    Complex Eo(double fHz) const;
    Complex K(double fHz) const;
    // The raw value for a device of impedance z.
    Complex Raw(Complex z, double fHz) const;
};

// The receiver gain steps: dB by gain step 1..5, and the extra gain of the high sensitivity.
inline constexpr std::array<double, 5> GainStepDb = {0, 13.7, 27.4, 41.3, 53.9};
inline constexpr double HighSensitivityDb = 12.1;
// The phase each gain step adds (degrees): the amplifiers' own delay differs a little per step.
inline constexpr std::array<double, 5> GainStepPhaseDeg = {0, 0.2, 2.4, 6.2, 6.7};

// The converter: 12 bits around mid-scale, one reading is one period of the IF in 16 samples.
inline constexpr int AdcMidScale = 2048;
inline constexpr int AdcFullScale = 4095;
// Up to 16 readings are summed into each 16-bit sample; beyond 16 the average is kept at the same
// scale (16 times one reading), so the words never overflow.
inline constexpr int MaxSummedReadings = 16;

struct FrontEnd {
    Bridge bridge;
    double clockMHz = 400;        // nominal DDS clock
    double clockPpm = 0;          // its error
    double referenceLevel = 1000; // reference amplitude of one reading at full amplitude, 0 Hz
    double noiseLsb = 0.6;        // converter noise of one reading, per sample
    double portBDelay = 2e-9;     // s, the through path inside the instrument
    double portBRollOffMHz = 300; // first-order roll-off of the Port B receiver
    double leakageDb = -100;      // Port A to Port B crosstalk

    // The frequency the DDS produces for a tuning word.
    double FrequencyHz(std::uint32_t tuningWord) const;
    // Reference amplitude of one reading: the DDS output with its sin(x)/x roll-off, times the
    // amplitude word (0..1023).
    double ReferenceAmplitude(double fHz, int amplitudeWord) const;
    // Port A load-channel gain relative to the calibration setting (sensitivity 2, gain 1).
    static double PortAGain(int gain, int sens);
    // Port B receiver: complex gain of the gain and sensitivity steps and the receiver's response.
    Complex PortBGain(int gain, int sens, double fHz) const;
};

// What one point looks like to the converter, before noise: the two amplitudes of one reading and
// the phase difference the program will compute (already in the program's sign convention).
struct PointSignal {
    double reference = 0;
    double load = 0;
    double phaseDiff = 0; // radians
    bool portB = false;
};

struct ConverterFaults {
    bool deadAdc = false;  // every word 0
    bool overload = false; // converter driven into its rails
};

// Builds the 33 ADC words of a reading: `readings` readings of 16 samples per channel, summed or
// averaged as the instrument does, with noise, clipping and the overload word (0xFFFF when a
// reading hit the rails, else 0).
std::array<std::uint16_t, instrument::RawAdcWords> SynthesizeAdc(const PointSignal& signal, int readings,
                                                                 double noiseLsb,
                                                                 const ConverterFaults& faults,
                                                                 std::mt19937_64& rng);

} // namespace vna::sim
