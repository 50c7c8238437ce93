// vna-cli's command line: the commands with their usage, and the reading of the arguments.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "app/cli.h"
#include "core/number_text.h"
#include "instrument/self_sweep.h"
#include "measure/sweep.h"

#ifndef VNA_VERSION
#define VNA_VERSION "unknown"
#endif

namespace vna::app {

namespace {

bool PortWord(const std::string& a) {
    return a == "a" || a == "b" || a == "A" || a == "B";
}

std::optional<std::string> NeedsLimits(const CliOptions& o, const std::string& command) {
    if (o.start <= 0 || o.stop <= 0 || o.step <= 0) {
        return command + " needs --start, --stop and --step";
    }
    return std::nullopt;
}

// ---- The commands' own words and checks ----

std::optional<std::string> CheckPoint(const CliOptions& o) {
    if (o.freq <= 0) {
        return "point needs --freq";
    }
    return std::nullopt;
}

bool CalWord(CliOptions& o, const std::string& a) {
    if (!o.calKind.empty() || (a != "standard" && a != "custom" && a != "portb")) {
        return false;
    }
    o.calKind = a;
    return true;
}

std::optional<std::string> CheckCal(const CliOptions& o) {
    if (o.calKind.empty() || o.output.empty()) {
        return "cal needs standard, custom or portb and --out FILE";
    }
    if (!o.calFile.empty() && o.calKind != "portb") {
        return "--cal names the Port A calibration of cal portb";
    }
    return std::nullopt;
}

bool SweepWord(CliOptions& o, const std::string& a) {
    if (o.portWord || !PortWord(a)) {
        return false;
    }
    o.port = static_cast<char>(a[0] | 0x20);
    o.portWord = true;
    return true;
}

std::optional<std::string> CheckSweep(const CliOptions& o) {
    if (!o.portWord) {
        return "sweep needs the port: sweep a or sweep b";
    }
    if (o.start <= 0 || o.stop <= 0 || o.step <= 0 || o.output.empty()) {
        return "sweep needs --start, --stop, --step and --out";
    }
    if (o.stop <= o.start) {
        return "--stop must lie above --start";
    }
    if (o.step > measure::MaxSweepStep) {
        return "--step is at most" + core::NumText(measure::MaxSweepStep, 0) +
               " MHz: the sweeps take no larger steps";
    }
    return std::nullopt;
}

std::optional<std::string> CheckBandScan(const CliOptions& o) {
    if (auto why = NeedsLimits(o, "bandscan")) {
        return why;
    }
    if (o.stop <= o.start) {
        return "--stop must lie above --start";
    }
    if ((o.stop - o.start) / o.step + 1 > instrument::BandScanSampleLimit + 1e-6) {
        return "--step gives more than" + core::NumText(instrument::BandScanSampleLimit, 0) +
               " levels: a band scan takes at least" +
               core::NumText((o.stop - o.start) / (instrument::BandScanSampleLimit - 1), 6) +
               " MHz steps over this span";
    }
    return std::nullopt;
}

std::optional<std::string> CheckGenerator(const CliOptions& o) {
    if (auto why = NeedsLimits(o, "generator")) {
        return why;
    }
    if (o.stop <= o.start) {
        return "--stop must lie above --start";
    }
    return std::nullopt;
}

bool ConvertWord(CliOptions& o, const std::string& a) {
    if (!o.input.empty() || a.empty() || a[0] == '-') {
        return false;
    }
    o.input = a;
    return true;
}

std::optional<std::string> CheckConvert(const CliOptions& o) {
    if (o.input.empty() || o.output.empty()) {
        return "convert needs a file and --out FILE";
    }
    return std::nullopt;
}

std::optional<std::string> CheckRequest(const CliOptions& o) {
    if (o.start <= 0 || o.stop <= 0 || o.step <= 0) {
        return "request needs --start, --stop and --step";
    }
    return std::nullopt;
}

std::optional<std::string> CheckToneOrSpeak(const CliOptions& o) {
    if (o.swr == 0 || o.output.empty()) {
        return o.command + " needs --swr and --out FILE.wav";
    }
    if (!(o.swr >= 1 && o.swr <= 999)) {
        return "--swr is an SWR from 1 to 999";
    }
    return std::nullopt;
}

std::optional<std::string> CheckMarkers(const CliOptions& o) {
    std::string error;
    if (!CheckMarkerOptions(o, error)) {
        return error;
    }
    return std::nullopt;
}

std::optional<std::string> CheckMonitor(const CliOptions& o) {
    if (o.freq <= 0) {
        return "monitor needs --freq";
    }
    return std::nullopt;
}

std::optional<std::string> CheckChannels(const CliOptions& o) {
    if (o.freq <= 0) {
        return "channels needs --freq";
    }
    return std::nullopt;
}

std::optional<std::string> CheckPlot(const CliOptions& o) {
    if (o.input.empty() || o.output.empty()) {
        return "plot needs a scan file and --out FILE.png or FILE.svg";
    }
    return std::nullopt;
}

// RunCli draws the picture with the image writer it was given; without one there is none.
int PlotWithoutImages(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    return PlotScanFile(p, o, {}, out, err);
}

int Convert(core::Program& p, const CliOptions& o, std::FILE* out, std::FILE* err) {
    return ConvertScanFile(p, o.input, o.output, o.format, out, err);
}

// Options that belong to some commands only, checked once the command is known.
std::optional<std::string> CheckOwnership(const CliOptions& o) {
    if ((o.view != "graph" || o.width != 0) && o.command != "plot") {
        return "--view and --size belong to plot";
    }
    if (o.swr != 0 && o.command != "tone" && o.command != "speak" && o.command != "bandwidth") {
        return "--swr belongs to tone, speak and bandwidth";
    }
    if (o.command != "markers" && o.command != "bandwidth") {
        if (auto why = CheckMarkers(o)) {
            return why;
        }
    }
    if (auto why = CheckLineToolOptions(o)) {
        return why;
    }
    if ((o.tone || o.voice) && o.command != "monitor") {
        return "--tone and --voice belong to monitor";
    }
    if (o.decimals != 0 && o.command != "speak" && o.command != "monitor") {
        return "--decimals belongs to speak and monitor";
    }
    if (o.high && o.command != "bandscan") {
        return "--high belongs to bandscan";
    }
    if ((o.settling >= 0 || !o.markers.empty()) && o.command != "generator") {
        return "--settling and --marker belong to generator";
    }
    if (!o.calFile.empty() && o.command != "cal" && o.command != "sweep" && o.command != "monitor" &&
        o.command != "channels" && o.command != "tdr" && o.command != "dtf" && o.command != "xtal" &&
        (o.command != "point" || o.port != 'a')) {
        return "--cal corrects a Port A point (point --port a, monitor)";
    }
    if (o.nominal != 0 && o.command != "xtal") {
        return "--nominal belongs to xtal";
    }
    return std::nullopt;
}

const char* const SharedOptions =
    "Options of every command:\n"
    "  --serial PATH     the serial device of the instrument (else VNA_SERIAL, else the numbered port of\n"
    "                    the settings: port N is /dev/ttyUSB<N-1>)\n"
    "  --data-dir DIR    the data folder with the settings and the config file (else VNA_HOME, else\n"
    "                    $XDG_DATA_HOME/vna)\n"
    "  --high-baud       ask the instrument for the high line speed (115000 baud)\n"
    "  -v, --verbose     the program's status lines on standard error\n"
    "  --yes             answer the program's questions with Yes (else No or Cancel)\n"
    "  -q, --quiet       no progress line (it is shown on standard error when that is a terminal)\n"
    "  --exchanges       every exchange with the instrument on standard error (the diagnostic monitor)\n"
    "  -h, --help        this text; with a command, that command's usage\n"
    "  --version         the version of the program\n";

} // namespace

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> commands = {
        {"identify", "identify", "the identification, firmware, ID, temperature and supply voltage",
         "Connects to the instrument, identifies it and checks its firmware as the program does at\n"
         "start-up, and prints the device, the version text, the firmware version, the unit's ID, the\n"
         "temperature and the DC supply voltage.\n",
         CliNeeds::Instrument, false, nullptr, nullptr, nullptr, PrintIdentification},
        {"point", "point --port a|b --freq MHZ [--average N] [--cal FILE]", "one reading at one frequency",
         "Measures one frequency and prints the raw magnitudes, the phase difference and the raw\n"
         "impedance (Port A) or the ratio in dB (Port B).\n\n"
         "  --port a|b        the port measured (default a)\n"
         "  --freq MHZ        the frequency\n"
         "  --average N       the instrument's averaging, 1 to 1024 (default: the settings')\n"
         "  --cal FILE        Port A: also the Rs, Xs, |Z|, phase, Rp and Xp corrected with this cal file\n"
         "                    (it must be one of this instrument)\n",
         CliNeeds::Instrument, false, nullptr, CheckPoint, CheckCalFileNamed, MeasureOnePoint},
        {"cal", "cal standard|custom|portb --out FILE [--cal FILE]", "a calibration, asked on the terminal",
         "Runs the standard, the custom or the Port B calibration with its questions on the terminal\n"
         "(Enter = Continue, q = Cancel, y/n for questions, an empty line keeps the value shown) and\n"
         "writes the cal file. A progress line shows the standard, the points done and the time left.\n\n"
         "  --out FILE        the cal file written (its folder is checked before anything is measured)\n"
         "  --cal FILE        portb: the Port A cal file the Port B data joins (default: the settings')\n",
         CliNeeds::Instrument, true, CalWord, CheckCal, CheckOutputFolder, CalibrateToFile},
        {"sweep", "sweep a|b --start F1 --stop F2 --step DF [--average N] [--cal FILE] --out FILE",
         "a Port A or Port B sweep into a scan file, its CSV export and its Touchstone file",
         "Runs the program's Port A or Port B sweep from F1 to F2 MHz in steps of DF MHz (at most 10)\n"
         "with the cal file named, else the one of the settings, and writes the scan file (.scn or\n"
         ".scnb), its CSV export and its Touchstone file (.s1p or .s2p) beside it, then prints the files,\n"
         "the minimum SWR and the resonances (Port A) or the S21 range (Port B). The folder of --out and\n"
         "the cal file are checked before the instrument is touched; limits that the instrument or the\n"
         "cal move are reported before the sweep.\n\n"
         "  --start F1, --stop F2, --step DF   the limits in MHz\n"
         "  --average N       the instrument's averaging, 1 to 1024 (default: the settings')\n"
         "  --cal FILE        the cal file to correct with\n"
         "  --out FILE        the scan file to write\n"
         "  --format ri|ma|db the number pairs of the Touchstone file (default ri)\n",
         CliNeeds::Instrument, true, SweepWord, CheckSweep, CheckOutputFolder, SweepToFiles},
        {"bandscan", "bandscan --start F1 --stop F2 --step DF [--high] [--out FILE.csv]",
         "the instrument steps through a band by itself and sends one level per step",
         "Lets the instrument step from F1 to F2 MHz by itself (at most 10000 levels) and prints one row\n"
         "per level: the frequency in MHz with six decimals, a comma and the raw 16-bit level.\n\n"
         "  --high            the high sensitivity (+12 dB)\n"
         "  --out FILE.csv    the rows go into this CSV file instead\n",
         CliNeeds::Instrument, false, nullptr, CheckBandScan, CheckOutputFolder, BandScanToRows},
        {"generator", "generator --start F1 --stop F2 --step DF [--settling N] [--marker F]...",
         "the instrument as a swept signal source until Enter or a signal",
         "Makes the instrument a swept source from F1 to F2 MHz with a sync pulse per sweep, until Enter\n"
         "is pressed or SIGINT or SIGTERM arrives; the stop is sent in every case.\n\n"
         "  --step DF         MHz, or above 20 a number of points over the span\n"
         "  --settling N      the settling byte (0 as 1, an odd value as the next even one, at most 255)\n"
         "  --marker F        a marker frequency in MHz, up to four\n",
         CliNeeds::Instrument, false, nullptr, CheckGenerator, nullptr, RunSweepGenerator},
        {"convert", "convert IN --out OUT [--format ri|ma|db]",
         "a scan file into another kind, by the extensions",
         "Turns a scan file (.scn, .scnb), a CSV export (.csv) or a Touchstone file (.s1p, .s2p) into\n"
         "another of these kinds, by the extensions. Needs no instrument.\n\n"
         "  --out OUT         the file to write\n"
         "  --format ri|ma|db the number pairs of a Touchstone file written (default ri)\n",
         CliNeeds::Nothing, false, ConvertWord, CheckConvert, nullptr, Convert},
        {"request", "request --port a|b --start F1 --stop F2 --step DF [--timeout S]",
         "one sweep asked of the running program through external control",
         "Asks the program running on the same data folder (with externalControl 2 or 3 in its config\n"
         "file) for one sweep through its registry and prints the path of the CSV file it wrote.\n\n"
         "  --timeout S       seconds to wait for the answer (default 120)\n",
         CliNeeds::Nothing, false, nullptr, CheckRequest, nullptr, RequestFromProgram},
        {"plot", "plot SCAN --view graph|smith|polar --out FILE.png|FILE.svg [--size WxH]",
         "a scan file drawn as the window shows it, into a PNG or SVG picture",
         "Draws a scan file (.scn, .scnb, .csv, .s1p, .s2p) the way the window would, with the scan's own\n"
         "limits, reference impedance and the default traces, into a PNG or an SVG picture. Needs no\n"
         "instrument and no display; a picture that cannot be made leaves no file behind.\n\n"
         "  --view graph|smith|polar   the graph (default), or a Port A scan's Smith chart or polar plot\n"
         "  --out FILE         the picture, .png or .svg\n"
         "  --size WxH         its size in pixels, 1 to 8000 each (default: the window's)\n",
         CliNeeds::Nothing, false, ConvertWord, CheckPlot, nullptr, PlotWithoutImages},
        {"tone", "tone --swr S [--seconds T] --out FILE.wav", "the SWR tone of an SWR, into a wave file",
         "Writes the SWR tone of S as the point-data display sounds it, rendered by the program's own\n"
         "synthesizer (then half a second of the note's release), into a 44.1 kHz stereo wave file, and\n"
         "prints the note. Needs no instrument and no sound device.\n\n"
         "  --swr S           the SWR, 1 to 999\n"
         "  --seconds T       the length of the note, 0.1 to 60 (default 2)\n"
         "  --out FILE.wav    the wave file\n",
         CliNeeds::Settings, false, nullptr, CheckToneOrSpeak, CheckOutputFolder, ToneToWave},
        {"speak", "speak --swr S [--decimals 1|2] --out FILE.wav", "the spoken SWR, into a wave file",
         "Joins the voice files that would speak S, as the point-data display speaks it, into one wave\n"
         "file and prints the words. Needs no instrument and no sound device.\n\n"
         "  --swr S           the SWR, 1 to 999\n"
         "  --decimals 1|2    the decimals spoken (default: the config file's)\n"
         "  --out FILE.wav    the wave file\n",
         CliNeeds::Settings, false, nullptr, CheckToneOrSpeak, CheckOutputFolder, SpeakToWave},
        {"monitor", "monitor --freq MHZ [--tone] [--voice] [--decimals 1|2] [--average N] [--cal FILE]",
         "the point-data display on the terminal, with the SWR tone and the spoken SWR",
         "Shows one line per corrected Port A reading at MHZ (at most ten a second; uncorrected, with a\n"
         "note, without a Port A calibration), with the SWR tone and the spoken SWR on the sound output of\n"
         "the machine, until Enter, SIGINT or SIGTERM; a reading that fails ends it with the error.\n\n"
         "  --freq MHZ        the frequency\n"
         "  --tone            the SWR tone\n"
         "  --voice           the spoken SWR\n"
         "  --decimals 1|2    the decimals spoken (default: the config file's)\n"
         "  --average N       the instrument's averaging, 1 to 1024 (default: the settings')\n"
         "  --cal FILE        the cal file to correct with (default: the settings')\n",
         CliNeeds::Instrument, false, nullptr, CheckMonitor, CheckCalFileNamed, MonitorPoint},
        {"markers", "markers SCAN --at F[,F...] [--rotation DEG] [--out FILE.mrk]",
         "the marker window's rows for a stored scan, and its marker file",
         "Loads a scan file (.scn, .scnb, .csv, .s1p, .s2p) and prints what the marker window would show\n"
         "for markers at the --at frequencies (up to 20, within the scan), the values interpolated from\n"
         "the scan. Needs no instrument.\n\n"
         "  --at F[,F...]     the marker frequencies in MHz\n"
         "  --rotation DEG    the phase rotation of the marker window\n"
         "  --out FILE.mrk    also the marker file and its .mrx text export\n",
         CliNeeds::Nothing, false, ConvertWord, CheckMarkers, nullptr, MarkersOfScanFile},
        {"bandwidth", "bandwidth SCAN [--swr S] [--at F] | bandwidth SCANB --level DB [--level2 DB] [--at F]",
         "the SWR bandwidth or the ruler bandwidths of a stored scan",
         "Port A scan: the SWR bandwidth at --swr (default 1.5; below 1.01 taken at 2) around the point\n"
         "nearest --at (default: the lowest SWR). Port B scan: the bandwidths at --level and --level2 dB\n"
         "with shape factor and symmetry, around --at (default: the highest S21). The texts are those of\n"
         "the program's messages. Needs no instrument.\n",
         CliNeeds::Nothing, false, ConvertWord, CheckMarkers, nullptr, BandwidthOfScanFile},
        {"channels", "channels --freq MHZ [--average N] [--cal FILE]",
         "the MUX channels 2..6 against channel 1 at one frequency (dB, degrees)",
         "Reads MUX channels 1 to 6 at MHZ through Port B, each corrected with its own cal file, and\n"
         "prints channels 2..6 relative to channel 1 in dB and degrees, as the vector scope shows them.\n"
         "A channel without a cal file is reported and passed over; a channel that shows no more signal\n"
         "than the open MUX (it did not switch, or nothing is connected) fails the command.\n\n"
         "  --freq MHZ        the frequency\n"
         "  --average N       the instrument's averaging, 1 to 1024 (default: the settings')\n"
         "  --cal FILE        channel 1's cal file \"x.chan1\" of \"Cal MultiChannel\" (the other channels'\n"
         "                    are x.chan2 .. x.chan6); any other cal file serves every channel\n",
         CliNeeds::Instrument, false, nullptr, CheckChannels, CheckCalFileNamed, PrintChannels},
        {"tdr", "tdr [--max-dist FT] [--high-res] [--vf V] [--cal FILE] --out FILE.tdr",
         "the TDR step response of the cable at Port A into a TDR file",
         "Measures Port A from near 0 Hz in equal steps with the program's TDR, turns the reflection\n"
         "into the step response and writes it as a TDR file, then prints the impedance of the line\n"
         "just past the port and the distance and impedances of the largest step along it.\n\n"
         "  --max-dist FT     the distance full scale in feet, one of 5 10 20 50 100 200 500 1000 2000\n"
         "                    (another value is taken to the next one up; default: the settings')\n"
         "  --high-res        512 transform points instead of 256\n"
         "  --vf V            the velocity factor of the cable, 0.5 to 1 (default: the settings')\n"
         "  --cal FILE        the standard cal file (default: the settings')\n"
         "  --out FILE.tdr    the TDR file written\n",
         CliNeeds::Instrument, true, nullptr, nullptr, CheckOutputFolder, TdrToFile},
        {"dtf", "dtf --vf V [--cal FILE]", "the distance to the open or shorted end of the cable at Port A",
         "Finds the quarter-wave frequency of the open or shorted cable at Port A (the sign change of\n"
         "the impedance phase from 0.2 MHz up) and prints it, the distance in metres and feet and the\n"
         "cable's impedance read at half that frequency, as the program's message shows them.\n\n"
         "  --vf V            the velocity factor of the cable, 0.5 to 1\n"
         "  --cal FILE        the standard cal file (default: the settings')\n",
         CliNeeds::Instrument, true, nullptr, nullptr, CheckCalFileNamed, DistanceToFaultCli},
        {"test", "test [--out REPORT]", "\"VNA Test\": the instrument's health, check by check",
         "Runs the instrument test of the program's \"VNA Test\": the reference amplitude and the converter\n"
         "levels of both ports, the Port B gain and sensitivity steps against their nominal dB values, the\n"
         "relays, the temperature, the supply voltage and the date code in flash, each against its limits,\n"
         "and prints the report. The Port B checks need a 30..50 dB attenuator from the RF output to Port "
         "B.\n"
         "The exit status is 1 when a check failed.\n\n"
         "  --out REPORT      also write the report to this text file\n",
         CliNeeds::Instrument, false, nullptr, nullptr, CheckOutputFolder, RunInstrumentTest},
        {"ports", "ports", "the serial devices present and the one the settings select",
         "Lists the USB serial devices present (/dev/ttyUSB*, /dev/ttyACM*) with their USB vendor and\n"
         "product where known, and the device the settings (or --serial) select. Needs no instrument.\n",
         CliNeeds::Settings, false, nullptr, nullptr, nullptr, ListSerialDevices},
        {"xtal", "xtal --nominal MHZ [--cal FILE] [--out FILE.xdat]", "the parameters of a crystal at Port A",
         "Measures the quartz crystal at Port A around its nominal frequency as \"Measure Crystal\" does\n"
         "(series and parallel resonance, series resistance, holder capacitance, motional inductance and\n"
         "capacitance, Q) and prints them as the \"Crystal Parameters\" dialog shows them.\n\n"
         "  --nominal MHZ     the crystal's nominal frequency\n"
         "  --cal FILE        the cal file to correct with (default: the settings')\n"
         "  --out FILE.xdat   also add them to this crystal data file, as its next crystal\n",
         CliNeeds::Instrument, true, nullptr, CheckCrystalOptions, PrepareCrystal, CrystalToTerminal},
        {"q", "q SCAN", "the Q of the first resonance of a stored Port A scan",
         "Loads a Port A scan file (.scn, a Port A CSV export, .s1p) and prints the Q of its first\n"
         "resonance from the 45 degree points of the impedance phase, as \"Q Measurement\" shows it.\n"
         "Needs no instrument.\n",
         CliNeeds::Nothing, false, ConvertWord, CheckQOptions, nullptr, QOfScanFile},
    };
    return commands;
}

const CliCommand* FindCliCommand(std::string_view name) {
    for (const CliCommand& c : CliCommands()) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

std::string CliVersion() {
    return std::string("vna-cli ") + VNA_VERSION;
}

std::string CliUsage() {
    std::string text = "usage: vna-cli [OPTIONS] COMMAND [ARGUMENTS]\n";
    for (const CliCommand& c : CliCommands()) {
        text += std::string("       vna-cli [OPTIONS] ") + c.synopsis + "\n";
    }
    text += "\nRuns the instrument code of the VNA program without windows: for scripts, tests and a\n"
            "first check of an instrument.\n\nCommands:\n";
    for (const CliCommand& c : CliCommands()) {
        std::string name = c.name;
        name.resize(12, ' ');
        text += "  " + name + c.summary + "\n";
    }
    text += std::string("\n") + SharedOptions +
            "\nThe exit status is 0 on success, 1 when the command failed (\"vna-cli: error CODE: why\" on\n"
            "standard error) and 2 for a mistake on the command line. \"vna-cli COMMAND --help\" describes\n"
            "one command.\n";
    return text;
}

std::string CliCommandHelp(const CliCommand& c) {
    return std::string("usage: vna-cli [OPTIONS] ") + c.synopsis + "\n\n" + c.help + "\n" + SharedOptions;
}

std::string CliUsageFor(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (const CliCommand* c = FindCliCommand(a)) {
            return std::string("usage: vna-cli [OPTIONS] ") + c->synopsis + "\n" + "\"vna-cli " + c->name +
                   " --help\" describes it, \"vna-cli --help\" every command.\n";
        }
    }
    return CliUsage();
}

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          const char* (*getenv)(const char*), std::string& error) {
    CliOptions o;
    // Help and version come first: "sweep --help" is asked without the options a sweep needs.
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || (i == 0 && a == "help")) {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (o.command.empty() && FindCliCommand(a)) {
            o.command = a;
        }
    }
    if (o.help || o.version) {
        return o;
    }
    o.command.clear();
    if (getenv) {
        if (const char* s = getenv("VNA_SERIAL")) {
            o.serial = s;
        }
        if (const char* h = getenv("VNA_HOME")) {
            o.dataDir = h;
        }
    }
    const CliCommand* command = nullptr;
    // An option given twice is a slip that would otherwise pass unnoticed (the last one winning).
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (a == "-v") {
            a = "--verbose";
        } else if (a == "-q") {
            a = "--quiet";
        }
        if (a.rfind("--", 0) == 0 && a != "--marker" && !seen.insert(a).second) {
            error = a + " is given more than once";
            return std::nullopt;
        }
        auto value = [&]() -> std::optional<std::string> {
            // The next option is no value: "--out --start 1" lost the file name.
            if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
                error = a + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--timeout") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            o.timeout = std::strtod(v->c_str(), &end);
            if (end == v->c_str() || *end != '\0' || !(o.timeout > 0) || o.timeout > 86400) {
                error = "--timeout needs seconds (up to 86400)";
                return std::nullopt;
            }
        } else if (a == "--start" || a == "--stop" || a == "--step") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            const double mhz = std::strtod(v->c_str(), &end);
            // The generator's step may also be a number of points.
            const double largest = a == "--step" ? 1e6 : 1000;
            if (end == v->c_str() || *end != '\0' || !(mhz > 0) || mhz > largest) {
                error = a + " needs a frequency in MHz";
                return std::nullopt;
            }
            (a == "--start" ? o.start : a == "--stop" ? o.stop : o.step) = mhz;
        } else if (a == "--serial" || a == "--data-dir" || a == "--port" || a == "--freq" ||
                   a == "--average" || a == "--cal" || a == "--out" || a == "--format") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            if (a == "--serial") {
                o.serial = *v;
            } else if (a == "--data-dir") {
                o.dataDir = *v;
            } else if (a == "--cal") {
                o.calFile = *v;
            } else if (a == "--port") {
                if (*v != "a" && *v != "b" && *v != "A" && *v != "B") {
                    error = "--port is a or b";
                    return std::nullopt;
                }
                o.port = static_cast<char>((*v)[0] | 0x20);
            } else if (a == "--out") {
                o.output = *v;
            } else if (a == "--format") {
                const auto f = files::TouchstoneFormatFromName(*v);
                if (!f) {
                    error = "--format is ri, ma or db";
                    return std::nullopt;
                }
                o.format = *f;
            } else if (a == "--freq") {
                char* end = nullptr;
                o.freq = std::strtod(v->c_str(), &end);
                if (end == v->c_str() || *end != '\0' || !(o.freq > 0) || o.freq > 1000) {
                    error = "--freq needs a frequency in MHz";
                    return std::nullopt;
                }
            } else {
                o.average = std::atoi(v->c_str());
                if (o.average < 1 || o.average > 1024) {
                    error = "--average is 1 to 1024";
                    return std::nullopt;
                }
            }
        } else if (a == "--settling" || a == "--marker") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            const double n = std::strtod(v->c_str(), &end);
            const bool number = end != v->c_str() && *end == '\0' && n >= 0;
            if (a == "--settling") {
                if (!number || n > 100000 || n != std::floor(n)) {
                    error = "--settling needs a whole number of 0 or more";
                    return std::nullopt;
                }
                o.settling = static_cast<int>(n);
            } else {
                if (!number || n > 1000 || o.markers.size() >= 4) {
                    error = "--marker needs a frequency in MHz (at most four markers)";
                    return std::nullopt;
                }
                o.markers.push_back(n);
            }
        } else if (a == "--swr" || a == "--seconds" || a == "--decimals") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            const double n = std::strtod(v->c_str(), &end);
            const bool number = end != v->c_str() && *end == '\0';
            if (a == "--swr") {
                // The tone and the voice take 1 to 999 (checked with the command); a bandwidth's
                // ruler below 1.01 is taken at 2.
                if (!number || std::isnan(n)) {
                    error = "--swr needs a number";
                    return std::nullopt;
                }
                if (!(n >= 0 && n <= 1000)) {
                    error = "--swr is an SWR from 1 to 999";
                    return std::nullopt;
                }
                o.swr = n;
            } else if (a == "--seconds") {
                if (!number || !(n >= 0.1 && n <= 60)) {
                    error = "--seconds is 0.1 to 60";
                    return std::nullopt;
                }
                o.seconds = n;
            } else {
                if (!number || (n != 1 && n != 2)) {
                    error = "--decimals is 1 or 2";
                    return std::nullopt;
                }
                o.decimals = static_cast<int>(n);
            }
        } else if (a == "--nominal") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            char* end = nullptr;
            o.nominal = std::strtod(v->c_str(), &end);
            if (end == v->c_str() || *end != '\0' || !(o.nominal > 0) || o.nominal > 1000) {
                error = "--nominal needs the crystal's frequency in MHz";
                return std::nullopt;
            }
        } else if (a == "--tone") {
            o.tone = true;
        } else if (a == "--voice") {
            o.voice = true;
        } else if (a == "--max-dist" || a == "--high-res" || a == "--vf") {
            if (ParseLineToolArgument(o, args, i, error) < 0) {
                return std::nullopt;
            }
        } else if (a == "--at" || a == "--rotation" || a == "--level" || a == "--level2") {
            if (ParseMarkerArgument(o, args, i, error) < 0) {
                return std::nullopt;
            }
        } else if (a == "--view" || a == "--size") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            if (a == "--view") {
                if (*v != "graph" && *v != "smith" && *v != "polar") {
                    error = "--view is graph, smith or polar";
                    return std::nullopt;
                }
                o.view = *v;
            } else {
                int w = 0;
                int h = 0;
                char tail = 0;
                if (std::sscanf(v->c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8000 ||
                    h > 8000) {
                    error = "--size is WIDTHxHEIGHT in pixels, 1 to 8000 each";
                    return std::nullopt;
                }
                o.width = w;
                o.height = h;
            }
        } else if (a == "--high") {
            o.high = true;
        } else if (a == "--high-baud") {
            o.highBaud = true;
        } else if (a == "--verbose") {
            o.verbose = true;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--exchanges") {
            o.exchanges = true;
        } else if (!command && FindCliCommand(a)) {
            command = FindCliCommand(a);
            o.command = a;
        } else if (command && command->word && command->word(o, a)) {
            // taken by the command
        } else {
            error = "unknown argument " + a;
            return std::nullopt;
        }
    }
    if (!command) {
        error = "no command given";
        return std::nullopt;
    }
    if (command->check) {
        if (auto why = command->check(o)) {
            error = *why;
            return std::nullopt;
        }
    }
    if (auto why = CheckOwnership(o)) {
        error = *why;
        return std::nullopt;
    }
    return o;
}

} // namespace vna::app
