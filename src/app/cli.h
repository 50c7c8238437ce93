#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "files/touchstone.h"

namespace vna::core {
struct Program;
}

// vna-cli: the program's instrument code without windows, for scripts, tests and a first check of
// an instrument.
namespace vna::app {

struct CliOptions {
    std::string command;   // "identify", "point", "cal", "sweep", "bandscan", "generator", "convert",
                           // "request", "tone", "speak" or "monitor"
    std::string calKind;   // cal: "standard", "custom" or "portb"
    std::string serial;    // --serial PATH (else VNA_SERIAL, else the numbered port of the init file)
    std::string dataDir;   // --data-dir DIR (else VNA_HOME)
    bool highBaud = false; // --high-baud: negotiate the high line speed
    bool verbose = false;  // --verbose: the program's status lines on standard error
    bool yes = false;      // --yes: answer questions with yes
    char port = 'a';       // point: --port a|b; sweep: a|b
    double freq = 0;       // point: --freq MHz
    int average = 0;       // point, sweep: --average N (0: the init file's)
    std::string calFile;   // point: --cal FILE, the Port A reading corrected with that cal file;
                           // cal portb: the Port A calibration the Port B data joins;
                           // sweep: the cal file to sweep with (else the one of the settings)
    double timeout = 120;  // request: --timeout S, seconds to wait for the answer
    double start = 0;      // sweep, request, bandscan, generator: --start MHz
    double stop = 0;       // sweep, bandscan, generator: --stop MHz
    double step = 0;       // sweep, bandscan: --step MHz; generator: MHz, or above 20 a number of points
    bool high = false;     // bandscan: --high, the high sensitivity
    int settling = -1;     // generator: --settling N (-1: the program's setting)
    std::vector<double> markers; // generator: --marker MHz, up to four
    double swr = 0;              // tone, speak: --swr S (1 to 999)
    double seconds = 2;          // tone: --seconds T, the length of the note
    int decimals = 0;            // speak, monitor: --decimals 1|2 (0: the config file's)
    bool tone = false;           // monitor: --tone, the SWR tone
    bool voice = false;          // monitor: --voice, the spoken SWR
    std::string input;           // convert: the file to convert
    std::string output;          // convert, cal, sweep: --out FILE
    // Touchstone files written: --format ri|ma|db.
    files::TouchstoneFormat format = files::TouchstoneFormat::RI;
};

// Reads the arguments after the program name; nothing (and `error`) when they are not usable.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          const char* (*getenv)(const char*), std::string& error);
std::string CliUsage();

// Runs the command on the program `p` (its ports already attached, its folder chosen). Prints the
// results on `out`; on failure prints "vna-cli: error CODE: what" on `err` and returns 1.
int RunCli(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// Sweeps port 'a' or 'b' from `start` to `stop` MHz in steps of `step` with the program's own
// sweep, on the instrument already connected, and writes the scan file with its CSV export and
// Touchstone file (WriteScanWithExports). A sweep the instrument broke off keeps the points
// measured before and is still written, but the result is a failure.
int SweepToFiles(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// The band scan of the program from `start` to `stop` MHz in steps of `step` on the instrument
// already connected: one row per level, the frequency in MHz and the raw 16-bit level, on `out` or
// into the CSV file --out. A pass that ended without the instrument's end marker keeps the rows
// received and fails.
int BandScanToRows(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// The sweep generator from `start` to `stop` with its markers and settling on the instrument
// already connected, until Enter is pressed or SIGINT or SIGTERM arrives; the instrument is told
// to stop in every one of these cases.
int RunSweepGenerator(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// Asks a running program for one sweep through registry external control (the registry of the
// data folder), waits up to `timeout` seconds for the answer and prints the path of the CSV file;
// on failure prints "vna-cli: error CODE: why" on `err` and returns 1.
int RequestFromProgram(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// The SWR tone of --swr as the point-data display sounds it, rendered by the program's own
// synthesizer for --seconds into the wave file --out. Needs no instrument nor sound device.
int ToneToWave(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// The voice files that the point-data display plays to speak --swr (with --decimals), joined into
// the wave file --out. A voice file that cannot be played is passed over and makes it fail.
int SpeakToWave(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// The point-data display on the terminal: a corrected Port A reading at --freq per line (at most
// ten a second), with the SWR tone (--tone) and the spoken SWR (--voice), until Enter, SIGINT or
// SIGTERM, on the instrument already connected.
int MonitorPoint(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// Converts the scan in the file `in` to the file `out`, each kind taken from its extension: a scan
// file (".scn" Port A, ".scnb" Port B), a CSV export (".csv", either port) or a Touchstone file
// (".s1p" Port A, ".s2p" Port B). Needs no instrument. Prints what it wrote on `out`; on failure
// prints "vna-cli: error 1: what" on `err` and returns 1, leaving `out` untouched.
int ConvertScanFile(core::Program& p, const std::string& in, const std::string& outPath,
                    files::TouchstoneFormat format, std::FILE* out, std::FILE* err);

// Writes the present scan of port 'a' or 'b' of `p` as a scan file at `path` (".scn" or ".scnb"
// added when the name has no extension), with its CSV export ("x.csv", "x_B.csv") and its
// Touchstone file ("x.s1p", "x.s2p") beside it. The paths written, or nothing and `error`.
std::optional<std::vector<std::string>> WriteScanWithExports(core::Program& p, char port, std::string path,
                                                             files::TouchstoneFormat format,
                                                             std::string& error);

} // namespace vna::app
