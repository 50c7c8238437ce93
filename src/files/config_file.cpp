#include "files/config_file.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <vector>

#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/path_split.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "files/init_file.h"

namespace vna::files {

using core::DialogFolder;
using core::FileIsWriteProtected;
using core::JoinPath;
using core::Nint;
using core::NumText;
using core::ReadWholeFile;
using core::SplitLines;
using core::SplitPath;
using core::SplitPathResult;
using core::TextToNumber;
using core::ToLower;
using core::WriteFileAtomic;

namespace {

using core::AppState;
using core::Rgb;

// Keyed values and band names are texts of at most this many characters.
constexpr std::size_t MaxTextLength = 255;
// The editor stops adding lines once its text has reached this size.
constexpr std::size_t EditorTextLimit = 32509;

using Numbers = std::array<double, 3>;

// Sane ranges where the settings give none, so that a damaged file cannot make a window of
// millions of pixels, a pen as wide as the screen or a wait of weeks.
constexpr int WidestTrace = 10;
constexpr int LongestWaitMs = 10000;
constexpr int LargestWindowSide = 10000;
constexpr int LargestCount = 1000000;
constexpr int FastestLineRate = 4000000;
constexpr double HighestParkFreq = 1000;

// The numbers of a config file are single-precision values; a text beyond that range is taken at
// the largest single-precision value rather than becoming infinite.
double Single(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    v = std::clamp(v, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
    return static_cast<double>(static_cast<float>(v));
}

bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Empty lines, lines without a letter or digit and lines whose "//" comes before the first letter
// or digit are comments: they do not count as entries.
bool IsSkipped(std::string_view lower) {
    const auto first = std::find_if(lower.begin(), lower.end(), IsAlnum);
    if (first == lower.end()) {
        return true;
    }
    const std::size_t comment = lower.find("//");
    return comment != std::string_view::npos && comment < static_cast<std::size_t>(first - lower.begin());
}

// The first `n` numbers of a data line, separated by blanks or commas (a run of blanks is one
// separator). Anything after them is ignored; numbers the line does not have are 0.
void ParseNumbers(std::string_view line, int n, Numbers& out) {
    std::size_t i = 0;
    for (int c = 0; c < n; ++c) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        std::size_t end = i;
        while (end < line.size() && !IsBlank(line[end]) && line[end] != ',') {
            ++end;
        }
        out[static_cast<std::size_t>(c)] = Single(TextToNumber(line.substr(i, end - i)));
        i = end;
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        if (i < line.size() && line[i] == ',') {
            ++i;
        }
    }
}

// The value of a keyed line: from the first non-blank character after the key to the next blank.
// The key is found in the lower-cased line, but the value keeps the case it was written in: these
// values are paths, and paths are case-sensitive on most systems.
std::string KeyedValue(std::string_view line, std::size_t afterKey) {
    std::size_t i = afterKey;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    std::size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) {
        ++end;
    }
    return std::string(line.substr(i, std::min(end - i, MaxTextLength)));
}

// Sets the field of a keyed line; false when the line carries none of the keys. `lower` is `line`
// lower-cased, character for character.
bool ApplyKeyedLine(AppState& st, std::string_view line, std::string_view lower) {
    if (lower.find("file") == std::string_view::npos) {
        return false;
    }
    static constexpr std::string_view controlKey = "controlfile=";
    static constexpr std::string_view outputKey = "outputfile=";
    static constexpr std::string_view voiceKey = "voicefilefolder=";
    if (const auto pos = lower.find(controlKey); pos != std::string_view::npos) {
        st.controlfile = KeyedValue(line, pos + controlKey.size());
        return true;
    }
    if (const auto pos = lower.find(outputKey); pos != std::string_view::npos) {
        st.outputfile = KeyedValue(line, pos + outputKey.size());
        return true;
    }
    if (const auto pos = lower.find(voiceKey); pos != std::string_view::npos) {
        // The folder is written with one character after it, which is dropped.
        std::string folder = KeyedValue(line, pos + voiceKey.size());
        if (!folder.empty()) {
            folder.pop_back();
        }
        st.voicefilefolder = folder;
        return true;
    }
    return false;
}

std::int32_t Component(double v) {
    return std::clamp(Nint(v), 0, 255);
}

Rgb ColorOf(const Numbers& n) {
    return core::Color(Component(n[0]), Component(n[1]), Component(n[2]));
}

int CountOf(int entry) {
    if (entry <= 16 || (entry >= 20 && entry <= 36)) {
        return 3;
    }
    return 1;
}

std::string TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return std::string(s.substr(0, std::min(s.size(), MaxTextLength)));
}

void ApplyBand(AppState& st, int k, const Numbers& n, std::string_view line, std::string_view lower) {
    core::Band& band = st.bandTable[static_cast<std::size_t>(k)];
    band.start = n[0];
    band.end = n[1];
    // A third value above 20 is a number of points rather than a step.
    band.step = n[2] > 20 ? (n[1] - n[0]) / (n[2] + 0.00001) : n[2];
    if (const auto pos = lower.find("station="); pos != std::string_view::npos) {
        const std::size_t from = pos + 8;
        std::size_t end = from;
        while (end < line.size() && line[end] != ' ') {
            ++end;
        }
        band.name = std::string(line.substr(from, std::min(end - from, MaxTextLength)));
    } else if (const auto bpos = lower.find("band="); bpos != std::string_view::npos) {
        band.name = TrimRight(line.substr(bpos + 5));
    }
}

void ApplyEntry(AppState& st, int entry, const Numbers& n, std::string_view line, std::string_view lower,
                int fromMenu) {
    const double a = n[0];
    if (entry >= 1 && entry <= 16) {
        const Rgb c = ColorOf(n);
        st.defaultColors[static_cast<std::size_t>(entry)] = c;
        switch (entry) {
            case 7:
                st.traceColor7 = c;
                break;
            case 8:
                if (Component(n[0]) == Component(n[1]) && Component(n[1]) == Component(n[2])) {
                    st.blueShade1 = st.blueShade2 = st.blueShade3 = st.Blue;
                }
                break;
            case 14:
                st.chartFillColor = c;
                break;
            case 15:
                st.gridColor = c;
                st.sectionLineColor =
                    core::Color(std::max(Component(n[0]) - 30, 0), std::max(Component(n[1]) - 30, 0),
                                std::max(Component(n[2]) - 30, 0));
                break;
            case 16:
                st.monitorTextColor = c;
                break;
            default:
                break;
        }
        return;
    }
    if (entry >= 20 && entry <= 35) {
        ApplyBand(st, entry - 19, n, line, lower);
        if (entry == 35) {
            st.bandCount = core::BandCount;
        }
        return;
    }
    switch (entry) {
        case 18:
            st.traceWidth = std::clamp(Nint(a), 1, WidestTrace);
            break;
        case 19:
            st.traceWidth2 = std::clamp(Nint(a), 1, WidestTrace);
            break;
        case 36:
            st.bandFillColor = ColorOf(n);
            break;
        case 37:
            st.maxScanPoints = std::clamp(Nint(a), 20, core::MaxSweepPoints);
            break;
        case 38:
            st.distanceUnits = Nint(a);
            break;
        case 39:
            st.voltageWait = std::clamp(Nint(a), 0, LongestWaitMs);
            break;
        case 40:
            st.defaultWinWidth = std::min(Nint(a), LargestWindowSide);
            if (fromMenu) {
                // The same lower limit as the init file's window width.
                st.WinWidth = std::max(st.defaultWinWidth, 200);
            }
            break;
        case 41:
            st.defaultWinHeight = std::min(Nint(std::fabs(a)), LargestWindowSide);
            if (fromMenu) {
                st.WinHeight = std::max(st.defaultWinHeight, 100);
            }
            break;
        case 42:
            st.graphFontSize = std::clamp(Nint(std::fabs(a)), 3, 10);
            break;
        case 43:
            st.boldGraphFont = Nint(std::fabs(a));
            break;
        case 44:
            st.smithSize = std::clamp(std::fabs(a), 0.5, 3.0);
            break;
        case 46:
            st.rescanPause = std::clamp(Nint(a), 0, LongestWaitMs);
            break;
        case 47:
            st.HighBaud = Nint(a);
            break;
        case 49:
            st.dspthreshold = a;
            break;
        case 50:
            st.dspthreshold_factor = a;
            break;
        case 51:
            st.reservedLimit = std::min(Nint(std::fabs(a)), 1024);
            break;
        case 52:
            st.externalControl = std::clamp(Nint(a), 0, 3);
            break;
        case 53:
            st.autoSaveGraph = Nint(std::fabs(a));
            break;
        case 57:
            st.voiceDecimals = std::clamp(Nint(a), 1, 2);
            break;
        case 58:
            st.voiceRepeat = std::clamp(Nint(a), 0, LargestCount);
            break;
        case 59:
            st.configEntry59 = Nint(a);
            break;
        case 60:
            st.zStepTolerance = std::clamp(Nint(std::fabs(a)), 1, LargestCount);
            break;
        case 61:
            st.parkFreq = std::min(std::fabs(a), HighestParkFreq);
            break;
        case 62:
            st.HighBaudRate = std::min(Nint(std::fabs(a)), FastestLineRate);
            break;
        case 63:
            st.swrLift = Nint(std::fabs(a));
            break;
        default:
            // 17, 45, 48 and 54..56 are read and ignored.
            break;
    }
}

bool IsAbsolutePath(std::string_view path) {
    return path.find(':') != std::string_view::npos || (!path.empty() && (path[0] == '/' || path[0] == '\\'));
}

// Rewrites a file only when its contents change, silently: the copies are a convenience, and a
// config file in a folder the user cannot write stays as it is.
void ReplaceIfDifferent(const std::string& path, const std::string& text) {
    std::string old;
    if (ReadWholeFile(path, old) && old == text) {
        return;
    }
    if (FileIsWriteProtected(path)) {
        return;
    }
    WriteFileAtomic(path, text);
}

void NotFoundMessage(core::Program& p, const std::string& path) {
    if (p.st.NoWindow) {
        p.ui.message("The Config File named: " + path + " was not found.", " Config File 273");
        return;
    }
    p.ui.message("The Config File named: " + path +
                     " was not found.\r\n\r\n"
                     "Click the 'Files' menu in the upper left corner to select an\r\n"
                     "appropriate config file.",
                 " Config File 273");
}

} // namespace

std::string ConfigReadPath(const core::Program& p, std::string_view name) {
    if (name.find_first_of("/\\") != std::string_view::npos || IsAbsolutePath(name)) {
        return std::string(name);
    }
    return JoinPath(p.st.ProgramFolder, name);
}

ConfigRead ReadConfigFile(core::Program& p, int fromMenu) {
    AppState& st = p.st;
    st.ConfigLoaded = 0;
    st.configVersion = 0;

    std::string working = st.config_file;
    std::string contents;
    bool opened = !working.empty() && ReadWholeFile(ConfigReadPath(p, working), contents);
    if (!opened) {
        st.config_file_name = st.config_file = DefaultConfigName;
        working = JoinPath(st.ProgramFolder, DefaultConfigName);
        opened = ReadWholeFile(working, contents);
        if (!opened) {
            NotFoundMessage(p, working);
            return ConfigRead::NotFound;
        }
    }
    const std::string readPath = ConfigReadPath(p, working);
    if (!IsAbsolutePath(working)) {
        st.config_file_name = working;
    }

    const std::vector<std::string_view> lines = SplitLines(contents);
    std::size_t next = 0;
    st.configHeader = lines.empty() ? std::string() : std::string(lines[0].substr(0, MaxTextLength));
    next = std::min<std::size_t>(1, lines.size());
    for (int k = 0; k < 5 && next < lines.size(); ++k, ++next) {
        const std::string lower = ToLower(lines[next]);
        static constexpr std::string_view versionKey = "config_version=";
        if (const auto pos = lower.find(versionKey); pos != std::string::npos) {
            st.configVersion = Nint(TextToNumber(std::string_view(lower).substr(pos + versionKey.size(), 4)));
        }
    }
    if (st.configVersion < st.ConfigVersionRequired) {
        p.ui.message("This config file is not the latest version. " + NumText(st.ConfigVersionRequired, 0) +
                         "\rIt doesn't have all the new features.\rPlease select a new config file.",
                     "Invalid config file");
        st.config_file_name = st.config_file = DefaultConfigName;
        return ConfigRead::OldVersion;
    }

    Numbers numbers{0, 0, 0};
    for (int entry = 1; entry <= ConfigEntries; ++entry) {
        // Take lines until one feeds this entry; the end of the file or "END of config" first
        // ends the reading with the entries read so far in effect.
        for (;;) {
            if (next >= lines.size()) {
                return ConfigRead::Partial;
            }
            const std::string_view line = lines[next++];
            if (line.find("END of config") != std::string_view::npos) {
                return ConfigRead::Partial;
            }
            const std::string lower = ToLower(line);
            if (IsSkipped(lower)) {
                continue;
            }
            // A keyed line takes the place of an entry, which receives the numbers of the last
            // data line again; keyed lines belong at the places of the ignored entries.
            if (!ApplyKeyedLine(st, line, lower)) {
                ParseNumbers(line, CountOf(entry), numbers);
            }
            ApplyEntry(st, entry, numbers, line, lower, fromMenu);
            break;
        }
    }

    // A copy of the file in the program's folder, and the file itself rewritten from it (so it
    // ends up with CR LF line ends).
    std::string copy;
    copy.reserve(contents.size() + lines.size());
    for (std::string_view line : lines) {
        copy += line;
        copy += "\r\n";
    }
    ReplaceIfDifferent(JoinPath(st.ProgramFolder, LastConfigCopyName), copy);
    ReplaceIfDifferent(readPath, copy);
    st.ConfigLoaded = 1;
    return ConfigRead::Complete;
}

void CheckConfigLoaded(core::Program& p) {
    if (p.st.ConfigLoaded) {
        return;
    }
    if (p.st.NoWindow) {
        p.ui.message("The config file was not found.", " No Config File");
        return;
    }
    p.ui.message("The config file was not found.\r\n"
                 "Please use the Files->Load_Config_File menu to load a config file.\r\n\r\n"
                 "(If you want to use the default config file, it is called: VNA_default.cfg \r\n"
                 "This should be in the same folder with the exe file.)",
                 " No Config File");
}

bool ConfigEditorText(const std::string& path, std::string& text) {
    std::string contents;
    if (!ReadWholeFile(path, contents)) {
        return false;
    }
    text.clear();
    for (std::string_view line : SplitLines(contents)) {
        if (text.size() >= EditorTextLimit) {
            break;
        }
        text += line;
        text += "\r\n";
    }
    return true;
}

} // namespace vna::files
