#include "instrument/commands.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "core/delay.h"
#include "core/program.h"
#include "instrument/protocol.h"
#include "instrument/serial_link.h"

namespace vna::instrument {

namespace {

bool CanSend(const core::AppState& st) {
    return st.InstrumentPresent != 0;
}

// Relay, averaging and start-of-sweep commands are held back while a stored scan is recomputed.
bool CanSendHardware(const core::AppState& st) {
    return st.InstrumentPresent != 0 && st.HardwareEnabled != 0;
}

} // namespace

bool LowPwrMode(const core::AppState& st) {
    return st.DdsPowerOn == 0;
}

double SpurNudge(const core::AppState& st, double f) {
    if (!st.Measuring) {
        return 0;
    }
    static constexpr std::array<double, 3> Low = {50, 80, 100};
    static constexpr std::array<double, 4> High = {125, 150, 160, 200};
    auto nudgeFor = [f](double c) { return f <= c ? -0.01 : 0.01; };
    if (f < 120) {
        for (double c : Low) {
            if (std::fabs(f - c) < 0.01) {
                return nudgeFor(c);
            }
        }
    } else {
        for (double c : High) {
            if (std::fabs(f - c) < 0.01) {
                return nudgeFor(c);
            }
        }
    }
    return 0;
}

namespace {

// The word for x = 2^32 * f / osc_freq.
std::uint32_t WordOf(double x) {
    // nearbyint rounds halves to even in the default rounding mode.
    const double w = std::nearbyint(x + 0.5);
    if (!(w > 0)) {
        return 0;
    }
    if (w >= 4294967295.0) {
        return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(w);
}

} // namespace

std::uint32_t TuningWord(const core::AppState& st, double f, double nudge) {
    if (st.osc_freq == 0) {
        return 0;
    }
    return WordOf(4294967296.0 * (f + nudge) * st.freq_comp / st.osc_freq);
}

std::uint32_t TuningWordCompensated(const core::AppState& st, double f) {
    if (st.osc_freq == 0) {
        return 0;
    }
    return WordOf(4294967296.0 * f / st.osc_freq);
}

std::uint32_t TuningWord(const core::AppState& st, double f) {
    return TuningWord(st, f, SpurNudge(st, f));
}

void SetFrequency(core::Program& p, double f) {
    if (!CanSend(p.st)) {
        return;
    }
    SendCommand(p, SetFrequencyCommand(TuningWord(p.st, f, 0)));
}

void SendAveragingCode(core::Program& p, int n) {
    if (!CanSendHardware(p.st)) {
        return;
    }
    SendCommand(p, AveragingCommand(AveragingCode(n)));
}

void SetAveraging(core::Program& p, int n) {
    p.st.average = n <= 0 ? 1 : n;
    SendAveragingCode(p, p.st.average);
    p.st.LastError = 0;
}

void SetAmplitude(core::Program& p, double percent) {
    core::AppState& st = p.st;
    st.DDS_Amplitude = percent;
    if (!CanSend(st) || percent == st.AmplitudeSent) {
        return;
    }
    const double word = std::nearbyint(percent * 1023 / 100);
    SendCommand(p, AmplitudeCommand(static_cast<int>(word > 1023 ? 1023 : (word < 0 ? 0 : word))));
    st.AmplitudeSent = percent;
    core::Delay(p, 10);
}

void SetRelayBank2(core::Program& p, int n) {
    if (!CanSendHardware(p.st)) {
        return;
    }
    SendCommand(p, RelayBank2Command(n));
    core::Delay(p, 5);
}

void SetRelays(core::Program& p, int mode) {
    core::AppState& st = p.st;
    if (!CanSendHardware(st)) {
        return;
    }
    st.RelaysSet = mode;
    if (mode == 0) {
        st.RelayBit0 = st.RelayBit1 = 0;
        st.RfActive = 0;
    } else if (mode == 3) {
        st.RelayBit0 = st.RelayBit1 = 1;
        st.RfActive = 1;
    } else {
        if (mode & 1) {
            st.RelayBit0 = 1;
        }
        if (mode & 2) {
            st.RelayBit1 = 1;
        }
        st.RfActive = 1;
    }
    SendCommand(p, RelayCommand(st.RelayBit0 != 0, st.RelayBit1 != 0));
    core::Delay(p, 5);
    if (LowPwrMode(st)) {
        // Low-current mode: the source is parked at a fixed frequency whenever the relays change.
        const double remembered = st.freq;
        st.freq = st.parkFreq;
        SetFrequency(p, st.freq);
        st.freq = remembered;
        core::Delay(p, 15);
        SetRelayBank2(p, 3);
    } else {
        SetRelayBank2(p, st.RfActive ? 3 : 0);
    }
    core::Delay(p, 100);
}

void SendGains(core::Program& p) {
    const core::AppState& st = p.st;
    if (!CanSend(st)) {
        return;
    }
    SendCommand(p, GainsCommand(st.PortA_Gain, st.PortA_Sens, st.PortA_Option, st.PortB_Gain, st.PortB_Sens));
}

void SetAutoPowerOff(core::Program& p) {
    if (p.st.LastError > 0) {
        p.st.LastError = 0;
    }
    if (!CanSend(p.st)) {
        return;
    }
    SendCommand(p, AutoPowerOffCommand(p.st.autopoweroff != 0));
}

void ToggleAutoPowerOff(core::Program& p) {
    p.st.autopoweroff = p.st.autopoweroff ? 0 : 1;
    // Low-current mode is the opposite of auto power-off: LowPwrMode = !autopoweroff.
    p.st.DdsPowerOn = p.st.autopoweroff;
    SetAutoPowerOff(p);
}

bool ReadExpansionPort(core::Program& p) {
    core::AppState& st = p.st;
    if (!CanSend(st)) {
        return false;
    }
    const int reg1 = (st.MuxChannel & 7) | (st.ExpansionAnalog ? 0x80 : 0);
    BeginExchange(p);
    SendCommand(p, ExpansionPortCommand(st.ExpansionReg2, reg1, st.ExpansionReg0));
    std::array<std::uint8_t, 2> reply{};
    if (ReadReplyBytes(p, reply, 2, ExpansionPortBudget) < 2) {
        p.ui.message(" No data from VNA Expansion Port.\r Check VNA power and comm cable.",
                     " Expansion Port Data Error");
        st.LastError = 10;
        return false;
    }
    st.ExpansionValue = Word16(reply[0], reply[1]);
    return true;
}

bool SetExpansionPort(core::Program& p, int channel) {
    p.st.MuxChannel = channel;
    return ReadExpansionPort(p);
}

std::string ExpansionValueText(const core::AppState& st) {
    char buf[32];
    if (st.ExpansionAnalog) {
        std::snprintf(buf, sizeof buf, "%.3f V", st.ExpansionValue * 3.3 / 4096);
    } else {
        std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(st.ExpansionValue));
    }
    return buf;
}

void SendSweepStart(core::Program& p) {
    if (!CanSendHardware(p.st)) {
        return;
    }
    SendCommand(p, SweepStartCommand());
}

void SendSyncPulse(core::Program& p) {
    if (!CanSend(p.st) || !p.st.SyncSupported) {
        return;
    }
    SendCommand(p, SyncPulseCommand());
}

} // namespace vna::instrument
