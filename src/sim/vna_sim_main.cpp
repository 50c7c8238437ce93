// vna-sim: the simulated instrument on a pseudo-terminal, for trying, testing and benchmarking the
// program without the hardware.
//
//   vna-sim [--link PATH] [--dut SPEC] [--fault F]... [--pace] [options]
//   vna-sim ctl [--link PATH] COMMAND...

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "sim/control.h"
#include "sim/sim_cal.h"
#include "sim/sim_server.h"

namespace {

volatile bool stopRequested = false;

void OnSignal(int) {
    stopRequested = true;
}

std::string DefaultLink() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        return std::string(runtime) + "/vna-sim.tty";
    }
    return "/tmp/vna-sim-" + std::to_string(::getuid()) + ".tty";
}

std::string DefaultFlashFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (state && *state) {
        folder = std::string(state) + "/vna-sim";
    } else if (home && *home) {
        folder = std::string(home) + "/.local/state/vna-sim";
    } else {
        return {};
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return ec ? std::string() : folder + "/flash.txt";
}

// The usage: on standard output when asked for, on standard error after a mistake.
void Usage(std::FILE* to = stderr) {
    std::fprintf(
        to,
        "usage: vna-sim [--link PATH] [--dut SPEC] [--mux] [--fault F]... [--pace] [--frame-us N] [--spin-us "
        "N]\n"
        "               [--flash FILE | --no-flash-file] [--seed N] [--model NAME] [--firmware V]\n"
        "               [--serial-number N (0: none)]\n"
        "               [--no-temp] [--no-flash] [--temp F] [--supply V] [--set NAME=VALUE]... [--log]\n"
        "               [--write-cal FILE]\n"
        "       vna-sim ctl [--link PATH] COMMAND...\n\n"
        "Serves the simulated instrument on a pseudo-terminal, prints the device's path on the first\n"
        "line of its output and keeps PATH (default %s) pointing at it. --write-cal\n"
        "first writes the cal file the unit's own standards produce. A running\n"
        "simulator takes commands through \"vna-sim ctl\":\n%s\n  unplug | plug\n",
        DefaultLink().c_str(), vna::sim::ControlHelp().c_str());
}

int Control(const std::vector<std::string>& args) {
    std::string link = DefaultLink();
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--link" && i + 1 < args.size()) {
            link = args[++i];
        } else {
            line += (line.empty() ? "" : " ") + args[i];
        }
    }
    if (line.empty()) {
        Usage();
        return 2;
    }
    std::string answer;
    if (!vna::sim::SendControl(link + ".ctl", line, answer)) {
        std::fprintf(stderr, "vna-sim ctl: no simulator answers at %s.ctl\n", link.c_str());
        return 1;
    }
    std::printf("%s\n", answer.c_str());
    return answer.rfind("error:", 0) == 0 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "ctl") {
        return Control({args.begin() + 1, args.end()});
    }

    vna::sim::UnitConfig config;
    vna::sim::ServerOptions options;
    options.link = DefaultLink();
    std::vector<std::string> controls;
    std::string calFile;
    bool flashFileChosen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "vna-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            out = args[++i];
        };
        std::string v;
        if (a == "--link") {
            value(options.link);
        } else if (a == "--dut") {
            value(v);
            controls.push_back("dut " + v);
        } else if (a == "--fault") {
            value(v);
            controls.push_back("fault " + v);
        } else if (a == "--temp" || a == "--supply") {
            value(v);
            controls.push_back("set " + a.substr(2) + " " + v);
        } else if (a == "--set") {
            value(v);
            const auto eq = v.find('=');
            controls.push_back("set " + v.substr(0, eq) + " " +
                               (eq == std::string::npos ? "" : v.substr(eq + 1)));
        } else if (a == "--mux") {
            controls.push_back("mux on");
        } else if (a == "--pace") {
            options.pace = true;
        } else if (a == "--frame-us") {
            value(v);
            options.frameSeconds = std::atof(v.c_str()) * 1e-6;
        } else if (a == "--spin-us") {
            value(v);
            options.spinSeconds = std::atof(v.c_str()) * 1e-6;
        } else if (a == "--flash") {
            value(config.flashFile);
            flashFileChosen = true;
        } else if (a == "--no-flash-file") {
            flashFileChosen = true;
        } else if (a == "--seed") {
            value(v);
            config.seed = std::strtoull(v.c_str(), nullptr, 10);
        } else if (a == "--model") {
            value(config.model);
        } else if (a == "--firmware") {
            value(config.firmware);
        } else if (a == "--serial-number") {
            value(v);
            config.serialNumber = std::atoi(v.c_str());
        } else if (a == "--no-temp") {
            config.tempSensor = false;
        } else if (a == "--no-flash") {
            config.flash = false;
        } else if (a == "--write-cal") {
            value(calFile);
        } else if (a == "--log") {
            options.log = true;
        } else if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("vna-sim %s\n", VNA_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "vna-sim: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        }
    }
    if (!flashFileChosen) {
        config.flashFile = DefaultFlashFile();
    }

    vna::sim::Instrument unit(config);
    for (const std::string& c : controls) {
        const auto result = vna::sim::ApplyControl(unit, c, 0);
        if (!result.ok) {
            std::fprintf(stderr, "vna-sim: %s (%s)\n", result.text.c_str(), c.c_str());
            return 2;
        }
    }

    if (!calFile.empty()) {
        const std::time_t t = std::time(nullptr);
        const std::tm* local = std::localtime(&t);
        vna::platform::LocalTime now;
        if (local) {
            now = {local->tm_year + 1900,
                   local->tm_mon + 1,
                   local->tm_mday,
                   local->tm_hour,
                   local->tm_min,
                   local->tm_sec,
                   0};
        }
        std::string error;
        if (!vna::sim::WriteUnitCalFile(unit, calFile, now, &error)) {
            std::fprintf(stderr, "vna-sim: cannot write the cal file %s: %s\n", calFile.c_str(),
                         error.c_str());
            return 1;
        }
        std::fprintf(stderr, "vna-sim: cal file of the unit's standards written to %s\n", calFile.c_str());
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    vna::sim::Server server(unit, options);
    std::string error;
    // The server switches the unit on, which brings it to 57600 baud; a speed given with
    // "--set baud=" is where an earlier run left the unit, and it stays there.
    const int leftAt = unit.baud();
    if (!server.start(&error)) {
        std::fprintf(stderr, "vna-sim: %s\n", error.c_str());
        return 1;
    }
    if (unit.baud() != leftAt) {
        unit.setBaud(leftAt);
    }
    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "vna-sim: %s at %s, control %s, device %s%s\n", unit.versionText().c_str(),
                 options.link.c_str(), server.controlPath().c_str(), unit.dut.text.c_str(),
                 options.pace ? ", paced" : "");
    server.run(stopRequested);
    return 0;
}
