// Keeps the folders of src/ in one direction of dependence: a folder includes only its own headers
// and those of the folders below it, Qt only where the windows are made and the sound libraries
// only in their adapters.

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/test_rig.h"

namespace {

namespace fs = std::filesystem;

// Each folder of src/ with the folders it may include, from the bottom up; docs/architecture.md
// explains the layers. A new folder gets its line here.
const std::map<std::string, std::set<std::string>>& AllowedIncludes() {
    static const std::set<std::string> below6 = {"measure",    "display", "files",
                                                 "instrument", "core",    "platform"};
    static const std::map<std::string, std::set<std::string>> allowed = {
        {"platform", {}},
        {"core", {"platform"}},
        {"files", {"core", "platform"}},
        {"instrument", {"core", "platform"}},
        {"display", {"core", "platform"}},
        {"measure", {"display", "files", "instrument", "core", "platform"}},
        {"cal", below6},
        {"tools", below6},
        {"audio", below6},
        {"extctl", below6},
        // The array scope reads the channels' cal files through the calibration's reader.
        {"scope", {"cal", "measure", "display", "files", "instrument", "core", "platform"}},
        {"commands",
         {"cal", "tools", "audio", "extctl", "scope", "measure", "display", "files", "instrument", "core",
          "platform"}},
        // The simulator speaks the wire protocol and writes its cal file with the program's writer.
        {"sim", {"cal", "instrument", "files", "core", "platform"}},
        {"app",
         {"commands", "cal", "tools", "audio", "extctl", "scope", "measure", "display", "files", "instrument",
          "core", "platform", "sim"}},
    };
    return allowed;
}

// Folders whose files may include Qt headers.
bool MayUseQt(const std::string& relative) {
    return relative.rfind("platform/qt/", 0) == 0 || relative.rfind("app/", 0) == 0;
}

// The sound libraries (synthesizer, MIDI ports, ALSA) stay in platform/audio, and its adapters are
// chosen only where a program is put together: the logic reaches sound through the Sound port.
bool MayUseSoundAdapters(const std::string& relative) {
    return relative.rfind("platform/audio/", 0) == 0 || relative.rfind("app/", 0) == 0;
}

// Every include of `root` (a src/ tree) that breaks the rules, as "file: include" lines.
std::vector<std::string> Violations(const fs::path& root) {
    static const std::regex ours(R"re(^\s*#\s*include\s*"([a-z_]+)/[^"]+")re");
    static const std::regex qt(R"re(^\s*#\s*include\s*<Q[A-Za-z]*[>/])re");
    static const std::regex sound(R"re(^\s*#\s*include\s*(<(fluidsynth|RtMidi|alsa/)|"platform/audio/))re");
    std::vector<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) {
            continue;
        }
        const std::string relative = fs::relative(entry.path(), root).generic_string();
        const std::string folder = relative.substr(0, relative.find('/'));
        const auto rule = AllowedIncludes().find(folder);
        if (rule == AllowedIncludes().end()) {
            out.push_back(relative + ": its folder has no place in the layer table");
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            std::smatch m;
            if (std::regex_search(line, sound) && !MayUseSoundAdapters(relative)) {
                out.push_back(relative + ": " + line + " (sound adapters outside platform/audio and app)");
            } else if (std::regex_search(line, m, ours)) {
                const std::string target = m[1];
                if (target != folder && AllowedIncludes().count(target) && !rule->second.count(target)) {
                    out.push_back(relative + ": " + line);
                }
            } else if (std::regex_search(line, qt) && !MayUseQt(relative)) {
                out.push_back(relative + ": " + line + " (Qt outside platform/qt and app)");
            }
        }
    }
    return out;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) {
        s += l + "\n";
    }
    return s;
}

} // namespace

TEST(Layers, EveryIncludeOfSrcPointsDown) {
    const auto violations = Violations(fs::path(VNA_SOURCE_DIR) / "src");
    EXPECT_TRUE(violations.empty()) << Joined(violations);
}

TEST(Layers, AnUpwardIncludeAQtHeaderInTheCoreAndAnUnknownFolderAreFound) {
    vna::test::TempDir dir;
    const fs::path root = dir.file("src");
    fs::create_directories(root / "display");
    fs::create_directories(root / "measure");
    fs::create_directories(root / "newfolder");
    std::ofstream(root / "measure" / "ok.cpp")
        << "#include \"display/graph_draw.h\"\n#include \"measure/x.h\"\n";
    std::ofstream(root / "display" / "bad.cpp")
        << "#include \"core/program.h\"\n#include \"measure/sweep.h\"\n"
        << "#include <QPainter>\n#include \"platform/audio/fluid_synth.h\"\n";
    std::ofstream(root / "newfolder" / "a.h") << "#pragma once\n";
    const auto violations = Violations(root);
    ASSERT_EQ(violations.size(), 4u) << Joined(violations);
    const std::string all = Joined(violations);
    EXPECT_NE(all.find("display/bad.cpp: #include \"measure/sweep.h\""), std::string::npos);
    EXPECT_NE(all.find("display/bad.cpp: #include <QPainter> (Qt outside"), std::string::npos);
    EXPECT_NE(all.find("newfolder/a.h: its folder has no place"), std::string::npos);
    EXPECT_NE(all.find("fluid_synth.h\" (sound adapters outside"), std::string::npos);
}
