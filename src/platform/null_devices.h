#pragma once

#include <string>

#include "platform/serial_port.h"
#include "platform/sound.h"

namespace vna::platform {

// A serial port that cannot be opened: the device of a program run that has no serial support.
class NoSerialPort final : public SerialPort {
public:
    bool open(const std::string&, int) override { return false; }
    bool isOpen() const override { return false; }
    void close() override {}
    bool setRts(bool) override { return false; }
    int write(std::span<const std::uint8_t>) override { return 0; }
    int readByte(std::uint8_t&) override { return -1; }
    std::string errorText() const override { return "no serial port support"; }
};

// Sound output of a machine without a sound device: plays nothing, reports failure.
class NoSound final : public Sound {
public:
    bool playWave(std::string_view) override { return false; }
    bool midiOpen() override { return false; }
    void midiVolume(int) override {}
    void midiShortMessage(std::uint32_t) override {}
    void midiClose() override {}
};

} // namespace vna::platform
