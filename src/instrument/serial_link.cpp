#include "instrument/serial_link.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

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

std::optional<int> PortForDevice(const std::string& device) {
#ifdef _WIN32
    const std::string prefix = "\\\\.\\COM";
    const int offset = 0;
#else
    const std::string prefix = "/dev/ttyUSB";
    const int offset = 1;
#endif
    if (device.rfind(prefix, 0) != 0 || device.size() == prefix.size() || device.size() > prefix.size() + 5 ||
        device.find_first_not_of("0123456789", prefix.size()) != std::string::npos) {
        return std::nullopt;
    }
    const int n = std::stoi(device.substr(prefix.size())) + offset;
    return n >= 1 && n <= 65000 ? std::optional<int>(n) : std::nullopt;
}

std::string OpenProblemText(const std::string& device, const platform::OpenProblem& problem) {
    using platform::OpenFailure;
    const std::string why = problem.systemText.empty() ? std::string() : " (" + problem.systemText + ")";
    switch (problem.kind) {
        case OpenFailure::None:
            return {};
        case OpenFailure::Missing:
            return device + " does not exist" + why +
                   ": the adapter is not plugged in, or the instrument is on another device "
                   "(vna-cli ports lists the serial devices present).";
        case OpenFailure::Permission:
            if (!problem.group.empty()) {
                return "This user may not open " + device + why + ". Join the group " + problem.group +
                       " that may (sudo usermod -aG " + problem.group + " $USER), then log out and in again.";
            }
            return "This user may not open " + device + why + ". Ask the administrator for access to it.";
        case OpenFailure::InUse:
            return device + " is in use by another program" + why +
                   ": another copy of this program, a terminal program, or ModemManager, which tries "
                   "every new USB serial device for a few seconds.";
        case OpenFailure::NotADevice:
            return device + " is " + (problem.what.empty() ? "no serial line" : problem.what) +
                   ", not a serial device.";
        case OpenFailure::Other:
            break;
    }
    return device + " cannot be opened" + why + ".";
}

std::string DeviceDescription(const platform::SerialDeviceInfo& d) {
    std::string name = d.manufacturer;
    if (!d.product.empty()) {
        name += (name.empty() ? "" : " ") + d.product;
    }
    std::string ids;
    if (!d.vendorId.empty()) {
        ids = "USB " + d.vendorId + ":" + d.productId;
    }
    if (name.empty() && ids.empty()) {
        return d.path;
    }
    return d.path + " (" + name + (name.empty() || ids.empty() ? "" : ", ") + ids + ")";
}

bool OfferOnlyUsbDevice(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.SerialDevice.empty()) {
        return false;
    }
    const std::string numbered = DeviceForPort(st.commport);
    const std::vector<platform::SerialDeviceInfo> present = p.serial.presentDevices();
    for (const platform::SerialDeviceInfo& d : present) {
        if (d.path == numbered) {
            return false;
        }
    }
    if (present.size() != 1) {
        return false;
    }
    const platform::SerialDeviceInfo& only = present.front();
    std::string text = "The comm port of the settings, port " + std::to_string(st.commport) + " (" +
                       numbered + "), does not exist.\r\nThe one USB serial device present is " +
                       DeviceDescription(only) + ".\r\n\r\nUse it?";
    if (st.NoWindow) {
        text += " (vna-cli takes it with --yes; --serial names any device.)";
    }
    if (p.ui.message(text, " Comm Port", platform::Buttons::YesNo) != platform::Answer::Yes) {
        return false;
    }
    if (const auto port = PortForDevice(only.path)) {
        st.commport = *port;
    } else {
        st.SerialDevice = only.path;
    }
    return true;
}

void OpenPort(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.InstrumentPresent) {
        return;
    }
    p.serial.close();
    st.PortName = LinkDevice(st);
    if (!p.serial.open(st.PortName, st.BaudRate)) {
        st.PortProblem = OpenProblemText(st.PortName, p.serial.openProblem());
        StatusText(p, 20, 10, "Could not open " + st.PortName + std::string(28, ' '), WarningColor(st));
        core::Delay(p, 500);
        st.LinkOk = 0;
        core::Delay(p, 100);
        return;
    }
    st.PortProblem.clear();
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

void ReportLinkEvent(core::Program& p, core::LinkEventKind kind, std::span<const std::uint8_t> bytes,
                     int count, int emptyReads) {
    if (!p.linkMonitor) {
        return;
    }
    core::LinkEvent e;
    e.kind = kind;
    e.bytes = bytes;
    e.count = count;
    e.emptyReads = emptyReads;
    e.tickMs = p.clock.tickMs();
    p.linkMonitor->linkEvent(e);
}

bool SendCommand(core::Program& p, std::span<const std::uint8_t> bytes) {
    if (p.linkMonitor) {
        ReportLinkEvent(p, core::LinkEventKind::Command, bytes);
    }
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
        if (++empty > (p.st.QuitRequested ? std::min(budget, QuittingBudget) : budget)) {
            break;
        }
        if (empty % PumpEveryEmptyReads == 0) {
            p.ui.processEvents();
        }
    }
    if (p.linkMonitor) {
        ReportLinkEvent(p, got < count ? core::LinkEventKind::Timeout : core::LinkEventKind::Reply,
                        out.first(static_cast<std::size_t>(got)), count, empty);
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
    if (p.linkMonitor) {
        ReportLinkEvent(p, core::LinkEventKind::TextReply,
                        {reinterpret_cast<const std::uint8_t*>(reply.text.data()), reply.text.size()}, 0,
                        reply.terminated ? 1 : 0);
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
