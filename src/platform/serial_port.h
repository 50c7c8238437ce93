#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vna::platform {

// Why a device could not be opened, as far as the system tells.
enum class OpenFailure {
    None,
    Missing,    // there is no such device (the adapter is not plugged in, or another name)
    Permission, // the user may not open it
    InUse,      // another program (or another copy of this one) holds it
    NotADevice, // a folder, a regular file or anything else that is not a serial line
    Other,
};

struct OpenProblem {
    OpenFailure kind = OpenFailure::None;
    std::string systemText; // the system's own words, e.g. "Permission denied"
    std::string group;      // Permission: the group that may use the device (e.g. "dialout")
    std::string what;       // NotADevice: what it is instead ("a folder", "a regular file")
};

// A serial device present on the system, for the user to choose from.
struct SerialDeviceInfo {
    std::string path;     // e.g. /dev/ttyUSB0
    std::string vendorId; // USB vendor and product, four hex digits each; empty when unknown
    std::string productId;
    std::string manufacturer; // as the USB device names itself; empty when unknown
    std::string product;
};

// The serial-port port: one device, 8 data bits, no parity, 1 stop bit. Reads follow the
// instrument's empty-read rule: a read of one byte returns within about a millisecond when no byte
// is waiting, so the reply loops count their patience in empty reads.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device for exclusive use at the given line speed; false when it cannot be opened.
    virtual bool open(const std::string& device, int baudRate) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Asserts or clears RTS; false when the device refuses (a pseudo-terminal does), which is
    // not an error for the program.
    virtual bool setRts(bool on) = 0;

    // Writes all bytes in one write; returns the number written (less on failure).
    virtual int write(std::span<const std::uint8_t> bytes) = 0;
    // Reads one byte: 1 when a byte arrived, 0 for an empty read (nothing within about 1 ms),
    // -1 when the device is gone.
    virtual int readByte(std::uint8_t& byte) = 0;

    // The operating system's text for the last failure, for messages and logs.
    virtual std::string errorText() const = 0;
    // Why the last open failed; kind None after an open that succeeded.
    virtual OpenProblem openProblem() const { return {OpenFailure::Other, errorText(), {}, {}}; }
    // The USB serial devices present (on Linux /dev/ttyUSB* and /dev/ttyACM*), sorted by path.
    virtual std::vector<SerialDeviceInfo> presentDevices() const { return {}; }

    // Whether the line settings of the last open were accepted by the device. A device can open and
    // still refuse a setting; the program then goes on with whatever the device accepted.
    virtual bool lineSettingsApplied() const { return true; }
    // Drops whatever has arrived and not been read yet, without waiting. Called before a command
    // whose reply is awaited, so that the rest of an oversized or late reply cannot shift every
    // later reply out of step.
    virtual void discardInput() {}
    // A reply of `count` bytes is awaited (reads follow). A port may then, once the reply has begun,
    // wait for the line time of the bytes still missing instead of waking for every fragment the
    // adapter delivers; reads with nothing at all waiting still give up after about 1 ms.
    virtual void expectBytes(std::size_t count) { (void)count; }
};

} // namespace vna::platform
