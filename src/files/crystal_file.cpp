#include "files/crystal_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/number_text.h"
#include "core/text_lines.h"

namespace vna::files {

namespace {

constexpr std::string_view CreatedPrefix = "Created: ";
constexpr int RowFields = 8;

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// A field that is one finite number and nothing else.
bool Number(std::string_view field, double& v) {
    const std::string s(Trimmed(field));
    if (s.empty()) {
        return false;
    }
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(v);
}

bool ParseRow(std::string_view line, CrystalRow& row) {
    double v[RowFields] = {};
    int n = 0;
    std::size_t from = 0;
    while (from <= line.size()) {
        const std::size_t comma = std::min(line.find(',', from), line.size());
        if (n == RowFields || !Number(line.substr(from, comma - from), v[n])) {
            return false;
        }
        ++n;
        from = comma + 1;
    }
    if (n != RowFields) {
        return false;
    }
    row = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
    return true;
}

} // namespace

std::string CrystalFileStart(const platform::LocalTime& now) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d  %02d:%02d:%02d", now.month, now.day, now.year,
                  now.hour, now.minute, now.second);
    return std::string(CreatedPrefix) + stamp + "\r\n" + CrystalHeading + "\r\n";
}

std::string CrystalFileLine(const CrystalRow& r) {
    const std::string sep = ",  ";
    return core::FormatPicture("######", r.number) + sep + core::FormatPicture("####.######", r.fs) + sep +
           core::FormatPicture("####.######", r.fp) + sep + core::FormatPicture("####.###", r.rs) + sep +
           core::FormatPicture("####.###", r.lsMh) + sep + core::FormatPicture("####.#######", r.cs) + sep +
           core::FormatPicture("####.###", r.cp) + sep + core::FormatPicture("#######", r.q) + "\r\n";
}

bool ReadCrystalFile(std::string_view text, std::vector<CrystalRow>& rows, std::string& error) {
    const std::vector<std::string_view> lines = core::SplitLines(text);
    if (lines.empty() || lines[0].substr(0, CreatedPrefix.size()) != CreatedPrefix) {
        error = "line 1 is not the \"Created: \" line of a crystal data file";
        return false;
    }
    if (lines.size() < 2 || Trimmed(lines[1]) != Trimmed(CrystalHeading)) {
        error = "line 2 is not the column heading of a crystal data file";
        return false;
    }
    std::vector<CrystalRow> read;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        if (Trimmed(lines[i]).empty()) {
            continue;
        }
        CrystalRow row;
        if (!ParseRow(lines[i], row)) {
            error = "line " + std::to_string(i + 1) + " is not eight numbers separated by commas";
            return false;
        }
        read.push_back(row);
    }
    rows = std::move(read);
    return true;
}

bool AppendCrystalRow(std::string_view existing, const CrystalRow& row, const platform::LocalTime& now,
                      std::string& text, std::string& error) {
    if (existing.empty()) {
        text = CrystalFileStart(now) + CrystalFileLine(row);
        return true;
    }
    std::vector<CrystalRow> rows;
    if (!ReadCrystalFile(existing, rows, error)) {
        return false;
    }
    text = std::string(existing);
    // A file whose last line lost its line end (or kept only the CR of it) still gets the new row on
    // a line of its own, and the line before it stays what it was.
    if (text.back() == '\r') {
        text += '\n';
    } else if (text.back() != '\n') {
        text += "\r\n";
    }
    text += CrystalFileLine(row);
    return true;
}

} // namespace vna::files
