#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vna::platform {

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
