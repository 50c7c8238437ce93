#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The spoken SWR: digits played from voice files while the point-data display runs, so that an
// antenna can be adjusted without looking at the screen.
namespace vna::audio {

// The voice files of the digits 0 to 9, then that of the decimal point.
inline constexpr std::array<const char*, 11> VoiceFileNames = {
    "zero.wav", "one.wav",   "two.wav",   "three.wav", "four.wav", "five.wav",
    "six.wav",  "seven.wav", "eight.wav", "nine.wav",  "point.wav"};

// A voice file built into the program.
struct ShippedVoiceFile {
    const char* name;
    std::string_view bytes;
};

// The voice files made when the program was built (by a speech synthesizer), one per name of
// VoiceFileNames.
std::span<const ShippedVoiceFile> ShippedVoiceFiles();

// The program's own voice folder: "voice" in the program's folder, with its separator.
std::string OwnVoiceFolder(const core::AppState& st);

// The folder the voice files are played from, with its separator: `voicefilefolder` as the user
// set it in the config file (a folder without a root lies in the program's folder; a Windows
// drive path names the folder of that name there), or the program's own voice folder while the
// setting is empty or still the shipped default.
std::string VoiceFolder(const core::AppState& st);

// Puts the shipped voice files into the program's own voice folder where a file of that name is
// missing, so the spoken SWR works on a first run; files there (the user's own recordings) are
// never replaced. False when a missing file could not be written.
bool InstallVoiceFiles(const core::AppState& st);

// The names of the files that speak the value n / scale (scale 10 for `decimals` 1, 100 for 2):
// the tens digit when it is not 0, the units, "point.wav", the first decimal and, with 2
// decimals, the second. Hundreds and above are not spoken.
std::vector<std::string> SpokenFiles(int n, int decimals);

// After a point-data reading while `voice` is set: speaks CurrentSwr when its rounded value
// changed, or when `voiceRepeat` readings passed since it was spoken (never with 0), each file
// played to its end. A file that cannot be played is passed over.
void SpeakSwr(core::Program& p);

} // namespace vna::audio
