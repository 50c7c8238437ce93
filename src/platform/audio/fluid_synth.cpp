#include "platform/audio/fluid_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/audio/quiet_alsa.h"

namespace vna::platform::audio {

namespace {

// The gain of the synthesizer at full volume. The General MIDI fonts are quiet: with this gain one
// note of the tone peaks near a sixth of full scale (about -15 dB), loud enough to be heard beside
// a transmitter's fan and still far from clipping.
constexpr double FullGain = 2.0;

// FluidSynth's own log goes to the terminal; the program keeps the last error for its message.
std::mutex g_logMutex;
std::string g_lastLog;

void KeepLog(int, const char* message, void*) {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    g_lastLog = message ? message : "";
}

void QuietLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(level, KeepLog, nullptr);
        }
        SilenceAlsaMessages();
    });
}

std::string LastLog() {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    return g_lastLog;
}

} // namespace

std::string FindSoundFont(const char* (*getenv)(const char*)) {
    std::error_code ec;
    if (getenv) {
        if (const char* named = getenv("VNA_SOUNDFONT"); named && *named) {
            return named;
        }
    }
    for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
                             "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"}) {
        if (std::filesystem::is_regular_file(path, ec)) {
            return path;
        }
    }
    return {};
}

struct FluidSynth::Impl {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;

    ~Impl() {
        if (driver) {
            delete_fluid_audio_driver(driver);
        }
        if (synth) {
            delete_fluid_synth(synth);
        }
        if (settings) {
            delete_fluid_settings(settings);
        }
    }
};

FluidSynth::FluidSynth() : impl_(std::make_unique<Impl>()) {
    QuietLog();
    impl_->settings = new_fluid_settings();
    if (impl_->settings) {
        fluid_settings_setnum(impl_->settings, "synth.sample-rate", SampleRate);
        fluid_settings_setnum(impl_->settings, "synth.gain", FullGain);
        // A short tone is all it plays: no reverb tail or chorus to smear the pitch.
        fluid_settings_setint(impl_->settings, "synth.reverb.active", 0);
        fluid_settings_setint(impl_->settings, "synth.chorus.active", 0);
        impl_->synth = new_fluid_synth(impl_->settings);
    }
    if (!impl_->synth) {
        problem_ = "the synthesizer could not be made: " + LastLog();
    }
}

FluidSynth::~FluidSynth() = default;

bool FluidSynth::loadSoundFont(const std::string& path) {
    if (!impl_->synth) {
        return false;
    }
    if (path.empty()) {
        problem_ = "no General MIDI sound font (install timgm6mb-soundfont, or name one with VNA_SOUNDFONT)";
        return false;
    }
    // The kind of file is checked first: the sound-font loader has its own complaints about
    // other files, written straight to the terminal.
    char head[12] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(head, sizeof head);
    const std::string_view form(head + 8, 4);
    if (in.gcount() != sizeof head || std::string_view(head, 4) != "RIFF" ||
        (form != "sfbk" && form != "DLS ")) {
        problem_ = path + (in.is_open() ? " is not a sound font" : " cannot be opened");
        return false;
    }
    std::uint64_t riffSize = 0;
    for (int k = 7; k >= 4; --k) {
        riffSize = riffSize << 8 | static_cast<unsigned char>(head[k]);
    }
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(path, ec);
    if (ec || riffSize + 8 > fileSize) {
        problem_ = path + " is damaged (shorter than it says)";
        return false;
    }
    if (fluid_synth_sfload(impl_->synth, path.c_str(), 1) == FLUID_FAILED) {
        problem_ = path + " is not a sound font that can be loaded";
        return false;
    }
    return true;
}

bool FluidSynth::startOutput() {
    if (!impl_->synth) {
        return false;
    }
    // Never JACK: it would try to reach (or start) a server of its own.
    for (const char* driver : {"pulseaudio", "pipewire", "alsa"}) {
        if (fluid_settings_setstr(impl_->settings, "audio.driver", driver) == FLUID_FAILED) {
            continue;
        }
        impl_->driver = new_fluid_audio_driver(impl_->settings, impl_->synth);
        if (impl_->driver) {
            return true;
        }
    }
    problem_ = "no sound output (no sound server and no sound card)";
    return false;
}

void FluidSynth::send(std::uint32_t message) {
    fluid_synth_t* s = impl_->synth;
    const int status = static_cast<int>(message & 0xFF);
    if (!s || status < 0x80 || status >= 0xF0) {
        return;
    }
    const int channel = status & 0x0F;
    const int d1 = static_cast<int>(message >> 8 & 0x7F);
    const int d2 = static_cast<int>(message >> 16 & 0x7F);
    switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(s, channel, d1);
            break;
        case 0x90:
            if (d2 == 0) {
                fluid_synth_noteoff(s, channel, d1);
            } else {
                fluid_synth_noteon(s, channel, d1, d2);
            }
            break;
        case 0xA0:
            fluid_synth_key_pressure(s, channel, d1, d2);
            break;
        case 0xB0:
            fluid_synth_cc(s, channel, d1, d2);
            break;
        case 0xC0:
            fluid_synth_program_change(s, channel, d1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(s, channel, d1);
            break;
        default:
            fluid_synth_pitch_bend(s, channel, d1 | d2 << 7);
            break;
    }
}

void FluidSynth::setVolume(int volume) {
    if (impl_->synth) {
        fluid_synth_set_gain(impl_->synth, static_cast<float>(FullGain * (volume & 0xFFFF) / 65535.0));
    }
}

void FluidSynth::render(double seconds, WaveSound& into) {
    if (!impl_->synth || impl_->driver || !(seconds > 0)) {
        return;
    }
    if (into.samples.empty()) {
        into.channels = 2;
        into.sampleRate = SampleRate;
    }
    const auto frames = static_cast<int>(std::lround(std::min(seconds, 3600.0) * SampleRate));
    std::vector<std::int16_t> block(static_cast<std::size_t>(2 * 1024));
    for (int done = 0; done < frames; done += 1024) {
        const int n = std::min(1024, frames - done);
        fluid_synth_write_s16(impl_->synth, n, block.data(), 0, 2, block.data(), 1, 2);
        WaveSound part;
        part.channels = 2;
        part.sampleRate = SampleRate;
        part.samples.assign(block.begin(), block.begin() + 2 * n);
        AppendWave(into, part);
    }
}

bool RenderingSound::midiOpen() {
    synth_ = std::make_unique<FluidSynth>();
    if (!synth_->loadSoundFont(soundFont_)) {
        problem_ = synth_->problem();
        synth_.reset();
        return false;
    }
    return true;
}

void RenderingSound::midiVolume(int volume) {
    if (synth_) {
        synth_->setVolume(volume);
    }
}

void RenderingSound::midiShortMessage(std::uint32_t message) {
    if (synth_) {
        synth_->send(message);
    }
}

void RenderingSound::render(double seconds, WaveSound& into) {
    if (synth_) {
        synth_->render(seconds, into);
    }
}

std::string RenderingSound::problem() const {
    return problem_;
}

} // namespace vna::platform::audio
