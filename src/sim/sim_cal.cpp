#include "sim/sim_cal.h"

#include <cmath>
#include <memory>
#include <numbers>

#include "cal/cal_file.h"
#include "core/app_state.h"
#include "core/atomic_file.h"
#include "core/cal_table.h"
#include "core/number_text.h"
#include "instrument/commands.h"
#include "instrument/date_code.h"
#include "sim/instrument_model.h"

namespace vna::sim {

namespace {

constexpr double Pi = std::numbers::pi;
constexpr std::uint16_t DateCodeAddress = 4096;

// The settings a calibration runs with: the source at full amplitude, gain step 1, Port A at
// sensitivity 2, and `Measuring` set (so the points near the DDS spurs are nudged as in a sweep).
core::AppState CalSettings() {
    core::AppState st;
    st.osc_freq = 400;
    st.freq_comp = 1;
    st.Measuring = 1;
    return st;
}

// The frequency the unit's DDS produces when the program asks for f MHz during a calibration.
double DdsHz(const Instrument& unit, const core::AppState& st, double f) {
    return unit.frontEnd.FrequencyHz(instrument::TuningWord(st, f, instrument::SpurNudge(st, f)));
}

Dut Standard(DutKind kind) {
    Dut d;
    d.kind = kind;
    d.r = 50;
    return d;
}

// The raw complex reading the program computes for a device at Port A: the bridge's value, scaled
// by the load channel's gain at the calibration's setting.
Complex RawReading(const Instrument& unit, const Dut& dut, double fHz) {
    return unit.frontEnd.bridge.Raw(PortAImpedance(dut, fHz), fHz) / FrontEnd::PortAGain(1, 2);
}

// The Port B grid of the through-cable calibration: 5 kHz steps to 0.1 MHz, 0.2 MHz steps to
// 0.8 MHz, then 1 MHz steps until the frequency passes the range by 2 MHz.
std::vector<std::pair<double, int>> PortBGrid(double maximumFreq) {
    std::vector<std::pair<double, int>> grid;
    for (int i = 1; i <= 20; ++i) {
        grid.emplace_back(0.005 * i, 1);
    }
    for (int i = 1; i <= 4; ++i) {
        grid.emplace_back(0.2 * i, 2);
    }
    for (int f = 1; f <= maximumFreq + 2; ++f) {
        grid.emplace_back(f, 3);
    }
    return grid;
}

} // namespace

std::string UnitInstrumentId(Instrument& unit, const platform::LocalTime& now) {
    if (!unit.config.flash) {
        return core::NumText(unit.config.serialNumber, 0);
    }
    instrument::DateCode words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto it = unit.flash.find(static_cast<std::uint16_t>(DateCodeAddress + i));
        words[i] = it == unit.flash.end() ? 0xFFFF : it->second;
    }
    if (!instrument::DateCodeValid(words)) {
        words = instrument::DateCodeOf(now);
        unit.writeFlash(DateCodeAddress, words);
    }
    return instrument::DateCodeId(words);
}

void FillUnitCalTable(core::CalTable& t, const Instrument& unit, const std::string& instrumentId,
                      double maximumFreq) {
    const core::AppState st = CalSettings();
    // A fresh table from the heap: the table is too large for a temporary on the stack.
    t = *std::make_unique<core::CalTable>();
    t.cal_resistor = 50;
    t.instrument_id = instrumentId;
    t.cal_comment = "standards of the simulator";
    t.custom_cal = 0;
    t.cal_max_freq = maximumFreq;
    t.MUF = maximumFreq;
    t.cal_temperature = unit.env.temperatureF;
    t.DDS_Amplitude = 100;
    t.PortA_Sens = 2;
    t.gain_code = 1;
    const Dut shortStd = Standard(DutKind::Short);
    const Dut openStd = Standard(DutKind::Open);
    const Dut loadStd = Standard(DutKind::Resistor);
    // The standard calibration runs while the frequency is below the rounded range + 0.2001.
    const double last = std::round(maximumFreq + 0.0001) + 0.2001;
    int n = 0;
    while (n < core::CalCapacity && core::StandardGridFreq(n) < last) {
        const double fHz = DdsHz(unit, st, core::StandardGridFreq(n));
        const auto k = static_cast<std::size_t>(n);
        const Complex s = RawReading(unit, shortStd, fHz);
        const Complex o = RawReading(unit, openStd, fHz);
        const Complex r = RawReading(unit, loadStd, fHz);
        t.short_re[k] = s.real();
        t.short_im[k] = s.imag();
        t.open_re[k] = o.real();
        t.open_im[k] = o.imag();
        t.std_re[k] = r.real();
        t.std_im[k] = r.imag();
        ++n;
    }
    t.cal_points = n;

    // Port B: the through cable in both sensitivity ranges, the phase kept continuous over the
    // grid as the through-cable calibration stores it.
    Dut through;
    through.kind = DutKind::Through;
    const auto grid = PortBGrid(maximumFreq);
    double offsetLow = 0;
    double offsetHigh = 0;
    double previousLow = 0;
    double previousHigh = 0;
    int m = 0;
    for (const auto& [f, tag] : grid) {
        const double fHz = DdsHz(unit, st, f);
        Complex path = Transmission(through, fHz);
        // The instrument's own crosstalk is part of what the through-cable calibration measures.
        path += std::polar(std::pow(10.0, unit.frontEnd.leakageDb / 20) * std::max(fHz / 1e6, 1.0), Pi / 2);
        const Complex low = path * unit.frontEnd.PortBGain(1, 1, fHz);
        const Complex high = path * unit.frontEnd.PortBGain(1, 2, fHz);
        const double phaseLow = std::arg(low);
        const double phaseHigh = std::arg(high);
        if (m > 0 && previousLow < 0 && phaseLow > 0) {
            offsetLow -= 2 * Pi;
        }
        if (m > 0 && previousHigh < 0 && phaseHigh > 0) {
            offsetHigh -= 2 * Pi;
        }
        previousLow = phaseLow;
        previousHigh = phaseHigh;
        core::BCalPoint& b = t.bcal[static_cast<std::size_t>(m)];
        b.freq = f;
        b.tag = tag;
        b.lowMag = std::abs(low);
        b.highMag = std::abs(high);
        b.lowPhase = phaseLow + offsetLow;
        b.highPhase = phaseHigh + offsetHigh;
        ++m;
    }
    t.bcal_points = m;
    core::SetGridInUse(t, 0.005, maximumFreq);
}

bool WriteUnitCalFile(Instrument& unit, const std::string& path, const platform::LocalTime& now,
                      std::string* error) {
    const double maximumFreq = core::AppState{}.maximumfreq;
    auto table = std::make_unique<core::CalTable>();
    FillUnitCalTable(*table, unit, UnitInstrumentId(unit, now), maximumFreq);
    return core::WriteFileAtomic(path, cal::CalFileText(*table, now, true), error);
}

} // namespace vna::sim
