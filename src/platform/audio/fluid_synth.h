#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/sound.h"
#include "platform/wave_file.h"

namespace vna::platform::audio {

// The sound font of the program's own synthesizer: the file named by VNA_SOUNDFONT when it
// exists, else the system's General MIDI sound font (Debian's default-GM.sf2, which the package
// timgm6mb-soundfont provides). Empty when there is none.
std::string FindSoundFont(const char* (*getenv)(const char*));

// The program's own General MIDI synthesizer, so that the tone sounds on a desktop that has no
// MIDI synthesizer of its own: it plays through the desktop's sound output, or renders into
// samples when there is no output (a file, a test).
class FluidSynth {
public:
    static constexpr int SampleRate = 44100;

    FluidSynth();
    ~FluidSynth();
    FluidSynth(const FluidSynth&) = delete;
    FluidSynth& operator=(const FluidSynth&) = delete;

    // False, and why in problem(), when the file is not a sound font.
    bool loadSoundFont(const std::string& path);
    // Plays through the desktop's sound server (PulseAudio, which PipeWire serves too) or ALSA;
    // false when the machine has neither, at once and without a word on the terminal.
    bool startOutput();
    // A MIDI short message packed as status | data1 << 8 | data2 << 16.
    void send(std::uint32_t message);
    // The left-channel word of a MIDI volume (0 to 0xFFFF) as the synthesizer's gain.
    void setVolume(int volume);
    // Appends `seconds` of what the synthesizer plays, stereo at SampleRate, to `into`. Only
    // without an output, which would take the samples itself.
    void render(double seconds, WaveSound& into);
    const std::string& problem() const { return problem_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string problem_;
};

// A sound output whose MIDI goes to the own synthesizer without playing it: the samples are
// rendered on request. It plays no wave files.
class RenderingSound final : public Sound {
public:
    explicit RenderingSound(std::string soundFont) : soundFont_(std::move(soundFont)) {}

    bool playWave(std::string_view) override { return false; }
    bool midiOpen() override;
    void midiVolume(int volume) override;
    void midiShortMessage(std::uint32_t message) override;
    void midiClose() override { synth_.reset(); }

    // Appends `seconds` of the sound to `into`; nothing while the MIDI output is closed.
    void render(double seconds, WaveSound& into);
    std::string problem() const;

private:
    std::string soundFont_;
    std::unique_ptr<FluidSynth> synth_;
    std::string problem_;
};

} // namespace vna::platform::audio
