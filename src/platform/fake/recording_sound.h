#pragma once

#include <string>
#include <vector>

#include "platform/sound.h"

namespace vna::platform::fake {

// Records what would have been played, for the audio tests; also the silent sound of a program
// that has no sound output.
class RecordingSound final : public Sound {
public:
    std::vector<std::string> played;
    std::vector<std::uint32_t> midi;
    bool midiIsOpen = false;
    int volume = -1;

    bool playWave(std::string_view path) override {
        played.emplace_back(path);
        return true;
    }
    bool midiOpen() override {
        midiIsOpen = true;
        return true;
    }
    void midiVolume(int v) override { volume = v; }
    void midiShortMessage(std::uint32_t message) override { midi.push_back(message); }
    void midiClose() override { midiIsOpen = false; }
};

} // namespace vna::platform::fake
