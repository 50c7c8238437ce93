#include "extctl/control_csv.h"

#include <cctype>

#include "core/atomic_file.h"
#include "core/path_split.h"
#include "core/program.h"
#include "files/csv_export.h"

namespace vna::extctl {

namespace {

constexpr const char* DefaultName = "AutoScan.csv";

std::string Trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::string ControlCsvPath(const core::AppState& st) {
    const std::string path = Trimmed(st.outputfile);
    if (path.empty()) {
        return core::JoinPath(st.ProgramFolder, DefaultName);
    }
#ifndef _WIN32
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        const std::string name = core::SplitPath(path).name;
        return core::JoinPath(st.ProgramFolder, name.empty() ? DefaultName : name);
    }
    if (path[0] != '/') {
        return core::JoinPath(st.ProgramFolder, path);
    }
#endif
    return path;
}

std::string ControlCsvText(const core::Program& p, const platform::LocalTime& now) {
    return p.st.PortB_on ? files::CsvTextB(p, now) : files::ControlCsvTextA(p, now);
}

bool WriteControlCsv(core::Program& p) {
    const std::string path = ControlCsvPath(p.st);
    // A write-protected file is not replaced, as it could not be opened for writing.
    if (!core::FileIsWriteProtected(path) && core::WriteFileAtomic(path, ControlCsvText(p, p.clock.now()))) {
        return true;
    }
    p.ui.message("Data file: " + path +
                     " is not available for writing.\rIt may be in use by another program.",
                 "No control file");
    return false;
}

} // namespace vna::extctl
