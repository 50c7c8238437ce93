#include "measure/sweep_common.h"

#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "instrument/health.h"
#include "measure/scan_limits.h"
#include "platform/canvas.h"

namespace vna::measure::sweep_detail {

namespace {

// The bands whose edges band skip looks at (the first 12 of the config file).
constexpr int SkipBands = 12;
// Points between two looks at the window messages: often enough for a key to stop the sweep at
// once, seldom enough to cost nothing against the line time of a point.
constexpr int PumpEvery = 5;
constexpr core::Rgb Black = core::Color(0, 0, 0);

} // namespace

double StopLimit(const core::Program& p) {
    const core::AppState& st = p.st;
    const double plotStop = p.display.g.axis.plotStop;
    return std::min(std::min(plotStop, st.maximumfreq) + st.delta_freq, st.maximumfreq);
}

bool BandSkipMeasures(const core::AppState& st, double freq) {
    for (int k = 1; k <= SkipBands && k < static_cast<int>(st.bandTable.size()); ++k) {
        const core::Band& b = st.bandTable[static_cast<std::size_t>(k)];
        if (freq + st.delta_freq + 0.00001 > b.start && freq < b.end + st.delta_freq) {
            return true;
        }
    }
    return false;
}

void NormaliseLimits(core::Program& p) {
    if (!p.st.interpolate) {
        SnapToCalGrid(p);
    }
    display::ComputeScaleFactors(p);
}

int SweepPoints(const core::Program& p, int pointLimit, bool live) {
    const core::AppState& st = p.st;
    int n = std::clamp(st.scan_points, 0, core::ScanCapacity - 1);
    if (pointLimit > 0) {
        n = std::min(n, pointLimit);
    }
    if (!live) {
        // A replay never invents points beyond those a sweep or a file stored.
        n = std::min(n, std::clamp(st.last_scan_index + 1, 0, core::ScanCapacity - 1));
    }
    return n;
}

std::string FreqText(const core::AppState& st, double mhz) {
    return core::NumText(mhz, st.NumDecimals);
}

void GraphNote(core::Program& p, int x, int y, std::string_view text, core::Rgb color) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    display::SetGraphFont(*c, p.st, 0, display::GraphFontWeight(p.st));
    display::TextAt(*c, x, y, text, color);
    c->flush();
}

void TemperatureNote(core::Program& p) {
    if (!p.st.DiagMode) {
        return;
    }
    const double t = instrument::ReadTemperature(p);
    const core::GraphGeometry& g = p.display.g;
    GraphNote(p, g.box.right - 250, g.rows[0], "Temperature= " + core::NumText(t, 2), Black);
}

void TrendNote(core::Program& p) {
    if (p.st.trend <= 0) {
        return;
    }
    const core::GraphGeometry& g = p.display.g;
    GraphNote(p, g.box.left + 5, g.box.bottom - 2 * g.lineH - 6, "Trend=" + core::NumText(p.st.trend, 0),
              Black);
}

void TimingNote(core::Program& p, std::uint32_t startTick, int points) {
    if (!p.st.DiagMode) {
        return;
    }
    const std::uint32_t elapsed = std::max<std::uint32_t>(p.clock.tickMs() - startTick, 1);
    const double rate = points * 1000.0 / elapsed;
    const core::GraphGeometry& g = p.display.g;
    GraphNote(p, g.box.right - 160, g.box.bottom + 7,
              core::NumText(core::Nint(rate + 0.5), 0) + " pts/sec (" + core::NumText(elapsed, 0) + "msec)",
              p.st.Magenta);
}

void PumpEveryFifthPoint(core::Program& p, int pointsDone) {
    if (pointsDone % PumpEvery == 0) {
        p.ui.processEvents();
    }
}

} // namespace vna::measure::sweep_detail
