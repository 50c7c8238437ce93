#include "instrument/raw_reading.h"

#include <cmath>
#include <string>

#include "core/delay.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "instrument/protocol.h"
#include "instrument/raw_impedance.h"
#include "instrument/serial_link.h"
#include "instrument/status_text.h"

namespace vna::instrument {

namespace {

// The constants the phase arithmetic was written with; kept so that the phases match the stored
// calibrations bit for bit.
constexpr double Pi = 3.141592654;
constexpr double TwoPi = 6.283185308;
// Bit added to `LastError` when the reference amplitude came out too small after the analysis.
constexpr int WeakReferenceBit = 0x80;

std::string FreqText(const core::AppState& st) {
    return core::NumText(st.freq, st.NumDecimals);
}

void PrintNoReference(core::Program& p) {
    StatusText(p, 40, 20, "*** No Reference signal at " + FreqText(p.st) + " MHz      ", WarningColor(p.st));
}

struct Channel {
    double amplitude = 0;
    double phase = 0;
    double mean = 0;
};

Channel Demodulate(const core::AppState& st, int firstWord) {
    double s = 0;
    double c = 0;
    double sum = 0;
    for (int k = 0; k < SamplesPerChannel; ++k) {
        const double x = st.AdcWords[static_cast<std::size_t>(firstWord + k)];
        s += x * st.sinTab1[static_cast<std::size_t>(k)];
        c += x * st.cosTab1[static_cast<std::size_t>(k)];
        sum += x;
    }
    s *= 2.0 / 16;
    c *= 2.0 / 16;
    Channel ch;
    ch.amplitude = std::sqrt(c * c + s * s);
    ch.mean = sum / 16;
    if (s != 0) {
        ch.phase = std::atan(c / s);
    } else {
        ch.phase = c > 0 ? Pi / 2 : -Pi / 2;
    }
    if (s < 0) {
        ch.phase += c > 0 ? Pi : -Pi;
    }
    if (st.PortBMode) {
        // The Port B receiver mixes on the other side of the carrier.
        ch.phase = -ch.phase;
    }
    return ch;
}

void DiagnosticAdcDump(core::Program& p) {
    core::AppState& st = p.st;
    StatusText(p, 40, 40, "  ADC data error in Get_Raw_Data", WarningColor(st));
    for (int i = 1; i <= 15; ++i) {
        std::string line =
            "ADC[" + std::to_string(i) + "]=" + std::to_string(st.AdcWords[static_cast<std::size_t>(i)]) +
            "  Bgain=" + std::to_string(st.PortB_Gain) + "   Bsens=" + std::to_string(st.PortB_Sens);
        StatusText(p, 40, 40 + 15 * i, line, NormalTextColor);
    }
}

} // namespace

void Get_Raw_Data(core::Program& p, bool resend) {
    core::AppState& st = p.st;
    const int budget = st.average > 129 ? RawReadingLongAverageBudget : RawReadingBudget;
    int resends = 0;
    do {
        st.LinkOk = -1;
        st.ReadingValid = 1;
        if (resend) {
            st.RawBytes.fill(0xFF);
            st.AdcWords.fill(-1);
            BeginExchange(p);
            SendCommand(p, RepeatCommand());
        }
        const int got = ReadReplyBytes(p, st.RawBytes, static_cast<int>(RawReadingBytes), budget);
        if (got < static_cast<int>(RawReadingBytes)) {
            StatusText(p, 20, 10, "  === No data from I/O port. ===        ", WarningColor(st));
            if (st.RfActive) {
                // The device tried, when it is not the numbered port's.
                const std::string port =
                    st.SerialDevice.empty() ? core::NumText(st.commport, 0) : " " + st.PortName;
                // Without a window there is no OK to click: the tool ends by itself.
                p.ui.message(
                    " A data error has occured on comm port" + port +
                        ".\r\r Turn the VNA power off and back on to "
                        "reset.\r\r If this problem persists, check the USB driver associated with port" +
                        port + "." + (st.NoWindow ? "" : "\r\r        Click OK to close the program."),
                    "Hardware Reset");
            }
            st.LastError = 10;
            // A reading that never arrived is not valid, and no sweep may go on as if it were.
            st.ReadingValid = 0;
            st.Measuring = 0;
            st.SweepPass = 0;
            return;
        }
        const std::span<const std::uint8_t, RawReadingBytes> frame(st.RawBytes);
        const std::uint32_t sum = RawWordSum(frame);
        if (sum == 0) {
            st.ReadingValid = 0;
        }
        if ((sum & 0xFFFF) == Word16(st.RawBytes[70], st.RawBytes[71])) {
            st.LinkOk = 1;
        } else {
            st.ReadingValid = 0;
            ++resends;
            ReportLinkEvent(p, core::LinkEventKind::ChecksumRetry, frame, resends);
            StatusText(p, 20, 10, "  retry:" + core::NumText(resends, 0), WarningColor(st));
            resend = true;
        }
        if (st.LinkOk == 1) {
            const RawReading reading = DecodeRawReading(frame);
            bool overload = false;
            for (int i = 0; i < RawAdcWords; ++i) {
                st.AdcWords[static_cast<std::size_t>(i)] = reading.adc[static_cast<std::size_t>(i)];
                overload = overload || reading.adc[static_cast<std::size_t>(i)] > 65500;
            }
            const int gain = st.PortB_on ? st.PortB_Gain : st.PortA_Gain;
            if (overload && gain < 2) {
                const bool relayWasSet = st.RelayBit0 || st.RelayBit1;
                st.RelayBit0 = st.RelayBit1 = 0;
                st.RfActive = 0;
                SetRelays(p, 0);
                st.Measuring = 0;
                st.SweepPass = 0;
                st.LastError = 1274;
                st.ReadingValid = 0;
                if (relayWasSet) {
                    p.ui.message("OVERLOAD at the RF Input.", "  RF INPUT OVERLOAD ");
                }
            }
            // The instrument echoes the word it actually set; a nearby echo is the true frequency.
            const double echoed = reading.tuningWord * st.osc_freq / 4294967296.0;
            if (std::fabs(echoed - st.freq) <= 0.005 && st.freq_comp != 0) {
                st.freq = echoed / st.freq_comp;
            }
        }
    } while (resends <= 4 && st.LinkOk <= 0);

    if (st.AdcWords[1] < 10) {
        PrintNoReference(p);
        st.LastError = 17;
        core::Delay(p, 20);
        SetRelays(p, 0);
        if (st.DiagMode) {
            DiagnosticAdcDump(p);
            ConnectInstrument(p);
        }
    }
    if (st.LinkOk == 0 || st.LastError > 0) {
        st.ReadingValid = 0;
        st.Measuring = 0;
        st.SweepPass = 0;
    }
}

void AnalyseRaw(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.ReadingValid) {
        return;
    }
    const Channel load = Demodulate(st, 0);
    st.MagLoad = load.amplitude != 0 ? load.amplitude : 1e-9;
    st.PhaseLoad = load.phase;
    st.AdcMean[0] = load.mean;
    const Channel ref = Demodulate(st, SamplesPerChannel);
    st.MagRef = ref.amplitude;
    st.PhaseRef = ref.phase;
    st.AdcMean[1] = ref.mean;
    if (st.MagRef < 10) {
        PrintNoReference(p);
        st.MagRef = 10;
        st.LastError |= WeakReferenceBit;
    }
    double d = st.PhaseLoad - st.PhaseRef;
    if (d <= -Pi) {
        d += TwoPi;
    }
    if (d > Pi) {
        d -= TwoPi;
    }
    st.PhaseDiff = d;
}

int ReadingAveraging(const core::AppState& st) {
    // Below 0.2 MHz the IF period is long against the instrument's sampling, so the point needs
    // more readings to reach the noise of the higher frequencies.
    if (st.freq < 0.1) {
        return st.average < 64 ? 64 : st.average;
    }
    if (st.freq < 0.2) {
        return st.average < 16 ? 16 : st.average;
    }
    return st.average;
}

void MeasurePoint(core::Program& p, bool frequencyOnly) {
    core::AppState& st = p.st;
    if (!st.InstrumentPresent && !st.DiagMode) {
        st.SweepPass = 0;
        return;
    }
    const int remembered = st.average;
    const double nudge = SpurNudge(st, st.freq);
    const int raised = ReadingAveraging(st);
    if (raised != remembered) {
        st.average = raised;
        SendAveragingCode(p, raised);
    }
    const std::uint32_t word = TuningWord(st, st.freq, nudge);
    if (frequencyOnly) {
        SendCommand(p, SetFrequencyCommand(word));
    } else {
        BeginExchange(p);
        SendCommand(p, MeasureCommand(st.PortBMode ? MeasurePort::B : MeasurePort::A, st.DDSdelay, word));
        Get_Raw_Data(p, false);
        AnalyseRaw(p);
        instrument::RawImpedance(p);
        if (st.DiagMode) {
            const bool b = st.PortBMode != 0;
            std::string line = " Freq=" + FreqText(st) + " MagRef=" + core::NumText(st.MagRef, 2) +
                               " MagLoad=" + core::NumText(st.MagLoad, 2) + (b ? " Bgain=" : " Again=") +
                               std::to_string(b ? st.PortB_Gain : st.PortA_Gain) +
                               (b ? " Bsens=" : " Asens=") +
                               std::to_string(b ? st.PortB_Sens : st.PortA_Sens);
            StatusText(p, 20, 50, line, NormalTextColor);
        }
    }
    if (raised != remembered) {
        st.average = remembered;
        SendAveragingCode(p, remembered);
    }
}

void MeasurePortAPoint(core::Program& p) {
    core::AppState& st = p.st;
    if (st.freq > 0.004) {
        st.PortB_on = 0;
        MeasurePoint(p, false);
    } else {
        st.MagRef = st.MagLoad = 10000;
    }
    st.RefRatio = st.MagRef * 50 / (st.MagLoad + 1);
}

void MeasurePortBPoint(core::Program& p) {
    core::AppState& st = p.st;
    st.PortB_on = 1;
    MeasurePoint(p, false);
    st.RefRatio = st.MagRef * 50 / (st.MagLoad + 1);
}

} // namespace vna::instrument
