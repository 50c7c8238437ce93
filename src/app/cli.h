#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace vna::core {
struct Program;
}

// vna-cli: the program's instrument code without windows, for scripts, tests and a first check of
// an instrument.
namespace vna::app {

struct CliOptions {
    std::string command;   // "identify" or "point"
    std::string serial;    // --serial PATH (else VNA_SERIAL, else the numbered port of the init file)
    std::string dataDir;   // --data-dir DIR (else VNA_HOME)
    bool highBaud = false; // --high-baud: negotiate the high line speed
    bool verbose = false;  // --verbose: the program's status lines on standard error
    bool yes = false;      // --yes: answer questions with yes
    char port = 'a';       // point: --port a|b
    double freq = 0;       // point: --freq MHz
    int average = 0;       // point: --average N (0: the init file's)
    std::string calFile;   // point: --cal FILE, the Port A reading corrected with that cal file
};

// Reads the arguments after the program name; nothing (and `error`) when they are not usable.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          const char* (*getenv)(const char*), std::string& error);
std::string CliUsage();

// Runs the command on the program `p` (its ports already attached, its folder chosen). Prints the
// results on `out`; on failure prints "vna-cli: error CODE: what" on `err` and returns 1.
int RunCli(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

} // namespace vna::app
