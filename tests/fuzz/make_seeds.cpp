// Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/<target>/, made by the program
// itself: its own writers' files after short sweeps of the simulated unit, and the replies of the
// simulated unit as the program met them. Run by hand when a format changes:
//     build/tests/fuzz/fuzz_make_seeds tests/fuzz/corpus

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/crystal_file.h"
#include "files/default_config.h"
#include "files/init_file.h"
#include "files/marker_file.h"
#include "files/scan_file.h"
#include "files/scan_format.h"
#include "files/tdr_file.h"
#include "fuzz_entries.h"
#include "instrument/raw_reading.h"
#include "instrument/self_sweep.h"
#include "measure/sweep.h"
#include "measure/sweep_support.h"

using namespace vna;

namespace {

std::filesystem::path out;

void Put(const std::string& target, const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(out / target);
    std::ofstream(out / target / name, std::ios::binary) << bytes;
}

void PutFile(const std::string& target, const std::string& name, const std::string& path) {
    Put(target, name, test::ReadFile(path));
}

// The simulated unit behind a port that keeps, for every command the program writes, the bytes it
// read before the next one: the instrument target's input format.
struct Recorder final : platform::SerialPort {
    explicit Recorder(platform::SerialPort& far) : far(far) {}
    platform::SerialPort& far;
    std::vector<std::string> replies;
    bool open(const std::string& d, int b) override { return far.open(d, b); }
    bool isOpen() const override { return far.isOpen(); }
    void close() override { far.close(); }
    bool setRts(bool on) override { return far.setRts(on); }
    int write(std::span<const std::uint8_t> bytes) override {
        replies.emplace_back();
        return far.write(bytes);
    }
    int readByte(std::uint8_t& byte) override {
        const int n = far.readByte(byte);
        if (n == 1 && !replies.empty()) {
            replies.back().push_back(static_cast<char>(byte));
        }
        return n;
    }
    std::string errorText() const override { return far.errorText(); }
    void discardInput() override { far.discardInput(); }
};

void PutExchange(const std::string& name, int selector, const std::function<void(core::Program&)>& exchange) {
    test::SimRig sim;
    test::ReadyToSweep(sim, "resistor:r=50");
    Recorder recorder(sim.serial);
    // Too large for the stack.
    auto p =
        std::make_unique<core::Program>(core::Platform{sim.ui, sim.clock, recorder, sim.registry, sim.sound});
    p->st = sim.st();
    p->cal = sim.p().cal;
    p->ip = sim.p().ip;
    exchange(*p);
    std::string bytes(1, static_cast<char>(selector));
    for (const std::string& r : recorder.replies) {
        // A reply longer than a length byte can say is cut: the target reads it as it comes.
        bytes += static_cast<char>(std::min<std::size_t>(r.size(), 255));
        bytes += r.substr(0, 255);
    }
    Put("instrument", name, bytes);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    out = argv[1];

    test::SimRig r;
    test::ReadyToSweep(r, "rlc-series:r=30,l=1.2u,c=80p");
    core::AppState& st = r.st();
    test::Limits(r, 10, 11, 0.1);
    if (measure::sweepPortA(r.p()) != 0 && st.LastError != 0) {
        std::fprintf(stderr, "the Port A sweep failed: %d\n", st.LastError);
        return 1;
    }
    st.scanDescriptionA = "seed";
    const std::string scn = r.dir.file("a.scn");
    files::WriteScanFileA(r.p(), scn, true);
    PutFile("scan_a", "sweep.scn", scn);
    PutFile("csv_import", "sweep_a.csv", r.dir.file("a.csv"));
    files::WriteScanFileA(r.p(), r.dir.file("a.s1p"), true);
    PutFile("touchstone", "sweep.s1p", r.dir.file("a.s1p"));
    {
        std::string problem;
        auto scan = files::ParseScanFileA(test::ReadFile(scn), problem);
        if (scan) {
            // A file of the older format: fewer closing settings.
            scan->format = files::ScanFormatA - 1;
            scan->trailerLines = 10;
            Put("scan_a", "older.scn", files::FormatScanFileA(*scan));
        }
    }

    st.PortB_on = 1;
    test::Limits(r, 10, 12, 0.2);
    measure::sweepPortB(r.p());
    const std::string scnb = r.dir.file("b.scnb");
    files::WriteScanFileB(r.p(), scnb, true);
    PutFile("scan_b", "sweep.scnb", scnb);
    PutFile("csv_import", "sweep_b.csv", r.dir.file("b_B.csv"));
    files::WriteScanFileB(r.p(), r.dir.file("b.s2p"), true);
    PutFile("touchstone", "sweep.s2p", r.dir.file("b.s2p"));

    {
        // The unit's standards on the grid of a low range only: a few KB.
        core::CalTable t;
        sim::FillUnitCalTable(t, r.serial.unit, st.instrument_id, 2);
        Put("cal_file", "unit.acal", cal::CalFileText(t, r.clock.now(), true));
    }
    Put("config_file", "default.cfg", std::string(files::DefaultConfigText()));
    Put("state_file", "after_sweeps.stat", files::InitFileText(r.p(), 1234));
    {
        test::TestRig defaults;
        core::ResetToDefaults(defaults.st(), 2026, 12, 7);
        Put("init_file", "defaults.ini", files::InitFileText(defaults.p(), 0));
    }
    Put("init_file", "after_sweeps.ini", files::InitFileText(r.p(), 1234));

    {
        // Three markers and the free slots after them, as "Save Markers" writes them.
        core::MarkerTable t;
        const double at[] = {10.125, 10.5, 10.875};
        for (int k = 0; k < 3; ++k) {
            t.slot[static_cast<std::size_t>(k + 1)][0] = at[k];
        }
        for (int k = 4; k <= core::MarkerSlots; ++k) {
            t.slot[static_cast<std::size_t>(k)][0] = core::MarkerNotSet;
        }
        Put("marker_file", "three.mrk", files::MarkerFileText(t));
    }

    {
        // A step response as a TDR run leaves it: 50 ohm port, a 75 ohm line from index 40.
        files::TdrFileData d;
        d.stamp = "12/08/2026 12:00:00";
        d.programVersion = 1;
        d.title = "seed";
        d.calName = "unit.acal";
        d.points = 256;
        d.feetPerIndex = 0.53;
        for (int k = 0; k <= d.points; ++k) {
            d.step.push_back(k < 40 ? 0.0 : 0.2);
        }
        Put("tdr_file", "line.tdr", files::TdrFileText(d));
    }
    {
        const platform::LocalTime when{2026, 12, 8, 12, 0, 0};
        std::string x = files::CrystalFileStart(when);
        x += files::CrystalFileLine({1, 10.000012, 10.021, 11.8, 19.87, 0.01275, 4.41, 105600});
        x += files::CrystalFileLine({2, 14.31818, 14.3402, 15.2, 12.1, 0.0102, 3.9, 71700});
        Put("crystal_file", "two.xdat", x);
    }

    PutExchange("reading", 0, [](core::Program& p) {
        instrument::MeasurePortAPoint(p);
        instrument::MeasurePortBPoint(p);
    });
    PutExchange("identification", 1, [](core::Program& p) { instrument::IdentifyInstrument(p, 1); });
    PutExchange("date_code", 2, [](core::Program& p) { instrument::ReadDateCode(p); });
    PutExchange("band_scan", 3, [](core::Program& p) {
        instrument::SendBandScanSetup(p, 1, 30, 0.1);
        instrument::ReadBandScanLevels(
            p, [] { return true; }, [](int, std::uint16_t) {});
        instrument::LeaveBandScan(p);
    });
    return 0;
}
