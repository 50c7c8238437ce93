// vna-cli's audio commands: the SWR tone and the spoken SWR into wave files, and the point-data
// display on the terminal with its sound.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>

#include "app/cli.h"
#include "app/cli_stop.h"
#include "audio/tone.h"
#include "audio/voice.h"
#include "cal/cal_file.h"
#include "commands/startup.h"
#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "measure/averaging.h"
#include "measure/point_data.h"
#include "platform/audio/fluid_synth.h"
#include "platform/wave_joiner.h"

namespace vna::app {

namespace {

// The release of the note after its end, so the file does not end in a click.
constexpr double ReleaseSeconds = 0.5;
// The terminal gets at most this many readings a second.
constexpr int ReadingsPerSecond = 10;

const char* GetEnv(const char* name) {
    return std::getenv(name);
}

// The program's settings on another sound output: the audio code runs unchanged on a sound that
// renders or joins into a file.
std::unique_ptr<core::Program> WithSound(core::Program& p, platform::Sound& sound) {
    auto q = std::make_unique<core::Program>(core::Platform{p.ui, p.clock, p.serial, p.registry, sound});
    q->st = p.st;
    return q;
}

bool WriteWave(const std::string& path, const platform::WaveSound& sound, std::FILE* err) {
    std::string why;
    if (!core::WriteFileAtomic(path, platform::WaveBytes(sound), &why)) {
        Fail(err, 1, path + " cannot be written: " + why);
        return false;
    }
    return true;
}

double NoteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

} // namespace

int ToneToWave(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    platform::audio::RenderingSound synth(platform::audio::FindSoundFont(GetEnv));
    auto q = WithSound(p, synth);
    core::AppState& st = q->st;
    audio::OpenTone(*q);
    if (!st.MidiOut) {
        return Fail(err, 1, "the synthesizer cannot sound: " + synth.problem());
    }
    // The tone as the point-data display sounds it when switched on at this SWR.
    st.CurrentSwr = o.swr;
    st.ToneOn = 1;
    st.ToneFirst = 1;
    audio::UpdateTone(*q);
    platform::WaveSound wave;
    synth.render(o.seconds, wave);
    // The release is rendered before the output closes: closing drops the synthesizer.
    audio::SilenceTone(*q);
    synth.render(ReleaseSeconds, wave);
    audio::CloseTone(*q);
    if (!WriteWave(o.output, wave, err)) {
        return 1;
    }
    std::fprintf(out, "wrote:       %s (%.1f s)\n", o.output.c_str(), wave.seconds());
    std::fprintf(out, "tone:        SWR %.3f, MIDI note %d (%.2f Hz), program %d\n", o.swr, st.ToneNote,
                 NoteHz(st.ToneNote), st.ToneProgram);
    return 0;
}

int SpeakToWave(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    platform::WaveJoiner joiner;
    auto q = WithSound(p, joiner);
    core::AppState& st = q->st;
    audio::InstallVoiceFiles(st);
    if (o.decimals) {
        st.voiceDecimals = o.decimals;
    }
    // The first reading of a point-data display.
    audio::BeginPointFeedback(*q);
    st.CurrentSwr = o.swr;
    audio::SpeakSwr(*q);
    const std::string folder = audio::VoiceFolder(st);
    for (const std::string& problem : joiner.problems) {
        std::fprintf(err, "vna-cli: %s (passed over)\n", problem.c_str());
    }
    if (joiner.joined.samples.empty()) {
        return Fail(err, 1, "no voice file of " + folder + " could be played");
    }
    if (!WriteWave(o.output, joiner.joined, err)) {
        return 1;
    }
    std::string words;
    for (const std::string& name : audio::SpokenFiles(st.LastSpoken, st.voiceDecimals == 2 ? 2 : 1)) {
        words += (words.empty() ? "" : " ") + name.substr(0, name.size() - 4);
    }
    std::fprintf(out, "wrote:       %s (%.1f s)\n", o.output.c_str(), joiner.joined.seconds());
    std::fprintf(out, "spoken:      %s, from %s\n", words.c_str(), folder.c_str());
    if (!joiner.problems.empty()) {
        return Fail(err, 1, std::to_string(joiner.problems.size()) + " voice file(s) could not be played");
    }
    return 0;
}

int MonitorPoint(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    core::AppState& st = p.st;
    commands::ResetInstrumentSettings(p);
    if (const int code = LoadCalOfOptions(p, o, err)) {
        return code;
    }
    if (!st.porta_cal_ok) {
        std::fprintf(err, "vna-cli: no Port A calibration: the readings are not corrected\n");
    }
    if (o.average > 0) {
        measure::ApplyAveraging(p, o.average);
    }
    if (o.decimals) {
        st.voiceDecimals = o.decimals;
    }
    st.voice = o.voice ? 1 : 0;
    if (o.voice) {
        audio::InstallVoiceFiles(st);
    }
    if (o.tone) {
        audio::OpenTone(p);
        // Says so when there is no tone output; the readings go on without it.
        audio::ToggleTone(p);
    }
    const StopSignals signals;
    std::fprintf(err, "Readings at %.6f MHz. Press Enter to stop.\n", o.freq);
    std::fflush(err);
    audio::BeginPointFeedback(p);
    instrument::SetRelays(p, 3);
    int failure = 0;
    for (;;) {
        const auto started = std::chrono::steady_clock::now();
        if (!measure::TakePointReading(p, o.freq)) {
            failure = st.LastError;
            break;
        }
        const core::ScanPoint& pt = p.point;
        std::fprintf(out, "%.6f MHz  SWR %8.3f  Rs %9.2f  Xs %9.2f  |Z| %9.2f  phase %7.2f deg  RL %6.2f dB",
                     st.freq, pt.swr, pt.rs, pt.xs, pt.zmag, pt.zphase * 57.29578, pt.return_loss);
        audio::AfterPointReading(p);
        if (st.ToneOn) {
            std::fprintf(out, "  note %d", st.ToneNote);
        }
        std::fprintf(out, "\n");
        std::fflush(out);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
                .count();
        if (EnterOrSignal(std::max(0, 1000 / ReadingsPerSecond - static_cast<int>(took)))) {
            break;
        }
    }
    st.Measuring = 0;
    audio::CloseTone(p);
    instrument::SetRelays(p, 0);
    if (failure != 0) {
        return Fail(err, failure,
                    "no reading at " + core::NumText(o.freq, 6) + " MHz: the readings have stopped");
    }
    return 0;
}

} // namespace vna::app
