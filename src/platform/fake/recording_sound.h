#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/sound.h"

namespace vna::platform::fake {

// Records what would have been played, for the audio tests; also the silent sound of a program
// that has no sound output.
class RecordingSound final : public Sound {
public:
    std::vector<std::string> played; // every file asked for, in order, also those that failed
    std::vector<std::uint32_t> midi;
    bool midiIsOpen = false;
    int volume = -1;
    // A machine without a MIDI output, and files that cannot be played (missing or damaged).
    bool midiAvailable = true;
    std::vector<std::string> unplayable;

    bool playWave(std::string_view path) override {
        played.emplace_back(path);
        return std::find(unplayable.begin(), unplayable.end(), path) == unplayable.end();
    }
    bool midiOpen() override {
        midiIsOpen = midiAvailable;
        return midiIsOpen;
    }
    void midiVolume(int v) override { volume = v; }
    void midiShortMessage(std::uint32_t message) override { midi.push_back(message); }
    void midiClose() override { midiIsOpen = false; }
};

} // namespace vna::platform::fake
