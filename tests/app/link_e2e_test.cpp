// End to end over a real pseudo-terminal: vna-sim as its own process, the program's Qt serial
// adapter on the other side, and vna-cli as a process.

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/link_rig.h"
#include "app/process_support.h"
#include "core/program.h"
#include "files/scan_format.h"
#include "instrument/commands.h"
#include "instrument/identification.h"
#include "instrument/raw_reading.h"
#include "instrument/serial_link.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/recording_sound.h"
#include "platform/fake/scripted_ui.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/system_clock.h"
#include "sim/dut.h"
#include "sim/front_end.h"
#include "support/test_rig.h"

using namespace vna;
using Clock = std::chrono::steady_clock;
using test::LinkRig;
using test::Output;
using test::RunAtTerminal;
using test::RunProgram;
using test::Simulator;
using test::TerminalStep;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

TEST(LinkEndToEnd, IdentifyNegotiateAndMeasureThroughThePseudoTerminal) {
    Simulator sim({"--dut", "resistor:r=75"});
    ASSERT_FALSE(sim.device().empty());
    ASSERT_TRUE(std::filesystem::is_symlink(sim.link()));
    EXPECT_EQ(std::filesystem::read_symlink(sim.link()).string(), sim.device());

    LinkRig rig;
    rig.st().SerialDevice = sim.link();
    rig.st().HighBaud = 1;
    instrument::ConnectInstrument(rig.p());
    ASSERT_EQ(rig.st().LastError, 0) << sim.ctl("status");
    EXPECT_EQ(rig.st().IdentState, 1);
    EXPECT_EQ(rig.st().BaudRate, 115000);
    EXPECT_NE(sim.ctl("status").find("baud=115000"), std::string::npos);
    instrument::IdentifyInstrument(rig.p(), 1);
    EXPECT_EQ(rig.st().FlashPresent, 1);

    // Raw impedance of the resistor: what the bridge model says, within the reading noise.
    rig.st().average = 16;
    instrument::SetAveraging(rig.p(), 16);
    instrument::SendGains(rig.p());
    instrument::SetRelays(rig.p(), 3);
    const sim::Bridge bridge;
    for (double f : {1.0, 7.05, 29.5, 120.0}) {
        rig.st().freq = f;
        instrument::MeasurePortAPoint(rig.p());
        ASSERT_EQ(rig.st().LastError, 0) << f;
        const std::complex<double> measured(rig.st().RsRaw + 50, rig.st().XsRaw);
        const std::complex<double> predicted = bridge.Raw(75, rig.st().freq * 1e6);
        EXPECT_NEAR(std::abs(measured - predicted) / std::abs(predicted), 0, 0.005) << f << " MHz";
    }
    // The device can be changed at run time.
    EXPECT_EQ(sim.ctl("dut short"), "ok\n");
    rig.st().freq = 1;
    instrument::MeasurePortAPoint(rig.p());
    EXPECT_NEAR(std::abs(std::complex<double>(rig.st().RsRaw + 50, rig.st().XsRaw) - bridge.Es(1e6)), 0, 0.5);
    instrument::SetRelays(rig.p(), 0);

    // A unit that does not follow the switch: the link ends at 57600, identified.
    Simulator stuck({"--fault", "stuckbaud"});
    LinkRig second;
    second.st().SerialDevice = stuck.link();
    second.st().HighBaud = 1;
    instrument::ConnectInstrument(second.p());
    EXPECT_EQ(second.st().LastError, 0);
    EXPECT_EQ(second.st().BaudRate, 57600);
    EXPECT_EQ(second.st().IdentState, 1);
}

TEST(LinkEndToEnd, FaultsEndInTheirCodesWithinTheirBudgets) {
    Simulator sim({"--dut", "short"});
    LinkRig rig;
    rig.st().SerialDevice = sim.link();
    instrument::ConnectInstrument(rig.p());
    ASSERT_EQ(rig.st().LastError, 0);
    instrument::SendGains(rig.p());
    instrument::SetRelays(rig.p(), 3);
    auto measure = [&] {
        rig.st().LastError = 0;
        rig.st().freq = 10;
        const auto start = Clock::now();
        instrument::MeasurePortAPoint(rig.p());
        return Seconds(start);
    };
    EXPECT_LT(measure(), 0.5);
    EXPECT_EQ(rig.st().LastError, 0);

    // Truncated: the budget of 500 empty reads of about a millisecond each, then code 10.
    sim.ctl("fault truncate=40:1");
    double took = measure();
    EXPECT_EQ(rig.st().LastError, 10);
    EXPECT_GT(took, 0.4);
    EXPECT_LT(took, 2.0);
    // Bad checksums: two are retried away, five end in code 17 without a box.
    sim.ctl("fault badsum=2");
    measure();
    EXPECT_EQ(rig.st().LastError, 0);
    const auto boxes = rig.ui.messages().size();
    sim.ctl("fault badsum=5");
    measure();
    EXPECT_EQ(rig.st().LastError, 17);
    EXPECT_EQ(rig.ui.messages().size(), boxes);
    // Reference loss and overload.
    sim.ctl("fault refloss");
    measure();
    EXPECT_EQ(rig.st().LastError & 0x80, 0x80);
    sim.ctl("fault clear");
    sim.ctl("fault overload");
    instrument::SetRelays(rig.p(), 3); // the failed points above switched them off
    measure();
    EXPECT_EQ(rig.st().LastError, 1274);
    EXPECT_EQ(rig.ui.messages().back().text, "OVERLOAD at the RF Input.");
    sim.ctl("fault clear");
    // Silence: the version query gives up after its 200 ms.
    sim.ctl("fault silence");
    auto start = Clock::now();
    instrument::IdentifyInstrument(rig.p(), 0);
    EXPECT_EQ(rig.st().IdentState, 0);
    EXPECT_LT(Seconds(start), 1.0);
    sim.ctl("fault clear");
    instrument::IdentifyInstrument(rig.p(), 0);
    EXPECT_EQ(rig.st().IdentState, 1);

    // The adapter is pulled out: every exchange ends at once, nothing hangs, the program goes on.
    EXPECT_EQ(sim.ctl("unplug"), "ok\n");
    start = Clock::now();
    measure();
    EXPECT_EQ(rig.st().LastError, 10);
    instrument::IdentifyInstrument(rig.p(), 0);
    EXPECT_EQ(rig.st().IdentState, 0);
    EXPECT_LT(Seconds(start), 3.0);
    // Plugged in again (a new device behind the same link): the user reconnects.
    EXPECT_EQ(sim.ctl("plug"), "ok\n");
    EXPECT_TRUE(instrument::ApplyCommPortEntry(rig.p(), sim.link()));
    EXPECT_EQ(rig.st().LastError, 0);
    EXPECT_EQ(rig.st().IdentState, 1);
}

TEST(LinkEndToEnd, CommandLineToolIdentifiesMeasuresAndFails) {
    Simulator sim({"--dut", "attenuator:db=20"});
    const std::string data = sim.folder() + "data";
    Output o =
        RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "--high-baud", "identify"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("(115000 baud)"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("version:     vna ver 2.60 sn=1042"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("firmware:    2.60"), std::string::npos);
    EXPECT_NE(o.out.find("temperature: 77."), std::string::npos);
    EXPECT_NE(o.out.find("supply:      12.00 V"), std::string::npos);
    // The unit now talks at 115000; a power cycle brings it back to 57600.
    sim.ctl("power on");

    o = RunProgram(
        {VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "point", "--port", "b", "--freq", "5"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("frequency:   5.000000 MHz, port B"), std::string::npos) << o.out;
    const auto ratio = o.out.find("ratio:");
    ASSERT_NE(ratio, std::string::npos);
    EXPECT_NEAR(std::stod(o.out.substr(ratio + 6)), -20, 0.1);

    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "point", "--freq", "3.5"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("raw Z:"), std::string::npos);

    sim.ctl("fault overload");
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "point", "--freq", "3.5"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("vna-cli: error 1274:"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("OVERLOAD at the RF Input."), std::string::npos);
    sim.ctl("fault clear");

    // Nothing at the device: the message and code, promptly.
    const auto start = Clock::now();
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.folder() + "nothing", "identify"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("vna-cli: error 10:"), std::string::npos) << o.err;
    EXPECT_LT(Seconds(start), 5.0);
    // Usage errors are told apart.
    o = RunProgram({VNA_CLI_EXE, "point", "--port", "c", "--freq", "1"});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("--port is a or b"), std::string::npos);
}

TEST(LinkEndToEnd, TheSimulatorsCalFileCorrectsTheCommandLinePoint) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    const std::string other = files.file("other.acal");
    {
        // Another unit (no flash, serial number 77) writes its own cal file and goes away.
        Simulator unit77({"--no-flash", "--serial-number", "77", "--write-cal", other});
    }
    Simulator sim({"--dut", "resistor:r=75", "--write-cal", cal});
    ASSERT_TRUE(test::ReadFile(cal).starts_with(" 13800\r\n"));
    EXPECT_NE(test::ReadFile(other).find("_ID= 77  || "), std::string::npos);
    const std::string data = sim.folder() + "data";
    Output o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "point", "--freq", "14.2",
                           "--average", "16", "--cal", cal});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rs = o.out.find("Rs:");
    const auto xs = o.out.find("Xs:");
    ASSERT_NE(rs, std::string::npos) << o.out;
    ASSERT_NE(xs, std::string::npos) << o.out;
    EXPECT_NEAR(std::stod(o.out.substr(rs + 3)), 75, 0.3) << o.out;
    EXPECT_NEAR(std::stod(o.out.substr(xs + 3)), 0, 0.3) << o.out;
    // The other unit's file is refused: another instrument.
    o = RunProgram(
        {VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "point", "--freq", "14.2", "--cal", other});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("vna-cli: error 26903:"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("This cal file is for a different instrument."), std::string::npos) << o.err;
}

namespace {

// The noise bound of a corrected reading at 16 averages (as in the correction tests), twice over
// for the tails of a whole sweep, with the interpolation between cal points and the cal file's
// rounding.
double SweepTolerance(std::complex<double> z) {
    const double m = std::abs(z);
    return 2 * (0.01 + 0.003 * m + 3e-6 * m * m) + 0.001 + 0.0002 * m;
}

} // namespace

TEST(LinkEndToEnd, CommandLineCalibrationAsksAtTheTerminalAndItsFileCorrects) {
    Simulator sim({"--dut", "open"});
    const std::string data = sim.folder() + "data";
    const std::string cal = sim.folder() + "terminal.acal";
    auto attach = [&sim](const std::string& dut) {
        return [&sim, dut] { EXPECT_EQ(sim.ctl("dut " + dut), "ok\n"); };
    };
    const auto start = Clock::now();
    Output o = RunAtTerminal(
        {VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "cal", "standard", "--out", cal},
        {{"Attach short circuit to the Port A connector.", attach("short"), "\n"},
         {"Attach open circuit to the Port A connector.", attach("open"), "\n"},
         {"Connect a standard resistor to Port A.", attach("resistor:r=50"), "\n"},
         {"Cal Standard (ohms) [50]", nullptr, "\n"},
         {"DO YOU WANT TO CAL PORT B?", nullptr, "n\n"},
         {"Do you want to save the new data?", nullptr, "\n"}});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, cal + ": standard calibration, 921 Port A points, 0 Port B points\n");
    EXPECT_NE(o.err.find("(Enter = Continue, q = Cancel)"), std::string::npos);
    RecordProperty("terminal_cal_seconds", std::to_string(Seconds(start)));

    // The file corrects a point measured later by the same unit.
    sim.ctl("dut resistor:r=75");
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "point", "--freq", "14.2",
                    "--average", "16", "--cal", cal});
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rs = o.out.find("Rs:");
    ASSERT_NE(rs, std::string::npos) << o.out;
    EXPECT_NEAR(std::stod(o.out.substr(rs + 3)), 75, 0.5) << o.out;

    // "q" at the first prompt: nothing written, and why.
    const std::string none = sim.folder() + "none.acal";
    o = RunAtTerminal(
        {VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "cal", "standard", "--out", none},
        {{"Attach short circuit to the Port A connector.", nullptr, "q\n"}});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("[ Calibration aborted] The original cal data will be used."), std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("vna-cli: error 1: the calibration was not completed; no cal file was written"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST(LinkEndToEnd, SweepsOverThePseudoTerminalWithTheSimulatorsCalFile) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    Simulator sim({"--dut", "rlc-series:r=30,l=1.2u,c=80p", "--write-cal", cal});
    const std::string data = sim.folder() + "data";
    const std::string scanA = files.file("series.scn");
    Output o =
        RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "sweep", "a", "--start", "12",
                    "--stop", "20", "--step", "0.05", "--average", "16", "--cal", cal, "--out", scanA},
                   std::chrono::seconds(60));
    ASSERT_EQ(o.status, 0) << o.err << o.out;
    std::string problem;
    const auto a = files::ParseScanFileA(test::ReadFile(scanA), problem);
    ASSERT_TRUE(a) << problem;
    ASSERT_EQ(a->last(), 160);
    for (int i = 0; i <= a->last(); ++i) {
        const double f = 12 + 0.05 * i;
        const double w = 2 * 3.141592653589793 * f * 1e6;
        const std::complex<double> truth(30, w * 1.2e-6 - 1 / (w * 80e-12));
        const auto k = static_cast<std::size_t>(i);
        const auto z = std::polar(a->zmag[k], a->phase[k]);
        EXPECT_LE(std::abs(z - truth), SweepTolerance(truth)) << "at " << f << " MHz: " << z;
    }
    // The minimum SWR lies at the series resonance, 16.244 MHz, and so does the first resonance.
    const auto minAt = o.out.find("min SWR:");
    ASSERT_NE(minAt, std::string::npos) << o.out;
    EXPECT_NEAR(std::stod(o.out.substr(o.out.find(" at ", minAt) + 4)), 16.244, 0.05) << o.out;
    const auto reson = o.out.find("resonance:");
    ASSERT_NE(reson, std::string::npos) << o.out;
    EXPECT_NEAR(std::stod(o.out.substr(reson + 10)), 16.244, 0.05) << o.out;

    // A parallel circuit (2 kohm at its resonance near 15.9 MHz) and an open-ended lossy line,
    // likewise at every point.
    for (const std::string device :
         {"rlc-parallel:r=2000,l=1u,c=100p", "line:len=4,z0=75,vf=0.66,loss=3,end=open"}) {
        ASSERT_EQ(sim.ctl("dut " + device), "ok\n");
        const std::string scan = files.file("device.scn");
        o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "sweep", "a", "--start",
                        "10", "--stop", "20", "--step", "0.1", "--average", "16", "--cal", cal, "--out",
                        scan},
                       std::chrono::seconds(60));
        ASSERT_EQ(o.status, 0) << device << ": " << o.err << o.out;
        const auto d = files::ParseScanFileA(test::ReadFile(scan), problem);
        ASSERT_TRUE(d) << problem;
        ASSERT_EQ(d->last(), 100);
        const auto dut = sim::ParseDut(device);
        ASSERT_TRUE(dut);
        for (int i = 0; i <= d->last(); ++i) {
            const double f = 10 + 0.1 * i;
            const std::complex<double> truth = sim::PortAImpedance(*dut, f * 1e6);
            const auto k = static_cast<std::size_t>(i);
            const auto z = std::polar(d->zmag[k], d->phase[k]);
            EXPECT_LE(std::abs(z - truth), SweepTolerance(truth)) << device << " at " << f << " MHz: " << z;
        }
    }

    // A band-pass filter at Port B through the receiver's ranges.
    sim.ctl("dut bandpass:f0=2,bw=0.2,order=4,il=1");
    const std::string scanB = files.file("filter.scnb");
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "sweep", "b", "--start", "1.5",
                    "--stop", "2.5", "--step", "0.01", "--cal", cal, "--out", scanB},
                   std::chrono::seconds(60));
    ASSERT_EQ(o.status, 0) << o.err << o.out;
    const auto b = files::ParseScanFileB(test::ReadFile(scanB), problem);
    ASSERT_TRUE(b) << problem;
    ASSERT_GE(b->s21db.size(), 101u);
    double lowest = 0;
    for (std::size_t k = 0; k <= 100; ++k) {
        const double f = 1.5 + 0.01 * static_cast<double>(k);
        const double x = (2 / 0.2) * (f / 2 - 2 / f);
        const double expected = -1 - 10 * std::log10(1 + std::pow(x, 8));
        if (expected > -60) {
            // Far from the crosstalk floor of the unit, the filter alone.
            EXPECT_NEAR(b->s21db[k], expected, 0.5) << "at " << f << " MHz";
        }
        lowest = std::min(lowest, b->s21db[k]);
    }
    EXPECT_LT(lowest, -55) << "the sweep reached down into the stop band";
    EXPECT_TRUE(std::filesystem::exists(files.file("filter.s2p")));
}

TEST(LinkEndToEnd, SweepsUpToTheTopOfTheRangeAreMeasuredAndCorrected) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    Simulator sim({"--dut", "resistor:r=50", "--write-cal", cal});
    const std::string data = sim.folder() + "data";
    struct Grid {
        const char *start, *stop, *step;
        int points;
    };
    // The limits the standard cal leaves, stops just below them, and a spread across the range.
    for (const Grid g : {Grid{"1", "180", "2", 90}, Grid{"1", "179", "2", 90}, Grid{"100", "180", "3", 27},
                         Grid{"0.5", "97.3", "1.9", 51}, Grid{"170", "180", "0.37", 28}}) {
        const std::string scan = files.file("r50.scn");
        const Output o =
            RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "sweep", "a", "--start",
                        g.start, "--stop", g.stop, "--step", g.step, "--cal", cal, "--out", scan},
                       std::chrono::seconds(60));
        const std::string grid = std::string(g.start) + ".." + g.stop + " by " + g.step;
        ASSERT_EQ(o.status, 0) << grid << ": " << o.err << o.out;
        std::string problem;
        const auto a = files::ParseScanFileA(test::ReadFile(scan), problem);
        ASSERT_TRUE(a) << problem;
        ASSERT_EQ(a->last() + 1, g.points) << grid;
        for (int i = 0; i <= a->last(); ++i) {
            const auto z =
                std::polar(a->zmag[static_cast<std::size_t>(i)], a->phase[static_cast<std::size_t>(i)]);
            EXPECT_LE(std::abs(z - 50.0), SweepTolerance(50)) << grid << " point " << i << ": " << z;
        }
    }
}

namespace {

// What the simulator's log says of the band scans from `from` on: the levels it sent, in order,
// and the acknowledges it received.
struct BandLog {
    std::vector<int> levels;
    int acks = 0;
};

BandLog ReadBandLog(const std::string& log, std::size_t from) {
    BandLog b;
    std::size_t at = from;
    while ((at = log.find(" band ", at)) != std::string::npos) {
        if (log.compare(at, 12, " band level ") == 0) {
            b.levels.push_back(std::stoi(log.substr(log.find(':', at) + 1)));
        } else if (log.compare(at, 10, " band ack ") == 0) {
            ++b.acks;
        }
        ++at;
    }
    return b;
}

// The levels of vna-cli's rows "MHz,level", checking that the frequencies step from `start`.
std::vector<int> RowLevels(const std::string& rows, double start, double step) {
    std::vector<int> levels;
    std::size_t at = 0;
    while (at < rows.size()) {
        const auto end = rows.find('\n', at);
        const std::string row = rows.substr(at, end - at);
        const auto comma = row.find(',');
        EXPECT_NE(comma, std::string::npos) << row;
        EXPECT_NEAR(std::stod(row), start + step * static_cast<double>(levels.size()), 1e-6) << row;
        levels.push_back(std::stoi(row.substr(comma + 1)));
        at = end == std::string::npos ? rows.size() : end + 1;
    }
    return levels;
}

std::string Hex8(std::uint32_t w) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", w);
    return buf;
}

} // namespace

TEST(LinkEndToEnd, BandScanOfTheCommandLineToolReturnsWhatTheUnitStreamed) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    Simulator sim({"--dut", "antenna:f0=14.1", "--write-cal", cal});
    const std::string data = sim.folder() + "data";
    const std::vector<std::string> scan = {VNA_CLI_EXE, "--data-dir", data,      "--serial",
                                           sim.link(),  "bandscan",   "--start", "14",
                                           "--stop",    "14.2",       "--step",  "0.001"};
    auto withArgs = [&scan](std::vector<std::string> more) {
        std::vector<std::string> args = scan;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    Output o = RunProgram(withArgs({"--high"}));
    ASSERT_EQ(o.status, 0) << o.err;
    const BandLog streamed = ReadBandLog(sim.log(), 0);
    ASSERT_GE(streamed.levels.size(), 199u);
    EXPECT_EQ(RowLevels(o.out, 14, 0.001), streamed.levels);
    EXPECT_EQ(streamed.acks, static_cast<int>(streamed.levels.size())) << "one acknowledge per level";
    EXPECT_NE(sim.ctl("status").find("gainA=1 sensA=2"), std::string::npos) << "the gains are back";

    // The link is in step for a normal sweep right after.
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "sweep", "a", "--start", "13",
                    "--stop", "15", "--step", "0.1", "--cal", cal, "--out", files.file("after.scn")},
                   std::chrono::seconds(60));
    EXPECT_EQ(o.status, 0) << o.err;

    // The rows into a CSV file.
    std::size_t from = sim.log().size();
    o = RunProgram(withArgs({"--out", files.file("band.csv")}));
    ASSERT_EQ(o.status, 0) << o.err;
    std::string csv = test::ReadFile(files.file("band.csv"));
    EXPECT_NE(csv.find("14.000000,"), std::string::npos);
    csv.erase(std::remove(csv.begin(), csv.end(), '\r'), csv.end());
    EXPECT_EQ(RowLevels(csv, 14, 0.001), ReadBandLog(sim.log(), from).levels);

    // A stream without end marker ends after 10000 levels, each acknowledged; the link is usable.
    sim.ctl("fault bandendless");
    from = sim.log().size();
    auto start = Clock::now();
    o = RunProgram(scan, std::chrono::seconds(60));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("vna-cli: error 1: the instrument sent no end of scan after 10000 levels"),
              std::string::npos)
        << o.err;
    const BandLog endless = ReadBandLog(sim.log(), from);
    EXPECT_EQ(RowLevels(o.out, 14, 0.001).size(), 10000u);
    EXPECT_EQ(endless.acks, 10000);
    RecordProperty("endless_band_scan_seconds", std::to_string(Seconds(start)));
    sim.ctl("fault clear");
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "identify"});
    EXPECT_EQ(o.status, 0) << o.err;

    // A stream that breaks off in the middle of a level: the 50000 empty reads, code 10, the rows
    // before it, and the link usable.
    sim.ctl("fault bandbreak=5");
    start = Clock::now();
    o = RunProgram(scan, std::chrono::seconds(150));
    const double silentSeconds = Seconds(start);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("vna-cli: error 10: the instrument stopped sending after 5 levels"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(RowLevels(o.out, 14, 0.001).size(), 5u);
    EXPECT_GT(silentSeconds, 40);
    EXPECT_LT(silentSeconds, 120);
    RecordProperty("silent_band_scan_seconds", std::to_string(silentSeconds));
    sim.ctl("fault clear");
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "--serial", sim.link(), "identify"});
    EXPECT_EQ(o.status, 0) << o.err;
}

TEST(LinkEndToEnd, SweepGeneratorSendsItsExactBytesAndAlwaysStopsTheUnit) {
    Simulator sim;
    const std::string data = sim.folder() + "data";
    const std::vector<std::string> args = {VNA_CLI_EXE, "--data-dir", data,         "--serial", sim.link(),
                                           "generator", "--start",    "1",          "--stop",   "11",
                                           "--step",    "50",         "--settling", "3",        "--marker",
                                           "5",         "--marker",   "0"};
    core::AppState st; // the tuning words of a unit without frequency correction
    const std::string off = Hex8(instrument::TuningWord(st, 195, 0));
    const std::vector<std::string> expected = {
        "<- ZA" + Hex8(instrument::TuningWord(st, 1, 0)),
        "<- " + Hex8(instrument::TuningWord(st, 11, 0)) + Hex8(instrument::TuningWord(st, 0.2, 0)) +
            Hex8(instrument::TuningWord(st, 5, 0)) + off + off + off + "<04><14>",
        "<- Z2",
        "sweep generator running",
        "<- 0Z3",
        "sweep generator stopped"};
    auto inOrder = [&expected](const std::string& log, std::size_t from) {
        for (const std::string& line : expected) {
            from = log.find(line, from);
            if (from == std::string::npos) {
                return line;
            }
        }
        return std::string();
    };

    // Enter stops it.
    std::size_t from = sim.log().size();
    Output o = RunAtTerminal(
        args,
        {{"Press Enter to stop it.",
          [&sim] { EXPECT_NE(sim.ctl("status").find("sweepgen=running"), std::string::npos); }, "\n"}},
        std::chrono::seconds(30));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(inOrder(sim.log(), from), "") << "missing from the log";
    EXPECT_NE(sim.ctl("status").find("sweepgen=off"), std::string::npos);

    // SIGTERM (and SIGINT) while it sweeps: the stop goes out before the tool ends.
    for (int sig : {SIGTERM, SIGINT}) {
        from = sim.log().size();
        pid_t pid = -1;
        o = RunAtTerminal(args, {{"Press Enter to stop it.", [&pid, sig] { ::kill(pid, sig); }, ""}},
                          std::chrono::seconds(30), &pid);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_NE(o.out.find("generator:   stopped (signal)"), std::string::npos) << o.out;
        EXPECT_EQ(inOrder(sim.log(), from), "") << "missing from the log after signal " << sig;
        EXPECT_NE(sim.ctl("status").find("sweepgen=off"), std::string::npos);
    }
}
