#include "platform/wave_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace vna::platform {

namespace {

constexpr int FormatPcm = 1;
constexpr int FormatFloat = 3;
constexpr int FormatExtensible = 0xFFFE;
// Larger files are no voice samples: reading one would only fill the memory.
constexpr std::size_t LargestFile = 64u * 1024 * 1024;

std::uint32_t Le(std::string_view b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) {
        v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(k)]);
    }
    return v;
}

void PutLe(std::string& out, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) {
        out.push_back(static_cast<char>(v >> (8 * k) & 0xFF));
    }
}

std::int16_t Clip16(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

// One sample of `bits` bits at `at`, as a 16-bit value.
std::int16_t Sample(std::string_view b, std::size_t at, int format, int bits) {
    if (format == FormatFloat) {
        const std::uint32_t raw = Le(b, at, 4);
        float f = 0;
        std::memcpy(&f, &raw, sizeof f);
        return std::isfinite(f) ? Clip16(static_cast<double>(f) * 32767.0) : 0;
    }
    switch (bits) {
        case 8:
            return static_cast<std::int16_t>((static_cast<int>(Le(b, at, 1)) - 128) * 256);
        case 16:
            return static_cast<std::int16_t>(Le(b, at, 2));
        case 24:
            return static_cast<std::int16_t>(Le(b, at + 1, 2));
        default:
            return static_cast<std::int16_t>(Le(b, at + 2, 2));
    }
}

} // namespace

std::optional<WaveSound> ParseWave(std::string_view b, std::string& problem) {
    if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") {
        problem = "not a wave file";
        return std::nullopt;
    }
    int format = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0, align = 0;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string_view id = b.substr(at, 4);
        const std::size_t size = Le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > b.size()) {
                problem = "damaged format chunk";
                return std::nullopt;
            }
            format = static_cast<int>(Le(b, body, 2));
            channels = static_cast<int>(Le(b, body + 2, 2));
            rate = Le(b, body + 4, 4);
            align = Le(b, body + 12, 2);
            bits = static_cast<int>(Le(b, body + 14, 2));
            if (format == FormatExtensible && size >= 40 && body + 26 <= b.size()) {
                // The sub-format GUID begins with the plain format code.
                format = static_cast<int>(Le(b, body + 24, 2));
            }
            const bool pcm = format == FormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            const bool fl = format == FormatFloat && bits == 32;
            if (!(pcm || fl) || channels < 1 || channels > 8 || rate < 1000 || rate > 384000 ||
                align != static_cast<std::uint32_t>(channels * bits / 8)) {
                problem = "a kind of wave file that cannot be played (format " + std::to_string(format) +
                          ", " + std::to_string(bits) + " bits, " + std::to_string(channels) + " channels)";
                return std::nullopt;
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                problem = "sound data before the format";
                return std::nullopt;
            }
            const std::size_t available = std::min(size, b.size() - body);
            const std::size_t frames = available / align;
            if (frames == 0) {
                problem = "no sound in the file";
                return std::nullopt;
            }
            WaveSound w;
            w.channels = channels;
            w.sampleRate = static_cast<int>(rate);
            w.samples.reserve(frames * static_cast<std::size_t>(channels));
            const std::size_t step = static_cast<std::size_t>(bits / 8);
            for (std::size_t k = 0; k < frames * static_cast<std::size_t>(channels); ++k) {
                w.samples.push_back(Sample(b, body + k * step, format, bits));
            }
            return w;
        }
        // Chunks are padded to an even length.
        if (size > b.size()) {
            break;
        }
        at = body + size + (size & 1);
    }
    problem = haveFormat ? "no sound data in the file" : "no format chunk in the file";
    return std::nullopt;
}

std::optional<WaveSound> ReadWaveFile(const std::string& path, std::string& problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = "the file cannot be opened";
        return std::nullopt;
    }
    // The size first: a buffer of the largest size for every word would cost more time than the
    // word takes to speak.
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > LargestFile) {
        problem = size < 0 ? "the file cannot be read" : "the file is too large for a voice sample";
        return std::nullopt;
    }
    in.seekg(0, std::ios::beg);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return ParseWave(bytes, problem);
}

std::string WaveBytes(const WaveSound& sound) {
    const auto data = static_cast<std::uint32_t>(sound.samples.size() * 2);
    const auto channels = static_cast<std::uint32_t>(sound.channels);
    const auto rate = static_cast<std::uint32_t>(sound.sampleRate);
    std::string out;
    out.reserve(44 + data);
    out += "RIFF";
    PutLe(out, 36 + data, 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, FormatPcm, 2);
    PutLe(out, channels, 2);
    PutLe(out, rate, 4);
    PutLe(out, rate * channels * 2, 4);
    PutLe(out, channels * 2, 2);
    PutLe(out, 16, 2);
    out += "data";
    PutLe(out, data, 4);
    for (const std::int16_t s : sound.samples) {
        PutLe(out, static_cast<std::uint16_t>(s), 2);
    }
    return out;
}

void AppendWave(WaveSound& into, const WaveSound& more) {
    if (into.samples.empty()) {
        into.channels = more.channels;
        into.sampleRate = more.sampleRate;
    }
    const std::size_t inFrames = more.frames();
    if (inFrames == 0) {
        return;
    }
    // Linear interpolation between the frames of `more`, each output channel taken from the
    // same channel of `more` or, when it has fewer, from its mean.
    const double ratio = static_cast<double>(more.sampleRate) / into.sampleRate;
    const auto outFrames = static_cast<std::size_t>(std::floor((inFrames - 1) / ratio)) + 1;
    auto value = [&](std::size_t frame, int channel) -> double {
        const std::size_t base = frame * static_cast<std::size_t>(more.channels);
        if (channel < more.channels && into.channels == more.channels) {
            return more.samples[base + static_cast<std::size_t>(channel)];
        }
        double sum = 0;
        for (int c = 0; c < more.channels; ++c) {
            sum += more.samples[base + static_cast<std::size_t>(c)];
        }
        return sum / more.channels;
    };
    for (std::size_t k = 0; k < outFrames; ++k) {
        const double pos = static_cast<double>(k) * ratio;
        const auto i = std::min(static_cast<std::size_t>(pos), inFrames - 1);
        const std::size_t j = std::min(i + 1, inFrames - 1);
        const double f = pos - static_cast<double>(i);
        for (int c = 0; c < into.channels; ++c) {
            into.samples.push_back(Clip16(value(i, c) * (1 - f) + value(j, c) * f));
        }
    }
}

} // namespace vna::platform
