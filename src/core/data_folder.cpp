#include "core/data_folder.h"

#include <filesystem>
#include <fstream>

namespace vna::core {

namespace fs = std::filesystem;

namespace {

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
        folder += '/';
    }
    return folder;
}

} // namespace

bool FolderIsWritable(const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return false;
    }
    const fs::path probe = fs::path(folder) / ".vna_write_probe";
    {
        std::ofstream f(probe);
        if (!f.is_open()) {
            return false;
        }
    }
    fs::remove(probe, ec);
    return true;
}

bool FolderIsPortable(const std::string& folder) {
    std::error_code ec;
    return !folder.empty() && (fs::exists(fs::path(folder) / PortableMarkerName, ec) ||
                               fs::exists(fs::path(folder) / "VNA_Init_Data.ini", ec));
}

DataFolderResult ChooseDataFolder(const std::string& requested, const std::string& executableFolder,
                                  const char* (*getenv)(const char*)) {
    DataFolderResult r;
    std::string folder = requested;
    // The executable's own folder only when someone made it the home of the data: a build tree or a
    // system folder is never one, and a settings file already there keeps working where it is.
    if (folder.empty() && FolderIsPortable(executableFolder)) {
        folder = executableFolder;
    }
    if (folder.empty()) {
        const char* xdg = getenv ? getenv("XDG_DATA_HOME") : nullptr;
        const char* home = getenv ? getenv("HOME") : nullptr;
        if (xdg && *xdg) {
            folder = (fs::path(xdg) / "vna").string();
        } else if (home && *home) {
            folder = (fs::path(home) / ".local" / "share" / "vna").string();
        } else {
            folder = executableFolder.empty() ? std::string(".") : executableFolder;
        }
    }
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            r.folder = WithSeparator(folder);
            r.problem = "The data folder " + folder + " could not be created (" + ec.message() +
                        ").\r\nSettings, calibrations and the last graphs will not be saved in this run.";
            return r;
        }
    }
    r.folder = WithSeparator(folder);
    if (!FolderIsWritable(folder)) {
        r.problem = "The data folder " + folder +
                    " cannot be written.\r\nSettings, calibrations and the last graphs will not be saved in "
                    "this run.";
    }
    return r;
}

} // namespace vna::core
