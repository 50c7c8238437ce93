#pragma once

namespace vna::platform::audio {

// ALSA writes its own complaints to the terminal (no sound card, no sequencer): on a machine
// without sound that is expected, and the program says what it needs to itself. Safe to call
// more than once.
void SilenceAlsaMessages();

// Whether the ALSA sequencer can be opened, asked without RtMidi (which writes to the terminal
// when it cannot).
bool AlsaSequencerAvailable();

} // namespace vna::platform::audio
