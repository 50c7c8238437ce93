#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vna::core {

// What the process was started with, after the program's own options were taken out.
struct StartOptions {
    std::string dataDir;      // --data-dir DIR, else VNA_HOME
    std::string serialDevice; // --serial PATH, else VNA_SERIAL
    bool demo = false;        // --demo
    // --cal FILE: the cal file to load at start instead of the one the settings name.
    std::string calFile;
    // --sweep: one sweep of the active port as soon as the program is ready (a demonstration on
    // the simulated unit, or a first look at a device); ignored without an instrument.
    bool sweepAtStart = false;
    // The command-line text the ".scn" rule searches: the program name and the remaining
    // arguments, each in double quotes, separated by blanks.
    std::string commandLine;
    // Problems with the data folder, shown in one message once the main window exists.
    std::vector<std::string> problems;
    // --help or -h, --version: the usage or the version, nothing else.
    bool help = false;
    bool version = false;
    // A command line the program refuses before any window: an unknown option, an option without
    // its value or given twice.
    std::string mistake;
};

// Takes the program's options out of argv (the toolkit's own options already taken out). `getenv`
// supplies VNA_HOME and VNA_SERIAL (nullptr for a variable that is not set). An argument that begins
// with a dash and is none of the options is a mistake, unless it follows "--".
StartOptions ParseStartOptions(const std::vector<std::string>& args,
                               const char* (*getenv)(const char*) = nullptr);

// The ".scn" rule: finds the first ".scn" in the command line and collects the file name
// backwards from the character before it, up to a double quote (not taken) or the start of the
// text. The name ends with ".scn", so "x.scnb" gives "x.scn". Nothing when there is no ".scn".
std::optional<std::string> CommandLineScanFile(std::string_view commandLine);

} // namespace vna::core
