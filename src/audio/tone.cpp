#include "audio/tone.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "audio/voice.h"
#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"

namespace vna::audio {

namespace {

constexpr int FullVolume = 0xFFFF;
constexpr int TonePause = 100; // ms after each update

// ln(SWR) of a reading; a value below 1 (or none at all) counts as a perfect match.
double LnSwr(double swr) {
    return swr > 1 ? std::log(std::min(swr, 1e6)) : 0.0;
}

// One entry of the SWR Tone dialog: the number typed, or nothing when the user cancelled (stop)
// or typed something else (the entry parser has said so; the setting stays).
struct Entry {
    bool cancelled = false;
    std::optional<double> value;
};

Entry Ask(core::Program& p, const char* prompt, std::int32_t current) {
    const std::string caption = " SWR Tone";
    const auto text = p.ui.enterText(prompt, caption, core::NumText(current, 0));
    if (!text) {
        return {true, std::nullopt};
    }
    return {false, core::ParseEntry(p, *text, caption)};
}

std::int32_t RoundedUp(double v) {
    return static_cast<std::int32_t>(std::lround(v + 0.49));
}

} // namespace

int ToneNoteFor(const core::AppState& st, double swr) {
    const double lo = st.swrminfreq;
    const double hi = st.swrmaxfreq;
    // A highest SWR of 1 or less cannot span a scale; the dialog's lowest value stands in for it.
    const double top = st.swrmax > 1 ? st.swrmax : 2;
    double t = std::round(lo + (hi - lo) * LnSwr(swr) / std::log(top));
    if (t < lo) {
        t = lo;
    }
    if (t > hi) {
        t = hi;
    }
    return static_cast<int>(std::clamp(t + NoteOffset, 0.0, 127.0));
}

void OpenTone(core::Program& p) {
    core::AppState& st = p.st;
    st.MidiOut = p.sound.midiOpen() ? 1 : 0;
    if (!st.MidiOut) {
        return;
    }
    p.sound.midiVolume(FullVolume);
    st.ToneProgram = TheToneProgram;
    p.sound.midiShortMessage(ProgramChange(st.ToneProgram));
}

void CloseTone(core::Program& p) {
    SilenceTone(p);
    if (p.st.MidiOut) {
        p.sound.midiClose();
    }
    p.st.MidiOut = 0;
    p.st.ToneOn = 0;
}

void SoundNote(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.MidiOut) {
        return;
    }
    p.sound.midiShortMessage(NoteOff(st.ToneNote));
    st.SoundingNote = st.ToneNote;
    p.sound.midiShortMessage(ProgramChange(st.ToneProgram));
    p.sound.midiShortMessage(NoteOn(st.ToneNote));
}

void SilenceTone(core::Program& p) {
    if (p.st.MidiOut) {
        p.sound.midiShortMessage(NoteOff(p.st.SoundingNote));
    }
}

void UpdateTone(core::Program& p) {
    core::AppState& st = p.st;
    const double l = LnSwr(st.CurrentSwr);
    if (std::fabs(l - st.LastLnSwr) > 0.01 || st.ToneFirst) {
        const int note = ToneNoteFor(st, st.CurrentSwr);
        st.LastLnSwr = l;
        if (note != st.ToneNote || st.ToneFirst) {
            SilenceTone(p);
            st.ToneNote = note;
            SoundNote(p);
        }
        st.ToneFirst = 0;
    }
    core::Delay(p, TonePause);
}

void ToggleTone(core::Program& p) {
    core::AppState& st = p.st;
    if (st.MidiOut) {
        st.ToneOn = st.ToneOn ? 0 : 1;
        if (st.ToneOn) {
            st.ToneFirst = 1;
        }
        return;
    }
    st.ToneOn = 0;
    p.ui.message(
        "Tone output is not available.\rCheck if your computer has a \rsound card and speaker installed.",
        "");
}

void SwrToneDialog(core::Program& p) {
    core::AppState& st = p.st;
    Entry e = Ask(p, "SWR Min Tone(1-50)", st.swrminfreq);
    if (e.cancelled) {
        return;
    }
    if (e.value) {
        const double v = std::min(*e.value, 50.0);
        st.swrminfreq = v <= 0.001 ? 0 : RoundedUp(v);
    }
    e = Ask(p, "SWR Max Tone (10-60)", st.swrmaxfreq);
    if (e.cancelled) {
        return;
    }
    if (e.value) {
        st.swrmaxfreq = RoundedUp(std::min(std::max(*e.value, st.swrminfreq + 5.0), 60.0));
    }
    e = Ask(p, "Max SWR (2-20)", st.swrmax);
    if (e.cancelled) {
        return;
    }
    if (e.value) {
        st.swrmax = RoundedUp(std::clamp(*e.value, 2.0, 20.0));
    }
}

void BeginPointFeedback(core::Program& p) {
    core::AppState& st = p.st;
    st.LastSpoken = 0;
    st.VoiceCountdown = 0;
    // The tone was silenced when the last display closed: the first reading sounds it again.
    if (st.ToneOn) {
        st.ToneFirst = 1;
    }
}

void AfterPointReading(core::Program& p) {
    if (p.st.voice) {
        SpeakSwr(p);
    }
    if (p.st.ToneOn) {
        UpdateTone(p);
    } else {
        SilenceTone(p);
    }
}

} // namespace vna::audio
