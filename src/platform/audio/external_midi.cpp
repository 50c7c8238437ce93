#include "platform/audio/external_midi.h"

#include <RtMidi.h>

#include <cctype>
#include <cstdlib>

#include "platform/audio/quiet_alsa.h"

namespace vna::platform::audio {

namespace {

#ifdef __linux__
constexpr RtMidi::Api Api = RtMidi::LINUX_ALSA;
#else
constexpr RtMidi::Api Api = RtMidi::UNSPECIFIED;
#endif

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// A new output of the system's MIDI, or nothing (and why) when the machine has none.
std::unique_ptr<RtMidiOut> NewOutput(std::string& problem) {
    if (!AlsaSequencerAvailable()) {
        problem = "the system has no MIDI (no sequencer)";
        return nullptr;
    }
    try {
        auto out = std::make_unique<RtMidiOut>(Api, "vna");
        // From here on a failure is reported, not thrown and not written to the terminal.
        out->setErrorCallback([](RtMidiError::Type, const std::string& text,
                                 void* data) { *static_cast<std::string*>(data) = text; },
                              &problem);
        return out;
    } catch (const RtMidiError& e) {
        problem = e.getMessage();
        return nullptr;
    }
}

} // namespace

ExternalMidiPort::ExternalMidiPort() = default;

ExternalMidiPort::~ExternalMidiPort() {
    close();
}

std::vector<std::string> ExternalMidiPort::PortNames() {
    std::string problem;
    std::vector<std::string> names;
    if (auto out = NewOutput(problem)) {
        const unsigned count = out->getPortCount();
        for (unsigned k = 0; k < count; ++k) {
            names.push_back(out->getPortName(k));
        }
    }
    return names;
}

bool ExternalMidiPort::open(const std::string& wanted) {
    close();
    problem_.clear();
    out_ = NewOutput(problem_);
    if (!out_) {
        return false;
    }
    const unsigned count = out_->getPortCount();
    char* end = nullptr;
    const long number = std::strtol(wanted.c_str(), &end, 10);
    const bool byNumber = !wanted.empty() && *end == '\0';
    for (unsigned k = 0; k < count; ++k) {
        const std::string portName = out_->getPortName(k);
        const std::string lower = Lower(portName);
        const bool fits = byNumber         ? static_cast<long>(k) == number
                          : wanted.empty() ? lower.find("through") == std::string::npos
                                           : lower.find(Lower(wanted)) != std::string::npos;
        if (!fits) {
            continue;
        }
        problem_.clear();
        out_->openPort(k, "VNA tone");
        if (out_->isPortOpen()) {
            name_ = portName;
            return true;
        }
    }
    if (problem_.empty()) {
        problem_ = wanted.empty() ? "no MIDI output port" : "no MIDI output port \"" + wanted + "\"";
    }
    out_.reset();
    return false;
}

void ExternalMidiPort::send(std::uint32_t message) {
    const auto status = static_cast<unsigned char>(message & 0xFF);
    if (!out_ || status < 0x80 || status >= 0xF0) {
        return;
    }
    const unsigned char bytes[3] = {status, static_cast<unsigned char>(message >> 8 & 0x7F),
                                    static_cast<unsigned char>(message >> 16 & 0x7F)};
    // Program change and channel pressure carry one data byte.
    const bool one = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
    out_->sendMessage(bytes, one ? 2 : 3);
}

void ExternalMidiPort::close() {
    if (out_) {
        out_->closePort();
        out_.reset();
    }
    name_.clear();
}

} // namespace vna::platform::audio
