#include "files/scan_format.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/app_state.h"
#include "core/number_text.h"
#include "core/text_lines.h"
#include "platform/clock.h"

namespace vna::files {

using core::AppendNumText;
using core::NumText;
using core::OneLine;
using core::SplitLines;
using core::TextToNumber;

namespace {

// A text line of a scan file never holds more than this (a damaged file cannot blow up a caption).
constexpr std::size_t MaxTextLength = 255;
constexpr int HeaderLinesA = 17;
constexpr int HeaderLinesB = 29;

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    std::string out(text.substr(first, last - first + 1));
    if (out.size() > MaxTextLength) {
        out.resize(MaxTextLength);
    }
    return out;
}

std::string LineText(std::string_view line) {
    std::string out = OneLine(line);
    if (out.size() > MaxTextLength) {
        out.resize(MaxTextLength);
    }
    return out;
}

// Reads the lines of one file in order and remembers the first fault.
class LineReader {
public:
    explicit LineReader(std::string_view text) : lines_(SplitLines(text)) {}

    std::size_t size() const { return lines_.size(); }
    std::size_t next() const { return next_; }
    std::size_t left() const { return next_ < lines_.size() ? lines_.size() - next_ : 0; }
    bool failed() const { return !problem.empty(); }

    std::string_view Text() { return next_ < lines_.size() ? lines_[next_++] : std::string_view(); }

    double Number() {
        if (failed()) {
            return 0;
        }
        const std::size_t lineNo = next_ + 1;
        const std::string_view line = Text();
        const auto v = StrictNumber(line);
        if (!v) {
            Fail(lineNo, line);
            return 0;
        }
        return *v;
    }

    // The number at the start of a line that may go on with text (the format line).
    double LeadingNumber() {
        const std::size_t lineNo = next_ + 1;
        const std::string_view line = Text();
        std::size_t used = 0;
        const double v = TextToNumber(line, used);
        if (used == 0 || std::fabs(v) == std::numeric_limits<double>::max()) {
            Fail(lineNo, line);
            return 0;
        }
        return v;
    }

    std::string problem;

private:
    void Fail(std::size_t lineNo, std::string_view line) {
        std::string shown = LineText(line);
        if (shown.size() > 40) {
            shown = shown.substr(0, 40) + "...";
        }
        problem = "Line " + std::to_string(lineNo) + " should hold a number but holds \"" + shown + "\".";
    }

    std::vector<std::string_view> lines_;
    std::size_t next_ = 0;
};

std::string Truncated(std::size_t lines, std::size_t needed, std::string_view what) {
    return "The file ends after line " + std::to_string(lines) + ", but its " + std::string(what) + " take " +
           std::to_string(needed) + " lines.";
}

// The count line of a scan file: an integer from `lowest` on, which with `extra` added is the
// number of points, at most as many as a sweep makes.
bool CheckCount(double value, double lowest, int extra, std::string_view what, std::string& problem) {
    if (value != std::trunc(value) || value < lowest) {
        problem =
            "Its " + std::string(what) + " (line 3) is" + NumText(value, 6) + ", which is not possible.";
        return false;
    }
    if (value + extra > core::MaxSweepPoints) {
        problem = "It holds" + NumText(value + extra, 0) + " points, but a scan holds at most" +
                  NumText(core::MaxSweepPoints, 0) + ".";
        return false;
    }
    return true;
}

void Line(std::string& out, double value) {
    AppendNumText(out, value, ScanDecimals);
    out += "\r\n";
}

void TextLine(std::string& out, std::string_view text) {
    out += OneLine(text);
    out += "\r\n";
}

} // namespace

std::optional<double> StrictNumber(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const auto last = line.find_last_not_of(" \t\r");
    const std::string_view text = line.substr(first, last - first + 1);
    std::size_t used = 0;
    const double v = TextToNumber(text, used);
    if (used != text.size() || !std::isfinite(v) || std::fabs(v) == std::numeric_limits<double>::max()) {
        return std::nullopt;
    }
    return v;
}

std::string ScanStamp(const platform::LocalTime& t) {
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int month = t.month >= 1 && t.month <= 12 ? t.month - 1 : 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %d, %02d  %02d:%02d:%02d", Months[month], t.day, t.year % 100, t.hour,
                  t.minute, t.second);
    return buf;
}

std::optional<ScanFileA> ParseScanFileA(std::string_view text, std::string& problem) {
    LineReader r(text);
    if (r.size() < HeaderLinesA) {
        problem = Truncated(r.size(), HeaderLinesA, "header lines");
        return std::nullopt;
    }
    ScanFileA s;
    s.stamp = LineText(r.Text());
    const std::string_view formatLine = r.Text();
    {
        LineReader f(formatLine);
        s.format = f.LeadingNumber();
        if (f.failed()) {
            problem = "Line 2 should hold the format number but holds \"" + LineText(formatLine) + "\".";
            return std::nullopt;
        }
    }
    if (s.format == ScanFormatB) {
        problem = "It is a Port B scan file (format 4076).";
        return std::nullopt;
    }
    s.plotAtZero = formatLine.find("plot") != std::string_view::npos;
    const double last = r.Number();
    if (r.failed()) {
        problem = r.problem;
        return std::nullopt;
    }
    if (!CheckCount(last, -1, 1, "last point index", problem)) {
        return std::nullopt;
    }
    s.start = r.Number();
    s.end = r.Number();
    s.step = r.Number();
    s.plotStart = r.Number();
    s.plotStop = r.Number();
    s.swrScale = r.Number();
    s.zmagScale = r.Number();
    s.phaseScale = r.Number();
    s.divPx = r.Number();
    s.reserved1 = r.Number();
    s.reserved2 = r.Number();
    s.mhzPerDiv = r.Number();
    s.plotSwr = r.Number();
    s.description = Trimmed(r.Text());
    const auto points = static_cast<std::size_t>(last + 1);
    if (!r.failed() && r.left() < 2 * points) {
        problem = Truncated(r.size(), HeaderLinesA + 2 * points,
                            std::to_string(points) + " points after the " + std::to_string(HeaderLinesA) +
                                " header lines");
        return std::nullopt;
    }
    s.zmag.resize(points);
    s.phase.resize(points);
    for (std::size_t k = 0; k < points && !r.failed(); ++k) {
        s.zmag[k] = r.Number();
        s.phase[k] = r.Number();
    }
    if (!r.failed() && r.left() < TrailerACount) {
        if (s.format >= ScanFormatA) {
            problem = Truncated(r.size(), r.next() + TrailerACount, "points and the closing settings");
            return std::nullopt;
        }
        s.trailerLines = static_cast<int>(r.left());
    }
    for (int k = 0; k < s.trailerLines && !r.failed(); ++k) {
        s.trailer[static_cast<std::size_t>(k)] = r.Number();
    }
    if (r.failed()) {
        problem = r.problem;
        return std::nullopt;
    }
    return s;
}

std::optional<ScanFileB> ParseScanFileB(std::string_view text, std::string& problem) {
    LineReader r(text);
    if (r.size() < HeaderLinesB) {
        problem = Truncated(r.size(), HeaderLinesB, "header lines");
        return std::nullopt;
    }
    ScanFileB s;
    s.stamp = LineText(r.Text());
    const std::string_view formatLine = r.Text();
    {
        LineReader f(formatLine);
        s.format = f.LeadingNumber();
        if (f.failed()) {
            problem = "Line 2 should hold the format number but holds \"" + LineText(formatLine) + "\".";
            return std::nullopt;
        }
    }
    if (s.format == ScanFormatA) {
        problem = "It is a Port A scan file (format 127).";
        return std::nullopt;
    }
    s.plotAtZero = formatLine.find("plot") != std::string_view::npos;
    s.points = r.Number();
    if (r.failed()) {
        problem = r.problem;
        return std::nullopt;
    }
    if (!CheckCount(s.points, 0, 0, "number of points", problem)) {
        return std::nullopt;
    }
    s.start = r.Number();
    s.end = r.Number();
    s.step = r.Number();
    s.plotStart = r.Number();
    s.plotStop = r.Number();
    for (double& v : s.scales) {
        v = r.Number();
    }
    s.ruler1 = r.Number();
    s.ruler1On = r.Number();
    s.ruler2 = r.Number();
    s.ruler2On = r.Number();
    s.gain = r.Number();
    s.sens = r.Number();
    s.divPx = r.Number();
    s.reserved1 = r.Number();
    s.reserved2 = r.Number();
    s.mhzPerDiv = r.Number();
    s.description = Trimmed(r.Text());
    const auto blocks = static_cast<std::size_t>(s.points + 1);
    if (!r.failed() && r.left() < 4 * blocks) {
        problem = Truncated(r.size(), HeaderLinesB + 4 * blocks,
                            std::to_string(blocks) + " points after the " + std::to_string(HeaderLinesB) +
                                " header lines");
        return std::nullopt;
    }
    s.s21db.resize(blocks);
    s.s21deg.resize(blocks);
    s.s11db.resize(blocks);
    s.s11deg.resize(blocks);
    for (std::size_t k = 0; k < blocks && !r.failed(); ++k) {
        s.s21db[k] = r.Number();
        s.s21deg[k] = r.Number();
        s.s11db[k] = r.Number();
        s.s11deg[k] = r.Number();
    }
    if (!r.failed() && r.left() < TrailerBCount) {
        // Files of the older formats end without the S21 phase scale.
        const std::size_t needed = s.format >= ScanFormatB ? TrailerBCount : TrailerBCount - 1;
        if (r.left() < needed) {
            problem = Truncated(r.size(), r.next() + needed, "points and the closing settings");
            return std::nullopt;
        }
        s.trailerLines = static_cast<int>(r.left());
    }
    for (int k = 0; k < s.trailerLines && !r.failed(); ++k) {
        s.trailer[static_cast<std::size_t>(k)] = r.Number();
    }
    if (r.failed()) {
        problem = r.problem;
        return std::nullopt;
    }
    if (!LevelsArePossible(s, problem)) {
        return std::nullopt;
    }
    return s;
}

bool LevelsArePossible(const ScanFileB& s, std::string& problem) {
    // Far beyond the instrument's range either way, yet a level a Touchstone magnitude can still
    // hold (10^(dB/20) overflows a double from about 6000 dB).
    constexpr double LargestLevel = 1000;
    const std::size_t n = std::min(s.s21db.size(), s.s11db.size());
    for (std::size_t k = 0; k < n; ++k) {
        for (const double level : {s.s21db[k], s.s11db[k]}) {
            if (!(std::fabs(level) <= LargestLevel)) {
                problem = "Point " + std::to_string(k + 1) + " holds a level of" + NumText(level, 2) +
                          " dB, which no measurement gives.";
                return false;
            }
        }
    }
    return true;
}

std::string FormatScanFileA(const ScanFileA& s) {
    std::string out;
    // About 22 characters per array line.
    out.reserve(1024 + 48 * s.zmag.size());
    TextLine(out, s.stamp);
    AppendNumText(out, s.format, ScanDecimals);
    out += s.plotAtZero ? "     plot_at_zero\r\n" : " \r\n";
    Line(out, s.last());
    for (double v : {s.start, s.end, s.step, s.plotStart, s.plotStop, s.swrScale, s.zmagScale, s.phaseScale,
                     s.divPx, s.reserved1, s.reserved2, s.mhzPerDiv, s.plotSwr}) {
        Line(out, v);
    }
    TextLine(out, Trimmed(s.description));
    for (std::size_t k = 0; k < s.zmag.size(); ++k) {
        Line(out, s.zmag[k]);
        Line(out, k < s.phase.size() ? s.phase[k] : 0.0);
    }
    for (int k = 0; k < s.trailerLines; ++k) {
        Line(out, s.trailer[static_cast<std::size_t>(k)]);
    }
    return out;
}

std::string FormatScanFileB(const ScanFileB& s) {
    std::string out;
    out.reserve(1024 + 96 * s.s21db.size());
    TextLine(out, s.stamp);
    AppendNumText(out, s.format, ScanDecimals);
    out += s.plotAtZero ? " plot_at_zero\r\n" : " \r\n";
    Line(out, s.points);
    for (double v : {s.start, s.end, s.step, s.plotStart, s.plotStop}) {
        Line(out, v);
    }
    for (double v : s.scales) {
        Line(out, v);
    }
    for (double v : {s.ruler1, s.ruler1On, s.ruler2, s.ruler2On, s.gain, s.sens, s.divPx, s.reserved1,
                     s.reserved2, s.mhzPerDiv}) {
        Line(out, v);
    }
    TextLine(out, Trimmed(s.description));
    auto at = [](const std::vector<double>& v, std::size_t k) { return k < v.size() ? v[k] : 0.0; };
    for (std::size_t k = 0; k < s.s21db.size(); ++k) {
        Line(out, s.s21db[k]);
        Line(out, at(s.s21deg, k));
        Line(out, at(s.s11db, k));
        Line(out, at(s.s11deg, k));
    }
    for (int k = 0; k < s.trailerLines; ++k) {
        Line(out, s.trailer[static_cast<std::size_t>(k)]);
    }
    return out;
}

ScanGrid ScanGridOf(const core::AppState& st, const core::ScanSettings& recorded) {
    if (recorded.recorded) {
        return {recorded.start, recorded.end, recorded.step, recorded.points, recorded.last};
    }
    return {st.start_freq, st.end_freq, st.delta_freq, st.scan_points, st.last_scan_index};
}

} // namespace vna::files
