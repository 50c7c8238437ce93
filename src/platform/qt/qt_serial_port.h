#pragma once

#include <memory>
#include <string>

#include "platform/serial_port.h"

class QSerialPort;

namespace vna::platform::qt {

// The serial-port port on Qt SerialPort: real USB adapters and the simulator's pseudo-terminal
// alike. Opens exclusively, 8 data bits, no parity, one stop bit; flow control stays as the
// device reports it. A one-byte read waits at most about a millisecond when nothing is there.
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
    bool lineSettingsApplied() const override { return settingsApplied_; }
    void discardInput() override;

private:
    std::unique_ptr<QSerialPort> port_;
    bool settingsApplied_ = true;
    bool gone_ = false;
    std::string error_;
};

} // namespace vna::platform::qt
