#include "support/test_rig.h"

#include "files/init_file.h"

#include <fstream>
#include <random>
#include <sstream>

namespace vna::test {

TempDir::TempDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        const auto candidate = base / ("vna-test-" + std::to_string(rd()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate.string();
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    std::filesystem::remove_all(path_, ec);
}

TestRig::TestRig() {
    program = std::make_unique<core::Program>(core::Platform{ui, clock, serial, registry, sound});
    program->st.ProgramFolder = dir.folder();
}

void LeaveSettingsOfAnEarlierRun(core::Program& p) {
    const core::AppState saved = p.st;
    core::ResetToDefaults(p.st, 2024, 1, 1);
    files::WriteInitFile(p);
    p.st = saved;
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace vna::test
