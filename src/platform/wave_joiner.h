#pragma once

#include <string>
#include <vector>

#include "platform/sound.h"
#include "platform/wave_file.h"

namespace vna::platform {

// A sound output that plays into one wave: every file played is appended to `joined`, in order,
// so what a program would say can be written to a file. It has no MIDI output.
class WaveJoiner final : public Sound {
public:
    WaveSound joined;
    // The files that could not be played, each with why.
    std::vector<std::string> problems;

    bool playWave(std::string_view path) override {
        std::string problem;
        const auto sound = ReadWaveFile(std::string(path), problem);
        if (!sound) {
            problems.push_back(std::string(path) + ": " + problem);
            return false;
        }
        AppendWave(joined, *sound);
        return true;
    }
    bool midiOpen() override { return false; }
    void midiVolume(int) override {}
    void midiShortMessage(std::uint32_t) override {}
    void midiClose() override {}
};

} // namespace vna::platform
