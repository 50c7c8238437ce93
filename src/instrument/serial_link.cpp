#include "instrument/serial_link.h"

#include <cstdlib>

#include "core/delay.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/identification.h"
#include "instrument/status_text.h"

namespace vna::instrument {

namespace {

// Window messages keep flowing while a reply is awaited, but not on every empty read: pumping
// costs more than the read itself at the line rates of the instrument.
constexpr int PumpEveryEmptyReads = 100;

bool LooksLikePath(std::string_view text) {
    return text.find('/') != std::string_view::npos || text.find('\\') != std::string_view::npos;
}

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

} // namespace

std::string ComPortName(int commport) {
    return "\\\\.\\COM" + std::to_string(commport);
}

std::string DeviceForPort(int commport) {
#ifdef _WIN32
    return ComPortName(commport);
#else
    // Port numbers count from 1 (COM1); the first USB serial device is ttyUSB0. A number from a
    // damaged settings file that no port can have names no device rather than overflowing.
    return "/dev/ttyUSB" + std::to_string(static_cast<long long>(commport) - 1);
#endif
}

std::string LinkDevice(const core::AppState& st) {
    return st.SerialDevice.empty() ? DeviceForPort(st.commport) : st.SerialDevice;
}

void OpenPort(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.InstrumentPresent) {
        return;
    }
    p.serial.close();
    st.PortName = LinkDevice(st);
    if (!p.serial.open(st.PortName, st.BaudRate)) {
        StatusText(p, 20, 10, "Could not open " + st.PortName + std::string(28, ' '), WarningColor(st));
        core::Delay(p, 500);
        st.LinkOk = 0;
        core::Delay(p, 100);
        return;
    }
    StatusText(p, 20, 10, st.PortName + " port open", NormalTextColor);
    if (!p.serial.lineSettingsApplied()) {
        // The device keeps what it accepted; the program goes on with it.
        StatusText(p, 20, 30, std::string(60, ' '), NormalTextColor);
        core::Delay(p, 200);
    }
    // A pseudo-terminal refuses RTS; that is no reason to give up the port.
    p.serial.setRts(true);
    st.LinkOk = 1;
    core::Delay(p, 100);
}

void ConnectInstrument(core::Program& p) {
    core::AppState& st = p.st;
    st.BaudRate = LowBaudRate;
    OpenPort(p);
    core::Delay(p, 30);
    IdentifyInstrument(p, 0);
    const int answeredLow = st.IdentState;
    const int highRate = st.HighBaudRate > 0 ? st.HighBaudRate : DefaultHighBaudRate;
    if (answeredLow == 0) {
        // An instrument switched to the high rate by an earlier run stays there until its power
        // is cycled, and has no command to come back down: look for it there before giving up.
        st.BaudRate = highRate;
        OpenPort(p);
        core::Delay(p, 30);
        IdentifyInstrument(p, 0);
        if (st.IdentState == 0) {
            st.BaudRate = LowBaudRate;
            OpenPort(p);
        }
        return;
    }
    if (!st.HighBaud) {
        return;
    }
    SendCommand(p, HighBaudCommand());
    core::Delay(p, 30);
    st.BaudRate = highRate;
    OpenPort(p);
    core::Delay(p, 30);
    IdentifyInstrument(p, 0);
    if (answeredLow > 0 && st.IdentState < 1) {
        // The instrument did not follow the switch: stay at the speed it answered at.
        st.BaudRate = LowBaudRate;
        OpenPort(p);
        core::Delay(p, 30);
        IdentifyInstrument(p, 0);
    }
}

void ClosePort(core::Program& p) {
    p.serial.close();
}

bool SendCommand(core::Program& p, std::span<const std::uint8_t> bytes) {
    return p.serial.write(bytes) == static_cast<int>(bytes.size());
}

void BeginExchange(core::Program& p) {
    p.serial.discardInput();
}

int ReadReplyBytes(core::Program& p, std::span<std::uint8_t> out, int count, int budget) {
    if (count > static_cast<int>(out.size())) {
        count = static_cast<int>(out.size());
    }
    int got = 0;
    int empty = 0;
    p.serial.expectBytes(static_cast<std::size_t>(count > 0 ? count : 0));
    while (got < count) {
        std::uint8_t b = 0;
        const int r = p.serial.readByte(b);
        if (r == 1) {
            out[static_cast<std::size_t>(got++)] = b;
            continue;
        }
        // Nothing waiting (or the device is gone, which counts the same and only ends sooner).
        p.st.LinkOk = 0;
        if (++empty > budget) {
            break;
        }
        if (empty % PumpEveryEmptyReads == 0) {
            p.ui.processEvents();
        }
    }
    return got;
}

TextReply ReadTextReply(core::Program& p, char terminator, std::uint32_t sentTick) {
    TextReply reply;
    std::uint32_t since = sentTick;
    std::uint32_t limit = VersionFirstByteMs;
    int empty = 0;
    for (;;) {
        std::uint8_t b = 0;
        const int r = p.serial.readByte(b);
        if (r == 1) {
            reply.text.push_back(static_cast<char>(b));
            if (static_cast<char>(b) == terminator) {
                reply.terminated = true;
                break;
            }
            if (reply.text.size() >= VersionTextMaxBytes) {
                break;
            }
            since = p.clock.tickMs();
            limit = VersionNextByteMs;
            continue;
        }
        if (p.clock.tickMs() - since >= limit) {
            break;
        }
        if (++empty % 10 == 0) {
            p.ui.processEvents();
        }
        // The real port already waits about a millisecond per empty read; this only matters for a
        // device that answers every read at once with nothing (or is gone).
        p.clock.sleepMs(r < 0 ? 1 : 0);
    }
    return reply;
}

bool ApplyCommPortEntry(core::Program& p, const std::optional<std::string>& typed) {
    core::AppState& st = p.st;
    if (!typed || typed->empty()) {
        return false;
    }
    const std::string text = Trim(*typed);
    if (LooksLikePath(text)) {
        st.SerialDevice = text;
    } else {
        const long port = std::labs(static_cast<long>(core::Nint(core::TextToNumber(text))));
        if (port <= 0 || port > 65000) {
            p.ui.message("Comm port must between 1 and 65000", "");
            return false;
        }
        st.commport = static_cast<std::int32_t>(port);
        st.SerialDevice.clear();
    }
    ClosePort(p);
    // Entering a port is the user asking for the instrument, also after a start in demo mode.
    st.InstrumentPresent = 1;
    ConnectInstrument(p);
    if (st.LastError != 0) {
        st.InstrumentPresent = 0;
    }
    return true;
}

void EnterCommPort(core::Program& p) {
    const std::string current = p.st.SerialDevice.empty() ? std::to_string(p.st.commport) : p.st.SerialDevice;
    ApplyCommPortEntry(p, p.ui.enterText("Comm port number (or device path)", " Enter Comm Port", current));
}

} // namespace vna::instrument
