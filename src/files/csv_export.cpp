#include "files/csv_export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/number_text.h"
#include "core/program.h"
#include "core/text_lines.h"
#include "files/even_grid.h"

namespace vna::files {

using core::AppendNumText;
using core::FormatPicture;
using core::NumText;
using core::OneLine;
using core::SplitLines;

namespace {

constexpr int CsvDecimals = 6;
constexpr const char* HeaderA = "Freq(MHz),SWR,Rs,Xs,Zmag,Phase(deg),Rho,ReturnLoss,%ReflectedPower";
constexpr const char* HeaderB =
    "Freq(MHz), S11mag(dB), S11phase(deg), S21mag(dB), S21phase(deg), Delay(usec)";
// What a row shows as the return loss of a perfect match.
constexpr double PerfectMatchReturnLoss = 999;
// The control file's frequencies are written half a unit of the sixth decimal up.
constexpr double ControlFreqOffset = 0.0000005;

std::string CreatedLine(const platform::LocalTime& t, const char* gap) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "Created: %02d-%02d-%04d%s%02d:%02d:%02d", t.month, t.day, t.year, gap,
                  t.hour, t.minute, t.second);
    return buf;
}

void Head(std::string& out, const core::Program& p, const platform::LocalTime& t, const char* gap,
          std::string_view description) {
    const core::AppState& st = p.st;
    out += CreatedLine(t, gap);
    out += "\r\nVNA version " + st.ProgramVersion + st.VersionLetter + "\r\n";
    out += "\"" + OneLine(description) + "\"\r\n";
    out += "Z0," + NumText(st.Zo, CsvDecimals) + "\r\n";
}

void Value(std::string& out, double v) {
    out += ", ";
    AppendNumText(out, v, CsvDecimals);
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t from = 0;
    for (;;) {
        const auto comma = line.find(',', from);
        out.push_back(
            line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
        if (comma == std::string_view::npos) {
            return out;
        }
        from = comma + 1;
    }
}

std::string Unquoted(std::string_view line) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) {
        s.pop_back();
    }
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') {
        s = s.substr(1, s.size() - 2);
    }
    return s;
}

} // namespace

std::string CsvNameA(std::string_view scanPath) {
    if (scanPath.size() > 3) {
        return std::string(scanPath.substr(0, scanPath.size() - 3)) + "csv";
    }
    return std::string(scanPath) + ".csv";
}

std::string CsvNameB(std::string_view scanPath) {
    if (scanPath.size() > 5) {
        return std::string(scanPath.substr(0, scanPath.size() - 5)) + "_B.csv";
    }
    return std::string(scanPath) + "_B.csv";
}

namespace {

// The Port A rows as the export writes them, or as the control file of external control writes
// them (the frequency in full precision and another factor for the phase).
std::string TextA(const core::Program& p, const platform::LocalTime& created, bool control) {
    const core::AppState& st = p.st;
    const core::ScanArrays& s = p.scan;
    std::string out;
    const ScanGrid grid = ScanGridOf(st, st.scanSettingsA);
    const int last = std::clamp(grid.last, -1, core::ScanCapacity - 1);
    out.reserve(512 + 140 * static_cast<std::size_t>(last + 1));
    Head(out, p, created, "  ", st.scanDescriptionA);
    out += HeaderA;
    out += "\r\n";
    for (int k = 0; k <= last; ++k) {
        const auto i = static_cast<std::size_t>(k);
        // The export's frequency column has always been written in single precision; the control
        // file's in full precision, half a unit of its last decimal up.
        const double f = control ? grid.start + grid.step * k + ControlFreqOffset
                                 : static_cast<float>(grid.step * k + grid.start);
        const double swr = s.scan_swr[i];
        const double rho = (swr - 1) / (swr + 1);
        const double returnLoss =
            rho > 0 && std::isfinite(rho) ? -20 * std::log10(rho) : PerfectMatchReturnLoss;
        AppendNumText(out, f, CsvDecimals);
        Value(out, swr);
        Value(out, s.scan_rs[i]);
        Value(out, s.scan_xs[i]);
        Value(out, s.scan_zmag[i]);
        Value(out, s.scan_phase[i] * (control ? ControlCsvDegrees : CsvDegrees));
        Value(out, rho);
        Value(out, returnLoss);
        Value(out, rho * rho * 100);
        out += "\r\n";
    }
    return out;
}

} // namespace

std::string CsvTextA(const core::Program& p, const platform::LocalTime& created) {
    return TextA(p, created, false);
}

std::string ControlCsvTextA(const core::Program& p, const platform::LocalTime& created) {
    return TextA(p, created, true);
}

std::string CsvTextB(const core::Program& p, const platform::LocalTime& created) {
    const core::AppState& st = p.st;
    const core::ScanArrays& s = p.scan;
    std::string out;
    const ScanGrid grid = ScanGridOf(st, st.scanSettingsB);
    const int last = std::clamp(grid.last, -1, core::ScanCapacity - 1);
    out.reserve(512 + 110 * static_cast<std::size_t>(last + 1));
    Head(out, p, created, " ", st.scanDescriptionB);
    out += HeaderB;
    out += "\r\n";
    for (int k = 0; k <= last; ++k) {
        const auto i = static_cast<std::size_t>(k);
        out += FormatPicture("###.#######", grid.step * k + grid.start);
        Value(out, s.s11_db[i]);
        Value(out, s.s11_phase[i] * CsvDegrees);
        Value(out, s.s21_db[i]);
        Value(out, s.s21_phase[i] * CsvDegrees);
        // The delay is kept in ns and exported in microseconds.
        Value(out, s.group_delay[i] * 0.001);
        out += "\r\n";
    }
    return out;
}

std::optional<std::variant<ScanFileA, ScanFileB>> ParseCsvExport(std::string_view text,
                                                                 const ScanFileA& baseA,
                                                                 const ScanFileB& baseB, std::string& problem,
                                                                 std::string& note) {
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() < 5 || lines[0].rfind("Created:", 0) != 0) {
        problem = "It is not a CSV export of a scan (its first line does not begin with \"Created:\").";
        return std::nullopt;
    }
    const bool portA = lines[4].rfind("Freq(MHz),SWR", 0) == 0;
    const bool portB = lines[4].rfind("Freq(MHz), S11mag", 0) == 0;
    if (!portA && !portB) {
        problem = "Its fifth line is not the column line of a Port A or Port B export.";
        return std::nullopt;
    }
    const std::size_t columns = portA ? 9 : 6;
    std::vector<double> freq;
    std::vector<std::vector<double>> values(columns - 1);
    for (std::size_t n = 5; n < lines.size(); ++n) {
        if (lines[n].find_first_not_of(" \t\r") == std::string_view::npos) {
            continue;
        }
        const std::vector<std::string_view> fields = Fields(lines[n]);
        if (fields.size() != columns) {
            problem = "Line " + std::to_string(n + 1) + " has " + std::to_string(fields.size()) +
                      " columns instead of " + std::to_string(columns) + ".";
            return std::nullopt;
        }
        for (std::size_t c = 0; c < columns; ++c) {
            const auto v = StrictNumber(fields[c]);
            if (!v) {
                problem = "Column " + std::to_string(c + 1) + " of line " + std::to_string(n + 1) +
                          " is not a number.";
                return std::nullopt;
            }
            (c == 0 ? freq : values[c - 1]).push_back(*v);
        }
    }
    if (freq.size() > static_cast<std::size_t>(core::MaxSweepPoints)) {
        problem = "It holds" + NumText(static_cast<double>(freq.size()), 0) +
                  " points, but a scan holds at most" + NumText(core::MaxSweepPoints, 0) + ".";
        return std::nullopt;
    }
    std::vector<std::vector<double>*> columnPtrs;
    for (auto& v : values) {
        columnPtrs.push_back(&v);
    }
    EvenGrid grid;
    if (!MakeEvenGrid(freq, columnPtrs, grid, problem)) {
        return std::nullopt;
    }
    if (grid.interpolated) {
        note = "The frequencies of the file are not evenly spaced; its points were interpolated onto" +
               NumText(grid.count, 0) + " evenly spaced frequencies.";
    }
    const std::string description = Unquoted(lines[2]);
    // "Z0, 50": the reference impedance, when the line holds one.
    const std::size_t comma = lines[3].find(',');
    const double zo =
        comma == std::string_view::npos ? 0 : StrictNumber(lines[3].substr(comma + 1)).value_or(0);
    const auto n = static_cast<std::size_t>(grid.count);
    if (portA) {
        ScanFileA s = baseA;
        s.start = grid.start;
        s.step = grid.step;
        s.end = grid.start + grid.step * static_cast<double>(n - 1);
        s.description = description;
        s.zmag.resize(n);
        s.phase.resize(n);
        // Columns after the frequency: SWR, Rs, Xs, Zmag, phase, ...
        for (std::size_t k = 0; k < n; ++k) {
            s.zmag[k] = std::hypot(values[1][k], values[2][k]);
            s.phase[k] = std::atan2(values[2][k], values[1][k]);
        }
        if (zo > 0) {
            s.trailer[TrailerAZo] = zo;
        }
        return s;
    }
    ScanFileB s = baseB;
    s.start = grid.start;
    s.step = grid.step;
    s.end = grid.start + grid.step * static_cast<double>(n - 1);
    s.description = description;
    s.points = static_cast<double>(n);
    // Columns after the frequency: S11 dB, S11 phase, S21 dB, S21 phase, delay. One block more than
    // points, as the scan file holds it.
    s.s21db.assign(n + 1, 0);
    s.s21deg.assign(n + 1, 0);
    s.s11db.assign(n + 1, 0);
    s.s11deg.assign(n + 1, 0);
    for (std::size_t k = 0; k < n; ++k) {
        s.s11db[k] = values[0][k];
        s.s11deg[k] = values[1][k] / CsvDegrees * ScanFileDegrees;
        s.s21db[k] = values[2][k];
        s.s21deg[k] = values[3][k] / CsvDegrees * ScanFileDegrees;
    }
    if (zo > 0) {
        s.trailer[TrailerBZo] = zo;
    }
    if (!LevelsArePossible(s, problem)) {
        return std::nullopt;
    }
    return s;
}

} // namespace vna::files
