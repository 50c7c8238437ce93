// Wave files as the voice folder may hold them: the kinds that play, the damage that must not,
// and the joining of files of different rates and channel counts.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/wave_file.h"

using namespace vna::platform;

namespace {

void Put(std::string& s, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) {
        s.push_back(static_cast<char>(v >> (8 * k) & 0xFF));
    }
}

// A wave file of the given format whose sample bytes are `data`, with an extra chunk before the
// sound (as recorders write them).
std::string Wave(int format, int channels, int rate, int bits, const std::string& data) {
    std::string s = "RIFF";
    Put(s, static_cast<std::uint32_t>(4 + 24 + 14 + 8 + data.size()), 4);
    s += "WAVEfmt ";
    Put(s, 16, 4);
    Put(s, static_cast<std::uint32_t>(format), 2);
    Put(s, static_cast<std::uint32_t>(channels), 2);
    Put(s, static_cast<std::uint32_t>(rate), 4);
    Put(s, static_cast<std::uint32_t>(rate * channels * bits / 8), 4);
    Put(s, static_cast<std::uint32_t>(channels * bits / 8), 2);
    Put(s, static_cast<std::uint32_t>(bits), 2);
    s += "LIST";
    Put(s, 5, 4);
    s += "INFOx";
    s.push_back('\0'); // pad byte of the odd chunk
    s += "data";
    Put(s, static_cast<std::uint32_t>(data.size()), 4);
    return s + data;
}

} // namespace

TEST(WaveFile, EveryPlayableKindReadsAsSixteenBitSamples) {
    std::string problem;
    // The same two samples, +0.5 and -0.25 of full scale, in each kind.
    std::string pcm8, pcm16, pcm24, pcm32, fl;
    Put(pcm8, 192, 1);
    Put(pcm8, 96, 1);
    Put(pcm16, 16384, 2);
    Put(pcm16, static_cast<std::uint16_t>(-8192), 2);
    Put(pcm24, 16384u << 8, 3);
    Put(pcm24, static_cast<std::uint32_t>(-8192 * 256) & 0xFFFFFF, 3);
    Put(pcm32, 16384u << 16, 4);
    Put(pcm32, static_cast<std::uint32_t>(-8192 * 65536), 4);
    for (float f : {0.5f, -0.25f}) {
        std::uint32_t raw = 0;
        std::memcpy(&raw, &f, 4);
        Put(fl, raw, 4);
    }
    const std::pair<std::string, int> kinds[] = {
        {Wave(1, 1, 8000, 8, pcm8), 8},    {Wave(1, 1, 8000, 16, pcm16), 16},
        {Wave(1, 1, 8000, 24, pcm24), 24}, {Wave(1, 1, 8000, 32, pcm32), 32},
        {Wave(3, 1, 8000, 32, fl), 32},
    };
    for (const auto& [bytes, bits] : kinds) {
        const auto w = ParseWave(bytes, problem);
        ASSERT_TRUE(w) << bits << " bits: " << problem;
        ASSERT_EQ(w->samples.size(), 2u);
        EXPECT_NEAR(w->samples[0], 16384, 2) << bits;
        EXPECT_NEAR(w->samples[1], -8192, 2) << bits;
        EXPECT_EQ(w->sampleRate, 8000);
    }
    // What the program writes reads back the same.
    WaveSound s;
    s.channels = 2;
    s.sampleRate = 44100;
    s.samples = {1, -1, 32767, -32768};
    const auto back = ParseWave(WaveBytes(s), problem);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->samples, s.samples);
    EXPECT_EQ(back->channels, 2);
    // A cut-off recording plays what it has.
    const std::string cut =
        Wave(1, 1, 8000, 16, pcm16 + pcm16).substr(0, Wave(1, 1, 8000, 16, pcm16).size() + 3);
    const auto part = ParseWave(cut, problem);
    ASSERT_TRUE(part) << problem;
    EXPECT_EQ(part->samples.size(), 3u);
}

TEST(WaveFile, DamagedOrForeignFilesAreRefusedWithoutHarm) {
    std::string problem;
    std::string pcm16(400, '\x10');
    const std::string good = Wave(1, 1, 22050, 16, pcm16);
    const std::string bad[] = {
        "",
        "RIFF",
        "not a wave file at all, just some text in a file named zero.wav",
        Wave(2, 1, 22050, 4, pcm16),                               // compressed (ADPCM)
        Wave(1, 0, 22050, 16, pcm16),                              // no channels
        Wave(1, 1, 5, 16, pcm16),                                  // an absurd rate
        Wave(1, 1, 22050, 16, ""),                                 // no sound
        good.substr(0, 40),                                        // the header only
        std::string("RIFF\x04\0\0\0WAVEdata\xff\xff\xff\xff", 20), // data before the format
    };
    for (const std::string& b : bad) {
        problem.clear();
        EXPECT_FALSE(ParseWave(b, problem)) << b.size();
        EXPECT_FALSE(problem.empty());
    }
    EXPECT_FALSE(ReadWaveFile("/nonexistent/zero.wav", problem));
    // Random damage to a good file never reads outside it (run under the sanitizers too).
    std::mt19937 rng(7);
    for (int k = 0; k < 3000; ++k) {
        std::string b = good;
        for (int e = 0; e < 4; ++e) {
            b[rng() % 48] = static_cast<char>(rng());
        }
        b.resize(rng() % (b.size() + 1));
        const auto w = ParseWave(b, problem);
        if (w) {
            EXPECT_LE(w->samples.size(), b.size());
        }
    }
}

TEST(WaveFile, JoiningBringsEachFileToTheFirstOnesRateAndChannels) {
    WaveSound joined;
    WaveSound mono;
    mono.sampleRate = 22050;
    mono.samples = {0, 100, 200, 300};
    AppendWave(joined, mono);
    EXPECT_EQ(joined.samples, mono.samples);
    EXPECT_EQ(joined.sampleRate, 22050);

    // Stereo at twice the rate: every other frame, the mean of its channels.
    WaveSound stereo;
    stereo.channels = 2;
    stereo.sampleRate = 44100;
    stereo.samples = {10, 30, 11, 31, 50, 70, 51, 71};
    AppendWave(joined, stereo);
    EXPECT_EQ(joined.samples, (std::vector<std::int16_t>{0, 100, 200, 300, 20, 60}));
    EXPECT_NEAR(joined.seconds(), 6 / 22050.0, 1e-12);
}
