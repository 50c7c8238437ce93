// Points through the exported function VNA_ScanPointA (libvnactl, mode 1: measured and corrected
// with the cal file loaded through the library) from vna-sim --pace at 57600 baud, the speed
// VNA_CommPort sets, against the line-rate limit of 82 bytes (10-byte command, 72-byte reply) of
// 10 bits per point; and the host CPU time per point against the line time of a point.
//
//   bench_extctl_point [--points N] [--runs N]
//
// Targets, as for the program's own sweep: at least 0.95 of the limit; host CPU per point below 1 %
// of the line time.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "extctl/vna_control.h"

namespace {

constexpr int BytesPerPoint = 10 + 72;
constexpr int Baud = 57600;

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

pid_t StartSim(const std::string& link, const std::string& cal) {
    int out[2];
    if (::pipe(out) != 0) {
        std::exit(1);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        std::vector<std::string> args = {VNA_SIM_EXE,       "--link",      link,
                                         "--no-flash-file", "--pace",      "--dut",
                                         "resistor:r=75",   "--write-cal", cal};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    pollfd pfd{out[0], POLLIN, 0};
    char c = 0;
    while (::poll(&pfd, 1, 5000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') {
    }
    return pid;
}

} // namespace

int main(int argc, char** argv) {
    int points = 2000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--points") {
            points = std::max(1, std::atoi(argv[i + 1]));
        } else if (a == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    const std::string folder =
        std::filesystem::temp_directory_path() / ("vna-bench-extctl-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string link = folder + "/tty";
    const std::string cal = folder + "/unit.acal";
    const pid_t sim = StartSim(link, cal);
    // The library takes its device and data folder from the environment at its first call.
    ::setenv("VNA_SERIAL", link.c_str(), 1);
    ::setenv("VNA_HOME", (folder + "/data").c_str(), 1);

    bool ok = VNA_CommPort(1, 1, Baud) == 0 && VNA_LoadCalFile(cal.c_str()) == 0 && VNA_AvgReadings(4) == 0;
    if (!ok) {
        std::fprintf(stderr, "bench: the simulated unit is not ready: %s\n", VNA_LastMessage());
    }
    const double limit = Baud / (BytesPerPoint * 10.0);
    const double lineUs = 1e6 / limit;
    std::vector<std::pair<double, double>> rows; // ratio, cpu share
    std::printf("%7s %9s %10s %10s %7s %12s %12s %8s\n", "points", "seconds", "points/s", "limit/s", "ratio",
                "line us/pt", "cpu us/pt", "cpu/line");
    for (int run = 0; ok && run < runs; ++run) {
        double rs = 0, xs = 0;
        int failures = 0;
        auto sweep = [&](int n) {
            for (int i = 0; i < n; ++i) {
                failures += VNA_ScanPointA(1, 1 + 0.05 * (i % 2000), &rs, &xs) != 0 ? 1 : 0;
            }
        };
        sweep(20); // relays on, the link settles
        failures = 0;
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        sweep(points);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpuUs = (CpuSeconds() - cpu0) / points * 1e6;
        if (failures) {
            std::printf("%d failed points: %s\n", failures, VNA_LastMessage());
            ok = false;
            break;
        }
        const double rate = points / wall;
        std::printf("%7d %9.3f %10.2f %10.2f %7.3f %12.1f %12.1f %7.2f%%\n", points, wall, rate, limit,
                    rate / limit, lineUs, cpuUs, 100 * cpuUs / lineUs);
        rows.emplace_back(rate / limit, cpuUs / lineUs);
    }
    VNA_ProgRelay(0);
    VNA_CommPort(0, 0, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    std::filesystem::remove_all(folder);
    if (rows.empty()) {
        return 1;
    }
    std::sort(rows.begin(), rows.end());
    const double ratio = rows[rows.size() / 2].first;
    std::vector<double> shares;
    for (const auto& r : rows) {
        shares.push_back(r.second);
    }
    std::sort(shares.begin(), shares.end());
    const double share = shares[shares.size() / 2];
    ok = ok && ratio >= 0.95 && share < 0.01;
    std::printf("median: ratio %.3f, cpu/line %.2f%%\ntargets: ratio >= 0.95, cpu/line < 1%% -> %s\n", ratio,
                100 * share, ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
