#include "display/polar_plot.h"

#include <algorithm>
#include <cmath>

#include "core/freq_axis.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_text.h"
#include "display/smith_chart.h"
#include "platform/canvas.h"

namespace vna::display {

using core::NearestEven;
using platform::Canvas;
using platform::PenStyle;
using platform::Rgb;

namespace {

constexpr Rgb Black = 0;
constexpr Rgb Background = platform::MakeRgb(255, 255, 255);
constexpr Rgb GridGrey = platform::MakeRgb(150, 150, 150);

void CircleAt(Canvas& c, double cx, double cy, double r) {
    c.ellipse(NearestEven(cx - r), NearestEven(cy - r), NearestEven(cx + r), NearestEven(cy + r));
}

void Line(Canvas& c, int x0, int y0, int x1, int y1) {
    c.moveTo(x0, y0);
    c.lineTo(x1, y1);
}

void Grid(Canvas& c, const PolarGeometry& g) {
    c.setPen(GridGrey, 1, PenStyle::Solid);
    c.setNullBrush();
    for (int i = 1; i <= 4; ++i) {
        CircleAt(c, g.cx, g.cy, NearestEven(g.R * i / 5));
    }
    const int r = NearestEven(g.R);
    Line(c, g.cx - r, g.cy, g.cx + r, g.cy);
    Line(c, g.cx, g.cy - r, g.cx, g.cy + r);
    const int inner = NearestEven(0.283 * g.R);
    const int outer = NearestEven(0.707 * g.R);
    for (int sx : {1, -1}) {
        for (int sy : {1, -1}) {
            Line(c, g.cx + sx * inner, g.cy + sy * inner, g.cx + sx * outer, g.cy + sy * outer);
        }
    }
}

void RingValues(core::Program& p, Canvas& c, const PolarGeometry& g, double fullScale) {
    const core::AppState& st = p.st;
    const PolarModeInfo& m = PolarModeOf(st.polarMode);
    c.setFont("arial", st.graphFontSize - 1, GraphFontWeight(st));
    c.setTextBackground(false, Background);
    c.setTextColor(st.RedColor);
    const int decimals = st.polarMode == PolarZ ? 0 : 2;
    for (int i = 1; i <= 5; ++i) {
        const double value = m.base + (fullScale - m.base) * i / 5;
        const std::string text = core::FormatPicture(decimals ? "#.##" : "#", value);
        const int w = c.textExtent(text).width;
        c.text(g.cx - w / 2, NearestEven(g.cy - g.R * i / 5) + 1, text);
    }
}

void Trace(core::Program& p, Canvas& c, const PolarGeometry& g, double fullScale) {
    const int mode = p.st.polarMode;
    DrawChartTrace(p, c, core::ChartPolar, [&](const Gamma& gamma, double zmag) {
        return PolarPixel(g, PolarRadius(g, mode, fullScale, gamma, zmag), gamma);
    });
}

} // namespace

std::string PolarTitle(int mode) {
    return std::string("Polar Plot") + PolarModeOf(mode).titleSuffix;
}

std::vector<platform::PushButton> PolarButtons(const PolarGeometry& g, int mode, int scale) {
    std::vector<platform::PushButton> buttons =
        ScaleButtonRow(g.p, g.width, PolarModeOf(mode).captions, scale);
    platform::PushButton print;
    print.caption = "Print";
    print.id = ChartButtonPrint;
    print.x = g.width - 110;
    print.y = g.height - 60;
    print.width = 100;
    print.height = 25;
    print.color = ChartButtonColor;
    print.fontFace = "arial";
    print.pointSize = 8;
    print.weight = 600;
    buttons.push_back(print);
    return buttons;
}

void DrawPolarPlot(core::Program& p, Canvas& c, const PolarGeometry& g, bool windowControls) {
    core::AppState& st = p.st;
    // The cursor's XOR mark goes with the old picture.
    p.display.cursor.chartMark[core::ChartPolar] = -1;
    st.polarMode = std::clamp(st.polarMode, 0, 2);
    if (st.polarScale < 1 || st.polarScale > 5) {
        st.polarScale = 1;
    }
    const double fullScale = PolarFullScale(st.polarMode, st.polarScale);
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(0, 0, c.width(), c.height(), Background);
    c.setPen(Black, 3, PenStyle::Solid);
    c.setBrush(st.chartFillColor);
    CircleAt(c, g.cx, g.cy, g.R);
    c.setNullBrush();
    Grid(c, g);
    RingValues(p, c, g, fullScale);

    SetGraphFont(c, st, 0, GraphFontWeight(st));
    c.setTextColor(Black);
    c.text(5, 10, "Full Scale= " + core::NumText(fullScale, 2));
    c.text(5, 30, "Zo = " + core::FormatPicture("###.##  ##.##j", {st.Zsm_real, st.Zsm_imag}));
    SetGraphFont(c, st, 2, GraphFontWeight(st));
    c.text(120, NearestEven(g.cy + g.R), PolarModeOf(st.polarMode).legend);

    Trace(p, c, g, fullScale);
    DrawChartMarkers(p, c, core::ChartPolar);
    if (windowControls) {
        DrawScaleCaption(c, ScaleButtonRow(g.p, g.width, PolarModeOf(st.polarMode).captions, st.polarScale));
    }
    c.flush();
}

void RedrawPolarIfOpen(core::Program& p) {
    platform::ChartWindow* w = p.charts.window[core::ChartPolar].get();
    if (!w || !w->isOpen()) {
        return;
    }
    // The window follows the size of the graph window.
    const PolarGeometry g = PolarPlotGeometry(p.st.WinHeight, p.st.smithSize);
    if (w->canvas().width() != g.width || w->canvas().height() != g.height) {
        w->resize(g.width, g.height);
        w->setButtons(PolarButtons(g, p.st.polarMode, p.st.polarScale));
    }
    DrawPolarPlot(p, w->canvas(), g);
}

} // namespace vna::display
