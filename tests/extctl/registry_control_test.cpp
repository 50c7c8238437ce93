// Registry external control against the simulated unit: a client's request swept and answered
// with the control CSV file, the limit codes, refused and bad requests, the watch loop, and the
// client side.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/number_text.h"
#include "core/text_lines.h"
#include "extctl/control_csv.h"
#include "extctl/exported.h"
#include "extctl/registry_client.h"
#include "extctl/registry_control.h"
#include "measure/sweep_support.h"
#include "platform/fake/memory_registry.h"
#include "platform/file_registry.h"

using namespace vna;
using test::Complex;
using test::SimTest;

namespace {

struct Rows {
    std::vector<std::string> head;
    std::vector<std::vector<double>> values;
};

// The control CSV file: its five head lines and its rows of numbers.
Rows ReadCsv(const std::string& path) {
    Rows r;
    const std::string text = test::ReadFile(path);
    for (std::string_view line : core::SplitLines(text)) {
        if (line.empty()) {
            continue;
        }
        if (r.head.size() < 5) {
            r.head.emplace_back(line);
            continue;
        }
        std::vector<double> row;
        std::size_t from = 0;
        for (;;) {
            const auto comma = line.find(',', from);
            row.push_back(core::TextToNumber(line.substr(from, comma - from)));
            if (comma == std::string_view::npos) {
                break;
            }
            from = comma + 1;
        }
        r.values.push_back(row);
    }
    return r;
}

void Ask(test::SimRig& r, const std::string& start, const std::string& end, const std::string& step,
         const std::string& port, const std::string& ready = "go") {
    const std::string& key = r.st().registryPath;
    r.registry.set(key, extctl::StartFreqValue, start);
    r.registry.set(key, extctl::EndFreqValue, end);
    r.registry.set(key, extctl::DeltaFreqValue, step);
    r.registry.set(key, extctl::ScanPortValue, port);
    r.registry.set(key, extctl::DataReadyValue, ready);
}

std::string Get(test::SimRig& r, std::string_view name) {
    return r.registry.get(r.st().registryPath, name).value_or("<none>");
}

// A registry in which, while a client waits, the program first answers another client's request
// and then the waiting one's.
class BusyRegistry final : public platform::Registry {
public:
    platform::fake::MemoryRegistry values;
    int looks = 0;
    bool createKey(std::string_view key) override { return values.createKey(key); }
    bool keyExists(std::string_view key) override { return values.keyExists(key); }
    bool set(std::string_view key, std::string_view name, std::string_view value) override {
        return values.set(key, name, value);
    }
    std::optional<std::string> get(std::string_view key, std::string_view name) override {
        if (name == extctl::AnsweredValue && ++looks == 3) {
            values.set(key, extctl::CsvReadyValue, "/other.csv");
            values.set(key, extctl::StatusValue, "0");
            values.set(key, extctl::AnsweredValue, "someone else");
        } else if (name == extctl::AnsweredValue && looks == 6) {
            values.set(key, extctl::CsvReadyValue, "/mine.csv");
            values.set(key, extctl::StatusValue, "17 The Port B sweep stopped after 4 points.");
            values.set(key, extctl::AnsweredValue, values.get(key, extctl::DataReadyValue).value_or(""));
        }
        return values.get(key, name);
    }
};

} // namespace

TEST_F(SimTest, RegistryRequestIsSweptAndAnsweredWithTheControlCsvFile) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p"));
    core::AppState& st = r.st();
    st.externalControl = 2;
    st.outputfile = "c:\\AutoScan.csv";
    const std::string csv = r.dir.file("AutoScan.csv");
    EXPECT_EQ(extctl::ControlCsvPath(st), csv) << "the Windows default lies in the data folder";

    // A shell's values come with their line ends.
    Ask(r, "12\n", "20\n", "0.25\n", "0\n", "ready\n");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(Get(r, extctl::DataReadyValue), "null");
    EXPECT_EQ(Get(r, extctl::CsvReadyValue), csv);
    EXPECT_EQ(Get(r, extctl::StatusValue), "0");
    EXPECT_EQ(Get(r, extctl::AnsweredValue), "ready\n");
    Rows a = ReadCsv(csv);
    ASSERT_EQ(a.head.size(), 5u);
    EXPECT_EQ(a.head[0].rfind("Created: ", 0), 0u);
    EXPECT_EQ(a.head[4], "Freq(MHz),SWR,Rs,Xs,Zmag,Phase(deg),Rho,ReturnLoss,%ReflectedPower");
    ASSERT_EQ(a.values.size(), 33u) << "12 to 20 MHz in 0.25 MHz steps, the stop included";
    for (std::size_t k = 0; k < a.values.size(); ++k) {
        const double f = 12 + 0.25 * static_cast<double>(k);
        const std::vector<double>& row = a.values[k];
        ASSERT_EQ(row.size(), 9u);
        // The frequency in full precision, half a unit of the sixth decimal up.
        EXPECT_DOUBLE_EQ(row[0], core::TextToNumber(core::NumText(f + 0.0000005, 6)));
        const Complex z = test::TrueZ(r, f);
        EXPECT_NEAR(row[2], z.real(), test::ZTolerance(z)) << f;
        EXPECT_NEAR(row[3], z.imag(), test::ZTolerance(z)) << f;
        // Degrees with 57.2958 per radian.
        EXPECT_NEAR(row[5], r.p().scan.scan_phase[k] * 57.2958, 1e-6) << f;
    }
    EXPECT_EQ(st.start_freq, 12);
    EXPECT_EQ(st.end_freq, 20);
    // Limits the wrong way round are swept the right way; a span below a step becomes one step.
    Ask(r, "20", "12", "0.5", "0");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    a = ReadCsv(csv);
    ASSERT_EQ(a.values.size(), 17u);
    EXPECT_NEAR(a.values.front()[0], 12, 1e-5);
    Ask(r, "15", "15", "0.5", "0");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    a = ReadCsv(csv);
    ASSERT_EQ(a.values.size(), 2u);
    EXPECT_NEAR(a.values.back()[0], 15.5, 1e-5);

    // "null" anywhere in dataready asks for nothing, and so does a blank text (a shell's file
    // between its truncation and its new text).
    const long readings = r.serial.unit.state().measurements;
    for (const char* idle : {"null", "null0042", "xxnullxx", "", " \n"}) {
        r.registry.set(st.registryPath, extctl::DataReadyValue, idle);
        EXPECT_FALSE(extctl::PollRegistry(r.p())) << idle;
    }
    // A request that comes while a sweep runs waits for the next look.
    Ask(r, "5", "6", "0.5", "1");
    st.SweepRunning = 1;
    EXPECT_FALSE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(Get(r, extctl::DataReadyValue), "go");
    st.SweepRunning = 0;
    EXPECT_EQ(r.serial.unit.state().measurements, readings);

    // Port B: the rows of the Port B export, not the Port A arrays.
    r.serial.unit.dut = *sim::ParseDut("attenuator:db=20");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(Get(r, extctl::StatusValue), "0");
    EXPECT_EQ(st.PortB_on, 1);
    const Rows b = ReadCsv(csv);
    ASSERT_EQ(b.head.size(), 5u);
    EXPECT_EQ(b.head[4], "Freq(MHz), S11mag(dB), S11phase(deg), S21mag(dB), S21phase(deg), Delay(usec)");
    ASSERT_EQ(b.values.size(), 3u);
    for (const auto& row : b.values) {
        EXPECT_NEAR(row[3], -20, 0.3) << row[0];
    }
}

TEST_F(SimTest, RegistryRequestsWithInvalidLimitsOrAnUnwritableFileAreRefusedAndTheNextIsAnswered) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=50"));
    core::AppState& st = r.st();
    // The limit codes: a later failure overrides an earlier one.
    EXPECT_EQ(extctl::LimitCode(st, 1, 2, 0.0005), 1);
    EXPECT_EQ(extctl::LimitCode(st, 1, 2, 1), 0);
    EXPECT_EQ(extctl::LimitCode(st, 1, 2, 1.01), 1);
    EXPECT_EQ(extctl::LimitCode(st, 0.001, 2, 0.1), 3);
    EXPECT_EQ(extctl::LimitCode(st, 0.001, 0.005, 0.1), 3);
    EXPECT_EQ(extctl::LimitCode(st, 0.005, 0.005, 0.1), 2);
    EXPECT_EQ(extctl::LimitCode(st, 1, 180.0001, 0.1), 0);
    EXPECT_EQ(extctl::LimitCode(st, 180.01, 170, 0.1), 3);

    st.start_freq = 1;
    st.end_freq = 30;
    st.delta_freq = 0.1;
    const long readings = r.serial.unit.state().measurements;
    struct Case {
        const char *start, *end, *step;
        int code;
        std::string reason;
    };
    for (const Case& c :
         {Case{"1", "2", "0.0005", 1, "Delta Freq is outside of limits, 1KHz to 1MHz 0.0005"},
          Case{"1", "0.005", "0.001", 2, "End Freq is outside of limits, 10KHz to  180  0.005"},
          Case{"0.001", "2", "0.1", 3, "Start Freq is outside of limits, 5KHz to  180  0.001"},
          Case{"abc", "2", "0.1", 3, "Start Freq is outside of limits, 5KHz to  180  abc"}}) {
        Ask(r, c.start, c.end, c.step, "0");
        r.registry.set(st.registryPath, extctl::CsvReadyValue, "");
        ASSERT_TRUE(extctl::PollRegistry(r.p()));
        EXPECT_EQ(Get(r, extctl::DataReadyValue), "null");
        EXPECT_EQ(Get(r, extctl::StatusValue), std::to_string(c.code) + " " + c.reason);
        EXPECT_TRUE(r.printed("   INVALID data in external control file: " + c.reason)) << c.reason;
        EXPECT_EQ(Get(r, extctl::CsvReadyValue), "");
        EXPECT_EQ(st.LastError, c.code);
    }
    // Values the client never wrote.
    for (auto name : {extctl::StartFreqValue, extctl::EndFreqValue, extctl::DeltaFreqValue}) {
        r.registry.values.erase({st.registryPath, std::string(name)});
    }
    r.registry.set(st.registryPath, extctl::DataReadyValue, "go");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(Get(r, extctl::StatusValue),
              "3 Start Freq is outside of limits, 5KHz to  180  Start not found");
    // Nothing was measured and the user's limits stand.
    EXPECT_EQ(r.serial.unit.state().measurements, readings);
    EXPECT_EQ(st.start_freq, 1);
    EXPECT_EQ(st.end_freq, 30);
    EXPECT_EQ(st.delta_freq, 0.1);

    // An output file that cannot be written: the message, no announcement of an older file.
    const std::string folder = r.dir.file("no such folder");
    st.outputfile = folder + "/out.csv";
    Ask(r, "10", "11", "0.5", "0");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(r.ui.messages().back().caption, "No control file");
    EXPECT_EQ(r.ui.messages().back().text,
              "Data file: " + folder +
                  "/out.csv is not available for writing.\rIt may be in use by another program.");
    EXPECT_EQ(Get(r, extctl::CsvReadyValue), "");
    EXPECT_EQ(Get(r, extctl::StatusValue).rfind("4 Data file: ", 0), 0u);
    // The next request is answered once the folder is there.
    std::filesystem::create_directory(folder);
    Ask(r, "10", "11", "0.5", "0");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(Get(r, extctl::StatusValue), "0");
    EXPECT_EQ(ReadCsv(folder + "/out.csv").values.size(), 3u);
    // A unit that falls silent: no point, and the older scan is not handed out as this one.
    r.registry.set(st.registryPath, extctl::CsvReadyValue, "");
    r.serial.unit.faults.silence = true;
    Ask(r, "10", "11", "0.5", "0");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(Get(r, extctl::StatusValue), "10 The Port A sweep measured no point.");
    EXPECT_EQ(Get(r, extctl::CsvReadyValue), "");
    r.serial.unit.faults.silence = false;
    // An uncalibrated port is answered at once, without a sweep that would wait at a message box.
    st.porta_cal_ok = 0;
    const auto boxes = r.ui.messages().size();
    Ask(r, "10", "11", "0.5", "0");
    ASSERT_TRUE(extctl::PollRegistry(r.p()));
    EXPECT_EQ(Get(r, extctl::StatusValue), "34519 Port A is not calibrated; nothing was measured.");
    EXPECT_EQ(r.ui.messages().size(), boxes);
}

TEST_F(SimTest, RegistryWatchLoopRunsWhileConfiguredAndTheClientWithdrawsAnUnansweredRequest) {
    auto& r = rig();
    ASSERT_NO_FATAL_FAILURE(test::ReadyToSweep(r, "resistor:r=50"));
    core::AppState& st = r.st();
    st.ProgramRunning = 1;
    st.externalControl = 3;
    Ask(r, "10", "11", "0.5", "0");
    // The loop looks every 500 ms; the user quits after about three seconds.
    const std::uint32_t start = r.clock.tickMs();
    r.ui.onPump = [&](int) {
        if (r.clock.tickMs() - start > 3000) {
            st.ProgramRunning = 0;
        }
    };
    extctl::RunRegistryExternalControl(r.p());
    r.ui.onPump = nullptr;
    EXPECT_EQ(Get(r, extctl::StatusValue), "0");
    EXPECT_EQ(Get(r, extctl::DataReadyValue), "null");
    int clocks = 0;
    for (const auto& t : r.texts()) {
        clocks += t.size() == 8 && t[2] == ':' && t[5] == ':' ? 1 : 0;
    }
    EXPECT_GE(clocks, 5) << "mode 3 shows the time at every look";
    // Without an instrument it returns at once; a key that cannot be made switches it off.
    st.ProgramRunning = 1;
    st.InstrumentPresent = 0;
    extctl::RunRegistryExternalControl(r.p());
    st.InstrumentPresent = 1;
    test::WriteFile(r.dir.file("plain file"), "x");
    platform::FileRegistry broken(r.dir.file("plain file") + "/registry");
    // A program's records are several megabytes: on the heap, like every program's.
    const auto other =
        std::make_unique<core::Program>(core::Platform{r.ui, r.clock, r.serial, broken, r.sound});
    other->st = st;
    extctl::RunRegistryExternalControl(*other);
    EXPECT_EQ(r.ui.messages().back().text, "Registry Key Creation failed");
    EXPECT_EQ(r.ui.messages().back().caption, " Cannot use registry external control");
    EXPECT_EQ(other->st.externalControl, 1);

    // A client whose request nobody takes gives up after its time and withdraws it.
    platform::fake::MemoryRegistry quiet;
    const std::string key = st.registryPath;
    const extctl::RequestOutcome o =
        extctl::RequestSweep(quiet, r.clock, key, {true, 1, 2, 0.1}, "request 7", 2000);
    EXPECT_EQ(o.code, 10);
    EXPECT_FALSE(o.taken);
    EXPECT_EQ(quiet.get(key, extctl::DataReadyValue), "null");
    EXPECT_EQ(quiet.get(key, extctl::ScanPortValue), "1");
    EXPECT_EQ(quiet.get(key, extctl::DeltaFreqValue), "0.1");
    // Another client's answer is not taken for this one's.
    BusyRegistry busy;
    const extctl::RequestOutcome mine =
        extctl::RequestSweep(busy, r.clock, key, {true, 1, 2, 0.1}, "request 8", 2000);
    EXPECT_TRUE(mine.taken);
    EXPECT_EQ(mine.csvPath, "/mine.csv");
    EXPECT_EQ(mine.code, 17);
    EXPECT_EQ(mine.reason, "The Port B sweep stopped after 4 points.");
}
