#include "core/command_line.h"

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
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i == 0) {
            rest.push_back(a);
            continue;
        }
        auto value = [&](const char* name, std::string& out) {
            const std::string prefix = std::string(name) + "=";
            if (a == name) {
                if (i + 1 < args.size()) {
                    out = args[++i];
                } else {
                    o.problems.push_back(std::string("The option ") + name + " needs a value.");
                }
                return true;
            }
            if (a.rfind(prefix, 0) == 0) {
                out = a.substr(prefix.size());
                return true;
            }
            return false;
        };
        if (a == "--demo") {
            o.demo = true;
        } else if (a == "--sweep") {
            o.sweepAtStart = true;
        } else if (value("--data-dir", o.dataDir) || value("--serial", o.serialDevice) ||
                   value("--cal", o.calFile)) {
            // taken
        } else {
            rest.push_back(a);
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
