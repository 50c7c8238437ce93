#pragma once

// Helpers of the settings-file tests: default state, init file texts by line, fresh readers.

#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/text_lines.h"
#include "files/init_file.h"
#include "support/test_rig.h"

namespace vna::test {

// A rig whose state holds the defaults, as after step 5 of the start-up.
inline std::unique_ptr<TestRig> DefaultRig() {
    auto rig = std::make_unique<TestRig>();
    core::ResetToDefaults(rig->st(), 2026, 12, 7);
    return rig;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (std::string_view line : core::SplitLines(text)) {
        out.emplace_back(line);
    }
    return out;
}

inline std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

// The init file lines the writer produces for the defaults (index 0 is line 1).
inline std::vector<std::string> DefaultInitLines() {
    auto rig = DefaultRig();
    return Lines(files::InitFileText(rig->p(), 0));
}

// Reads `text` as the init file of a fresh rig that holds the defaults.
inline std::unique_ptr<TestRig> ReadInitText(const std::string& text) {
    auto rig = DefaultRig();
    WriteFile(rig->dir.file(files::InitFileName), text);
    files::ReadInitFile(rig->p());
    return rig;
}

// The init file with line `number` (1-based) replaced.
inline std::unique_ptr<TestRig> ReadInitWithLine(int number, const std::string& line) {
    auto lines = DefaultInitLines();
    lines.at(static_cast<std::size_t>(number - 1)) = line;
    return ReadInitText(JoinCrLf(lines));
}

// The init file text of a state, without its Msec line (line 245), which differs between writes.
inline std::string InitTextWithoutMsec(core::Program& p) {
    auto lines = Lines(files::InitFileText(p, 0));
    if (lines.size() >= 245) {
        lines.erase(lines.begin() + 244);
    }
    return JoinCrLf(lines);
}

} // namespace vna::test
