#include "display/graph_draw.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/freq_axis.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "display/markers.h"
#include "display/scan_plot.h"
#include "display/status_panel.h"
#include "display/tdr_view.h"
#include "platform/canvas.h"

namespace vna::display {

using core::GraphBox;
using core::GraphGeometry;
using core::NearestEven;
using core::PlotState;

namespace {

using platform::Canvas;
using platform::MakeRgb;
using platform::PenStyle;

constexpr platform::Rgb Black = 0;
constexpr platform::Rgb Background = MakeRgb(255, 255, 255);
constexpr platform::Rgb RulerLabelColor = MakeRgb(0, 200, 200);
// Left edge of the return-loss numbers (rows 13..20); their caption keeps clear of them.
constexpr int ReturnLossNumbersX = 17;
constexpr int ReturnLossFirstRow = 13;

void Line(Canvas& c, int x1, int y1, int x2, int y2) {
    c.moveTo(x1, y1);
    c.lineTo(x2, y2);
}

int RowY(const GraphGeometry& g, int i) {
    return NearestEven(g.box.top + i * g.divPx);
}

// Decimals of a symmetric scale: one when the rounded scale is odd (its half is then not whole).
int OddScaleDecimals(double scale) {
    return (core::Nint(scale) % 2) != 0 ? 1 : 0;
}

void ClearAndHighlight(core::Program& p, Canvas& c) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    const int t = (st.recycle && st.SweepRunning && st.Recycle_depth > 0) ? b.top : 1;
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(1, t, 1 + st.WinWidth, t + b.bottom + g.lineH + 6, Background);
    // The XOR items on the screen are gone with the picture.
    p.display.plot.swrRulerShown = false;
    p.display.plot.markerLinesShown = false;
    p.display.cursor.lineShown = false;
    p.display.cursor.frozen[0].lineShown = false;
    p.display.cursor.frozen[1].lineShown = false;
    if (st.highlight && !st.TdrActive) {
        for (int k = 1; k <= 12; ++k) {
            const core::Band& band = st.bandTable[static_cast<std::size_t>(k)];
            if (band.start < g.axis.plotStop && band.end > g.axis.plotStart) {
                const int x1 = std::max(FreqToX(g, band.start), b.left + 1);
                const int x2 = std::min(FreqToX(g, band.end), b.right - 1);
                if (x2 > x1) {
                    c.fillRect(x1, b.top, x2, b.bottom + 1, st.bandFillColor);
                }
            }
        }
    }
}

void Grid(core::Program& p, Canvas& c) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    DrawFrame(p);
    c.setPen(st.gridColor, 1, PenStyle::Solid);
    for (int i = 0; i <= 20; ++i) {
        const int y = RowY(g, i);
        Line(c, b.left + 1, y, b.right - 1, y);
    }
    for (int i = 1; i < g.axis.xDivs; ++i) {
        const int x = NearestEven(g.axis.mhzPerDiv * i * g.pxPerMHz + b.left);
        c.setPen(st.gridColor, 1, PenStyle::Solid);
        Line(c, x, b.top, x, b.bottom);
        c.setPen(Black, 1, PenStyle::Solid);
        Line(c, x, g.centreY - 3, x, g.centreY + 3);
    }
    c.setPen(Black, 2, PenStyle::Solid);
    for (int i = 0; i <= 20; ++i) {
        const int y = RowY(g, i);
        const int len = i % 5 == 0 ? 10 : 6;
        Line(c, b.left - len, y, b.left, y);
        Line(c, b.right - len - 1, y, b.right + len, y);
    }
}

void ScaleNumbersA(core::Program& p, Canvas& c) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    SetGraphFont(c, st, 0, GraphFontWeight(st));
    if (st.plot_zmagA || st.plot_rsA || st.plot_rpA) {
        const double z = st.zmag_scale;
        const int dec = OddScaleDecimals(z);
        const int extra = dec ? 10 : 0;
        const int rows[] = {0, 5, 15, 20};
        const double values[] = {z, z / 2, -z / 2, -z};
        for (int k = 0; k < 4; ++k) {
            const std::string s = GraphNumber(values[k], dec);
            const int x = b.right - c.textExtent(s).width - 8 - extra;
            const int y = RowY(g, rows[k]) - (rows[k] == 0 ? 0 : 8);
            TextAt(c, x, y, s, Black);
        }
    }
    if (st.plot_swr) {
        if (!st.swrLog) {
            for (int i = 0; i <= 10; ++i) {
                const double y = g.centreY - i * g.divPx - g.swrLift;
                if (y < b.top) {
                    continue;
                }
                TextAt(c, 5, NearestEven(y) - 8, GraphNumber(1 + i * (st.swr_scale - 1) / 10, 2),
                       st.RedColor);
            }
        } else {
            const double s = std::max(st.swr_scale, 1.1);
            for (int i = 0; i <= 10; ++i) {
                const int y = NearestEven(g.centreY - i * g.divPx) - 8;
                TextAt(c, b.left - 50, y, GraphNumber(std::exp(i * std::log(s) / 10), 2), st.RedColor);
            }
        }
    }
    if (st.plot_rt) {
        const int dec = st.rtloss_scale <= 1.001 ? 1 : 0;
        for (int i = ReturnLossFirstRow; i <= 20; ++i) {
            TextAt(c, ReturnLossNumbersX, RowY(g, i) - 10, GraphNumber((i - 10) * 0.1 * st.rtloss_scale, dec),
                   st.Blue);
        }
    }
    if (st.plot_Q && !st.plot_swr) {
        TextAt(c, 15, RowY(g, 0) - 8, GraphNumber(st.Q_scale, 0), st.RedColor);
        TextAt(c, 15, RowY(g, 5) - 8, GraphNumber(st.Q_scale / 2, 0), st.RedColor);
    }
    if (st.plot_ZphaseA) {
        const double ph = st.phase_scale;
        const int dec = OddScaleDecimals(ph);
        const int rows[] = {0, 5, 15, 20};
        const double values[] = {ph, ph / 2, -ph / 2, -ph};
        for (int k = 0; k < 4; ++k) {
            TextAt(c, b.right + 10, RowY(g, rows[k]) - 8, GraphNumber(values[k], dec), Black);
        }
    }
}

// Decimals of the dB numbers of the S21 and insertion-loss axes.
int DbDecimals(double value) {
    return value > -100 ? 1 : 0;
}

void ScaleNumbersB(core::Program& p, Canvas& c) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    SetGraphFont(c, st, 0, GraphFontWeight(st));
    if (st.plots21) {
        for (int i = 0; i <= 20; ++i) {
            const double v = st.s21gain_scale * (st.Zero_Ref - i);
            TextAt(c, b.left - 45, RowY(g, i) - 9, GraphNumber(v, DbDecimals(v)), Black);
        }
    }
    if (st.plotInsertionLoss) {
        // The insertion-loss trace runs from 0 dB at the top line downwards, so its numbers do too.
        for (int i = 0; i <= 20; ++i) {
            const double v = st.insertionLossScale * i;
            TextAt(c, b.right - 45, RowY(g, i) - 9, GraphNumber(v, DbDecimals(v)), st.Orange);
        }
    }
    if (st.plot_delay) {
        double n = st.delay_scale;
        std::string unit = "ns";
        if (st.delay_scale > 999999) {
            n = st.delay_scale / 1e6;
            unit = "ms";
        } else if (st.delay_scale > 999) {
            n = st.delay_scale * 0.001;
            unit = "us";
        }
        const int dec = n < 9.99 ? 1 : 0;
        auto right = [&](int y, const std::string& s) {
            TextAt(c, b.right - c.textExtent(s).width - 8, y, s, Black);
        };
        right(b.top + 2, GraphNumber(n, dec) + unit);
        right(RowY(g, 5) - 8, GraphNumber(n / 2, dec));
        right(RowY(g, 15) - 8, "-" + GraphNumber(n / 2, dec).substr(1));
        right(b.bottom - 12, "-" + GraphNumber(n, dec).substr(1) + unit);
    }
    if (PhaseTraceB(st) != PhaseB::None) {
        const double ph = PhaseTraceB(st) == PhaseB::Impedance ? st.phase_scale : st.s21phase_scale;
        const int dec = OddScaleDecimals(ph);
        const int rows[] = {0, 5, 15, 20};
        const double values[] = {ph, ph / 2, -ph / 2, -ph};
        for (int k = 0; k < 4; ++k) {
            TextAt(c, b.right + 10, RowY(g, rows[k]) - 8, GraphNumber(values[k], dec), Black);
        }
    }
    if (st.plot_s11) {
        for (int i = 0; i <= 20; ++i) {
            TextAt(c, b.left + 3, RowY(g, i) - 10, GraphNumber(-3.0 * i, 0), st.Blue);
        }
    }
}

std::string FreqPicture(const core::AppState& st) {
    if (st.delta_freq >= 0.05) {
        return "#.##";
    }
    if (st.delta_freq >= 0.001) {
        return "#.###";
    }
    return "#.#####";
}

void FrequencyNumbers(core::Program& p, Canvas& c) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    int sections = 4;
    int perSection = 5;
    switch (g.axis.xDivs) {
        case 18:
            sections = 3, perSection = 6;
            break;
        case 16:
            sections = 4, perSection = 4;
            break;
        case 15:
            sections = 3, perSection = 5;
            break;
        case 12:
            sections = 3, perSection = 4;
            break;
        case 10:
            sections = 2, perSection = 5;
            break;
        case 8:
            sections = 4, perSection = 2;
            break;
        default:
            break;
    }
    const std::string pic = FreqPicture(st);
    const double w = static_cast<double>(b.right - b.left) / sections;
    SetGraphFont(c, st, 0, GraphFontWeight(st));
    TextAt(c, b.left + 5, g.centreY + 5, core::FormatPicture(pic, g.axis.plotStart) + "MHz", Black);
    for (int k = 1; k <= std::min(sections - 1, 3); ++k) {
        const double f = g.axis.plotStart + k * perSection * g.axis.mhzPerDiv;
        const int x = NearestEven(b.left + k * w);
        TextAt(c, NearestEven(b.left + 5 + k * w - 15), g.centreY + 10, core::FormatPicture(pic, f), Black);
        c.setPen(st.sectionLineColor, 1, PenStyle::Solid);
        Line(c, x, b.top, x, b.bottom);
        c.setPen(Black, 1, PenStyle::Solid);
        Line(c, x, g.centreY - 3, x, g.centreY + 10);
        Line(c, x + 1, g.centreY - 3, x + 1, g.centreY + 10);
    }
    TextAt(c, b.right - 15, g.centreY + 10, core::FormatPicture(pic, g.axis.plotStop), Black);
    c.setPen(st.sectionLineColor, 1, PenStyle::Solid);
    const int off = NearestEven(5 * g.divPx);
    Line(c, b.left + 1, g.centreY - off, b.right - 1, g.centreY - off);
    Line(c, b.left + 1, g.centreY + off, b.right - 1, g.centreY + off);

    SetGraphFont(c, st, 0, 700);
    TextAt(c, g.centreX - 80, g.centreY + 30,
           "FREQ (" + core::FormatPicture(pic, g.axis.mhzPerDiv) + " MHz/div)", Black);
}

void Captions(core::Program& p, Canvas& c) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    const auto row = [&](int k) { return g.rows[static_cast<std::size_t>(k)]; };
    if (st.RefToAntenna) {
        SetGraphFont(c, st, 0, GraphFontWeight(st));
        TextAt(c, g.centreX - 50, 0, "Ref to Antenna      ", MakeRgb(255, 0, 0));
    }
    if (st.ExtensionFlag) {
        SetGraphFont(c, st, 0, GraphFontWeight(st));
        TextAt(c, g.centreX + 100, 0,
               "Extension=" + core::FormatPicture("#.##", st.ExtensionLength * 100) + "cm", Black);
    }
    if (!st.PortB_on) {
        if (st.plot_swr) {
            SetGraphFont(c, st, 1, 700);
            if (st.swrLog) {
                // Never left of the window: the caption would lose its first letter.
                TextAt(c, std::max(1, b.left - 20 - 27), row(1), "LogSWR", st.RedColor);
            } else {
                TextAt(c, b.left - 20, row(1), "SWR", st.RedColor);
            }
        }
        SetGraphFont(c, st, 1, 600);
        if (st.plot_Q) {
            TextAt(c, b.left - 25, b.top + 50, "Q", st.RedColor);
        }
        if (st.plot_rt) {
            // Stacked under the centre line, the caption covered the first numbers whenever a
            // division was less than about 30 pixels high. The letters run down the margin left
            // of the numbers from the first one, and "(dB)" heads the numbers' column, short of
            // the long ticks.
            const int numbersTop = RowY(g, ReturnLossFirstRow) - 10;
            const int lettersX = std::max(1, ReturnLossNumbersX - 3 - c.textExtent("O").width);
            const int step = std::max(15, c.textExtent("L").height);
            const char* letters[] = {"L", "O", "S", "S"};
            for (int k = 0; k < 4; ++k) {
                TextAt(c, lettersX, numbersTop + step * k, letters[k], st.Blue);
            }
            const platform::Size unit = c.textExtent("(dB)");
            TextAt(c, std::max(1, std::min(ReturnLossNumbersX, b.left - 11 - unit.width)),
                   numbersTop - unit.height, "(dB)", st.Blue);
        }
        if (st.plot_rsA || st.plot_rpA) {
            const bool series = st.plot_rsA != 0;
            const std::string r = series ? "Rs," : "Rp,";
            TextAt(c, b.right - 45, row(0) - 1, r, st.Orange);
            TextAt(c, b.right - 45 + c.textExtent(r).width, row(0) - 1, series ? "Xs  " : "Xp ", st.Yellow);
        }
        if (st.plot_zmagA) {
            TextAt(c, b.right - 45, row(1) - 2, "Zmag ", st.Green);
        }
        if (st.plot_ZphaseA) {
            TextAt(c, b.right + 10, row(1) - 2, "Zphase       ", st.Magenta);
        }
        return;
    }
    SetGraphFont(c, st, 1, 600);
    if (st.plot_s11) {
        TextAt(c, b.left + 5, row(1) - 5, "|S11|", st.Blue);
    }
    if (st.plots21) {
        TextAt(c, b.left - 40, row(1) - 5, "|S21|", st.Green);
    }
    if (st.plotInsertionLoss) {
        TextAt(c, b.right - 55, row(0), "Insertion", st.Orange);
        TextAt(c, b.right - 55, row(1), "Loss   ", st.Orange);
    }
    if (st.plot_delay) {
        TextAt(c, b.right - 45, row(0) - 2, "Group", st.Orange);
        TextAt(c, b.right - 45, row(1) - 4, "Delay   ", st.Orange);
    }
    switch (PhaseTraceB(st)) {
        case PhaseB::S21:
            TextAt(c, b.right + 10, row(1) - 4, "S21phase", st.Magenta);
            break;
        case PhaseB::S11:
            TextAt(c, b.right + 10, row(1) - 4, "S11phase", st.Magenta);
            break;
        case PhaseB::Impedance:
            TextAt(c, b.right + 10, row(1) - 4, "Zphase", st.Magenta);
            break;
        case PhaseB::None:
            break;
    }
}

void S21Rulers(core::Program& p, Canvas& c) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    const auto draw = [&](double r, platform::Rgb color) {
        const int y = NearestEven(g.divPx * st.Zero_Ref + b.top - g.s21Factor * r);
        if (y <= b.top || y >= b.bottom) {
            return;
        }
        c.setPen(color, 1, PenStyle::Solid);
        Line(c, b.left, y, b.right, y);
        c.setFont("arial", st.graphFontSize, GraphFontWeight(st));
        TextAt(c, b.left, y - 18, " " + GraphNumber(r, st.s21gain_scale > 20 ? 0 : 1), color);
    };
    if (st.ruler1_on) {
        draw(st.ruler_1, st.RedColor);
    }
    if (st.ruler2_on) {
        draw(st.ruler_2, st.Blue);
    }
}

} // namespace

void DrawFrame(core::Program& p) {
    Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    c->setRasterOp(platform::RasterOp::Copy);
    c->setPen(Black, 2, PenStyle::Solid);
    Line(*c, b.left, g.centreY, b.right, g.centreY);
    Line(*c, b.left, b.top, b.left, b.bottom);
    Line(*c, b.right, b.top, b.right, b.bottom);
}

void ClearWindow(core::Program& p) {
    if (Canvas* c = p.ui.mainCanvas()) {
        c->setRasterOp(platform::RasterOp::Copy);
        c->fillRect(0, 0, c->width(), c->height(), Background);
    }
}

void DrawSwrRuler(core::Program& p, double value) {
    core::AppState& st = p.st;
    PlotState& plot = p.display.plot;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    Canvas* c = p.ui.mainCanvas();
    const auto dashes = [&](int y) {
        c->setRasterOp(platform::RasterOp::Xor);
        // XOR with white turns white pixels black, so the ruler shows in black on the background
        // and a second drawing removes it exactly.
        c->setPen(Background, 2, PenStyle::Solid);
        for (int x = b.left; x < b.right - 14; x += 14) {
            Line(*c, x, y, x + 8, y);
        }
        c->setRasterOp(platform::RasterOp::Copy);
        c->setPen(Black, 1, PenStyle::Solid);
    };
    if (c && plot.swrRulerShown) {
        dashes(plot.swrRulerY);
        plot.swrRulerShown = false;
    }
    st.swr_ruler = value;
    if (!c || !(value >= 1) || !std::isfinite(value)) {
        return;
    }
    const int y = st.swrLog ? NearestEven(g.centreY - std::log10(value) * g.swrFactor)
                            : NearestEven(g.centreY - (value - 1) * g.swrFactor - g.swrLift);
    if (y < b.top || y > b.bottom) {
        // A ruler above the scale is not drawn: it would land on the captions.
        return;
    }
    dashes(y);
    plot.swrRulerShown = true;
    plot.swrRulerY = y;
    c->setFont("ariel", st.graphFontSize - 1, GraphFontWeight(st));
    TextAt(*c, b.left + 3, y - 6, core::FormatPicture("#.##", value), RulerLabelColor);
    c->flush();
}

void DrawCaptionLine(core::Program& p) {
    Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    SetGraphFont(*c, st, 0, GraphFontWeight(st));
    const std::string& stamp = st.TdrActive ? p.tdr.stamp : st.PortB_on ? st.scanStampB : st.scanStampA;
    std::string caption = st.TdrActive ? st.tdrFileName : (st.PortB_on ? st.scanFileNameB : st.scanFileNameA);
    if (caption.size() > 120) {
        caption.resize(120);
    }
    const int stampEnd = 10 + c->textExtent(stamp).width;
    // Blank the line first: a shorter caption must not leave the end of the previous one.
    c->fillRect(stampEnd + 1, std::min(g.box.bottom + 7, g.captionY), st.WinWidth,
                std::max(g.box.bottom + 7, g.captionY) + g.lineH + 1, Background);
    TextAt(*c, 10, g.box.bottom + 7, stamp, Black);
    if (!caption.empty()) {
        const int w = c->textExtent(caption).width;
        const int x = std::max(g.centreX - w / 2, stampEnd + 40);
        TextAt(*c, x, g.captionY, caption, Black);
    }
}

void DrawLegend(core::Program& p) {
    Canvas* c = p.ui.mainCanvas();
    if (!c || !p.st.LegendOn) {
        return;
    }
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const int y = g.captionY + g.lineH + 4;
    int x = g.box.left;
    SetGraphFont(*c, st, 0, GraphFontWeight(st));
    for (const TraceInfo& t : EnabledTraces(st)) {
        c->setPen(t.color, st.traceWidth, PenStyle::Solid);
        Line(*c, x, y + g.lineH / 2, x + 20, y + g.lineH / 2);
        TextAt(*c, x + 24, y, t.name, Black);
        x += 24 + c->textExtent(t.name).width + 16;
    }
}

void DrawGraph(core::Program& p) {
    if (p.st.TdrActive) {
        DrawTdrAxes(p);
        return;
    }
    ComputeScaleFactors(p);
    p.st.LightColorSet = 0;
    Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    ClearAndHighlight(p, *c);
    Grid(p, *c);
    if (!p.st.PortB_on) {
        ScaleNumbersA(p, *c);
    } else {
        ScaleNumbersB(p, *c);
    }
    FrequencyNumbers(p, *c);
    Captions(p, *c);
    if (!p.st.PortB_on) {
        if (p.st.plot_swr) {
            DrawSwrRuler(p, p.st.swr_ruler);
        }
    } else {
        S21Rulers(p, *c);
    }
    DrawCaptionLine(p);
    DrawLegend(p);
    UpdateStatus(p, 0);
    if (p.st.markerena == 1) {
        DrawMarkers(p);
    }
    c->flush();
}

} // namespace vna::display
