// Instrument faults end to end over the pseudo-terminal: vna-sim goes silent, cuts its replies
// short, damages every checksum, sends garbage after every reply or vanishes (its process killed)
// in the middle of a sweep of vna-cli or of the window program under external control. Each sweep
// ends within its budget with its code, the points measured before the fault are in the files, and
// the window program ends promptly when asked while its instrument is silent.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/process_support.h"
#include "files/init_file.h"
#include "files/scan_format.h"
#include "support/test_rig.h"

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

TEST(FaultEndToEnd, TheWindowProgramAnswersEveryFaultedRequestAndEndsPromptlyWhileItsInstrumentIsSilent) {
    test::TempDir files;
    std::string cal = files.file("sim.acal");
    auto sim = std::make_unique<test::Simulator>(
        std::vector<std::string>{"--dut", "resistor:r=75", "--write-cal", cal});
    const std::string data = files.file("data");
    ASSERT_TRUE(test::WriteRegistryControlSettings(data, VNA_DEFAULT_CONFIG_FILE));
    const std::string log = files.file("vna.log");
    // The window program on the simulator of the moment, once it watches for requests.
    auto startProgram = [&] {
        std::filesystem::remove_all(data + "/registry");
        auto vna = std::make_unique<test::Background>(
            std::vector<std::string>{"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", VNA_EXE, "--data-dir", data,
                                     "--serial", sim->link(), "--cal", cal},
            log);
        EXPECT_FALSE(test::WaitForRegistryKey(data, *vna).empty()) << test::ReadFile(log);
        return vna;
    };
    auto vna = startProgram();
    auto request = [&](const char* start = "10", const char* stop = "20", const char* step = "0.1") {
        return test::RunProgram({VNA_CLI_EXE, "--data-dir", data, "request", "--port", "a", "--start", start,
                                 "--stop", stop, "--step", step, "--timeout", "30"},
                                std::chrono::seconds(40));
    };
    struct Case {
        std::string fault;
        int status;
        std::string error; // what the tool passes on, after "vna-cli: "
    };
    const Case cases[] = {
        {"", 0, ""},
        {"truncate=40", 1, "error 10: The Port A sweep measured no point."},
        {"badsum=1000000", 1, "error 17: The Port A sweep measured no point."},
        {"extra=7", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        sim->ctl("fault clear");
        if (!c.fault.empty()) {
            ASSERT_EQ(sim->ctl("fault " + c.fault), "ok\n");
        }
        const auto start = Clock::now();
        const test::Output o = request();
        std::printf("request with fault \"%s\": answered in %.2f s\n", c.fault.c_str(), Seconds(start));
        EXPECT_LT(Seconds(start), 10.0);
        EXPECT_EQ(o.status, c.status) << o.err << test::ReadFile(log);
        if (!c.error.empty()) {
            EXPECT_NE(o.err.find("vna-cli: " + c.error), std::string::npos) << o.err;
        }
        ASSERT_TRUE(vna->running()) << test::ReadFile(log);
    }

    // Silent in the middle of a request: the request is answered with the points so far.
    sim->ctl("fault clear");
    ASSERT_EQ(sim->ctl("fault silence=30"), "ok\n");
    const auto start = Clock::now();
    const test::Output o = request();
    std::printf("request with the instrument falling silent: answered in %.2f s\n", Seconds(start));
    EXPECT_LT(Seconds(start), 10.0);
    EXPECT_EQ(o.status, 1) << o.err << test::ReadFile(log);
    EXPECT_NE(o.err.find("sweep stopped after"), std::string::npos) << o.err;
    ASSERT_TRUE(vna->running()) << test::ReadFile(log);

    // Asked to end while the instrument still says nothing: the shutdown does not wait for it.
    const auto asked = Clock::now();
    const auto askedOnDisk = std::filesystem::file_time_type::clock::now();
    EXPECT_EQ(vna->terminate(), 0) << test::ReadFile(log);
    const double ending = Seconds(asked);
    std::printf("window program ended %.2f s after SIGTERM with the instrument silent\n", ending);
    EXPECT_LT(ending, 2.0);
    // The shutdown still ran: the settings were written on the way out.
    EXPECT_GE(std::filesystem::last_write_time(data + "/" + files::InitFileName), askedOnDisk);

    // The instrument vanishes (its process killed) in the middle of a long request.
    sim = std::make_unique<test::Simulator>(
        std::vector<std::string>{"--dut", "resistor:r=75", "--write-cal", files.file("sim2.acal")});
    // Another unit, with an ID of its own: its own standards.
    cal = files.file("sim2.acal");
    vna = startProgram();
    test::Output vanished;
    std::thread client([&] { vanished = request("1", "100", "0.01"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto killed = Clock::now();
    sim->kill();
    client.join();
    std::printf("request with the instrument vanishing: answered %.2f s after the kill\n", Seconds(killed));
    EXPECT_LT(Seconds(killed), 5.0);
    EXPECT_EQ(vanished.status, 1) << vanished.err << test::ReadFile(log);
    EXPECT_NE(vanished.err.find("sweep stopped after"), std::string::npos) << vanished.err;
    EXPECT_TRUE(vna->running()) << test::ReadFile(log);
    EXPECT_EQ(vna->terminate(), 0) << test::ReadFile(log);
}
