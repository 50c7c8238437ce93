#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/link_monitor.h"
#include "instrument/protocol.h"
#include "platform/serial_port.h"

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The serial link to the instrument: port naming, opening with the line settings, the choice of
// line speed together with the instrument, and the reply-reading loops every command shares. It
// knows nothing of what the bytes mean.
namespace vna::instrument {

// Patience of the reply loops, counted in empty reads (a one-byte read that found nothing within
// about 1 ms). The instrument does its averaging before it answers, so the budgets grow with what
// it has to do: a raw reading with a long average, a supply reading that waits for the converter.
inline constexpr int RawReadingBudget = 500;
inline constexpr int RawReadingLongAverageBudget = 1000; // when `average` is above 129
inline constexpr int TemperatureBudget = 1000;
inline constexpr int SupplyBudget = 10000;
inline constexpr int ExpansionPortBudget = 5000;
inline constexpr int FlashBudget = 2500;
// Once the user has asked the program to end, no reply is waited for longer than this: a healthy
// instrument answers within a few milliseconds, and the relays-off and MUX commands of the shutdown
// must not each wait seconds for one that has gone silent.
inline constexpr int QuittingBudget = 100;
// The version text is read against the clock: 200 ms for the first byte, then 100 ms after each
// further byte. A text never holds more than 255 characters, so a stream of garbage that never
// brings the terminator ends there instead of holding the program.
inline constexpr int VersionFirstByteMs = 200;
inline constexpr int VersionNextByteMs = 100;
inline constexpr std::size_t VersionTextMaxBytes = 255;

inline constexpr int LowBaudRate = 57600;
inline constexpr int DefaultHighBaudRate = 115000;

// The documented name of numbered port n, with the device namespace prefix so that ports above 9
// work: 12 gives \\.\COM12.
std::string ComPortName(int commport);
// The device of numbered port n on this system: \\.\COMn on Windows, /dev/ttyUSB<n-1> elsewhere.
std::string DeviceForPort(int commport);
// The device the link uses: the one named with --serial (or the port dialog) when set, else the
// device of `commport`.
std::string LinkDevice(const core::AppState& st);
// The port number whose device is `device` on this system (/dev/ttyUSB3 is port 4); nothing for a
// device no number names.
std::optional<int> PortForDevice(const std::string& device);

// Why `device` could not be opened, in the user's words: a missing device, a permission problem
// (with the group to join), a device another program holds, or no serial device at all.
std::string OpenProblemText(const std::string& device, const platform::OpenProblem& problem);
// A device as the user knows it: its path, and the maker, product and USB ids where known.
std::string DeviceDescription(const platform::SerialDeviceInfo& d);

// When the numbered port of the settings names no device present and exactly one USB serial device
// is there, asks (Yes/No) whether to use that one. Yes makes it the link's device: a ttyUSB device
// through its port number, which the settings keep, any other for this run. True when it was taken.
bool OfferOnlyUsbDevice(core::Program& p);

// (Re)opens the link device at `BaudRate`, 8N1, asserts RTS. Sets `PortName`, `PortProblem` and
// `LinkOk`; prints the result on the status line. Does nothing without an instrument.
void OpenPort(core::Program& p);
// Opens the port, asks the instrument who it is and negotiates the line speed (with `HighBaud`),
// falling back to 57600 when the instrument stops answering at the high rate. An instrument that
// is silent at 57600 is looked for at the high rate too (an earlier run may have left it there).
// Leaves `LastError` 10, and the port at 57600, when nothing answered at the end.
void ConnectInstrument(core::Program& p);
void ClosePort(core::Program& p);

// Tells the program's link monitor, when there is one, of an event of the link.
void ReportLinkEvent(core::Program& p, core::LinkEventKind kind, std::span<const std::uint8_t> bytes,
                     int count = 0, int emptyReads = 0);

// Writes one command in one write; false when not all bytes were taken.
bool SendCommand(core::Program& p, std::span<const std::uint8_t> bytes);
inline bool SendCommand(core::Program& p, const CommandBytes& command) {
    return SendCommand(p, command.span());
}
// Drops bytes that arrived outside an exchange (the tail of an oversized reply, a late answer)
// before a command whose reply is awaited.
void BeginExchange(core::Program& p);
// Reads `count` bytes one per read into `out` (at least `count` long) until they have arrived or
// more than `budget` empty reads occurred. Every empty read sets `LinkOk` to 0. Returns the bytes
// received; fewer than `count` is a time-out.
int ReadReplyBytes(core::Program& p, std::span<std::uint8_t> out, int count, int budget);

struct TextReply {
    std::string text;
    bool terminated = false; // the last byte read was the terminator
};
// Reads a text reply byte by byte until the terminator arrives or the time limit runs out
// (200 ms from `sentTick`, extended to 100 ms after each byte). Keeps the window alive meanwhile.
TextReply ReadTextReply(core::Program& p, char terminator, std::uint32_t sentTick);

// The "Enter Comm Port" rule for the text the user typed (nothing when the dialog was
// cancelled). A number is made positive and must lie in 1..65000 ("Comm port must between 1 and
// 65000" otherwise, nothing changes); a text with a path separator names a device directly. A
// valid entry closes the port and connects again. Returns true when a new connection was tried.
bool ApplyCommPortEntry(core::Program& p, const std::optional<std::string>& typed);
// The menu command: asks for the port and applies the answer.
void EnterCommPort(core::Program& p);

// The baud rates of the setup menu; only the first two are ever set by the program.
inline constexpr int BaudRateMenu[4] = {57600, 115000, 230000, 460000};

} // namespace vna::instrument
