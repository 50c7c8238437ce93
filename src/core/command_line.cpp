#include "core/command_line.h"

#include <set>

namespace vna::core {

StartOptions ParseStartOptions(const std::vector<std::string>& args, const char* (*getenv)(const char*)) {
    StartOptions o;
    if (getenv) {
        if (const char* home = getenv("VNA_HOME"); home && *home) {
            o.dataDir = home;
        }
        if (const char* serial = getenv("VNA_SERIAL"); serial && *serial) {
            o.serialDevice = serial;
        }
    }
    std::vector<std::string> rest;
    std::set<std::string> seen;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && o.mistake.empty(); ++i) {
        const std::string& a = args[i];
        if (i == 0 || optionsEnded || a.size() < 2 || a[0] != '-') {
            rest.push_back(a);
            continue;
        }
        if (a == "--") {
            // Everything after it is a file, also a name that begins with a dash.
            optionsEnded = true;
            continue;
        }
        const std::string name = a.substr(0, a.find('='));
        if (!seen.insert(name == "-h" ? "--help" : name).second) {
            o.mistake = "The option " + name + " is given more than once.";
            break;
        }
        auto value = [&](const char* option, std::string& out) {
            const std::string prefix = std::string(option) + "=";
            if (a == option) {
                // The next option is no value: "--data-dir --demo" lost the folder.
                if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                    out = args[++i];
                } else {
                    o.mistake = std::string("The option ") + option + " needs a value.";
                }
                return true;
            }
            if (a.rfind(prefix, 0) == 0) {
                out = a.substr(prefix.size());
                if (out.empty()) {
                    o.mistake = std::string("The option ") + option + " needs a value.";
                }
                return true;
            }
            return false;
        };
        if (a == "--demo") {
            o.demo = true;
        } else if (a == "--sweep") {
            o.sweepAtStart = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (value("--data-dir", o.dataDir) || value("--serial", o.serialDevice) ||
                   value("--cal", o.calFile)) {
            // taken
        } else {
            o.mistake = "Unknown option " + a + ".";
        }
    }
    // Every argument is quoted, so the ".scn" rule (which collects a name back to the previous
    // double quote) takes exactly the argument that names the scan file, blanks included.
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (i) {
            o.commandLine += ' ';
        }
        o.commandLine += '"';
        o.commandLine += rest[i];
        o.commandLine += '"';
    }
    return o;
}

std::optional<std::string> CommandLineScanFile(std::string_view commandLine) {
    const auto pos = commandLine.find(".scn");
    if (pos == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t begin = pos;
    while (begin > 0 && commandLine[begin - 1] != '"') {
        --begin;
    }
    std::string name(commandLine.substr(begin, pos - begin));
    name += ".scn";
    return name;
}

} // namespace vna::core
