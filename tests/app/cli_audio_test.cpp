// vna-cli's tone and speak in-process: the SWR tone rendered by the real synthesizer, and the
// voice files joined the way the point-data display plays them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/tone.h"
#include "audio/voice.h"
#include "cli_capture.h"
#include "core/atomic_file.h"
#include "platform/audio/fluid_synth.h"
#include "platform/wave_file.h"
#include "sim/control.h"
#include "sim/sim_cal.h"
#include "support/sim_rig.h"
#include "support/test_rig.h"

using namespace vna;

namespace {

// The fundamental frequency (Hz) of `seconds` of the sound from `from` on, by the cumulative mean
// normalised difference of the signal with itself (the first lag that repeats it well), refined
// between samples by a parabola. Searches 50 Hz and up.
double Fundamental(const platform::WaveSound& w, double from, double seconds) {
    std::vector<double> x;
    const auto first = static_cast<std::size_t>(from * w.sampleRate);
    const auto count = static_cast<std::size_t>(seconds * w.sampleRate);
    for (std::size_t f = first; f < first + count && f < w.frames(); ++f) {
        double sum = 0;
        for (int c = 0; c < w.channels; ++c) {
            sum += w.samples[f * static_cast<std::size_t>(w.channels) + static_cast<std::size_t>(c)];
        }
        x.push_back(sum / w.channels);
    }
    const std::size_t maxLag = static_cast<std::size_t>(w.sampleRate / 50);
    if (x.size() < 2 * maxLag) {
        return 0;
    }
    const std::size_t n = x.size() - maxLag;
    std::vector<double> d(maxLag + 1, 0.0);
    double running = 0;
    for (std::size_t tau = 1; tau <= maxLag; ++tau) {
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double e = x[i] - x[i + tau];
            sum += e * e;
        }
        running += sum;
        d[tau] = running > 0 ? sum * static_cast<double>(tau) / running : 1;
    }
    for (std::size_t tau = 2; tau < maxLag; ++tau) {
        if (d[tau] < 0.1) {
            while (tau + 1 < maxLag && d[tau + 1] < d[tau]) {
                ++tau;
            }
            const double a = d[tau - 1], b = d[tau], c = d[tau + 1];
            const double shift = (a - c) / (2 * (a - 2 * b + c));
            return w.sampleRate / (static_cast<double>(tau) + shift);
        }
    }
    return 0;
}

} // namespace

TEST(CliAudio, TheToneOfSwr1And3And10SoundsAtItsNotesPitchThroughTheSynthesizer) {
    test::TestRig rig;
    const std::pair<double, int> cases[] = {{1, 45}, {3, 59}, {10, 74}};
    for (const auto& [swr, note] : cases) {
        const std::string file = rig.dir.file("tone.wav");
        const auto c = test::RunCliCaptured(
            rig.p(), {"tone", "--swr", std::to_string(swr), "--seconds", "1.5", "--out", file});
        ASSERT_EQ(c.status, 0) << c.err;
        EXPECT_NE(c.out.find("MIDI note " + std::to_string(note)), std::string::npos) << c.out;
        std::string problem;
        const auto w = platform::ReadWaveFile(file, problem);
        ASSERT_TRUE(w) << problem;
        EXPECT_NEAR(w->seconds(), 2.0, 0.01) << "the note and its release";
        int peak = 0;
        for (const std::int16_t s : w->samples) {
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
        EXPECT_GT(peak, 1000) << "SWR " << swr << ": the note is heard";
        EXPECT_LT(peak, 32767) << "SWR " << swr << ": and not clipped";
        const double expected = 440 * std::pow(2.0, (note - 69) / 12.0);
        const double found = Fundamental(*w, 0.3, 1.0);
        EXPECT_NEAR(found / expected, 1.0, 0.01) << "SWR " << swr << ": note " << note << " is " << expected
                                                 << " Hz, the synthesizer played " << found;
    }

    // A sound font named that is none, or one cut short, is refused with why (before the loader
    // could complain on the terminal), and no file is written.
    const std::string cut = rig.dir.file("cut.sf2");
    const std::string bad = rig.dir.file("bad.sf2");
    test::WriteFile(cut, test::ReadFile(platform::audio::FindSoundFont(nullptr)).substr(0, 100000));
    test::WriteFile(bad, "not a sound font");
    const std::pair<std::string, std::string> fonts[] = {{cut, " is damaged (shorter than it says)\n"},
                                                         {bad, " is not a sound font\n"}};
    for (const auto& [font, why] : fonts) {
        ::setenv("VNA_SOUNDFONT", font.c_str(), 1);
        const auto c = test::RunCliCaptured(rig.p(), {"tone", "--swr", "2", "--out", rig.dir.file("no.wav")});
        ::unsetenv("VNA_SOUNDFONT");
        EXPECT_EQ(c.status, 1);
        EXPECT_NE(c.err.find("the synthesizer cannot sound: " + font + why), std::string::npos) << c.err;
        EXPECT_FALSE(core::FileExists(rig.dir.file("no.wav")));
    }
}

TEST(CliAudio, SpeakJoinsTheVoiceFilesThePointDataDisplayWouldPlay) {
    test::TestRig rig;
    const std::string file = rig.dir.file("spoken.wav");
    auto c = test::RunCliCaptured(rig.p(), {"speak", "--swr", "12.3", "--out", file});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.out.find("spoken:      one two point three, from " + rig.dir.folder() + "voice/"),
              std::string::npos)
        << c.out;
    std::string problem;
    auto shipped = [&](int k) { return *platform::ParseWave(audio::ShippedVoiceFiles()[k].bytes, problem); };
    platform::WaveSound expected;
    for (int k : {1, 2, 10, 3}) {
        platform::AppendWave(expected, shipped(k));
    }
    auto w = platform::ReadWaveFile(file, problem);
    ASSERT_TRUE(w) << problem;
    EXPECT_EQ(w->samples, expected.samples);

    c = test::RunCliCaptured(rig.p(), {"speak", "--swr", "1.47", "--decimals", "2", "--out", file});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.out.find("spoken:      one point four seven"), std::string::npos) << c.out;

    // A damaged voice file (the user's, so it stays) is passed over: the rest is still written.
    test::WriteFile(rig.dir.folder() + "voice/point.wav", "RIFF....WAVE");
    c = test::RunCliCaptured(rig.p(), {"speak", "--swr", "12.3", "--out", file});
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.err.find("voice/point.wav: no format chunk in the file (passed over)"), std::string::npos)
        << c.err;
    w = platform::ReadWaveFile(file, problem);
    ASSERT_TRUE(w) << problem;
    expected = {};
    for (int k : {1, 2, 3}) {
        platform::AppendWave(expected, shipped(k));
    }
    EXPECT_EQ(w->samples, expected.samples);
}

TEST(CliAudio, MonitorPrintsEachReadingWithItsToneAndSpeaksUntilASignal) {
    test::SimRig rig;
    ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut resistor:r=150", 0).ok);
    const std::string cal = rig.dir.file("unit.acal");
    ASSERT_TRUE(sim::WriteUnitCalFile(rig.serial.unit, cal, rig.clock.now()));
    // Every tone update pauses through the event pump: the device changes after three readings
    // and SIGINT arrives after six, as a user would press Ctrl+C.
    const long start = rig.serial.unit.state().measurements;
    int phase = 0;
    rig.ui.onPump = [&](int) {
        const long n = rig.serial.unit.state().measurements - start;
        if (phase == 0 && n >= 3) {
            ASSERT_TRUE(sim::ApplyControl(rig.serial.unit, "dut resistor:r=500", 0).ok);
            phase = 1;
        } else if (phase == 1 && n >= 6) {
            std::raise(SIGINT);
            phase = 2;
        }
    };
    const auto c = test::RunCliCaptured(
        rig.p(), {"--serial", "sim", "monitor", "--freq", "10", "--tone", "--voice", "--cal", cal});
    rig.ui.onPump = nullptr;
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(phase, 2);
    EXPECT_NE(c.out.find("SWR    3.0"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("note 59\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("note 74\n"), std::string::npos) << c.out;
    // One line a reading, and the signal ends them at once.
    const auto lines = std::count(c.out.begin(), c.out.end(), '\n');
    EXPECT_GE(lines, 4) << c.out;
    EXPECT_LE(lines, 6) << c.out;
    const std::string v = rig.dir.folder() + "voice/";
    ASSERT_GE(rig.sound.played.size(), 6u);
    EXPECT_EQ(rig.sound.played[0], v + "three.wav");
    // The tone is silenced and closed, the relays are off.
    ASSERT_FALSE(rig.sound.midi.empty());
    EXPECT_EQ(rig.sound.midi.back(), audio::NoteOff(74));
    EXPECT_FALSE(rig.sound.midiIsOpen);
    EXPECT_FALSE(rig.serial.unit.state().relay0);
}
