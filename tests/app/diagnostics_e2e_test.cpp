// The diagnostics end to end over the pseudo-terminal: "VNA Test" (vna-cli test) passes on a
// healthy simulated unit and fails exactly the check that each injected fault breaks; the monitor
// of the exchanges (vna-cli --exchanges) shows a sweep's exchanges in order.

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/process_support.h"

using namespace vna;

namespace {

// The names of the checks the report marks FAIL (the part of the line before the measured value).
std::set<std::string> FailedChecks(const std::string& report) {
    std::set<std::string> failed;
    std::istringstream in(report);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 36 && line.ends_with("FAIL")) {
            std::string name = line.substr(0, 36);
            name.erase(name.find_last_not_of(' ') + 1);
            failed.insert(name);
        }
    }
    return failed;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST(DiagnosticsEndToEnd, VnaTestPassesHealthyAndFailsTheCheckOfEachFault) {
    test::TempDir files;
    // A 40 dB attenuator from the output to Port B, as the test asks for.
    test::Simulator sim({"--dut", "attenuator:db=40"});
    const std::string data = sim.folder() + "data";
    const std::string report = files.file("report.txt");
    const auto run = [&](const std::string& out) {
        std::vector<std::string> args = {VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "test"};
        if (!out.empty()) {
            args.insert(args.end(), {"--out", out});
        }
        return test::RunProgram(args, std::chrono::seconds(60));
    };

    const test::Output healthy = run(report);
    ASSERT_EQ(healthy.status, 0) << healthy.out << healthy.err;
    EXPECT_NE(healthy.out.find("Result: PASSED, all 27 checks"), std::string::npos) << healthy.out;
    const std::string saved = test::ReadFile(report);
    EXPECT_NE(saved.find("Port B gain step 5 (513x)"), std::string::npos);
    EXPECT_NE(saved.find("\r\n"), std::string::npos) << "the report has CR LF line ends";

    std::set<std::string> reference;
    for (const char* port : {"Port A", "Port B"}) {
        for (const char* f : {"1", "10", "50", "100", "150", "180"}) {
            reference.insert(std::string(port) + " reference at " + f + " MHz");
        }
    }
    struct Case {
        std::string fault;
        std::set<std::string> failed;
    };
    const Case cases[] = {
        {"weakref", reference},
        {"stuckgain=3", {"Port B gain step 3 (24x)"}},
        {"lowsupply", {"Supply voltage"}},
        {"noflash", {"Flash date code"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_EQ(sim.ctl("fault clear"), "ok\n");
        ASSERT_EQ(sim.ctl("fault " + c.fault), "ok\n");
        const test::Output o = run("");
        EXPECT_EQ(o.status, 1) << o.out << o.err;
        EXPECT_EQ(FailedChecks(o.out), c.failed) << o.out;
        EXPECT_NE(
            o.err.find("vna-cli: error 17: the VNA failed " + std::to_string(c.failed.size()) + " of 27"),
            std::string::npos)
            << o.err;
    }
}

TEST(DiagnosticsEndToEnd, MonitorShowsTheExchangesOfASweepInOrder) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    test::Simulator sim({"--dut", "resistor:r=75", "--write-cal", cal});
    const test::Output o = test::RunProgram(
        {VNA_CLI_EXE, "--data-dir", sim.folder() + "data", "--serial", sim.link(), "--exchanges", "sweep",
         "a", "--start", "10", "--stop", "10.5", "--step", "0.1", "--cal", cal, "--out", files.file("s.scn")},
        std::chrono::seconds(30));
    ASSERT_EQ(o.status, 0) << o.err;
    // From the sweep's start code on: relays, the discarded first reading, then one measure command
    // and its reading per point, each reading at the frequency asked for, then the relays off.
    const std::vector<std::string> lines = Lines(o.err);
    std::size_t i = 0;
    while (i < lines.size() && lines[i].find("sweep start") == std::string::npos) {
        ++i;
    }
    ASSERT_LT(i, lines.size()) << o.err;
    std::vector<std::string> measured;
    std::string pending;
    for (; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const auto at = l.find("measure Port A at ");
        if (at != std::string::npos) {
            EXPECT_TRUE(pending.empty()) << "two commands without a reply: " << l;
            pending = l.substr(at + 18, 9);
            continue;
        }
        const auto reading = l.find("<- 72 bytes");
        if (reading != std::string::npos) {
            ASSERT_FALSE(pending.empty()) << "a reply without its command: " << l;
            EXPECT_NE(l.find("reading at " + pending), std::string::npos) << l;
            EXPECT_NE(l.find("checksum ok"), std::string::npos) << l;
            measured.push_back(pending);
            pending.clear();
        }
    }
    // The first reading is taken and discarded at the start frequency; then every point in turn.
    ASSERT_GE(measured.size(), 7u) << o.err;
    EXPECT_EQ(measured[0], "10.000000");
    for (std::size_t k = 1; k < measured.size(); ++k) {
        EXPECT_NEAR(std::stod(measured[k]), 10 + 0.1 * static_cast<double>(k - 1), 1e-6) << o.err;
    }
}
