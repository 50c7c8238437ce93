#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The user manual and the help documents of the "Utilities" menu: HTML pages made from the
// project's Markdown documents when the program is built, built into the program and put into the
// "docs" folder of the data folder, where the desktop's browser opens them.
namespace vna::commands {

// A document built into the program.
struct ShippedDocument {
    const char* name;
    std::string_view bytes;
};
std::span<const ShippedDocument> ShippedDocuments();

// The folder of the documents: "docs" in the program's folder, with its separator.
std::string DocumentFolder(const core::AppState& st);

// Writes every shipped document into the document folder where it is missing or differs (the
// pages always describe the program that runs). False when one could not be written.
bool InstallHelpDocuments(const core::AppState& st);

// Opens the document `name` of the document folder with the desktop's handler, writing it first
// when it is missing. A document that is not there or that no program opens is reported with its
// path and what to do.
void OpenHelpDocument(core::Program& p, const std::string& name);

// "Check for Prog Update": the project's page when the build names one (VNA_PROJECT_PAGE), else
// the shipped page on updates.
void OpenUpdatePage(core::Program& p);

} // namespace vna::commands
