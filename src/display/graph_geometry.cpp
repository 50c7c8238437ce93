#include "display/graph_geometry.h"

#include "core/freq_axis.h"
#include "display/scan_plot.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_text.h"
#include "platform/canvas.h"

namespace vna::display {

using core::FreqAxis;
using core::GraphBox;
using core::GraphGeometry;
using core::NearestEven;

namespace {

// Metrics of a canvas-less start (before the main window exists): the proportions of the graph
// font at the usual screen resolution, so the box is close to what the window will give.
platform::Size EstimatedExtent(std::string_view text, int pointSize) {
    return {static_cast<int>(text.size()) * (pointSize * 2 / 3 + 1), 2 * pointSize};
}

struct Metrics {
    platform::Canvas* canvas;
    int pointSize = 7;
    platform::Size extent(std::string_view face, int size, int weight, std::string_view text) {
        if (!canvas) {
            return EstimatedExtent(text, size);
        }
        canvas->setFont(face, size, weight);
        return canvas->textExtent(text);
    }
};

// A scale of zero (never set, or a damaged init file) would make an infinite factor; the trace is
// then drawn against the fallback instead.
double UsableScale(double scale, double fallback) {
    return std::isfinite(scale) && std::fabs(scale) > 1e-12 ? scale : fallback;
}

} // namespace

void ComputeGraphGeometry(core::Program& p) {
    core::AppState& st = p.st;
    GraphGeometry& g = p.display.g;

    // Window size: at least 200 x 100, at most the screen, and 35 pixels of the screen left for
    // the task bar under the window.
    st.WinWidth = std::max(st.WinWidth, 200);
    st.WinHeight = std::max(st.WinHeight, 100);
    if (st.ScreenWidth > 0) {
        st.WinWidth = std::min(st.WinWidth, st.ScreenWidth);
    }
    if (st.ScreenHeight > 0) {
        st.WinHeight = std::min(st.WinHeight, st.ScreenHeight);
        if (st.ScreenHeight - st.WinHeight < 35) {
            st.WinHeight = std::max(100, st.ScreenHeight - 35);
        }
    }
    g.scaleX = static_cast<float>(st.WinWidth) / 1024.0f;
    g.scaleY = static_cast<float>(st.WinHeight) / 768.0f;

    Metrics m{p.ui.mainCanvas()};
    const int weight = GraphFontWeight(st);
    const platform::Size label = m.extent("arial", st.graphFontSize, weight, " 100XXXX");
    g.lineH = std::max(1, label.height);
    g.labelW = label.width;
    const int courierW = m.extent("courier", st.graphFontSize, weight, "1234567890123456789012").width;
    g.statusWidth = courierW + 14;
    g.statusX = st.WinWidth - g.statusWidth - 15;
    for (int k = 0; k < static_cast<int>(g.rows.size()); ++k) {
        g.rows[static_cast<std::size_t>(k)] = k * g.lineH;
    }
    const int h = m.extent("arial", st.graphFontSize, weight, " 100   ").height;
    g.textH100 = h;
    const int sampleW = m.extent("arial", 7, weight, "XXXX.XX").width;

    GraphBox& b = g.box;
    b.left = sampleW + (st.boldGraphFont ? 5 : 12);
    b.top = 2 * g.lineH + 10;
    b.right = st.WinWidth - g.labelW - courierW - 19;
    b.bottom = st.WinHeight - 2 * h - 55 - 2 * h;
    g.captionY = st.WinHeight - 2 * h - 55 - (h + h / 2);
    // A window at its smallest leaves no room for a box between the labels; keep a small box so
    // every mapping stays finite and inside the window.
    b.right = std::max(b.right, b.left + 20);
    b.bottom = std::max(b.bottom, b.top + 20);
}

void ComputeScaleFactors(core::Program& p) {
    core::AppState& st = p.st;
    GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    // While a custom cal is loaded the grid ends where its data ends.
    g.axis = ComputeFreqAxis(st, p.cal.custom_cal ? p.cal.custom_end_freq : st.maximumfreq);
    g.half = (b.bottom - b.top) * 0.5;
    g.divPx = g.half / 10;
    g.centreY = NearestEven(10 * g.divPx + b.top);
    g.centreX = (b.left + b.right) / 2;
    const double width = std::max(1e-9, g.axis.plotStop - g.axis.plotStart);
    g.pxPerMHz = (b.right - b.left) / width;

    if (st.swrLog) {
        const double s = std::max(UsableScale(st.swr_scale, 10), 1.1);
        g.swrFactor = g.half / std::log10(s);
    } else {
        const double s = std::max(UsableScale(st.swr_scale, 10), 1.1);
        g.swrFactor = g.half / (s - 1);
    }
    g.zmagFactor = g.half / UsableScale(st.zmag_scale, 1000);
    g.zphaseFactor = g.half / UsableScale(st.phase_scale, 100);
    st.rtloss_scale = std::clamp(std::fabs(UsableScale(st.rtloss_scale, 20)), 1.0, 80.0);
    g.rtlossFactor = g.half / st.rtloss_scale;
    g.qFactor = g.half / UsableScale(st.Q_scale, 100);
    g.s21Factor = g.divPx / UsableScale(st.s21gain_scale, 10);
    g.s21phaseFactor = g.half / UsableScale(st.s21phase_scale, 200);
    st.s11gain_scale = -60;
    g.s11Factor = (b.bottom - b.top) / 60.0;
    g.ilFactor = g.divPx / UsableScale(st.insertionLossScale, 1);
    g.delayFactor = g.half / UsableScale(st.delay_scale, 100);
    g.swrLift = st.swrLift ? NearestEven(g.divPx) : 0;
}

int FreqToX(const GraphGeometry& g, double mhz) {
    const int x = NearestEven((mhz - g.axis.plotStart) * g.pxPerMHz + g.box.left);
    return std::clamp(x, g.box.left, g.box.right);
}

void RedrawGraph(core::Program& p) {
    RedrawScan(p);
}

void ScreenGeometryDiagnostic(core::Program& p) {
    ComputeGraphGeometry(p);
    platform::Canvas* c = p.ui.mainCanvas();
    const GraphBox& b = p.display.g.box;
    if (c) {
        c->setPen(0, 1, platform::PenStyle::Solid);
        c->setNullBrush();
        c->rectangle(b.left, b.top, b.right + 1, b.bottom + 1);
        SetGraphFont(*c, p.st, 0, GraphFontWeight(p.st));
        c->setTextColor(0);
        const int step = p.display.g.lineH;
        c->text(b.left + 10, b.top + 10, "Sample text line 1 ABCDEFG abcdefg 0123456789");
        c->text(b.left + 10, b.top + 10 + step, "Sample text line 2 ABCDEFG abcdefg 0123456789");
        c->text(b.left + 10, b.top + 10 + 2 * step, "Sample text line 3 ABCDEFG abcdefg 0123456789");
        c->flush();
    }
    const std::string text =
        " screen =" + core::NumText(p.st.ScreenWidth, 0) + " by " + core::NumText(p.st.ScreenHeight, 0) +
        " Graph coords X1=" + core::NumText(b.left, 0) + " Y1=" + core::NumText(b.top, 0) +
        " X2=" + core::NumText(b.right, 0) + " Y2=" + core::NumText(b.bottom, 0);
    p.ui.message(text, "Check screen dimensions");
}

} // namespace vna::display
