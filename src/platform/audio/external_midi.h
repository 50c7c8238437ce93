#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RtMidiOut;

namespace vna::platform::audio {

// A MIDI output port of the system (a hardware synthesizer on a MIDI interface, or a software
// one that offers a port), reached through RtMidi.
class ExternalMidiPort {
public:
    ExternalMidiPort();
    ~ExternalMidiPort();
    ExternalMidiPort(const ExternalMidiPort&) = delete;
    ExternalMidiPort& operator=(const ExternalMidiPort&) = delete;

    // The names of the system's MIDI output ports; empty on a machine without MIDI.
    static std::vector<std::string> PortNames();

    // Opens the port whose number (counted from 0) or a part of whose name is `wanted`; an empty
    // `wanted` takes the first port that leads to a synthesizer (not a "Through" port, which only
    // passes the messages on). False, and why in problem(), when there is none.
    bool open(const std::string& wanted);
    void send(std::uint32_t message);
    void close();
    bool isOpen() const { return out_ != nullptr; }
    const std::string& name() const { return name_; }
    const std::string& problem() const { return problem_; }

private:
    std::unique_ptr<RtMidiOut> out_;
    std::string name_;
    std::string problem_;
};

} // namespace vna::platform::audio
