#include "display/smith_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/freq_axis.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_text.h"
#include "platform/canvas.h"

namespace vna::display {

using core::NearestEven;
using platform::Canvas;
using platform::PenStyle;
using platform::Rgb;

namespace {

constexpr Rgb Black = 0;
constexpr Rgb Background = platform::MakeRgb(255, 255, 255);
constexpr Rgb LiveMark = platform::MakeRgb(255, 255, 0);

void CircleAt(Canvas& c, double cx, double cy, double r) {
    const int x0 = NearestEven(cx - r);
    const int y0 = NearestEven(cy - r);
    const int x1 = NearestEven(cx + r);
    const int y1 = NearestEven(cy + r);
    c.ellipse(x0, y0, x1, y1);
}

void Line(Canvas& c, int x0, int y0, int x1, int y1) {
    c.moveTo(x0, y0);
    c.lineTo(x1, y1);
}

// Erases everything outside the disc: a ring in the background colour, 400 pixels wide.
void Mask(Canvas& c, const SmithGeometry& g) {
    c.setPen(Background, 400, PenStyle::Solid);
    c.setNullBrush();
    CircleAt(c, g.cx, g.cy, g.R + 201);
}

std::string OneDecimal(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

std::string Label(double v) {
    if (v == std::floor(v)) {
        return std::to_string(static_cast<long long>(v));
    }
    return OneDecimal(v);
}

void Grid(core::Program& p, Canvas& c, const SmithGeometry& g) {
    const core::AppState& st = p.st;
    const SmithZoomTable& t = SmithZoomValues(g.zoom);
    c.setFont("arial", 7, 200);
    c.setTextBackground(false, Background);
    c.setTextColor(Black);
    const double textShift = 10.0 * st.WinHeight / 768;
    for (int i = 0; i < t.drawn && i < static_cast<int>(t.values.size()); ++i) {
        const double v = t.values[static_cast<std::size_t>(i)];
        c.setPen(Black, 1, PenStyle::Solid);
        c.setNullBrush();
        const Circle r = ResistanceCircle(g, v);
        CircleAt(c, r.cx, r.cy, r.r);
        const Circle up = ReactanceCircle(g, v, true);
        CircleAt(c, up.cx, up.cy, up.r);
        const Circle down = ReactanceCircle(g, v, false);
        CircleAt(c, down.cx, down.cy, down.r);
        c.text(NearestEven(g.cx + g.Rz - 2 * g.Rz / (v + 1) - textShift), g.cy, OneDecimal(v));
    }
}

void ReactanceLabels(Canvas& c, const SmithGeometry& g) {
    const SmithZoomTable& t = SmithZoomValues(g.zoom);
    c.setFont("arial", 7, 200);
    c.setTextBackground(false, Background);
    c.setTextColor(Black);
    const std::size_t n = std::min(t.labelX.size(), t.values.size());
    for (std::size_t k = 0; k < n; ++k) {
        const double v = t.values[k];
        const int x = NearestEven(g.p * (t.labelX[k] - 4));
        c.text(x, NearestEven(g.p * (t.labelY[k] - 24)), Label(v));
        c.text(x, NearestEven(g.p * (544 - t.labelY[k])) - 15, Label(-v));
    }
}

void Trace(core::Program& p, Canvas& c, const SmithGeometry& g, core::ChartKind kind) {
    const double rotation = p.st.smithRotation;
    DrawChartTrace(p, c, kind, [&](const Gamma& gamma, double) {
        return kind == core::ChartSmith2 ? SmithPixelRotated(g, gamma, rotation) : SmithPixel(g, gamma);
    });
}

} // namespace

void DrawChartTrace(core::Program& p, Canvas& c, core::ChartKind kind, const ChartPixelRule& pixelOf) {
    const core::AppState& st = p.st;
    core::ChartPoints& cp = p.chartPoints.chart[kind];
    const ScanGridA grid = PortAScanGrid(st);
    cp.count = grid.count;
    c.setPen(st.RedColor, 2, PenStyle::Solid);
    bool joined = false;
    for (int n = 0; n < grid.count; ++n) {
        const auto i = static_cast<std::size_t>(n);
        const double zmag = p.scan.scan_zmag[i];
        const Gamma gamma = ReflectionOfPoint(zmag, p.scan.scan_phase[i], st.Zsm_real, st.Zsm_imag);
        const ChartPixel px = pixelOf(gamma, zmag);
        cp.x[i] = px.onChart ? px.x : core::ChartOffChart;
        cp.y[i] = px.y;
        cp.gammaRe[i] = gamma.valid ? gamma.re : 0;
        cp.gammaIm[i] = gamma.valid ? gamma.im : 0;
        if (!gamma.valid) {
            // A point that is not a number breaks the trace; the next one starts it again.
            joined = false;
            continue;
        }
        if (!joined) {
            c.moveTo(px.x, px.y);
            joined = true;
        }
        c.lineTo(px.x, px.y);
    }
}

void DrawChartMarkers(core::Program& p, Canvas& c, core::ChartKind kind) {
    const core::AppState& st = p.st;
    const core::ChartPoints& cp = p.chartPoints.chart[kind];
    if (cp.count < 1) {
        return;
    }
    if (st.markerena != 1) {
        if (cp.x[0] != core::ChartOffChart) {
            c.setPen(st.Magenta, 1, PenStyle::Solid);
            c.setBrush(st.Magenta);
            CircleAt(c, cp.x[0], cp.y[0], 4);
            c.setNullBrush();
        }
        return;
    }
    const ScanGridA grid = PortAScanGrid(st);
    SetGraphFont(c, st, 1, GraphFontWeight(st));
    c.setTextBackground(false, Background);
    for (int k = 1; k <= core::MarkerSlots; ++k) {
        const int m = MarkerPointNumber(st, k, grid.start, grid.step);
        // A marker outside the scan has no point on the chart (and must not hold up the others).
        if (m < 1 || m > cp.count) {
            continue;
        }
        const auto i = static_cast<std::size_t>(m - 1);
        if (cp.x[i] == core::ChartOffChart) {
            continue;
        }
        c.setPen(st.RedColor, 1, PenStyle::Solid);
        c.setNullBrush();
        CircleAt(c, cp.x[i], cp.y[i], 3);
        c.setTextColor(st.Green);
        c.text(cp.x[i] + 3, cp.y[i] - 3, std::to_string(k));
    }
}

void DrawScaleCaption(Canvas& c, const std::vector<platform::PushButton>& row) {
    if (row.empty()) {
        return;
    }
    const int left = row.front().x;
    const int right = row.back().x + row.back().width;
    c.setFont("arial", 7, 600);
    c.setTextBackground(false, Background);
    c.setTextColor(Black);
    const int w = c.textExtent("SCALE").width;
    c.text((left + right) / 2 - w / 2, row.front().y + row.front().height + 2, "SCALE");
}

void DrawSmithChart(core::Program& p, Canvas& c, const SmithGeometry& g, const SmithOptions& o) {
    core::AppState& st = p.st;
    // The cursor's XOR mark goes with the old picture.
    p.display.cursor.chartMark[static_cast<std::size_t>(o.kind)] = -1;
    if (o.kind != core::ChartSmith2) {
        st.Zsm_real = st.Z0real;
        st.Zsm_imag = st.Z0imag;
    }
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(0, 0, c.width(), c.height(), Background);
    c.setPen(Black, 1, PenStyle::Solid);
    c.setBrush(st.chartFillColor);
    CircleAt(c, g.cx, g.cy, g.R);
    c.setNullBrush();
    Grid(p, c, g);
    Mask(c, g);
    if (const double r = SwrCircleRadius(g, st.swr_ruler); r > 0) {
        c.setPen(st.Green, 1, PenStyle::Solid);
        c.setNullBrush();
        CircleAt(c, g.cx, g.cy, r);
    }
    ReactanceLabels(c, g);
    c.setPen(Black, 1, PenStyle::Solid);
    Line(c, NearestEven(g.cx - g.R), g.cy, NearestEven(g.cx + g.R), g.cy);
    Line(c, g.cx, NearestEven(g.cy - g.R), g.cx, NearestEven(g.cy + g.R));
    c.setPen(Black, 3, PenStyle::Solid);
    c.setNullBrush();
    CircleAt(c, g.cx, g.cy, g.R);
    if (o.withTrace) {
        Trace(p, c, g, o.kind);
        DrawChartMarkers(p, c, o.kind);
    }
    Mask(c, g);

    SetGraphFont(c, st, 1, GraphFontWeight(st));
    c.setTextBackground(false, Background);
    c.setTextColor(Black);
    c.text(10, 10, "Zo = " + core::FormatPicture("###.##  ##.##j", {st.Zsm_real, st.Zsm_imag}));
    if (st.swr_ruler > 0.9) {
        c.text(10, 25, "SWRref=" + core::NumText(st.swr_ruler, 2));
    }
    if (o.kind == core::ChartSmith2) {
        c.text(10, 40, "Phase=" + core::NumText(st.smithRotation, 2));
    }
    if (o.withTrace) {
        c.text(10, g.height - 45, st.scanStampA);
    }
    if (o.windowControls) {
        static constexpr std::array<const char*, 5> zoomCaptions = {"1X", "2X", "3X", "4X", "5X"};
        DrawScaleCaption(c, ScaleButtonRow(g.p, g.width, zoomCaptions, g.zoom));
    }
    c.flush();
}

void DrawSmithLivePoint(Canvas& c, const SmithGeometry& g, const Gamma& gamma) {
    if (!gamma.valid) {
        return;
    }
    const ChartPixel px = SmithPixel(g, gamma);
    if (!px.onChart) {
        return;
    }
    c.setRasterOp(platform::RasterOp::Copy);
    c.setPen(Black, 1, PenStyle::Solid);
    c.setBrush(LiveMark);
    CircleAt(c, px.x, px.y, 5);
    c.setNullBrush();
    c.flush();
}

std::vector<platform::PushButton> SmithButtons(Canvas& c, const SmithGeometry& g, core::ChartKind kind,
                                               int zoom) {
    static constexpr std::array<const char*, 5> zoomCaptions = {"1X", "2X", "3X", "4X", "5X"};
    std::vector<platform::PushButton> buttons = ScaleButtonRow(g.p, g.width, zoomCaptions, zoom);
    c.setFont("arial", 8, 600);
    const platform::Size text = c.textExtent("Marker Data");
    const int w = text.width + 30;
    const int h = text.height + 4;
    const int y = NearestEven(g.height - 109 * g.p);
    std::vector<std::pair<std::string, int>> bottom;
    if (kind == core::ChartSmith2) {
        bottom = {{"Print", ChartButtonPrint}, {"Smith Z", ChartButtonSmithZ}};
    } else {
        bottom = {
            {"Marker Data", ChartButtonMarkerData}, {"Print", ChartButtonPrint}, {"Close", ChartButtonClose}};
    }
    const int gap = 10;
    const int total = static_cast<int>(bottom.size()) * (w + gap) - gap;
    int x = (g.width - total) / 2;
    for (const auto& [caption, id] : bottom) {
        platform::PushButton b;
        b.caption = caption;
        b.id = id;
        b.x = x;
        b.y = y;
        b.width = w;
        b.height = h;
        b.color = ChartButtonColor;
        b.fontFace = "arial";
        b.pointSize = 8;
        b.weight = 600;
        buttons.push_back(b);
        x += w + gap;
    }
    return buttons;
}

} // namespace vna::display
