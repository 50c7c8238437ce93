#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/audio/external_midi.h"
#include "platform/audio/fluid_synth.h"
#include "platform/sound.h"

namespace vna::platform::audio {

// Where the MIDI of the tone goes.
struct MidiChoice {
    // An external port by number or a part of its name (VNA_MIDI_PORT); "synth" for the own
    // synthesizer only; empty for the own synthesizer, or the first external port when the own
    // one cannot sound.
    std::string port;
    std::string soundFont; // FindSoundFont
};

MidiChoice MidiChoiceFromEnvironment(const char* (*getenv)(const char*));

// The sound of the program on a desktop: wave files through the player it is given (the
// toolkit's), MIDI through the port chosen. Nothing is opened before the program asks.
class DesktopSound final : public Sound {
public:
    using WavePlayer = std::function<bool(std::string_view path)>;

    DesktopSound(MidiChoice choice, WavePlayer playWave);
    ~DesktopSound() override;

    bool playWave(std::string_view path) override;
    // A configured port first (falling back to the own synthesizer when it is not there), else
    // the own synthesizer, else (unless "synth" was asked for) the first external port.
    bool midiOpen() override;
    void midiVolume(int volume) override;
    void midiShortMessage(std::uint32_t message) override;
    void midiClose() override;

    // What the MIDI goes to now, or why it could not open.
    std::string describe() const;

private:
    MidiChoice choice_;
    WavePlayer playWave_;
    std::unique_ptr<FluidSynth> synth_;
    std::unique_ptr<ExternalMidiPort> port_;
    std::string problem_;
};

} // namespace vna::platform::audio
