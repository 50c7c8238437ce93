#include "sim/front_end.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vna::sim {

namespace {

constexpr double Pi = std::numbers::pi;
const Complex J(0, 1);

} // namespace

Complex Bridge::c(double fHz) const {
    const double magnitude = scale * (1 - rollOff * fHz / 180e6);
    return std::polar(magnitude, -2 * Pi * fHz * delay);
}

Complex Bridge::Es(double fHz) const {
    return c(fHz) * (seriesR + 50.0 + J * 2.0 * Pi * fHz * seriesL);
}

Complex Bridge::K(double fHz) const {
    const Complex y = 1.0 / shuntR + J * 2.0 * Pi * fHz * shuntC;
    return 1.0 / y;
}

Complex Bridge::Eo(double fHz) const {
    return c(fHz) * (seriesR + 50.0 + J * 2.0 * Pi * fHz * seriesL + K(fHz));
}

Complex Bridge::Raw(Complex z, double fHz) const {
    const Complex k = K(fHz);
    // Z || Zp through admittances, so that a short (Z = 0) and an open (Z very large) both work.
    Complex parallel = 0;
    if (std::abs(z) > 0) {
        parallel = 1.0 / (1.0 / z + 1.0 / k);
    }
    return c(fHz) * (seriesR + 50.0 + J * 2.0 * Pi * fHz * seriesL + parallel);
}

double FrontEnd::FrequencyHz(std::uint32_t tuningWord) const {
    return tuningWord * (clockMHz * 1e6 * (1 + clockPpm * 1e-6)) / 4294967296.0;
}

double FrontEnd::ReferenceAmplitude(double fHz, int amplitudeWord) const {
    const double x = Pi * fHz / (clockMHz * 1e6);
    const double sinc = x > 1e-12 ? std::sin(x) / x : 1.0;
    return referenceLevel * sinc * std::clamp(amplitudeWord, 0, 1023) / 1023.0;
}

double FrontEnd::PortAGain(int gain, int sens) {
    const int step = std::clamp(gain, 1, 5);
    return (sens == 2 ? 1.0 : 0.5) * std::pow(10.0, GainStepDb[static_cast<std::size_t>(step - 1)] / 20);
}

Complex FrontEnd::PortBGain(int gain, int sens, double fHz) const {
    const int step = std::clamp(gain, 1, 5);
    const double db = GainStepDb[static_cast<std::size_t>(step - 1)] + (sens == 2 ? HighSensitivityDb : 0);
    const double phase = GainStepPhaseDeg[static_cast<std::size_t>(step - 1)] * Pi / 180;
    const Complex rollOff = 1.0 / (1.0 + J * (fHz / 1e6) / portBRollOffMHz);
    return std::pow(10.0, db / 20) * std::polar(1.0, phase - 2 * Pi * fHz * portBDelay) * rollOff;
}

std::array<std::uint16_t, instrument::RawAdcWords> SynthesizeAdc(const PointSignal& signal, int readings,
                                                                 double noiseLsb,
                                                                 const ConverterFaults& faults,
                                                                 std::mt19937_64& rng) {
    std::array<std::uint16_t, instrument::RawAdcWords> adc{};
    if (faults.deadAdc) {
        return adc;
    }
    const int n = std::max(readings, 1);
    const int summed = std::min(n, MaxSummedReadings);
    // Noise of the summed (or scaled average) sample: sqrt(n) for a sum, 16 / sqrt(n) beyond.
    const double noise = n <= MaxSummedReadings
                             ? noiseLsb * std::sqrt(static_cast<double>(n))
                             : noiseLsb * MaxSummedReadings / std::sqrt(static_cast<double>(n));
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(-Pi, Pi);
    // The IF phase at the first sample is wherever the DDS happens to be.
    const double refPhase = uniform(rng);
    // The program sees Port B phases negated: the receiver mixes on the other side of the carrier.
    const double loadPhase = refPhase + (signal.portB ? -signal.phaseDiff : signal.phaseDiff);
    bool clipped = faults.overload;
    for (int k = 0; k < instrument::SamplesPerChannel; ++k) {
        const double a = 2 * Pi * k / instrument::SamplesPerChannel;
        const double values[2] = {signal.load * std::sin(a + loadPhase),
                                  signal.reference * std::sin(a + refPhase)};
        for (int ch = 0; ch < 2; ++ch) {
            double one = AdcMidScale + values[ch];
            if (faults.overload && ch == 0) {
                one = k < instrument::SamplesPerChannel / 2 ? AdcFullScale + 1.0 : -1.0;
            }
            if (one > AdcFullScale || one < 0) {
                clipped = true;
                one = std::clamp(one, 0.0, static_cast<double>(AdcFullScale));
            }
            const double word = std::round(one * summed + noise * gauss(rng));
            adc[static_cast<std::size_t>(ch * 16 + k)] =
                static_cast<std::uint16_t>(std::clamp(word, 0.0, 65535.0));
        }
    }
    adc[32] = clipped ? 0xFFFF : 0;
    return adc;
}

} // namespace vna::sim
