#pragma once

#include <cstdint>
#include <string_view>

namespace vna::platform {

// Wave playback and the MIDI synthesiser of the audio feedback.
class Sound {
public:
    virtual ~Sound() = default;
    // Plays a wave file to its end; false when it cannot be played.
    virtual bool playWave(std::string_view path) = 0;
    virtual bool midiOpen() = 0;
    virtual void midiVolume(int volume) = 0;
    // A MIDI short message packed as status | data1 << 8 | data2 << 16.
    virtual void midiShortMessage(std::uint32_t message) = 0;
    virtual void midiClose() = 0;
};

} // namespace vna::platform
