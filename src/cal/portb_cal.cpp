#include "cal/portb_cal.h"

#include <cmath>

#include "cal/cal_file.h"
#include "cal/cal_session.h"
#include "core/cal_table.h"
#include "core/delay.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/health.h"
#include "instrument/raw_reading.h"
#include "instrument/status_text.h"
#include "measure/averaging.h"
#include "measure/portb_correct.h"

namespace vna::cal {

using core::BCalPoint;
using core::CalCapacity;
using core::CalTable;
using measure::SetGainStepPhase;

namespace {

using platform::Answer;
using platform::Buttons;

// The constants the phase arithmetic of the program uses.
constexpr double Pi = 3.141592654;
constexpr double TwoPi = 6.283185308;
constexpr double DegreesPerRadian = 57.3;
// The reference channel of a good reading is far above this.
constexpr double MinimumReference = 50;
// The receiver settles within this after a gain change.
constexpr int GainSettleMs = 2;

double Wrapped(double phase) {
    while (phase > Pi) {
        phase -= TwoPi;
    }
    while (phase <= -Pi) {
        phase += TwoPi;
    }
    return phase;
}

// What a Port B calibration changes and gives back at its end.
struct Remembered {
    std::int32_t average;
    double amplitude;
    std::int32_t portAGain;
    std::int32_t portASens;
    std::int32_t portBGain;
    std::int32_t portBSens;
    core::Flag portBOn;
    core::Flag portBMode;
    core::Flag sweepRunning;
};

Remembered Remember(const core::AppState& st) {
    return {st.average,    st.DDS_Amplitude, st.PortA_Gain, st.PortA_Sens,  st.PortB_Gain,
            st.PortB_Sens, st.PortB_on,      st.PortBMode,  st.SweepRunning};
}

void GiveBack(core::Program& p, const Remembered& r) {
    core::AppState& st = p.st;
    st.Measuring = 0;
    instrument::SetRelays(p, 0);
    st.PortA_Gain = r.portAGain;
    st.PortA_Sens = r.portASens;
    st.PortB_Gain = r.portBGain;
    st.PortB_Sens = r.portBSens;
    instrument::SendGains(p);
    instrument::SetAmplitude(p, r.amplitude);
    if (st.average != r.average) {
        measure::ApplyAveraging(p, r.average);
    }
    st.PortB_on = r.portBOn;
    st.PortBMode = r.portBMode;
    st.SweepRunning = r.sweepRunning;
}

// One reading on Port B at `freq`; false (with the message or the status line) when it failed.
bool ReadPortB(core::Program& p, double f, const std::string& noReferenceCode) {
    core::AppState& st = p.st;
    st.LastError = 0;
    st.freq = f;
    instrument::MeasurePortBPoint(p);
    if (st.LastError != 0) {
        const int error = st.LastError;
        instrument::SetRelays(p, 0);
        p.ui.message("Cal Data Error  freq=" + CalNumber(st, f), "37453");
        st.LastError = error;
        return false;
    }
    if (st.MagRef < MinimumReference) {
        CalStatusLine(p, 100, 200,
                      " **** There is no reference signal from the VNA at " + CalNumber(st, f) +
                          "  //error= " + noReferenceCode);
        instrument::SetRelays(p, 0);
        return false;
    }
    return true;
}

// The phase each gain step adds, at 1 MHz: steps 2 and 3 measured against the step below them,
// steps 4 and 5 from their known differences. The source is left at `amplitude`, gain 1.
bool MeasureGainStepPhases(core::Program& p, std::array<double, 6>& phase, double amplitude) {
    core::AppState& st = p.st;
    auto readAtGain = [&](int gain, double& out) {
        st.PortB_Gain = gain;
        instrument::SendGains(p);
        core::Delay(p, GainSettleMs);
        if (!ReadPortB(p, 1, "17832")) {
            return false;
        }
        out = st.PhaseDiff;
        return true;
    };
    phase.fill(0);
    double a = 0;
    double b = 0;
    instrument::SetAmplitude(p, GainPhaseAmplitude12);
    if (!readAtGain(1, a) || !readAtGain(2, b)) {
        return false;
    }
    // The difference is taken the short way round: the through cable's phase may sit near +-pi.
    phase[2] = phase[1] + Wrapped(b - a);
    instrument::SetAmplitude(p, GainPhaseAmplitude23);
    if (!readAtGain(2, a) || !readAtGain(3, b)) {
        return false;
    }
    phase[3] = phase[2] + Wrapped(b - a);
    phase[4] = phase[3] + Step4AboveStep3Deg / DegreesPerRadian;
    phase[5] = phase[4] + Step5AboveStep4Deg / DegreesPerRadian;
    st.PortB_Gain = 1;
    instrument::SendGains(p);
    instrument::SetAmplitude(p, amplitude);
    return true;
}

enum class PassEnd { Done, Failed };

// One pass over the grid in the present sensitivity range into the low or high columns.
PassEnd MeasurePass(core::Program& p, const std::vector<PortBGridPoint>& grid, std::vector<BCalPoint>& table,
                    bool high) {
    core::AppState& st = p.st;
    const std::string code = high ? "17833" : "17832";
    PhaseUnwrapper unwrap;
    st.Measuring = 1;
    st.SweepRunning = 1;
    core::ProgressMeter meter(p, high ? "Through cable, +12 dB" : "Through cable",
                              static_cast<int>(grid.size()));
    for (std::size_t i = 0; i < grid.size(); ++i) {
        BCalPoint& b = table[i];
        b.freq = grid[i].freq;
        b.tag = grid[i].tag;
        p.ui.processEvents();
        if (!st.SweepRunning) {
            // A key, a click, Halt or Quit stopped the calibration.
            st.Measuring = 0;
            instrument::SetRelays(p, 0);
            p.ui.message("Calibration has been aborted.", "  Cal Problem");
            return PassEnd::Failed;
        }
        if (!ReadPortB(p, b.freq, code)) {
            return PassEnd::Failed;
        }
        const double ratio = st.MagLoad / st.MagRef;
        const double phase = unwrap.next(st.PhaseDiff);
        if (high) {
            b.highMag = ratio;
            b.highPhase = phase;
        } else {
            b.lowMag = ratio;
            b.lowPhase = phase;
        }
        if (static_cast<int>(i) == ThroughCheckPoint && ratio < ThroughRatioMin) {
            const Answer a = p.ui.message(
                " Be sure the Through Cable is properly connected from A to B.\rPort B signal = " +
                    CalNumber(st, ratio) + ". (Should be approx 1.0)\r\rDo you want to continue?",
                "Check through cable", Buttons::YesNo);
            if (a != Answer::Yes) {
                instrument::SetRelays(p, 0);
                p.ui.message("Calibration has been aborted.", "  Cal Problem");
                return PassEnd::Failed;
            }
        }
        CalProgress(p, meter, static_cast<int>(i) + 1);
        if (st.DiagMode && i % 10 == 0) {
            instrument::StatusText(p, 20, 90,
                                   std::string(high ? "Ratio B/A   B_HighSens" : "Ratio B/A   B_LowSens") +
                                       "  " + CalNumber(st, ratio) + "  B/B@1Mhz " + CalNumber(st, phase) +
                                       "   ",
                                   instrument::NormalTextColor);
        }
    }
    return PassEnd::Done;
}

} // namespace

std::vector<PortBGridPoint> PortBCalGrid(double maximumFreq) {
    std::vector<PortBGridPoint> grid;
    const double last = maximumFreq + 2;
    // The frequency of each point is n whole steps, so the grid carries no running sum's error.
    double step = 0.005;
    int tag = 1;
    for (int n = 1; static_cast<int>(grid.size()) < CalCapacity; ++n) {
        const double f = step * n;
        if (f > last) {
            break;
        }
        grid.push_back({f, tag});
        if (tag == 1 && std::fabs(f - 0.1) <= 0.001) {
            step = 0.2;
            tag = 2;
            n = 0;
        } else if (tag == 2 && std::fabs(f - 0.8) <= 0.01) {
            step = 1;
            tag = 3;
            n = 0;
        }
    }
    return grid;
}

double PhaseUnwrapper::next(double phase) {
    if (!first_ && previous_ < 0 && phase > 0 && phase - previous_ > Pi) {
        offset_ -= TwoPi;
    }
    first_ = false;
    previous_ = phase;
    return phase + offset_;
}

bool PortBCal(core::Program& p, int alone) {
    PortBCalOptions o;
    o.alone = alone != 0;
    return RunPortBCal(p, o);
}

bool RunPortBCal(core::Program& p, const PortBCalOptions& o) {
    core::AppState& st = p.st;
    if (o.alone) {
        if (!st.porta_cal_ok) {
            p.ui.message("A valid calibration file must be loaded first.", " No valid cal file");
            return false;
        }
        p.ui.message("Port B will be calibrated and the data will be\r\ncombined with the present cal data "
                     "for Port A.",
                     " Cal Port B only ");
    }
    const Remembered remembered = Remember(st);
    if (st.average < 16) {
        measure::ApplyAveraging(p, 16);
    }
    st.PortA_Gain = 1;
    st.PortB_Gain = 1;
    st.PortA_Sens = 2;
    st.PortB_Sens = 1;
    instrument::SendGains(p);
    st.PortBMode = 1;
    LineExtensionQuestion(p, true);
    if (o.prompt) {
        const bool go =
            o.channel == 1
                ? p.ui.prompt(" Connect the Line used for the Reference to MUX Chan 1.", " Reference Chan 1")
                : p.ui.prompt(" Attach Through-Cable from Port A to Port B.  ", " Port B Cal");
        if (!go) {
            GiveBack(p, remembered);
            return false;
        }
    }
    instrument::SetRelays(p, 3);
    st.LastError = 0;
    instrument::CheckSupply(p);
    if (st.LastError != 0) {
        GiveBack(p, remembered);
        return false;
    }

    const double amplitude = st.DDS_Amplitude;
    std::array<double, 6> gainPhase{};
    if (!MeasureGainStepPhases(p, gainPhase, amplitude)) {
        GiveBack(p, remembered);
        return false;
    }

    const std::vector<PortBGridPoint> grid = PortBCalGrid(st.maximumfreq);
    // The new table replaces the one in force only when both passes succeeded.
    std::vector<BCalPoint> table(grid.size());
    if (MeasurePass(p, grid, table, false) != PassEnd::Done) {
        GiveBack(p, remembered);
        return false;
    }
    st.PortB_Sens = 2;
    instrument::SendGains(p);
    instrument::SetAmplitude(p, amplitude * HighRangeAmplitudeFactor);
    if (MeasurePass(p, grid, table, true) != PassEnd::Done) {
        GiveBack(p, remembered);
        return false;
    }

    instrument::SetRelays(p, 0);
    instrument::ReadTemperature(p);
    st.LastError = 0;
    GiveBack(p, remembered);
    CalTable& t = p.cal;
    for (std::size_t i = 0; i < table.size(); ++i) {
        t.bcal[i] = table[i];
    }
    t.bcal_points = static_cast<int>(table.size());
    for (int g = 1; g <= 5; ++g) {
        SetGainStepPhase(st, g, gainPhase[static_cast<std::size_t>(g)]);
        st.PortB_LevelDb[static_cast<std::size_t>(g)] = CalGainStepDb[static_cast<std::size_t>(g)];
    }
    st.portb_cal_ok = 1;
    if (o.channel == 0 && st.multichan_number == 0) {
        p.ui.message("Port B Cal is Complete", " Port B Cal");
    }
    if (o.alone) {
        const std::string file = st.cal_file;
        const std::string folder = st.cal_folder;
        const std::string name = st.cal_file_name;
        if (!SaveCalFile(p)) {
            // The settings keep naming the file that holds the calibration, not one that was
            // never written.
            st.cal_file = file;
            st.cal_folder = folder;
            st.cal_file_name = name;
        }
    }
    return true;
}

} // namespace vna::cal
