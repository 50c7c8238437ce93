#pragma once

#include <cstdint>

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The SWR tone: a MIDI note whose pitch follows the SWR of the point-data readings, low for a
// good match and high for a bad one, so that an antenna can be tuned by ear.
namespace vna::audio {

// The MIDI short messages of the tone, all with 64 as their second data byte.
constexpr std::uint32_t NoteOff(int note) {
    return 128u + 256u * static_cast<std::uint32_t>(note) + 65536u * 64u;
}
constexpr std::uint32_t ProgramChange(int program) {
    return 192u + 256u * static_cast<std::uint32_t>(program) + 65536u * 64u;
}
constexpr std::uint32_t NoteOn(int note) {
    return 144u + 256u * static_cast<std::uint32_t>(note) + 65536u * 64u;
}

// The tone's instrument, a flute-like sound of the General MIDI set.
inline constexpr int TheToneProgram = 79;
inline constexpr int NoteOffset = 44;

// The note of the tone for an SWR of `swr`: swrminfreq + 44 at SWR 1, swrmaxfreq + 44 at swrmax
// and above, on a logarithmic scale between. Settings that make no sense (an swrmax of 1 or
// less, limits far outside the MIDI range) still give a note from 0 to 127.
int ToneNoteFor(const core::AppState& st, double swr);

// At start-up: opens the MIDI output (MidiOut), sets its volume and the tone's instrument. When it
// cannot be opened the tone is not available.
void OpenTone(core::Program& p);
// At exit: silences the tone and closes the MIDI output.
void CloseTone(core::Program& p);

// Note on for ToneNote (after a note off for it), which becomes the SoundingNote.
void SoundNote(core::Program& p);
// Note off for the SoundingNote.
void SilenceTone(core::Program& p);
// After a point-data reading while the tone is on: a new note when ln(CurrentSwr) moved by more
// than 0.01 and the note changed (or ToneFirst asks for one), then a pause of 100 ms.
void UpdateTone(core::Program& p);
// The "Tone On" / "Tone Off" button of the point-data window: switches the tone, or says that
// there is no tone output.
void ToggleTone(core::Program& p);

// "SWR Tone": the lowest and the highest tone and the SWR of the highest tone, asked one after
// the other.
void SwrToneDialog(core::Program& p);

// Before a point-data display starts: its first reading is spoken, and sounds the tone at once
// when the tone is on.
void BeginPointFeedback(core::Program& p);
// The audio of one point-data reading, CurrentSwr being set: spoken while `voice` is set; the
// tone updated while it is on, silenced while it is off.
void AfterPointReading(core::Program& p);

} // namespace vna::audio
