#pragma once

namespace vna::core {
struct Program;
}

namespace vna::audio {

// Opens the MIDI output of the SWR tone.
void OpenToneOutput(core::Program& p);
// Silences the tone and closes the MIDI output.
void CloseToneOutput(core::Program& p);

} // namespace vna::audio
