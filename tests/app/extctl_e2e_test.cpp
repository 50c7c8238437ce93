// External control end to end: libvnactl with its C and Python examples on vna-sim's
// pseudo-terminal, and a running vna answering registry requests from vna-cli and a shell script.

#include <chrono>
#include <complex>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/process_support.h"
#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "sim/dut.h"
#include "support/test_rig.h"

using namespace vna;
using test::Output;
using test::RunProgram;
using test::Simulator;

namespace {

const std::string Device = "rlc-series:r=30,l=1.2u,c=80p";

// The noise bound of a corrected reading at 16 averages, as the program's own points are held to
// (the sweep tests' bound), with the cal file's rounding and the interpolation between cal points.
double Tolerance(std::complex<double> z) {
    const double m = std::abs(z);
    return 2 * (0.01 + 0.003 * m + 3e-6 * m * m) + 0.001 + 0.0002 * m;
}

std::complex<double> Truth(double mhz) {
    return sim::PortAImpedance(*sim::ParseDut(Device), mhz * 1e6);
}

// The "F MHz  Rs= R ohm  Xs= X ohm" lines of the examples.
std::vector<std::pair<double, std::complex<double>>> Points(const std::string& out) {
    std::vector<std::pair<double, std::complex<double>>> points;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto rs = line.find("Rs= ");
        const auto xs = line.find("Xs= ");
        if (rs != std::string::npos && xs != std::string::npos) {
            points.push_back(
                {core::TextToNumber(line),
                 {core::TextToNumber(line.substr(rs + 4)), core::TextToNumber(line.substr(xs + 4))}});
        }
    }
    return points;
}

// The rows of a Port A control CSV file: frequency, Rs and Xs.
std::vector<std::pair<double, std::complex<double>>> CsvRows(const std::string& path) {
    std::vector<std::pair<double, std::complex<double>>> rows;
    const std::string text = test::ReadFile(path);
    const auto lines = core::SplitLines(text);
    for (std::size_t n = 5; n < lines.size(); ++n) {
        std::vector<double> v;
        std::string_view rest = lines[n];
        while (!rest.empty()) {
            v.push_back(core::TextToNumber(rest));
            const auto comma = rest.find(',');
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
        if (v.size() == 9) {
            rows.push_back({v[0], {v[2], v[3]}});
        }
    }
    return rows;
}

// Runs Python with the library: under the sanitizers their runtime is preloaded into it.
std::vector<std::string> Python(std::vector<std::string> env) {
#ifdef VNACTL_PYTHON_PRELOAD
    env.push_back("LD_PRELOAD=" VNACTL_PYTHON_PRELOAD);
    env.push_back("ASAN_OPTIONS=detect_leaks=0");
#endif
    env.insert(env.begin(), "/usr/bin/env");
    env.push_back("/usr/bin/python3");
    return env;
}

} // namespace

TEST(ExternalControlEndToEnd, TheLibraryExportsExactlyItsDocumentedFunctions) {
    const Output o = RunProgram({"/usr/bin/nm", "-D", "--defined-only", VNACTL_LIB});
    ASSERT_EQ(o.status, 0) << o.err;
    std::set<std::string> names;
    std::istringstream lines(o.out);
    std::string address, kind, name;
    while (lines >> address >> kind >> name) {
        names.insert(name);
    }
    const std::set<std::string> documented = {
        "VNA_InitVars",       "VNA_Sync",        "VNA_ScanPointA", "VNA_ScanPointB",   "VNA_AvgReadings",
        "VNA_CommPort",       "VNA_LoadCalFile", "VNA_ProgRelay",  "VNA_ConstantFreq", "VNA_GetVersion",
        "VNA_GetTemperature", "VNA_FreeText",    "VNA_LastMessage"};
    EXPECT_EQ(names, documented) << o.out;
}

TEST(ExternalControlEndToEnd, TheExamplesReadCorrectedPointsThroughTheLibrary) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    Simulator sim({"--dut", Device, "--write-cal", cal});
    const std::string serial = "VNA_SERIAL=" + sim.link();
    const std::string home = "VNA_HOME=" + files.file("data");
    const std::vector<std::string> freqs = {"3.5", "16.244", "29.9"};

    // The program's own point at the same frequencies, for comparison.
    std::vector<std::pair<double, std::complex<double>>> own;
    for (const std::string& f : freqs) {
        const Output o = RunProgram({VNA_CLI_EXE, "--data-dir", files.file("data"), "--serial", sim.link(),
                                     "point", "--freq", f, "--average", "16", "--cal", cal});
        ASSERT_EQ(o.status, 0) << o.err;
        const auto rs = o.out.find("Rs:");
        const auto xs = o.out.find("Xs:");
        own.push_back({std::stod(f), {std::stod(o.out.substr(rs + 3)), std::stod(o.out.substr(xs + 3))}});
    }
    auto example = [&](bool python, const std::string& calFile, const std::vector<std::string>& at) {
        std::vector<std::string> args = {"/usr/bin/env", serial, home, VNACTL_POINT_C};
        if (python) {
            args = Python({serial, home});
            args.insert(args.end(), {VNACTL_POINT_PY, "--lib", VNACTL_LIB});
        }
        args.push_back(calFile);
        args.insert(args.end(), at.begin(), at.end());
        return RunProgram(args, std::chrono::seconds(60));
    };
    for (bool python : {false, true}) {
        const char* name = python ? "point.py" : "point.c";
        const Output o = example(python, cal, freqs);
        ASSERT_EQ(o.status, 0) << name << ": " << o.err << o.out;
        EXPECT_NE(o.out.find("instrument: vna ver 2.60"), std::string::npos) << o.out;
        const auto temperature = o.out.find("temperature: ");
        ASSERT_NE(temperature, std::string::npos) << o.out;
        EXPECT_NEAR(core::TextToNumber(o.out.substr(temperature + 13)), 25, 0.2) << "77 F in C";
        const auto points = Points(o.out);
        ASSERT_EQ(points.size(), freqs.size()) << o.out;
        for (std::size_t k = 0; k < points.size(); ++k) {
            const auto [f, z] = points[k];
            const std::complex<double> truth = Truth(f);
            EXPECT_LE(std::abs(z - truth), Tolerance(truth)) << name << " at " << f << " MHz: " << z;
            EXPECT_LE(std::abs(own[k].second - truth), Tolerance(truth)) << "the program at " << f << " MHz";
        }
        // A cal file that is not there: the code and the program's message.
        const Output refused = example(python, files.file("none.acal"), {"10"});
        EXPECT_EQ(refused.status, 1) << name << ": " << refused.out;
        EXPECT_NE(refused.err.find("(code 35921): Cal Required: The calibration file was not found."),
                  std::string::npos)
            << name << ": " << refused.err;
    }
}

TEST(ExternalControlEndToEnd, TheLibraryAnswersBadCallsWithItsCodes) {
    test::TempDir files;
    const std::string other = files.file("other.acal");
    {
        // Another unit (serial number 77, no flash) writes its cal file and goes away.
        Simulator unit77({"--no-flash", "--serial-number", "77", "--write-cal", other});
    }
    Simulator sim({"--dut", "resistor:r=50"});
    // Calls before the port is open (the temperature of a unit not yet identified is that of no
    // sensor, 88.88 F), null pointers, a path that is no file, a port number out of range, another
    // unit's cal file (refused though no version query named the unit first), and calls after the
    // port was closed.
    const std::string script = R"(
import ctypes, struct, sys
lib = ctypes.CDLL(sys.argv[1])
lib.VNA_LastMessage.restype = ctypes.c_char_p
lib.VNA_GetVersion.restype = ctypes.c_void_p
lib.VNA_FreeText.argtypes = [ctypes.c_void_p]
lib.VNA_GetTemperature.restype = ctypes.c_int64
lib.VNA_ScanPointA.argtypes = [ctypes.c_int32, ctypes.c_double, ctypes.c_void_p, ctypes.c_void_p]
print("point", lib.VNA_ScanPointA(0, 10.0, None, None))
print("sync", lib.VNA_Sync(1))
print("celsius %.6f" % struct.unpack("<d", struct.pack("<q", lib.VNA_GetTemperature(0)))[0])
print("nocal", lib.VNA_LoadCalFile(None), lib.VNA_LoadCalFile(b"/nonexistent/x.acal"))
print("port", lib.VNA_CommPort(1, 70000, 0), lib.VNA_LastMessage().decode())
print("open", lib.VNA_CommPort(1, 0, 0))
print("other", lib.VNA_LoadCalFile(sys.argv[2].encode()), lib.VNA_LastMessage().decode().split("\n")[0])
print("point", lib.VNA_ScanPointA(0, 10.0, None, None))
print("close", lib.VNA_CommPort(0, 0, 0), lib.VNA_CommPort(0, 0, 0))
text = lib.VNA_GetVersion(0)
print("version", ctypes.string_at(text).decode())
lib.VNA_FreeText(text)
lib.VNA_FreeText(None)
)";
    std::vector<std::string> args = Python({"VNA_SERIAL=" + sim.link(), "VNA_HOME=" + files.file("data")});
    args.insert(args.end(), {"-c", script, VNACTL_LIB, other});
    const Output o = RunProgram(args);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "point 10\n"
                     "sync 34524\n"
                     "celsius 31.600000\n"
                     "nocal 35921 35921\n"
                     "port 10 Comm port must between 1 and 65000\n"
                     "open 0\n"
                     "other 26903 Invalid cal file: This cal file is for a different instrument.\n"
                     "point 0\n"
                     "close 34503 0\n"
                     "version 34506\n")
        << o.err;
}

TEST(ExternalControlEndToEnd, ARunningProgramAnswersRegistryRequestsOfTheCommandLineToolAndAShellScript) {
    test::TempDir files;
    const std::string cal = files.file("sim.acal");
    Simulator sim({"--dut", Device, "--write-cal", cal});
    const std::string data = files.file("data");
    ASSERT_TRUE(test::WriteRegistryControlSettings(data, VNA_DEFAULT_CONFIG_FILE));
    test::Background vna({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", VNA_EXE, "--data-dir", data,
                          "--serial", sim.link(), "--cal", cal},
                         files.file("vna.log"));
    const std::string key = test::WaitForRegistryKey(data, vna);
    ASSERT_FALSE(key.empty()) << test::ReadFile(files.file("vna.log"));

    auto expectDevice = [](const std::string& csv, double start, std::size_t points) {
        const auto rows = CsvRows(csv);
        ASSERT_EQ(rows.size(), points) << csv;
        for (const auto& [f, z] : rows) {
            EXPECT_NEAR(f, start, 1e-5);
            EXPECT_LE(std::abs(z - Truth(f)), 2 * Tolerance(Truth(f))) << "at " << f << " MHz: " << z;
            start += 0.25;
        }
    };
    Output o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "request", "--port", "a", "--start", "12",
                           "--stop", "20", "--step", "0.25", "--timeout", "60"},
                          std::chrono::seconds(70));
    ASSERT_EQ(o.status, 0) << o.err << test::ReadFile(files.file("vna.log"));
    EXPECT_EQ(o.out, data + "/AutoScan.csv\n");
    expectDevice(data + "/AutoScan.csv", 12, 33);

    // A shell script as the client: the limits, then dataready; then wait for csvready.
    const std::string script = R"(
key="$1"
: > "$key/csvready"
echo 14 > "$key/startfreq"; echo 16 > "$key/endfreq"; echo 0.25 > "$key/deltafreq"; echo 0 > "$key/scanport"
echo go > "$key/dataready"
n=0
while [ ! -s "$key/csvready" ]; do
    sleep 0.1; n=$((n + 1)); [ $n -gt 600 ] && exit 1
done
cat "$key/csvready"
)";
    o = RunProgram({"/bin/sh", "-c", script, "client", key}, std::chrono::seconds(70));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, data + "/AutoScan.csv");
    expectDevice(data + "/AutoScan.csv", 14, 9);

    // Invalid limits: the reason, and no sweep.
    const std::string before = test::ReadFile(data + "/AutoScan.csv");
    o = RunProgram({VNA_CLI_EXE, "--data-dir", data, "request", "--port", "a", "--start", "12", "--stop",
                    "20", "--step", "0.0005", "--timeout", "30"},
                   std::chrono::seconds(40));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "vna-cli: error 1: Delta Freq is outside of limits, 1KHz to 1MHz 0.0005\n");
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(test::ReadFile(data + "/AutoScan.csv"), before);

    EXPECT_TRUE(vna.running());
    EXPECT_EQ(vna.terminate(), 0) << test::ReadFile(files.file("vna.log"));
}
