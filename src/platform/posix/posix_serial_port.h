#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/serial_port.h"

namespace vna::platform::posix {

// The serial port of code that runs without a toolkit (the library libvnactl inside a host
// program): the device opened for exclusive use with the system's own calls, raw 8N1 at any line
// speed the driver takes (115000 exactly), and the empty-read rule of about a millisecond.
class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool open(const std::string& device, int baudRate) override;
    bool isOpen() const override { return fd_ >= 0; }
    void close() override;
    bool setRts(bool on) override;
    int write(std::span<const std::uint8_t> bytes) override;
    int readByte(std::uint8_t& byte) override;
    std::string errorText() const override { return error_; }
    OpenProblem openProblem() const override { return problem_; }
    std::vector<SerialDeviceInfo> presentDevices() const override;
    bool lineSettingsApplied() const override { return settingsApplied_; }
    void discardInput() override;
    void expectBytes(std::size_t count) override;

private:
    // Reads what the device has, waiting up to the empty-read time: 1 with bytes, 0 for an empty
    // read, -1 when the device is gone.
    int fill();

    int fd_ = -1;
    int baud_ = 57600;
    bool gone_ = false;
    // The reply awaited: bytes still missing, and the moment its last byte can have crossed the
    // line at the earliest (0 once it has been waited for), from the last write.
    std::size_t expected_ = 0;
    double replyDoneEarliest_ = 0;
    double lastWriteAt_ = 0;
    std::size_t lastWriteBytes_ = 0;
    bool settingsApplied_ = true;
    std::string error_;
    OpenProblem problem_;
    std::array<std::uint8_t, 512> buffer_{};
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};

// Sets the line speed of a terminal exactly, also a rate outside the standard table; false when
// the driver refuses it.
bool SetTerminalSpeed(int fd, int baud);

} // namespace vna::platform::posix
