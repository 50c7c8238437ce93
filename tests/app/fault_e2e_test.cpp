// Instrument faults end to end over the pseudo-terminal: vna-sim goes silent, cuts its replies
// short, damages every checksum, sends garbage after every reply or vanishes (its process killed)
// in the middle of a sweep of vna-cli. Each sweep ends within its budget with its code, and the
// points measured before the fault are in the files.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/process_support.h"
#include "files/scan_format.h"

using namespace vna;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Points of a scan file, -1 when there is none or it cannot be read.
int ScanPoints(const std::string& path) {
    std::string problem;
    const auto scan = files::ParseScanFileA(test::ReadFile(path), problem);
    return scan ? scan->last() + 1 : -1;
}

} // namespace

TEST(FaultEndToEnd, CommandLineSweepEndsWithItsCodeAndThePointsSoFar) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    test::Simulator sim({"--dut", "resistor:r=75", "--write-cal", cal});
    const std::string data = sim.folder() + "data";
    struct Case {
        std::string fault;
        int status;
        std::string error; // what the tool says, after "vna-cli: "
        int points;        // in the scan file (-1: no file)
    };
    const Case cases[] = {
        // Two of the readings go to the start of the sweep.
        {"silence=20", 1, "error 10: the sweep stopped after 18 points", 18},
        {"truncate=40", 1, "error 10: the sweep measured no point: the instrument stopped answering", -1},
        {"badsum=1000000", 1, "error 17: the sweep measured no point: the instrument's replies were damaged",
         -1},
        // Garbage after every reply is dropped before the next command: the sweep is whole.
        {"extra=7", 0, "", 101},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        sim.ctl("fault clear");
        ASSERT_EQ(sim.ctl("fault " + c.fault), "ok\n");
        const std::string scan = files.file(c.fault.substr(0, c.fault.find('=')) + ".scn");
        const auto start = Clock::now();
        const test::Output o =
            test::RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "sweep", "a",
                              "--start", "10", "--stop", "20", "--step", "0.1", "--cal", cal, "--out", scan},
                             std::chrono::seconds(30));
        EXPECT_LT(Seconds(start), 10.0);
        EXPECT_EQ(o.status, c.status) << o.err;
        if (!c.error.empty()) {
            EXPECT_NE(o.err.find("vna-cli: " + c.error), std::string::npos) << o.err;
        }
        EXPECT_EQ(ScanPoints(scan), c.points) << o.out << o.err;
        if (c.points > 0) {
            EXPECT_TRUE(std::filesystem::exists(files.file(c.fault.substr(0, c.fault.find('=')) + ".csv")));
        }
    }

    // The instrument vanishes in the middle of a long sweep.
    sim.ctl("fault clear");
    const std::string scan = files.file("vanished.scn");
    test::Output o;
    const auto start = Clock::now();
    std::thread sweep([&] {
        o = test::RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "sweep", "a",
                              "--start", "1", "--stop", "100", "--step", "0.01", "--cal", cal, "--out", scan},
                             std::chrono::seconds(60));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto killed = Clock::now();
    sim.kill();
    sweep.join();
    EXPECT_LT(Seconds(killed), 5.0) << Seconds(start);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("vna-cli: error 10: the sweep stopped after"), std::string::npos) << o.err;
    const int points = ScanPoints(scan);
    EXPECT_GT(points, 0);
    EXPECT_LT(points, 9901);
}
