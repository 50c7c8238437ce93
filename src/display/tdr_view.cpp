#include "display/tdr_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "display/status_panel.h"
#include "platform/canvas.h"

namespace vna::display {

using core::AppState;
using core::GraphBox;
using core::Nint;
using platform::Canvas;
using platform::MakeRgb;
using platform::PenStyle;

namespace {

constexpr platform::Rgb Black = 0;
constexpr platform::Rgb Background = MakeRgb(255, 255, 255);
constexpr double FeetToMetres = 0.3048;

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

double LimitedRho(double s) {
    return std::clamp(s, -0.999, 0.999);
}

double Impedance(double rho, double zref) {
    return zref * (1 + rho) / (1 - rho);
}

double ZPxPerOhm(const AppState& st, const GraphBox& b) {
    const double h = b.bottom - b.top;
    if (st.tdrZScale > 99) {
        return h / st.tdrZScale;
    }
    return h / 2 / std::max(st.tdrZScale - 50, 1.0);
}

// The impedance of row p (0 at the bottom line) of the impedance axis.
double RowImpedance(const AppState& st, double rowPx, double zPx) {
    if (st.tdrZScale >= 100) {
        return rowPx / zPx;
    }
    return (100 - st.tdrZScale) + rowPx / zPx;
}

void Line(Canvas& c, int x1, int y1, int x2, int y2) {
    c.moveTo(x1, y1);
    c.lineTo(x2, y2);
}

} // namespace

core::Rgb TdrTraceColor(const AppState& st, int index) {
    switch (index) {
        case 2:
            return st.Green;
        case 3:
            return st.Blue;
        case 4:
            return st.Magenta;
        case 5:
            return core::Color(0, 200, 200);
        default:
            return st.RedColor;
    }
}

TdrScale TdrScaleFactors(const core::Program& p) {
    const AppState& st = p.st;
    const GraphBox& b = p.display.g.box;
    TdrScale s;
    s.dxFactor = (b.right - b.left) / std::max(st.tdrMaxDist, 1.0) * 0.97 * st.tdrDistFactor;
    s.zPxPerOhm = ZPxPerOhm(st, b);
    s.rhoPxPerUnit = (b.bottom - b.top) / 2.0 / std::max(st.tdrRhoScale, 1e-6);
    const double div = (b.bottom - b.top) / 20.0;
    s.referenceY = p.display.g.centreY;
    for (int row = 0; row <= 20; ++row) {
        if (std::fabs(RowImpedance(st, row * div, s.zPxPerOhm) - 50) < 1) {
            s.referenceY = b.bottom - Nint(row * div);
            break;
        }
    }
    return s;
}

int TdrIndexX(const core::Program& p, const TdrScale& s, int k) {
    return Nint(p.display.g.box.left + s.dxFactor * (p.st.feetPerIndex * (k + 1) - p.st.tdrOffset));
}

void DrawTdrAxes(core::Program& p) {
    ComputeScaleFactors(p);
    Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const AppState& st = p.st;
    const core::GraphGeometry& g = p.display.g;
    const GraphBox& b = g.box;
    c->setRasterOp(platform::RasterOp::Copy);
    c->fillRect(1, 1, 1 + st.WinWidth, b.bottom + g.lineH + 6, Background);
    p.display.plot.markerLinesShown = false;
    p.display.cursor.lineShown = false;
    p.display.cursor.frozen[0].lineShown = false;
    p.display.cursor.frozen[1].lineShown = false;
    c->setNullBrush();
    c->setPen(Black, 2, PenStyle::Solid);
    c->rectangle(b.left, b.top, b.right, b.bottom);
    const double div = (b.bottom - b.top) / 20.0;
    c->setPen(st.gridColor, 1, PenStyle::Solid);
    for (int i = 1; i < 20; ++i) {
        const int y = b.top + Nint(i * div);
        Line(*c, b.left + 1, y, b.right - 1, y);
    }
    const int colStep = Nint((b.right - b.left) / 10.0);
    for (int i = 1; i < 10; ++i) {
        Line(*c, b.left + i * colStep, b.top + 1, b.left + i * colStep, b.bottom - 1);
    }
    SetGraphFont(*c, st, 0, GraphFontWeight(st));
    const bool metres = st.tdrMetres != 0;
    const int decimals = (st.tdrMaxDist > 5 ? 0 : 1) + (metres ? 1 : 0);
    for (int i = 1; i <= 10; ++i) {
        const double d = st.tdrMaxDist * i / 10 * (metres ? FeetToMetres : 1);
        TextAt(*c, b.left + i * colStep - 10 - (metres ? 5 : 0), b.bottom - 20, Fixed(d, decimals), Black);
    }
    TextAt(*c, g.centreX - 25, b.bottom - 40, metres ? "Distance (m) " : "Distance (ft) ", Black);
    const TdrScale s = TdrScaleFactors(p);
    if (st.tdrLinearZ) {
        TextAt(*c, b.left - 30, b.top - 30, "Z", st.Green);
        if (st.tdrShowRho) {
            TextAt(*c, b.left + 10, b.top - 30, "Rho", st.LightRed);
        }
        for (int row = 0; row <= 20; ++row) {
            const double z = RowImpedance(st, row * div, s.zPxPerOhm);
            const int y = b.bottom - Nint(row * div) - 10;
            TextAt(*c, b.left - 40, y, core::FormatPicture("#### ", z), st.Green);
            if (st.tdrShowRho) {
                TextAt(*c, b.left + 5, y, Fixed((z - st.tdrZref) / (z + st.tdrZref), 3), st.LightRed);
            }
        }
    } else {
        TextAt(*c, b.left - 45, b.top - 30, "Rho", st.RedColor);
        TextAt(*c, b.left + 12, b.top - 30, "Z", st.Green);
        for (int row = 0; row <= 20; ++row) {
            const double rho = (0.1 * row - 1) * st.tdrRhoScale;
            const int y = b.bottom - Nint(row * div) - 10;
            TextAt(*c, b.left - 45, y, Fixed(rho, 3), st.RedColor);
            std::string z = "inf";
            if (rho < 0.999) {
                const double zv = Impedance(rho, st.tdrZref);
                z = Fixed(zv, zv < st.tdrZref ? 1 : 0);
            }
            TextAt(*c, b.left + 5, y, z, st.Green);
        }
    }
    DrawCaptionLine(p);
    UpdateStatus(p, 0);
    c->flush();
}

void DrawTdrTrace(core::Program& p, core::Rgb color) {
    core::TdrTrace& t = p.tdr;
    const AppState& st = p.st;
    const GraphBox& b = p.display.g.box;
    const TdrScale s = TdrScaleFactors(p);
    Canvas* c = p.ui.mainCanvas();
    if (c) {
        c->setRasterOp(platform::RasterOp::Copy);
        c->setPen(color, std::max(1, st.traceWidth), PenStyle::Solid);
        c->setBrush(color);
    }
    t.tableCount = 0;
    bool joined = false;
    const int half = std::min(t.points, core::TdrMaxPoints) / 2;
    for (int k = 1; k < half; ++k) {
        const double rho = LimitedRho(t.s[static_cast<std::size_t>(k)]);
        const int x = TdrIndexX(p, s, k);
        const double z = Impedance(rho, st.tdrZref);
        const double yv = st.tdrLinearZ ? s.referenceY - (z - st.tdrZref) * s.zPxPerOhm
                                        : p.display.g.centreY - rho * s.rhoPxPerUnit;
        const int y = std::clamp(Nint(std::clamp(yv, -1e6, 1e6)), b.top, b.bottom);
        t.tableX[static_cast<std::size_t>(k)] = x;
        t.tableZ[static_cast<std::size_t>(k)] = z;
        t.tableCount = k + 1;
        if (x < b.left || x > b.right) {
            joined = false;
            continue;
        }
        if (!c) {
            continue;
        }
        if (st.tdrLines) {
            if (joined) {
                c->lineTo(x, y);
            } else {
                c->moveTo(x, y);
            }
            joined = true;
        } else {
            c->ellipse(x - 2, y - 2, x + 3, y + 3);
        }
    }
    if (c) {
        c->setNullBrush();
        c->setPen(Black, 1, PenStyle::Solid);
        c->flush();
    }
}

void DrawTdrView(core::Program& p) {
    DrawTdrAxes(p);
    if (p.tdr.points > 0) {
        DrawTdrTrace(p, TdrTraceColor(p.st, p.tdr.colorIndex));
    }
}

bool TdrValuesAt(const core::Program& p, int x, core::CursorValues& v) {
    const core::TdrTrace& t = p.tdr;
    const GraphBox& b = p.display.g.box;
    if (t.points <= 0 || t.tableCount < 3 || b.right <= b.left) {
        return false;
    }
    v = core::CursorValues{};
    v.distance = p.st.tdrMaxDist * (x - b.left) / (b.right - b.left);
    for (int k = 1; k + 1 < t.tableCount; ++k) {
        const int x1 = t.tableX[static_cast<std::size_t>(k)];
        const int x2 = t.tableX[static_cast<std::size_t>(k + 1)];
        if (x >= x1 && x <= x2) {
            const double z1 = t.tableZ[static_cast<std::size_t>(k)];
            const double z2 = t.tableZ[static_cast<std::size_t>(k + 1)];
            v.tdrZ = x2 > x1 ? z1 + (z2 - z1) * (x - x1) / (x2 - x1) : z1;
            return true;
        }
    }
    return false;
}

std::vector<ReadoutLine> TdrReadoutLines(const core::Program& p, const core::CursorValues& v) {
    const AppState& st = p.st;
    const bool metres = st.tdrMetres != 0;
    std::vector<ReadoutLine> l;
    const auto add = [&](std::string text, core::Rgb color, bool group = false) {
        l.push_back({std::move(text), color, group});
    };
    add("DISTANCE =" +
            (metres ? Fixed(v.distance * FeetToMetres, 2) + " m   " : Fixed(v.distance, 2) + " ft  "),
        st.RedColor, true);
    add("Z_Line = " + Fixed(v.tdrZ, 2), st.Green);
    add("Refl coef = " + Fixed((v.tdrZ - st.tdrZref) / (v.tdrZ + st.tdrZref), 3), 0);
    std::string zref = "Zref = " + core::FormatPicture("####.###", st.Zo);
    if (std::fabs(st.Z0imag) > 0.00001) {
        zref += (st.Z0imag < 0 ? " - j" : " + j") + Fixed(std::fabs(st.Z0imag), 3);
    }
    add(zref, 0, true);
    add("VF = " + Fixed(st.VF, 3), 0);
    const int d = st.feetPerIndex > 3.1 ? 1 : 2;
    add("Resolution = " +
            (metres ? Fixed(st.feetPerIndex * 0.1524, d) + " m" : Fixed(st.feetPerIndex / 2, d) + " ft"),
        0, true);
    if (p.tdr.points == 512) {
        add("High resolution", 0);
    }
    return l;
}

std::vector<std::string> TdrCursorDataLines(const core::Program& p) {
    const core::CursorState& cur = p.display.cursor;
    const double unit = p.st.tdrMetres ? FeetToMetres : 1;
    const double zref = p.st.tdrZref;
    const auto row = [&](int i) {
        const core::FrozenCursor& f = cur.frozen[static_cast<std::size_t>(i)];
        const std::string n = std::to_string(i + 1);
        std::string s = " Distance" + n + " = ";
        if (!f.set) {
            return s;
        }
        const double z = f.values.tdrZ;
        s += Fixed(f.values.distance * unit, 2);
        s.resize(std::max<std::size_t>(s.size(), 24), ' ');
        return s + "  Z" + n + "= " + core::FormatPicture("####.##", z) + "   " + "  Rho" + n + "= " +
               core::FormatPicture("#.###", (z - zref) / (z + zref));
    };
    std::vector<std::string> l = {row(1), row(0)};
    if (cur.frozen[0].set && cur.frozen[1].set) {
        const core::CursorValues& a = cur.frozen[0].values;
        const core::CursorValues& b = cur.frozen[1].values;
        l.push_back("     Del_Z = " + Fixed(b.tdrZ - a.tdrZ, 2) +
                    " Del_DX = " + Fixed((b.distance - a.distance) * unit, 2));
    } else {
        l.push_back("     Del_Z =  Del_DX = ");
    }
    return l;
}

} // namespace vna::display
