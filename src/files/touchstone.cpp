#include "files/touchstone.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "files/even_grid.h"

namespace vna::files {

using core::NumText;
using core::OneLine;
using core::SplitLines;

namespace {

// Touchstone angles are true degrees, whatever factor the program's own files use.
constexpr double Pi = 3.14159265358979323846;
constexpr double DegPerRad = 180 / Pi;
// The magnitude written for a transmission of exactly zero (dB).
constexpr double NoTransmissionDb = -200;
// |Z| taken for a reflection coefficient of exactly 1 (ohms): an ideal open.
constexpr double OpenImpedance = 1e9;

std::string Shortest(double v) {
    if (v == 0) {
        return "0"; // also for -0
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// Hz to a millihertz, without trailing zeros.
std::string Hertz(double mhz) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", std::round(mhz * 1e9) / 1e3);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return s;
}

void Pair(std::string& out, std::complex<double> v, TouchstoneFormat format) {
    double a = v.real();
    double b = v.imag();
    if (format != TouchstoneFormat::RI) {
        const double mag = std::abs(v);
        b = mag > 0 ? std::arg(v) * DegPerRad : 0;
        a = format == TouchstoneFormat::MA ? mag : (mag > 0 ? 20 * std::log10(mag) : NoTransmissionDb);
    }
    out += ' ';
    out += Shortest(a);
    out += ' ';
    out += Shortest(b);
}

void Options(std::string& out, TouchstoneFormat format, double reference) {
    out += "# HZ S ";
    out += TouchstoneFormatName(format);
    out += " R ";
    out += Shortest(reference);
    out += "\r\n";
}

void Comments(std::string& out, const core::AppState& st, std::string_view what, std::string_view stamp,
              std::string_view description) {
    out +=
        "! VNA " + std::string(what) + ", program version " + st.ProgramVersion + st.VersionLetter + "\r\n";
    if (!stamp.empty()) {
        out += "! Date: " + OneLine(stamp) + "\r\n";
    }
    if (!description.empty()) {
        out += "! Comment: " + OneLine(description) + "\r\n";
    }
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::vector<std::string_view> Tokens(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == ',')) {
            ++i;
        }
        const std::size_t from = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != ',') {
            ++i;
        }
        if (i > from) {
            out.push_back(line.substr(from, i - from));
        }
    }
    return out;
}

std::string Rest(std::string_view line, std::string_view key) {
    std::string s(line.substr(key.size()));
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) {
        s.pop_back();
    }
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

// The points of `data` inside the instrument's range, on an even grid: frequency and the real and
// imaginary parts of the wanted S-parameters.
bool Points(const TouchstoneData& data, const core::AppState& st, const std::vector<int>& wanted,
            std::vector<std::vector<double>>& columns, EvenGrid& grid, std::string& problem,
            std::string& note) {
    std::vector<double> freq;
    columns.assign(2 * wanted.size(), {});
    std::size_t dropped = 0;
    for (std::size_t k = 0; k < data.freq.size(); ++k) {
        const double f = data.freq[k];
        if (f < st.minimum_freq || f > st.maximumfreq) {
            ++dropped;
            continue;
        }
        freq.push_back(f);
        for (std::size_t w = 0; w < wanted.size(); ++w) {
            const std::complex<double> v = data.s[k][static_cast<std::size_t>(wanted[w])];
            columns[2 * w].push_back(v.real());
            columns[2 * w + 1].push_back(v.imag());
        }
    }
    if (freq.size() > static_cast<std::size_t>(core::MaxSweepPoints)) {
        problem = "It holds" + NumText(static_cast<double>(freq.size()), 0) +
                  " points in the instrument's range, but a scan holds at most" +
                  NumText(core::MaxSweepPoints, 0) + ".";
        return false;
    }
    std::vector<std::vector<double>*> ptrs;
    for (auto& c : columns) {
        ptrs.push_back(&c);
    }
    if (!MakeEvenGrid(freq, ptrs, grid, problem)) {
        if (dropped > 0) {
            problem += " (Only points from" + NumText(st.minimum_freq, 3) + " to" +
                       NumText(st.maximumfreq, 0) + " MHz are taken.)";
        }
        return false;
    }
    if (dropped > 0) {
        note += NumText(static_cast<double>(dropped), 0).substr(1) + " points outside" +
                NumText(st.minimum_freq, 3) + " to" + NumText(st.maximumfreq, 0) + " MHz were left out. ";
    }
    if (grid.interpolated) {
        note += "The frequencies of the file are not evenly spaced; its points were interpolated onto" +
                NumText(grid.count, 0) + " evenly spaced frequencies.";
    }
    return true;
}

double Db(std::complex<double> v) {
    const double mag = std::abs(v);
    return mag > 0 ? std::max(20 * std::log10(mag), NoTransmissionDb) : NoTransmissionDb;
}

} // namespace

const char* TouchstoneFormatName(TouchstoneFormat format) {
    switch (format) {
        case TouchstoneFormat::MA:
            return "MA";
        case TouchstoneFormat::DB:
            return "DB";
        case TouchstoneFormat::RI:
            break;
    }
    return "RI";
}

std::optional<TouchstoneFormat> TouchstoneFormatFromName(std::string_view name) {
    const std::string u = Upper(name);
    if (u == "RI") {
        return TouchstoneFormat::RI;
    }
    if (u == "MA") {
        return TouchstoneFormat::MA;
    }
    if (u == "DB") {
        return TouchstoneFormat::DB;
    }
    return std::nullopt;
}

std::string TouchstoneTextA(const core::Program& p, TouchstoneFormat format) {
    const core::AppState& st = p.st;
    const core::ScanArrays& s = p.scan;
    const ScanGrid grid = ScanGridOf(st, st.scanSettingsA);
    const int last = std::clamp(grid.last, -1, core::ScanCapacity - 1);
    std::string out;
    out.reserve(512 + 64 * static_cast<std::size_t>(last + 1));
    Comments(out, st, "Port A scan", st.scanStampA, st.scanDescriptionA);
    out += "! S11 of the corrected impedance against the reference impedance\r\n";
    const double r = st.Zo;
    Options(out, format, r);
    for (int k = 0; k <= last; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const std::complex<double> z = std::polar(s.raw_zmag[i], s.raw_phase[i]);
        const std::complex<double> sum = z + r;
        const std::complex<double> gamma = std::abs(sum) > 0 ? (z - r) / sum : std::complex<double>(1, 0);
        out += Hertz(grid.step * k + grid.start);
        Pair(out, gamma, format);
        out += "\r\n";
    }
    return out;
}

std::string TouchstoneTextB(const core::Program& p, TouchstoneFormat format) {
    const core::AppState& st = p.st;
    const core::ScanArrays& s = p.scan;
    const ScanGrid grid = ScanGridOf(st, st.scanSettingsB);
    const int last = std::clamp(grid.last, -1, core::ScanCapacity - 1);
    bool s11Measured = false;
    for (int k = 0; k <= last && !s11Measured; ++k) {
        const auto i = static_cast<std::size_t>(k);
        s11Measured = s.s11_db[i] != 0 || s.s11_phase[i] != 0;
    }
    std::string out;
    out.reserve(512 + 140 * static_cast<std::size_t>(last + 1));
    Comments(out, st, "Port B scan", st.scanStampB, st.scanDescriptionB);
    out += s11Measured ? "! S21 and S11 as measured; " : "! S21 as measured; S11 was not measured and is 0; ";
    out += "S12 and S22 are not measured and are 0\r\n";
    Options(out, format, st.Zo);
    for (int k = 0; k <= last; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const std::complex<double> s21 = std::polar(std::pow(10.0, s.s21_db[i] / 20), s.s21_phase[i]);
        const std::complex<double> s11 = s11Measured
                                             ? std::polar(std::pow(10.0, s.s11_db[i] / 20), s.s11_phase[i])
                                             : std::complex<double>();
        out += Hertz(grid.step * k + grid.start);
        Pair(out, s11, format);
        Pair(out, s21, format);
        Pair(out, {}, format);
        Pair(out, {}, format);
        out += "\r\n";
    }
    return out;
}

std::optional<TouchstoneData> ParseTouchstone(std::string_view text, int ports, std::string& problem) {
    TouchstoneData d;
    d.ports = ports;
    double unit = 1000;                             // GHz in MHz
    TouchstoneFormat format = TouchstoneFormat::MA; // the defaults of the format
    bool optionSeen = false;
    const std::size_t perRecord = 1 + 2 * static_cast<std::size_t>(ports * ports);
    std::vector<double> record;
    std::size_t recordLine = 0;
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string_view line = lines[n];
        const auto bang = line.find('!');
        if (bang != std::string_view::npos) {
            const std::string_view comment = line.substr(bang);
            if (comment.rfind("! Comment:", 0) == 0 && d.description.empty()) {
                d.description = Rest(comment, "! Comment:");
            } else if (comment.rfind("! Date:", 0) == 0 && d.stamp.empty()) {
                d.stamp = Rest(comment, "! Date:");
            }
            line = line.substr(0, bang);
        }
        const std::vector<std::string_view> tokens = Tokens(line);
        if (tokens.empty()) {
            continue;
        }
        if (tokens[0].front() == '[') {
            if (Upper(tokens[0]) == "[END]") {
                break;
            }
            continue; // keywords of the newer version of the format
        }
        if (tokens[0].front() == '#') {
            if (optionSeen) {
                continue; // only the first option line counts
            }
            optionSeen = true;
            std::vector<std::string> words;
            for (const auto& t : tokens) {
                const std::string u = Upper(t);
                if (u != "#") {
                    words.push_back(u.front() == '#' ? u.substr(1) : u);
                }
            }
            for (std::size_t w = 0; w < words.size(); ++w) {
                const std::string& u = words[w];
                if (u == "HZ") {
                    unit = 1e-6;
                } else if (u == "KHZ") {
                    unit = 1e-3;
                } else if (u == "MHZ") {
                    unit = 1;
                } else if (u == "GHZ") {
                    unit = 1000;
                } else if (u == "S") {
                } else if (u == "Y" || u == "Z" || u == "H" || u == "G") {
                    problem = "It holds " + u + "-parameters; only S-parameters can be read.";
                    return std::nullopt;
                } else if (auto f = TouchstoneFormatFromName(u)) {
                    format = *f;
                } else if (u == "R" && w + 1 < words.size()) {
                    const auto r = StrictNumber(words[++w]);
                    if (!r || !(*r > 0)) {
                        problem = "Its reference impedance \"" + words[w] + "\" is not a positive number.";
                        return std::nullopt;
                    }
                    d.reference = *r;
                } else {
                    problem = "Its option line (line " + std::to_string(n + 1) +
                              ") holds the unknown word \"" + u + "\".";
                    return std::nullopt;
                }
            }
            continue;
        }
        for (const auto& t : tokens) {
            auto v = StrictNumber(t);
            // A magnitude of zero in dB is minus infinity, and some writers put it down so.
            const bool magnitude = record.size() % 2 == 1;
            if (!v && format == TouchstoneFormat::DB && magnitude &&
                (Upper(t) == "-INF" || Upper(t) == "-INFINITY")) {
                v = -std::numeric_limits<double>::infinity();
            }
            if (!v) {
                problem = "Line " + std::to_string(n + 1) + " holds \"" + std::string(t.substr(0, 30)) +
                          "\", which is not a number.";
                return std::nullopt;
            }
            if (record.empty()) {
                recordLine = n + 1;
            }
            record.push_back(*v);
            if (record.size() == perRecord) {
                d.freq.push_back(record[0] * unit);
                std::array<std::complex<double>, 4> s{};
                for (std::size_t j = 0; j < (perRecord - 1) / 2; ++j) {
                    const double a = record[1 + 2 * j];
                    const double b = record[2 + 2 * j];
                    switch (format) {
                        case TouchstoneFormat::RI:
                            s[j] = {a, b};
                            break;
                        case TouchstoneFormat::MA:
                            s[j] = std::polar(a, b / DegPerRad);
                            break;
                        case TouchstoneFormat::DB:
                            s[j] = std::polar(std::pow(10.0, a / 20), b / DegPerRad);
                            break;
                    }
                }
                d.s.push_back(s);
                record.clear();
            }
        }
    }
    if (!record.empty()) {
        problem = "The data that begins on line " + std::to_string(recordLine) + " is incomplete: a " +
                  std::to_string(ports) + "-port file has " + std::to_string(perRecord) +
                  " numbers per frequency.";
        return std::nullopt;
    }
    if (d.freq.empty()) {
        problem = "It holds no data.";
        return std::nullopt;
    }
    return d;
}

std::optional<ScanFileA> TouchstoneToScanA(const TouchstoneData& data, const core::AppState& st,
                                           const ScanFileA& base, std::string& problem, std::string& note) {
    std::vector<std::vector<double>> c;
    EvenGrid grid;
    if (!Points(data, st, {0}, c, grid, problem, note)) {
        return std::nullopt;
    }
    ScanFileA s = base;
    const auto n = static_cast<std::size_t>(grid.count);
    s.start = grid.start;
    s.step = grid.step;
    s.end = grid.start + grid.step * static_cast<double>(n - 1);
    s.zmag.resize(n);
    s.phase.resize(n);
    const double r = data.reference;
    for (std::size_t k = 0; k < n; ++k) {
        const std::complex<double> gamma(c[0][k], c[1][k]);
        const std::complex<double> rest = 1.0 - gamma;
        const std::complex<double> z = std::abs(rest) > 1e-12 ? r * (1.0 + gamma) / rest : OpenImpedance;
        s.zmag[k] = std::abs(z);
        s.phase[k] = std::arg(z);
    }
    s.trailer[TrailerAZo] = r;
    s.description = data.description;
    if (!data.stamp.empty()) {
        s.stamp = data.stamp;
    }
    return s;
}

std::optional<ScanFileB> TouchstoneToScanB(const TouchstoneData& data, const core::AppState& st,
                                           const ScanFileB& base, std::string& problem, std::string& note) {
    if (data.ports != 2) {
        problem = "A Port B scan is read from a two-port file.";
        return std::nullopt;
    }
    std::vector<std::vector<double>> c;
    EvenGrid grid;
    if (!Points(data, st, {0, 1}, c, grid, problem, note)) {
        return std::nullopt;
    }
    ScanFileB s = base;
    const auto n = static_cast<std::size_t>(grid.count);
    s.start = grid.start;
    s.step = grid.step;
    s.end = grid.start + grid.step * static_cast<double>(n - 1);
    s.points = static_cast<double>(n);
    s.s21db.assign(n + 1, 0);
    s.s21deg.assign(n + 1, 0);
    s.s11db.assign(n + 1, 0);
    s.s11deg.assign(n + 1, 0);
    for (std::size_t k = 0; k < n; ++k) {
        const std::complex<double> s11(c[0][k], c[1][k]);
        const std::complex<double> s21(c[2][k], c[3][k]);
        s.s21db[k] = Db(s21);
        s.s21deg[k] = std::arg(s21) * ScanFileDegrees;
        // An S11 of 0 (or the -200 dB this program writes for it) is one that was not measured; the
        // scan arrays hold 0 dB for it.
        if (std::abs(s11) > 1e-9) {
            s.s11db[k] = Db(s11);
            s.s11deg[k] = std::arg(s11) * ScanFileDegrees;
        }
    }
    s.trailer[TrailerBZo] = data.reference;
    s.description = data.description;
    if (!data.stamp.empty()) {
        s.stamp = data.stamp;
    }
    return s;
}

} // namespace vna::files
