#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/serial_port.h"

class QSerialPort;

namespace vna::platform::qt {

// The serial-port port on Qt SerialPort: real USB adapters and the simulator's pseudo-terminal
// alike. Opens exclusively, 8 data bits, no parity, one stop bit; flow control stays as the
// device reports it. A one-byte read waits at most about a millisecond when nothing is there.
//
// On POSIX systems the reads go straight to the device's descriptor (after whatever Qt itself has
// buffered): a sweep waits for thousands of replies, and Qt's own wait costs far more processor
// time per empty read than one poll().
class QtSerialPort final : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    bool open(const std::string& device, int baudRate) override;
    bool isOpen() const override;
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
    // Bytes read from the device but not yet handed out (POSIX fast path).
    std::array<std::uint8_t, 512> buffer_{};
    std::size_t bufferStart_ = 0;
    std::size_t bufferEnd_ = 0;
    std::size_t expected_ = 0; // bytes of the awaited reply not handed out yet
    int baud_ = 57600;
    // When the last command was written and how long it was: a reply cannot be complete before
    // both have crossed the line.
    double lastWriteAt_ = 0;
    std::size_t lastWriteBytes_ = 0;
    double replyDoneEarliest_ = 0;
    // How much later than the line alone explains replies have been complete, learnt as they come:
    // the pause before the first look at a reply includes it, so that one look usually finds all.
    double replyLateness_ = 0;
    double lookedAt_ = 0; // when a reply was first looked at and found incomplete; 0 otherwise

    int fillFromDevice();

    std::unique_ptr<QSerialPort> port_;
    bool settingsApplied_ = true;
    bool gone_ = false;
    std::string error_;
    OpenProblem problem_;
};

} // namespace vna::platform::qt
