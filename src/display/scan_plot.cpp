#include "display/scan_plot.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "core/freq_axis.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "display/polar_plot.h"
#include "display/tdr_view.h"
#include "platform/canvas.h"

namespace vna::display {

using core::AppState;
using core::GraphBox;
using core::GraphGeometry;
using core::NearestEven;
using core::PlotState;
using core::Trace;
using core::TraceDelay;
using core::TraceInsertionLoss;
using core::TracePhaseB;
using core::TraceReturnLoss;
using core::TraceRs;
using core::TraceS11;
using core::TraceS21;
using core::TraceSwr;
using core::TraceXs;
using core::TraceZmag;
using core::TraceZphase;

namespace {

constexpr platform::Rgb DescriptionBlue = platform::MakeRgb(0, 0, 255);
constexpr platform::Rgb NoteBlack = platform::MakeRgb(0, 0, 0);

using platform::Canvas;
using platform::MakeRgb;
using platform::Rgb;

// Degrees per radian of the phase traces.
constexpr double DegPerRad = 57.2958;
// A Port B phase step this large (radians) is a wrap at +-180 degrees, not a real change.
constexpr double PhaseWrapStep = 3;
constexpr Rgb WrapGrey = MakeRgb(200, 200, 200);
// Symbols (circles, squares) keep at least this many pixels between each other.
constexpr int SymbolSpacing = 21;
constexpr int NoSymbolYet = -100000;

// Limits a computed y to the box. An infinite value (a return loss of a perfect match, the log of
// zero) lands on the edge it runs towards; a NaN on the centre line.
int BoxY(const GraphGeometry& g, double y) {
    if (std::isnan(y)) {
        return g.centreY;
    }
    y = std::clamp(y, static_cast<double>(g.box.top), static_cast<double>(g.box.bottom));
    return NearestEven(y);
}

int PointX(const core::AppState& st, const GraphGeometry& g, double freq) {
    if (st.trend > 1) {
        freq -= 0.8 * st.delta_freq * st.trend;
    }
    return FreqToX(g, freq);
}

void Segment(core::Program& p, Canvas& c, Trace t, int n, int x, int y, Rgb color, int style) {
    PlotState& ps = p.display.plot;
    const auto ti = static_cast<std::size_t>(t);
    int width = std::max(1, p.st.traceWidth);
    if (style == 5) {
        width += 2;
    }
    if (ps.hasPrev[ti]) {
        bool draw = true;
        if (style == 1) {
            draw = n % 2 == 1;
        } else if (style == 2) {
            draw = n % 4 != 0;
        }
        // A dense scan puts many points on one pixel; a segment of no length draws nothing new.
        if (draw && (x != ps.prevX[ti] || y != ps.prevY[ti])) {
            c.setPen(color, width, platform::PenStyle::Solid);
            c.moveTo(ps.prevX[ti], ps.prevY[ti]);
            c.lineTo(x, y);
        }
    }
    if ((style == 3 || style == 4) && x >= ps.lastSymbolX[ti] + SymbolSpacing) {
        c.setPen(color, std::max(1, p.st.traceWidth), platform::PenStyle::Solid);
        c.setNullBrush();
        if (style == 3) {
            c.ellipse(x - 3, y - 3, x + 4, y + 4);
        } else {
            c.rectangle(x - 3, y - 3, x + 3, y + 3);
        }
        ps.lastSymbolX[ti] = x;
    }
    ps.prevX[ti] = x;
    ps.prevY[ti] = y;
    ps.hasPrev[ti] = true;
}

void Progress(core::Program& p, Canvas& c, int n, int x) {
    PlotState& ps = p.display.plot;
    if (p.st.SweepRunning && n > 0) {
        const int y = p.display.g.box.top - 3;
        c.setPen(p.st.LightBlue, 2, platform::PenStyle::Solid);
        c.moveTo(ps.progressX, y);
        c.lineTo(x, y);
    }
    ps.progressX = x;
}

void ResetTraces(PlotState& ps) {
    ps.hasPrev.fill(false);
    ps.lastSymbolX.fill(NoSymbolYet);
}

void PlotA(core::Program& p, Canvas& c, int n) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const core::ScanPoint& pt = p.point;
    const bool light = st.LightColorSet != 0;
    if (n == 0) {
        ResetTraces(p.display.plot);
    }
    const int x = PointX(st, g, pt.freq);
    Progress(p, c, n, x);
    if (st.plot_swr) {
        const double y = st.swrLog ? g.centreY - std::log10(pt.swr) * g.swrFactor
                                   : g.centreY - (pt.swr - 1) * g.swrFactor - g.swrLift;
        Segment(p, c, TraceSwr, n, x, BoxY(g, y), light ? st.LightRed : st.RedColor, st.swrstyle);
    } else if (st.plot_Q) {
        const double q = std::fabs(pt.xs) / (pt.rs + 0.00001);
        Segment(p, c, TraceSwr, n, x, BoxY(g, g.centreY - q * g.qFactor), light ? st.LightRed : st.RedColor,
                st.swrstyle);
    }
    if (st.plot_zmagA) {
        Segment(p, c, TraceZmag, n, x, BoxY(g, g.centreY - pt.zmag * g.zmagFactor),
                light ? st.LightGreen : st.Green, st.zmagstyle);
    }
    if (st.plot_rsA || st.plot_rpA) {
        const bool series = st.plot_rsA != 0;
        const double r = series ? pt.rs : pt.rp;
        const double xv = series ? pt.xs : pt.xp;
        Segment(p, c, TraceRs, n, x, BoxY(g, g.centreY - r * g.zmagFactor),
                light ? st.LightOrange : st.Orange, st.rsstyle);
        Segment(p, c, TraceXs, n, x, BoxY(g, g.centreY - xv * g.zmagFactor),
                light ? st.LightYellow : st.Yellow, st.xsstyle);
    }
    if (st.plot_rt) {
        Segment(p, c, TraceReturnLoss, n, x, BoxY(g, g.centreY + pt.return_loss * g.rtlossFactor),
                light ? st.LightBlue : st.Blue, st.rtstyle);
    }
    if (st.plot_ZphaseA) {
        Segment(p, c, TraceZphase, n, x, BoxY(g, g.centreY - pt.zphase * DegPerRad * g.zphaseFactor),
                light ? st.LightMagenta : st.Magenta, st.phasestyle);
    }
}

double ImpedancePhase(double s11db, double s11phase) {
    const std::complex<double> gamma = std::polar(std::pow(10.0, s11db / 20), s11phase);
    const std::complex<double> z = (1.0 + gamma) / (1.0 - gamma);
    return std::arg(z);
}

void PlotB(core::Program& p, Canvas& c, int n, const PortBValues& v) {
    const core::AppState& st = p.st;
    const GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    PlotState& ps = p.display.plot;
    const bool light = st.LightColorSet != 0;
    if (n == 0) {
        ResetTraces(ps);
    }
    const int x = PointX(st, g, v.freq);
    Progress(p, c, n, x);
    if (st.plots21) {
        Segment(p, c, TraceS21, n, x, BoxY(g, b.top + g.divPx * st.Zero_Ref - v.s21db * g.s21Factor),
                light ? st.LightGreen : st.Green, st.s21style);
    }
    if (st.plot_s11) {
        Segment(p, c, TraceS11, n, x, BoxY(g, b.top + g.s11Factor * -v.s11db), light ? st.LightBlue : st.Blue,
                st.s11style);
    }
    const PhaseB which = PhaseTraceB(st);
    if (which != PhaseB::None) {
        double phase = v.s21phase;
        double factor = g.s21phaseFactor;
        if (which == PhaseB::S11) {
            phase = v.s11phase;
        } else if (which == PhaseB::Impedance) {
            phase = ImpedancePhase(v.s11db, v.s11phase);
            factor = g.zphaseFactor;
        }
        const bool wrap = n > 0 && std::fabs(phase - ps.prevPhaseB) >= PhaseWrapStep;
        const Rgb color = wrap ? WrapGrey : (light ? st.LightMagenta : st.Magenta);
        Segment(p, c, TracePhaseB, n, x, BoxY(g, g.centreY - phase * DegPerRad * factor), color,
                st.phasestyle);
        ps.prevPhaseB = phase;
    }
    if (st.plot_delay && n >= 1) {
        // The delay of the first point has no phase step behind it: the trace starts at the second
        // point and its first segment is extended backwards to where the first point lies.
        const auto ti = static_cast<std::size_t>(TraceDelay);
        const int y = BoxY(g, g.centreY - v.delay * g.delayFactor);
        if (n == 2 && ps.hasPrev[ti]) {
            const int mx = std::clamp(2 * ps.prevX[ti] - x, b.left, b.right);
            const int my = BoxY(g, 2.0 * ps.prevY[ti] - y);
            c.setPen(light ? st.LightOrange : st.Orange, std::max(1, st.traceWidth),
                     platform::PenStyle::Solid);
            c.moveTo(ps.prevX[ti], ps.prevY[ti]);
            c.lineTo(mx, my);
        }
        Segment(p, c, TraceDelay, n, x, y, light ? st.LightOrange : st.Orange, st.delaystyle);
    }
    if (st.plotInsertionLoss) {
        Segment(p, c, TraceInsertionLoss, n, x, BoxY(g, b.top + v.insertionLoss * g.ilFactor),
                light ? st.LightOrange : st.Orange, st.s21style);
    }
}

} // namespace

PhaseB PhaseTraceB(const core::AppState& st) {
    if (st.plot_phaseS21) {
        return PhaseB::S21;
    }
    if (st.plot_phaseS11) {
        return PhaseB::S11;
    }
    if (st.plot_ZphaseB) {
        return PhaseB::Impedance;
    }
    return PhaseB::None;
}

std::vector<TraceInfo> EnabledTraces(const core::AppState& st) {
    std::vector<TraceInfo> out;
    if (!st.PortB_on) {
        if (st.plot_swr) {
            out.push_back({st.swrLog ? "LogSWR" : "SWR", st.RedColor, st.swrstyle});
        } else if (st.plot_Q) {
            out.push_back({"Q", st.RedColor, st.swrstyle});
        }
        if (st.plot_zmagA) {
            out.push_back({"Zmag", st.Green, st.zmagstyle});
        }
        if (st.plot_rsA || st.plot_rpA) {
            out.push_back({st.plot_rsA ? "Rs" : "Rp", st.Orange, st.rsstyle});
            out.push_back({st.plot_rsA ? "Xs" : "Xp", st.Yellow, st.xsstyle});
        }
        if (st.plot_rt) {
            out.push_back({"Return loss", st.Blue, st.rtstyle});
        }
        if (st.plot_ZphaseA) {
            out.push_back({"Zphase", st.Magenta, st.phasestyle});
        }
        return out;
    }
    if (st.plots21) {
        out.push_back({"|S21|", st.Green, st.s21style});
    }
    if (st.plot_s11) {
        out.push_back({"|S11|", st.Blue, st.s11style});
    }
    switch (PhaseTraceB(st)) {
        case PhaseB::S21:
            out.push_back({"S21phase", st.Magenta, st.phasestyle});
            break;
        case PhaseB::S11:
            out.push_back({"S11phase", st.Magenta, st.phasestyle});
            break;
        case PhaseB::Impedance:
            out.push_back({"Zphase", st.Magenta, st.phasestyle});
            break;
        case PhaseB::None:
            break;
    }
    if (st.plot_delay) {
        out.push_back({"Group delay", st.Orange, st.delaystyle});
    }
    if (st.plotInsertionLoss) {
        out.push_back({"Insertion loss", st.Orange, st.s21style});
    }
    return out;
}

void BeginSweepPlot(core::Program& p) {
    ComputeScaleFactors(p);
    PlotState& ps = p.display.plot;
    ResetTraces(ps);
    ps.progressX = p.display.g.box.left;
    ps.prevPhaseB = 0;
    ps.active = true;
}

void PlotPointA(core::Program& p, int n) {
    if (Canvas* c = p.ui.mainCanvas()) {
        PlotA(p, *c, n);
        c->flush();
    }
}

void PlotPointB(core::Program& p, int n, const PortBValues& v) {
    if (Canvas* c = p.ui.mainCanvas()) {
        PlotB(p, *c, n, v);
        c->flush();
    }
}

void EndSweepPlot(core::Program& p) {
    p.display.plot.active = false;
    if (p.st.recycle) {
        p.st.LightColorSet = p.st.LightColorSet ? 0 : 1;
    }
    DrawFrame(p);
    if (Canvas* c = p.ui.mainCanvas()) {
        c->flush();
    }
    RedrawPolarIfOpen(p);
}

int LastZmagY(const core::Program& p) {
    return p.display.plot.prevY[static_cast<std::size_t>(TraceZmag)];
}

void PointFromScanA(core::Program& p, int i) {
    const core::AppState& st = p.st;
    const auto k = static_cast<std::size_t>(std::clamp(i, 0, core::ScanCapacity - 1));
    core::ScanPoint& pt = p.point;
    pt.freq = st.start_freq + st.delta_freq * i;
    pt.zmag = p.scan.scan_zmag[k];
    pt.zphase = p.scan.scan_phase[k];
    pt.rs = pt.zmag * std::cos(pt.zphase);
    pt.xs = pt.zmag * std::sin(pt.zphase);
    pt.rp = pt.rs != 0 ? pt.zmag * pt.zmag / pt.rs : 1e9;
    pt.xp = pt.xs != 0 ? pt.zmag * pt.zmag / pt.xs : 1e9;
    pt.swr = p.scan.scan_swr[k];
    const double rho = pt.swr >= 1 ? (pt.swr - 1) / (pt.swr + 1) : 0;
    pt.rho = rho;
    pt.return_loss = rho > 0 ? -20 * std::log10(rho) : 999;
    pt.q = std::fabs(pt.xs) / (pt.rs + 0.00001);
}

PortBValues PointFromScanB(const core::Program& p, int i) {
    const auto k = static_cast<std::size_t>(std::clamp(i, 0, core::ScanCapacity - 1));
    const core::ScanArrays& s = p.scan;
    PortBValues v;
    v.freq = p.st.start_freq + p.st.delta_freq * i;
    v.s21db = s.s21_db[k];
    v.s21phase = s.s21_phase[k];
    v.s11db = s.s11_db[k];
    v.s11phase = s.s11_phase[k];
    v.delay = s.group_delay[k];
    v.insertionLoss = s.insertion_loss[k];
    return v;
}

void RedrawScan(core::Program& p) {
    if (p.st.TdrActive) {
        DrawTdrView(p);
        return;
    }
    DrawGraph(p);
    RedrawPolarIfOpen(p);
    Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const int count = std::clamp(p.st.last_scan_index + 1, 0, core::ScanCapacity);
    PlotState& ps = p.display.plot;
    ResetTraces(ps);
    ps.progressX = p.display.g.box.left;
    ps.prevPhaseB = 0;
    if (!p.st.PortB_on) {
        const core::ScanPoint keep = p.point;
        for (int i = 0; i < count; ++i) {
            PointFromScanA(p, i);
            PlotA(p, *c, i);
        }
        p.point = keep;
    } else {
        for (int i = 0; i < count; ++i) {
            PlotB(p, *c, i, PointFromScanB(p, i));
        }
    }
    DrawFrame(p);
    c->flush();
}

void DrawLoadedNotes(core::Program& p, const std::string& description, bool customCal) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const core::GraphGeometry& g = p.display.g;
    SetGraphFont(*c, p.st, 0, GraphFontWeight(p.st));
    if (!description.empty()) {
        const int w = c->textExtent(description).width;
        TextAt(*c, g.centreX - w / 2, g.rows[1] - 2, description, DescriptionBlue);
    }
    if (customCal) {
        TextAt(*c, g.box.left + 5, g.box.bottom - g.lineH - 4, "CUSTOM CAL   ", NoteBlack);
    }
    c->flush();
}

void DrawScanNotes(core::Program& p) {
    const AppState& st = p.st;
    if (st.PortB_on) {
        DrawLoadedNotes(p, st.scanDescriptionB, st.scanSettingsB.customCal == 1);
    } else {
        DrawLoadedNotes(p, st.scanDescriptionA, st.scanSettingsA.customCal == 1);
    }
}

} // namespace vna::display
