// The saving side of the kill -9 test: writes one kind of file the program writes, over and over,
// alternating between two versions of very different length, until it is killed.
//     save_torture KIND DIR loop     writes B, A, B, A ... (one byte on stdout once looping)
//     save_torture KIND DIR a|b      writes that version once
// KIND: init, state, cal, scan (the scan file with its CSV export, and the Touchstone file),
// marker (the marker file with its text export), tdr (a TDR trace), control (the CSV file of
// external control). Everything runs on the fakes: the contents depend
// on nothing but the version.

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "cal/cal_file.h"
#include "commands/scan_commands.h"
#include "core/app_state.h"
#include "core/cal_table.h"
#include "extctl/control_csv.h"
#include "files/init_file.h"
#include "files/scan_file.h"
#include "files/tdr_file.h"
#include "measure/marker_commands.h"
#include "sim/instrument_model.h"
#include "sim/sim_cal.h"
#include "support/test_rig.h"
#include "tools/tdr.h"

using namespace vna;

namespace {

// Puts version `b` (false: version a) of everything into the program.
void Prepare(test::TestRig& rig, const std::string& dir, bool b) {
    core::AppState& st = rig.st();
    // The default folders are the program's folder: the kills' folder, not the rig's own.
    st.ProgramFolder = dir + "/";
    core::ResetToDefaults(st, 2026, 12, 7);
    st.ProgramFolder = dir + "/";
    if (b) {
        st.cal_file = dir + "/a_calibration_file_with_a_long_name.acal";
        for (int k = 1; k <= 20; ++k) {
            st.markers.slot[static_cast<std::size_t>(k)][0] = 1 + k;
        }
        st.markers.markerCount = 20;
    }
    std::string problem;
    auto scan = files::ParseScanFileA(test::ReadFile(VNA_SEED_SCAN), problem);
    if (!scan) {
        std::fprintf(stderr, "seed scan: %s\n", problem.c_str());
        std::exit(2);
    }
    if (b) {
        scan->start = 1;
        scan->step = 0.05;
        scan->end = 1 + 0.05 * 600;
        scan->zmag.resize(601);
        scan->phase.resize(601);
        for (std::size_t k = 0; k < scan->zmag.size(); ++k) {
            scan->zmag[k] = 20 + static_cast<double>(k);
            scan->phase[k] = -1 + 0.003 * static_cast<double>(k);
        }
    }
    commands::ApplyScanA(rig.p(), *scan, "scan.scn");
    st.outputfile = dir + "/AutoScan.csv";
    sim::Instrument unit;
    sim::FillUnitCalTable(rig.p().cal, unit, "261207120000", b ? 30 : 2);
    files::TdrFileData tdr;
    tdr.points = b ? 1024 : 256;
    for (int k = 0; k <= tdr.points; ++k) {
        tdr.step.push_back(b ? 0.001 * k : 0.0);
    }
    tools::TakeTdrFile(rig.p(), tdr);
}

bool Save(test::TestRig& rig, const std::string& kind, const std::string& dir) {
    core::Program& p = rig.p();
    if (kind == "init") {
        return files::WriteInitFile(p);
    }
    if (kind == "state") {
        return files::WriteInitFormatFile(p, dir + "/saved.stat", "saved.stat");
    }
    if (kind == "cal") {
        return cal::WriteCalFile(p, dir + "/unit.acal");
    }
    if (kind == "scan") {
        return files::WriteScanFileA(p, dir + "/scan.scn", true) &&
               files::WriteScanFileA(p, dir + "/scan.s1p", true);
    }
    if (kind == "marker") {
        return measure::WriteMarkerFiles(p, dir + "/saved.mrk", true);
    }
    if (kind == "tdr") {
        return tools::SaveTdr(p, dir + "/trace.tdr");
    }
    if (kind == "control") {
        return extctl::WriteControlCsv(p);
    }
    std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s init|state|cal|scan|marker|tdr|control DIR loop|a|b\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    const std::string dir = argv[2];
    const std::string mode = argv[3];
    // Too large for the stack.
    auto rig = std::make_unique<test::TestRig>();
    if (mode != "loop") {
        Prepare(*rig, dir, mode == "b");
        return Save(*rig, kind, dir) ? 0 : 1;
    }
    auto other = std::make_unique<test::TestRig>();
    Prepare(*rig, dir, false);
    Prepare(*other, dir, true);
    [[maybe_unused]] const ssize_t n = ::write(1, "L", 1);
    for (long i = 0;; ++i) {
        if (!Save(i % 2 == 0 ? *other : *rig, kind, dir)) {
            return 1;
        }
    }
}
