#pragma once

#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/touchstone.h"

namespace vna::core {
class LinkMonitor;
struct Program;
} // namespace vna::core
namespace vna::platform {
class Canvas;
}

// vna-cli: the program's instrument code without windows, for scripts, tests and a first check of
// an instrument.
namespace vna::app {

struct CliOptions {
    std::string command;    // a name of CliCommands(): "identify", "point", "cal", "sweep", ...
    std::string calKind;    // cal: "standard", "custom" or "portb"
    std::string serial;     // --serial PATH (else VNA_SERIAL, else the numbered port of the init file)
    std::string dataDir;    // --data-dir DIR (else VNA_HOME)
    bool highBaud = false;  // --high-baud: negotiate the high line speed
    bool verbose = false;   // --verbose: the program's status lines on standard error
    bool yes = false;       // --yes: answer questions with yes
    bool quiet = false;     // --quiet: no progress line
    bool exchanges = false; // --exchanges: every exchange with the instrument on standard error
    bool help = false;      // --help, -h or "help": the usage (of `command` when named), nothing else
    bool version = false;   // --version: the version, nothing else
    char port = 'a';        // point: --port a|b; sweep: a|b
    bool portWord = false;  // sweep: the port was named (a or b)
    double freq = 0;        // point: --freq MHz
    int average = 0;        // point, sweep: --average N (0: the init file's)
    std::string calFile;    // point: --cal FILE, the Port A reading corrected with that cal file;
                            // cal portb: the Port A calibration the Port B data joins;
                            // sweep: the cal file to sweep with (else the one of the settings)
    double timeout = 120;   // request: --timeout S, seconds to wait for the answer
    double start = 0;       // sweep, request, bandscan, generator: --start MHz
    double stop = 0;        // sweep, bandscan, generator: --stop MHz
    double step = 0;        // sweep, bandscan: --step MHz; generator: MHz, or above 20 a number of points
    bool high = false;      // bandscan: --high, the high sensitivity
    int settling = -1;      // generator: --settling N (-1: the program's setting)
    std::vector<double> markers; // generator: --marker MHz, up to four
    double swr = 0;              // tone, speak: --swr S (1 to 999); bandwidth: the SWR ruler
    double seconds = 2;          // tone: --seconds T, the length of the note
    int decimals = 0;            // speak, monitor: --decimals 1|2 (0: the config file's)
    bool tone = false;           // monitor: --tone, the SWR tone
    bool voice = false;          // monitor: --voice, the spoken SWR
    double maxDist = 0;          // tdr: --max-dist FT, the distance full scale (0: the settings')
    bool highRes = false;        // tdr: --high-res, 512 transform points
    double vf = 0;               // tdr, dtf: --vf V, the velocity factor (0: the settings')
    std::string input;           // convert, plot: the scan file
    std::string output;          // convert, cal, sweep, plot: --out FILE
    std::string view = "graph";  // plot: --view graph|smith|polar
    int width = 0;               // plot: --size WxH (0: the size of the window that shows the view)
    int height = 0;
    // Touchstone files written: --format ri|ma|db.
    files::TouchstoneFormat format = files::TouchstoneFormat::RI;
    // markers: --at F[,F...] (bandwidth: one F), --rotation DEG; bandwidth: --swr S, --level DB,
    // --level2 DB (NaN: not given).
    std::vector<double> at;
    double rotation = 0;
    double level = std::numeric_limits<double>::quiet_NaN();
    double level2 = std::numeric_limits<double>::quiet_NaN();
    double nominal = 0; // xtal: --nominal MHz, the crystal's nominal frequency
};

// What a command needs before it runs.
enum class CliNeeds {
    Nothing,    // the files named on the command line (convert, request)
    Settings,   // the settings and the config file of the data folder
    Instrument, // those, and the instrument connected and identified
};

// One command of vna-cli with its usage and the parts of the command line that are its own. A new
// command is one more entry of CliCommands().
struct CliCommand {
    const char* name;
    // What follows "vna-cli [OPTIONS]" in its usage line, e.g. "identify".
    const char* synopsis;
    // One line for the list of commands.
    const char* summary;
    // What it does and its own options, for `vna-cli NAME --help`.
    const char* help;
    CliNeeds needs;
    // The shipped default config is put into the data folder first when it is missing.
    bool defaultConfig;
    // Takes a word of the command line that is not an option (nullptr: the command takes none);
    // false when the word is not one of its.
    bool (*word)(CliOptions& o, const std::string& word);
    // Once every argument is read: why the options do not make this command, or nothing.
    std::optional<std::string> (*check)(const CliOptions& o);
    // Before the instrument is contacted: what can be checked without it (files, folders). 0, or
    // the exit code once the error is printed. May be nullptr.
    int (*prepare)(core::Program& p, const CliOptions& o, std::FILE* err);
    int (*run)(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err);
};

// Every command, in the order of the usage.
const std::vector<CliCommand>& CliCommands();
const CliCommand* FindCliCommand(std::string_view name);
// The arguments of markers and bandwidth (the commands, their scan file and options), from
// args[i]; advances i past a value. 1 taken, 0 not one of them, -1 refused with `error`.
int ParseMarkerArgument(CliOptions& o, const std::vector<std::string>& args, std::size_t& i,
                        std::string& error);
// Checks what markers and bandwidth need once all arguments are read; false with `error`.
bool CheckMarkerOptions(const CliOptions& o, std::string& error);
// The arguments of tdr and dtf (--max-dist, --high-res, --vf) from args[i], like
// ParseMarkerArgument; and what they need once all arguments are read.
int ParseLineToolArgument(CliOptions& o, const std::vector<std::string>& args, std::size_t& i,
                          std::string& error);
std::optional<std::string> CheckLineToolOptions(const CliOptions& o);

// vna-cli tdr: the TDR measurement into the file --out, with the distance and the impedances of
// the largest step. vna-cli dtf: the distance to fault of the open or shorted cable at Port A.
int TdrToFile(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);
int DistanceToFaultCli(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// vna-cli markers: the marker rows of the marker window for the scan in `options.input` at the
// frequencies --at, and with --out the marker file and its text export. vna-cli bandwidth: the SWR
// bandwidth of a Port A scan, or the ruler bandwidths of a Port B scan, with the texts of the
// message boxes. Need no instrument. On failure print "vna-cli: error 1: what" and return 1.
int MarkersOfScanFile(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);
int BandwidthOfScanFile(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// vna-cli xtal: the crystal at Port A measured around --nominal with the program's crystal
// measurement (the cal of --cal or of the settings), its parameters printed as the "Crystal
// Parameters" dialog shows them and, with --out, added to that crystal data file as the next
// crystal. vna-cli q: the Q of the first resonance of the Port A scan file `input`, as "Q
// Measurement" shows it. On failure print "vna-cli: error CODE: what" and return 1.
std::optional<std::string> CheckCrystalOptions(const CliOptions& o);
std::optional<std::string> CheckQOptions(const CliOptions& o);
int PrepareCrystal(core::Program& p, const CliOptions& options, std::FILE* err);
int CrystalToTerminal(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);
int QOfScanFile(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// Reads the arguments after the program name; nothing (and `error`) when they are not usable.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          const char* (*getenv)(const char*), std::string& error);
// The usage of every command with the options they share.
std::string CliUsage();
// The usage and description of one command.
std::string CliCommandHelp(const CliCommand& c);
// The usage to show after a mistake in `args`: that of the command named there, else CliUsage().
std::string CliUsageFor(const std::vector<std::string>& args);
// "vna-cli 5.46".
std::string CliVersion();

// How vna-cli plot writes its picture: runs `draw` on a canvas of width x height and writes what
// it drew to `path`, a PNG or (by the extension) an SVG file, replacing an old one only when the
// new one is whole. False with `error` when it cannot.
using PlotImageWriter =
    std::function<bool(const std::string& path, int width, int height,
                       const std::function<void(platform::Canvas&)>& draw, std::string& error)>;

// Runs the command on the program `p` (its ports already attached, its folder chosen). Prints the
// results on `out`; on failure prints "vna-cli: error CODE: what" on `err` and returns 1. `images`
// writes the pictures of plot (a program without it cannot plot).
int RunCli(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err,
           const PlotImageWriter& images = {});

// Draws the scan in the file `options.input` (.scn, .scnb, .csv, .s1p, .s2p) as the window would
// show it, `options.view` "graph" (the active port's graph with the scan's own limits and the
// default traces), "smith" or "polar" (Port A scans), and writes the picture to `options.output`
// (.png or .svg) through `images`. Needs no instrument. On failure prints "vna-cli: error 1: what"
// on `err`, returns 1 and writes no file.
int PlotScanFile(core::Program& p, const CliOptions& options, const PlotImageWriter& images, std::FILE* out,
                 std::FILE* err);

// The port whose scan a file holds ('a' or 'b'), by its extension or the column line of a CSV
// export; 0 when it holds none.
char PortOfScanFile(const std::string& path, const std::string& text);

// Prints "vna-cli: error CODE: WHAT" on `err`; the exit code of a failed command, 1.
int Fail(std::FILE* err, int code, const std::string& what);
// The cal file of --cal, else the one of the settings when there is one: 0, or the exit code after
// the error when the file of --cal cannot be used.
int LoadCalOfOptions(core::Program& p, const CliOptions& o, std::FILE* err);

// Connects, identifies and checks the instrument as the program's start-up does (after offering the
// one USB serial device present when the numbered port names none). 0 when the instrument is
// ready, else the exit code after the error was printed.
// A unit whose date code cannot be read is refused, unless `dateCodeRequired` is false (the
// instrument test, which reports it as one of its checks).
int ConnectForCli(core::Program& p, std::FILE* err, bool dateCodeRequired = true);
// vna-cli test: runs "VNA Test", prints the report (and writes it to --out); 1 when a check failed.
int RunInstrumentTest(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);
// --exchanges: a link monitor that prints every exchange with the instrument on `err` as the
// diagnostic monitor window shows it.
std::unique_ptr<core::LinkMonitor> ExchangePrinter(core::Program& p, std::FILE* err);

// The commands over the instrument already connected.
int PrintIdentification(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);
int MeasureOnePoint(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);
int CalibrateToFile(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// MUX channels 2..6 against channel 1 at --freq, each corrected with its channel's cal file (the
// files of --cal "x.chan1", else of the settings' cal file; any other cal file serves every
// channel). A channel without a cal file is reported and passed over; one that gives no reading
// makes it fail after every channel was printed.
int PrintChannels(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// The USB serial devices present, and the device the settings (or --serial) select.
int ListSerialDevices(core::Program& p, const CliOptions& options, std::FILE* out, std::FILE* err);

// Checks made before the instrument is contacted, so that no measurement is wasted: the cal file
// named with --cal exists, and the folder of --out exists and can be written.
int CheckCalFileNamed(core::Program& p, const CliOptions& options, std::FILE* err);
int CheckOutputFolder(core::Program& p, const CliOptions& options, std::FILE* err);

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
