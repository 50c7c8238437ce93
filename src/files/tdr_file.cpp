#include "files/tdr_file.h"

#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "core/tdr_state.h"
#include "core/text_lines.h"

namespace vna::files {

namespace {

constexpr int FileDecimals = 15;
constexpr const char* LoadCaption = " Load TDR Scan File";

void Line(std::string& out, std::string_view text) {
    out += text;
    out += "\r\n";
}

void Number(std::string& out, double v) {
    core::AppendNumText(out, v, FileDecimals);
    out += "\r\n";
}

} // namespace

std::string TdrFileText(const TdrFileData& d) {
    std::string out;
    Line(out, core::OneLine(d.stamp));
    Number(out, d.programVersion);
    Line(out, core::OneLine(d.title));
    Line(out, core::OneLine(d.calName));
    Number(out, d.points);
    Number(out, d.delf);
    Number(out, d.maxDist);
    Number(out, d.zScale);
    Number(out, d.rhoScale);
    Number(out, d.average);
    Number(out, d.zref);
    Number(out, d.linearZ);
    Number(out, d.lines);
    Number(out, d.vf);
    Number(out, d.metres);
    Number(out, d.colorIndex);
    Number(out, d.feetPerIndex);
    // Reserved: four spare numbers, the SWR-trace flag, five spare numbers, the SWR-trace flag.
    for (int i = 0; i < 4; ++i) {
        Number(out, 0);
    }
    Number(out, d.swrTrace);
    for (int i = 0; i < 5; ++i) {
        Number(out, 0);
    }
    Number(out, d.swrTrace);
    for (int k = 0; k <= d.points; ++k) {
        Number(out, k < static_cast<int>(d.step.size()) ? d.step[static_cast<std::size_t>(k)] : 0.0);
    }
    return out;
}

std::optional<TdrFileData> ParseTdrFile(std::string_view text, TdrFileProblem& problem) {
    const std::vector<std::string_view> lines = core::SplitLines(text);
    const auto fail = [&](std::string why, std::string caption = LoadCaption) {
        problem = {std::move(why), std::move(caption)};
        return std::nullopt;
    };
    // Line n (1-based) as a number; false when it is missing or not a number.
    const auto number = [&](int n, double& v) {
        if (n > static_cast<int>(lines.size())) {
            return false;
        }
        std::size_t used = 0;
        v = core::TextToNumber(lines[static_cast<std::size_t>(n - 1)], used);
        return used > 0 && std::isfinite(v);
    };
    const auto damaged = [&](int n) {
        if (n > static_cast<int>(lines.size())) {
            return fail("The TDR file is cut short: it ends at line" + core::NumText(lines.size(), 0) +
                        ".\r\nNothing was loaded.");
        }
        return fail("The TDR file is damaged: line" + core::NumText(n, 0) +
                    " is not what a TDR file holds there.\r\nNothing was loaded.");
    };
    if (lines.size() < 5) {
        return damaged(static_cast<int>(lines.size()) + 1);
    }
    TdrFileData d;
    d.stamp = std::string(lines[0]);
    d.title = std::string(lines[2]);
    d.calName = std::string(lines[3]);
    double v = 0;
    if (!number(5, v) || v != std::floor(v) || v < 4) {
        return damaged(5);
    }
    if (v > core::TdrMaxPoints) {
        return fail("TDR number of points = " + core::NumText(v, 0) + "  Max # of points is 1050.",
                    " Too Many Points");
    }
    d.points = static_cast<int>(v);
    struct Field {
        int line;
        double* value;
    };
    double average = 1;
    double linearZ = 1;
    double colorIndex = 1;
    const Field fields[] = {{6, &d.delf},      {7, &d.maxDist},      {8, &d.zScale}, {9, &d.rhoScale},
                            {10, &average},    {11, &d.zref},        {12, &linearZ}, {14, &d.vf},
                            {16, &colorIndex}, {17, &d.feetPerIndex}};
    for (const Field& f : fields) {
        if (!number(f.line, *f.value)) {
            return damaged(f.line);
        }
    }
    if (!(d.delf > 0)) {
        return damaged(6);
    }
    if (!(d.maxDist > 0)) {
        return damaged(7);
    }
    if (!(d.zScale > 0)) {
        return damaged(8);
    }
    if (!(d.zref > 0)) {
        return damaged(11);
    }
    if (!(d.vf > 0 && d.vf <= 1)) {
        return damaged(14);
    }
    if (!(d.feetPerIndex > 0)) {
        return damaged(17);
    }
    d.rhoScale = std::min(d.rhoScale, 1.0);
    if (!(d.rhoScale > 0)) {
        d.rhoScale = 1;
    }
    d.average = std::clamp(core::Nint(average), 1, 1024);
    d.linearZ = linearZ != 0 ? 1 : 0;
    d.colorIndex = core::Nint(colorIndex);
    if (d.colorIndex < 1 || d.colorIndex > 5) {
        d.colorIndex = 1;
    }
    d.step.assign(static_cast<std::size_t>(d.points) + 1, 0.0);
    for (int k = 0; k <= d.points; ++k) {
        if (!number(TdrHeaderLines + 1 + k, d.step[static_cast<std::size_t>(k)])) {
            return damaged(TdrHeaderLines + 1 + k);
        }
    }
    return d;
}

} // namespace vna::files
