#include "platform/audio/desktop_sound.h"

namespace vna::platform::audio {

MidiChoice MidiChoiceFromEnvironment(const char* (*getenv)(const char*)) {
    MidiChoice c;
    if (getenv) {
        if (const char* port = getenv("VNA_MIDI_PORT"); port && *port) {
            c.port = port;
        }
    }
    c.soundFont = FindSoundFont(getenv);
    return c;
}

DesktopSound::DesktopSound(MidiChoice choice, WavePlayer playWave)
    : choice_(std::move(choice)), playWave_(std::move(playWave)) {}

DesktopSound::~DesktopSound() {
    midiClose();
}

bool DesktopSound::playWave(std::string_view path) {
    return playWave_ && playWave_(path);
}

bool DesktopSound::midiOpen() {
    midiClose();
    problem_.clear();
    const bool ownOnly = choice_.port == "synth";
    if (!choice_.port.empty() && !ownOnly) {
        port_ = std::make_unique<ExternalMidiPort>();
        if (port_->open(choice_.port)) {
            return true;
        }
        problem_ = port_->problem() + "; ";
        port_.reset();
    }
    synth_ = std::make_unique<FluidSynth>();
    // The output first: without one, loading the sound font would be wasted.
    if (synth_->startOutput() && synth_->loadSoundFont(choice_.soundFont)) {
        return true;
    }
    problem_ += synth_->problem();
    synth_.reset();
    if (choice_.port.empty()) {
        port_ = std::make_unique<ExternalMidiPort>();
        if (port_->open("")) {
            return true;
        }
        problem_ += "; " + port_->problem();
        port_.reset();
    }
    return false;
}

void DesktopSound::midiVolume(int volume) {
    if (synth_) {
        synth_->setVolume(volume);
    } else if (port_) {
        // An external synthesizer takes the volume as its channel volume.
        port_->send(0xB0u | 7u << 8 | static_cast<std::uint32_t>((volume & 0xFFFF) >> 9) << 16);
    }
}

void DesktopSound::midiShortMessage(std::uint32_t message) {
    if (synth_) {
        synth_->send(message);
    } else if (port_) {
        port_->send(message);
    }
}

void DesktopSound::midiClose() {
    synth_.reset();
    port_.reset();
}

std::string DesktopSound::describe() const {
    if (synth_) {
        return "the program's synthesizer with " + choice_.soundFont;
    }
    if (port_) {
        return "the MIDI port " + port_->name();
    }
    return problem_.empty() ? "no MIDI output open" : problem_;
}

} // namespace vna::platform::audio
