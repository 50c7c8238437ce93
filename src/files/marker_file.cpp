#include "files/marker_file.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "core/number_text.h"
#include "core/text_lines.h"

namespace vna::files {

namespace {

constexpr std::array<int, 6> FileFields = {0, 1, 2, 4, 5, 6};
constexpr int MarkerDecimals = 15;

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A whole line that is a number (blanks around it allowed), or nothing.
bool StrictNumber(std::string_view line, double& v) {
    std::size_t used = 0;
    v = core::TextToNumber(line, used);
    if (used == 0) {
        return false;
    }
    std::size_t skipped = 0;
    while (skipped < line.size() && (line[skipped] == ' ' || line[skipped] == '\t')) {
        ++skipped;
    }
    for (std::size_t k = skipped + used; k < line.size(); ++k) {
        if (line[k] != ' ' && line[k] != '\t' && line[k] != '\r') {
            return false;
        }
    }
    return true;
}

} // namespace

std::string MarkerFileText(const core::MarkerTable& table) {
    std::string out;
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        for (const int f : FileFields) {
            core::AppendNumText(out, table.slot[static_cast<std::size_t>(k)][static_cast<std::size_t>(f)],
                                MarkerDecimals);
            out += "\r\n";
        }
    }
    return out;
}

bool ReadMarkerFile(std::string_view text, double maxFreq, core::MarkerTable& table, std::string& error,
                    int& freed) {
    const std::vector<std::string_view> lines = core::SplitLines(text);
    if (static_cast<int>(lines.size()) < MarkerFileLines) {
        error = "The marker file is too short: it holds " + std::to_string(lines.size()) + " of its " +
                std::to_string(MarkerFileLines) + " lines.";
        return false;
    }
    core::MarkerTable read = table;
    freed = 0;
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        core::Marker& m = read.slot[static_cast<std::size_t>(k)];
        m.fill(0);
        for (std::size_t f = 0; f < FileFields.size(); ++f) {
            const int lineNo = (k - 1) * 6 + static_cast<int>(f);
            double v = 0;
            if (!StrictNumber(lines[static_cast<std::size_t>(lineNo)], v)) {
                error = "Line " + std::to_string(lineNo + 1) + " of the marker file is not a number: \"" +
                        std::string(lines[static_cast<std::size_t>(lineNo)].substr(0, 40)) + "\".";
                return false;
            }
            m[static_cast<std::size_t>(FileFields[f])] = std::isfinite(v) ? v : 0;
        }
        const double freq = m[0];
        const bool free = freq >= 999;
        if (!free && !(freq > 0.001 && freq <= maxFreq)) {
            m.fill(0);
            m[0] = core::MarkerCleared;
            ++freed;
        }
    }
    table = read;
    return true;
}

std::string MarkerExportPath(const std::string& markerPath) {
    if (markerPath.size() < 3) {
        return markerPath + ".mrx";
    }
    return markerPath.substr(0, markerPath.size() - 3) + "mrx";
}

std::string MarkerExportText(const core::MarkerTable& table, int count, const platform::LocalTime& now,
                             const SwrRatioColumn& ratios) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d  %02d:%02d:%02d", now.month, now.day, now.year,
                  now.hour, now.minute, now.second);
    std::string out = "Created: " + std::string(stamp) + "\r\n";
    out += " Marker,  Freq,  SWR, SWR_Ratio,  Rs,  Xs,  Zmag, Phase\r\n";
    for (int k = 1; k <= count && k <= core::MarkerSlots; ++k) {
        const core::Marker& m = table.slot[static_cast<std::size_t>(k)];
        const double ratio = ratios[static_cast<std::size_t>(k)];
        out += core::FormatPicture("###", static_cast<double>(k)) + ",  " + Fixed(m[0], 4) + ",  " +
               Fixed(m[5], 4) + ", " + Fixed(ratio >= 1 ? ratio : 0, 4) + ", " + Fixed(m[1], 3) + ", " +
               Fixed(m[2], 3) + ", " + Fixed(std::sqrt(m[1] * m[1] + m[2] * m[2]), 3) + ", " +
               Fixed(m[4] * 57.296, 3) + "\r\n";
    }
    return out;
}

} // namespace vna::files
