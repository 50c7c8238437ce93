#include "commands/help_documents.h"

#include <filesystem>

#include "core/atomic_file.h"
#include "core/program.h"

#ifndef VNA_PROJECT_PAGE
#define VNA_PROJECT_PAGE ""
#endif

namespace vna::commands {

std::string DocumentFolder(const core::AppState& st) {
    return st.ProgramFolder + "docs/";
}

namespace {

bool InstallOne(const std::string& folder, const ShippedDocument& d) {
    const std::string path = folder + d.name;
    std::string now;
    if (core::ReadWholeFile(path, now) && now == d.bytes) {
        return true;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return core::WriteFileAtomic(path, d.bytes);
}

} // namespace

bool InstallHelpDocuments(const core::AppState& st) {
    bool all = true;
    for (const ShippedDocument& d : ShippedDocuments()) {
        all = InstallOne(DocumentFolder(st), d) && all;
    }
    return all;
}

void OpenHelpDocument(core::Program& p, const std::string& name) {
    const std::string folder = DocumentFolder(p.st);
    const std::string path = folder + name;
    if (!core::FileExists(path)) {
        for (const ShippedDocument& d : ShippedDocuments()) {
            if (name == d.name) {
                InstallOne(folder, d);
            }
        }
    }
    if (!core::FileExists(path)) {
        p.ui.message(
            "The document\r\n" + path +
                "\r\nis missing and could not be written there.\r\n\r\n"
                "Check that the data folder can be written; the program puts its documents there at start.",
            " Help");
        return;
    }
    if (!p.ui.openDocument(path)) {
        p.ui.message("The document\r\n" + path +
                         "\r\ncould not be opened: the desktop has no program for web pages, or there is no "
                         "desktop.\r\nOpen the file with a web browser.",
                     " Help");
    }
}

void OpenUpdatePage(core::Program& p) {
    const std::string page = VNA_PROJECT_PAGE;
    if (page.empty()) {
        OpenHelpDocument(p, "update.html");
        return;
    }
    if (!p.ui.openDocument(page)) {
        p.ui.message("The project's page\r\n" + page + "\r\ncould not be opened: no web browser was found.",
                     " Program Update");
    }
}

} // namespace vna::commands
