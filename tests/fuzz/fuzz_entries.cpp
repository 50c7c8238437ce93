#include "fuzz_entries.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cal/cal_file.h"
#include "commands/scan_commands.h"
#include "commands/state_commands.h"
#include "core/app_state.h"
#include "files/config_file.h"
#include "files/crystal_file.h"
#include "files/init_file.h"
#include "files/marker_file.h"
#include "files/tdr_file.h"
#include "instrument/date_code.h"
#include "instrument/identification.h"
#include "instrument/raw_reading.h"
#include "instrument/self_sweep.h"
#include "measure/marker_commands.h"
#include "support/port_rig.h"
#include "support/scripted_serial_port.h"
#include "tools/tdr_commands.h"

namespace vna::fuzz {

namespace {

// A fresh program for every input, so that an input found crashing replays alone exactly as it
// crashed: nothing carries over from the inputs before it.
struct Rig : test::PortRig<test::ScriptedSerialPort> {
    std::string put(const std::string& name, std::span<const std::uint8_t> input) {
        const std::string path = dir.file(name);
        test::WriteFile(path, std::string(input.begin(), input.end()));
        return path;
    }
};

// A property of the program that an input broke: the fuzzer and the replay test both see a crash.
void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "does not hold: %s\n", what);
        std::abort();
    }
}

void InitFile(std::span<const std::uint8_t> input) {
    Rig rig;
    rig.put(files::InitFileName, input);
    files::ReadInitFile(rig.p());
    // What was taken is written again: a value the reader let through must not break the writer.
    files::InitFileText(rig.p(), 0);
}

void ConfigFile(std::span<const std::uint8_t> input) {
    Rig rig;
    rig.st().config_file = rig.put("fuzz.cfg", input);
    files::ReadConfigFile(rig.p(), 1);
}

// "Recall State": the state file read like the init file, then the cal and config files it names,
// the limits and the graph.
void StateFile(std::span<const std::uint8_t> input) {
    Rig rig;
    rig.ui.fileAnswers.push_back(rig.put("fuzz.stat", input));
    commands::RecallStateCommand(rig.p());
}

void CalFile(std::span<const std::uint8_t> input) {
    Rig rig;
    // Without an instrument attached, a file of any unit and range is read to its end.
    rig.st().InstrumentPresent = 0;
    rig.st().cal_file = rig.put("fuzz.cal", input);
    cal::LoadCalFile(rig.p(), 1);
}

void ScanA(std::span<const std::uint8_t> input) {
    Rig rig;
    commands::LoadScanFileA(rig.p(), rig.put("fuzz.scn", input));
}

void ScanB(std::span<const std::uint8_t> input) {
    Rig rig;
    rig.st().PortB_on = 1;
    commands::LoadScanFileB(rig.p(), rig.put("fuzz.scnb", input));
}

// A CSV export may be either port's: both loaders see it.
void CsvImport(std::span<const std::uint8_t> input) {
    {
        Rig rig;
        commands::LoadScanFileA(rig.p(), rig.put("fuzz.csv", input));
    }
    Rig rig;
    rig.st().PortB_on = 1;
    commands::LoadScanFileB(rig.p(), rig.put("fuzz_B.csv", input));
}

void Touchstone(std::span<const std::uint8_t> input) {
    {
        Rig rig;
        commands::LoadScanFileA(rig.p(), rig.put("fuzz.s1p", input));
    }
    Rig rig;
    rig.st().PortB_on = 1;
    commands::LoadScanFileB(rig.p(), rig.put("fuzz.s2p", input));
}

// "Recall Markers": the file read, the table sorted and marked for the next redraw; the markers
// taken are then written again, so a value the reader let through must not break the writer.
void MarkerFile(std::span<const std::uint8_t> input) {
    Rig rig;
    if (measure::LoadMarkerFile(rig.p(), rig.put("fuzz.mrk", input))) {
        files::MarkerFileText(rig.st().markers);
    }
}

// "Load TDR Graph": the file read and the trace drawn again at its own scale; what the reader took
// is then written again and must read back.
void TdrFile(std::span<const std::uint8_t> input) {
    Rig rig;
    rig.ui.fileAnswers.push_back(rig.put("fuzz.tdr", input));
    tools::LoadTdrGraphCommand(rig.p());
    files::TdrFileProblem problem;
    const auto taken = files::ParseTdrFile(
        std::string_view(reinterpret_cast<const char*>(input.data()), input.size()), problem);
    Require(!taken || files::ParseTdrFile(files::TdrFileText(*taken), problem),
            "a TDR file written reads back");
}

// The crystal data file: read, then a row appended to it as "SAVE" does, and the result read again.
void CrystalFile(std::span<const std::uint8_t> input) {
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    std::vector<files::CrystalRow> rows;
    std::string error;
    if (!files::ReadCrystalFile(text, rows, error)) {
        return;
    }
    const files::CrystalRow row{static_cast<double>(rows.size() + 1), 10, 10.02, 12, 20, 0.012, 4.5, 90000};
    std::string appended;
    const platform::LocalTime now{2026, 12, 8, 12, 0, 0};
    Require(files::AppendCrystalRow(text, row, now, appended, error) &&
                files::ReadCrystalFile(appended, rows, error),
            "a crystal file read is appended to and reads back");
}

void Instrument(std::span<const std::uint8_t> input) {
    if (input.empty()) {
        return;
    }
    Rig rig;
    rig.serial.open("fuzz", rig.st().BaudRate);
    std::size_t at = 1;
    rig.serial.answer = [&](const std::vector<std::uint8_t>&) {
        if (at >= input.size()) {
            return std::vector<std::uint8_t>{};
        }
        const std::size_t n = std::min<std::size_t>(input[at], input.size() - at - 1);
        std::vector<std::uint8_t> reply(input.begin() + static_cast<long>(at + 1),
                                        input.begin() + static_cast<long>(at + 1 + n));
        at += 1 + n;
        return reply;
    };
    core::Program& p = rig.p();
    switch (input[0] % InstrumentExchanges) {
        case 0: // the 72-byte readings of both ports
            instrument::MeasurePortAPoint(p);
            instrument::MeasurePortBPoint(p);
            break;
        case 1:
            instrument::IdentifyInstrument(p, 1);
            break;
        case 2:
            instrument::ReadDateCode(p);
            break;
        default: {
            instrument::SendBandScanSetup(p, 1, 30, 0.1);
            int levels = 0;
            instrument::ReadBandScanLevels(
                p, [] { return true; }, [&](int, std::uint16_t) { ++levels; });
            instrument::LeaveBandScan(p);
            break;
        }
    }
}

constexpr Target AllTargets[] = {
    {"init_file", InitFile},     {"config_file", ConfigFile}, {"state_file", StateFile},
    {"cal_file", CalFile},       {"scan_a", ScanA},           {"scan_b", ScanB},
    {"csv_import", CsvImport},   {"touchstone", Touchstone},  {"instrument", Instrument},
    {"marker_file", MarkerFile}, {"tdr_file", TdrFile},       {"crystal_file", CrystalFile},
};

} // namespace

std::span<const Target> Targets() {
    return AllTargets;
}

const Target* FindTarget(std::string_view name) {
    for (const Target& t : AllTargets) {
        if (t.name == name) {
            return &t;
        }
    }
    return nullptr;
}

} // namespace vna::fuzz
