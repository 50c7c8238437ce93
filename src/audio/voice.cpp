#include "audio/voice.h"

#include <cctype>
#include <cmath>
#include <filesystem>

#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/program.h"

namespace vna::audio {

namespace {

// The voice folder of the defaults: the folder of that name beside the program on the systems it
// came from. Here the program's own voice folder stands for it.
constexpr std::string_view DefaultVoiceFolder = "Sounds_1\\";

std::string Trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool DigitAt(const std::string& text, std::ptrdiff_t at) {
    return at >= 0 && static_cast<std::size_t>(at) < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[static_cast<std::size_t>(at)]));
}

} // namespace

std::string OwnVoiceFolder(const core::AppState& st) {
    return st.ProgramFolder + "voice/";
}

std::string VoiceFolder(const core::AppState& st) {
    std::string folder = Trimmed(st.voicefilefolder);
    if (folder.empty() || folder == DefaultVoiceFolder) {
        return OwnVoiceFolder(st);
    }
#ifndef _WIN32
    for (char& c : folder) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (folder.size() >= 2 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':') {
        // A folder of another system's drive: the folder of that name in the program's folder.
        while (!folder.empty() && folder.back() == '/') {
            folder.pop_back();
        }
        const auto slash = folder.find_last_of(":/");
        folder = folder.substr(slash + 1);
    }
    if (folder.empty() || folder[0] != '/') {
        folder = st.ProgramFolder + folder;
    }
    if (folder.back() != '/') {
        folder += '/';
    }
#else
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
#endif
    return folder;
}

bool InstallVoiceFiles(const core::AppState& st) {
    if (st.ProgramFolder.empty()) {
        return false;
    }
    const std::string folder = OwnVoiceFolder(st);
    std::error_code ec;
    bool ok = true;
    for (const ShippedVoiceFile& f : ShippedVoiceFiles()) {
        const std::string path = folder + f.name;
        if (std::filesystem::exists(path, ec)) {
            continue;
        }
        std::filesystem::create_directories(folder, ec);
        ok = core::WriteFileAtomic(path, f.bytes) && ok;
    }
    return ok;
}

std::vector<std::string> SpokenFiles(int n, int decimals) {
    const double scale = decimals == 2 ? 100 : 10;
    // The small addition keeps 1.5 from being written as 1.4999.
    const std::string text = core::NumText(n / scale + 0.0001, 4);
    const auto point = text.find('.');
    std::vector<std::string> files;
    if (point == std::string::npos) {
        return files;
    }
    const auto at = static_cast<std::ptrdiff_t>(point);
    auto digit = [&](std::ptrdiff_t k) {
        return std::string(VoiceFileNames[static_cast<std::size_t>(text[static_cast<std::size_t>(k)] - '0')]);
    };
    if (DigitAt(text, at - 2) && text[point - 2] > '0') {
        files.push_back(digit(at - 2));
    }
    if (DigitAt(text, at - 1)) {
        files.push_back(digit(at - 1));
    }
    files.emplace_back(VoiceFileNames[10]);
    if (DigitAt(text, at + 1)) {
        files.push_back(digit(at + 1));
    }
    if (decimals == 2 && DigitAt(text, at + 2)) {
        files.push_back(digit(at + 2));
    }
    return files;
}

void SpeakSwr(core::Program& p) {
    core::AppState& st = p.st;
    // Nothing was read yet.
    if (!(st.CurrentSwr >= 0)) {
        return;
    }
    const int decimals = st.voiceDecimals == 2 ? 2 : 1;
    const double scale = decimals == 2 ? 100 : 10;
    const int n = static_cast<int>(std::min(st.CurrentSwr, 1e6) * scale + 0.501);
    const bool due = st.VoiceCountdown == 1;
    // A countdown at 0 or below (a repeat of 0) would never come back to 1: it stays where it is
    // rather than run down for ever.
    if (st.VoiceCountdown > 0) {
        --st.VoiceCountdown;
    }
    if (!due && n == st.LastSpoken) {
        return;
    }
    st.VoiceCountdown = st.voiceRepeat;
    st.LastSpoken = n;
    const std::string folder = VoiceFolder(st);
    for (const std::string& name : SpokenFiles(n, decimals)) {
        p.sound.playWave(folder + name);
    }
}

} // namespace vna::audio
