#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vna::platform {

// The sound of a wave file as 16-bit samples, interleaved by channel. Every reader of the
// program's wave files (the players, the joining of spoken digits) works on this one form.
struct WaveSound {
    int channels = 1;
    int sampleRate = 22050;
    std::vector<std::int16_t> samples;

    std::size_t frames() const {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
    double seconds() const { return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0; }
};

// Reads the bytes of a RIFF WAVE file: PCM of 8, 16, 24 or 32 bits or 32-bit float, 1 to 8
// channels. A data chunk that claims more bytes than the file holds gives what is there (a
// recording that was cut off still plays). Nothing, and why in `problem`, for anything else:
// another kind of file, a damaged header, no sound at all.
std::optional<WaveSound> ParseWave(std::string_view bytes, std::string& problem);
std::optional<WaveSound> ReadWaveFile(const std::string& path, std::string& problem);

// The bytes of a 16-bit PCM wave file holding `sound`.
std::string WaveBytes(const WaveSound& sound);

// Appends `more` to `into`, brought to the channel count and sample rate of `into` (an empty
// `into` takes those of `more`).
void AppendWave(WaveSound& into, const WaveSound& more);

} // namespace vna::platform
