#include "display/rulers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "platform/canvas.h"

namespace vna::display {

using core::ScanArray;

namespace {

double At(const ScanArray& a, int i) {
    return a[static_cast<std::size_t>(i)];
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A setting as the messages print it: the number rule without its leading blank.
std::string Plain(double v, int decimals) {
    std::string s = core::NumText(v, decimals);
    return s.size() > 1 && s[0] == ' ' ? s.substr(1) : s;
}

// The part of a step from point i towards the neighbour n where the trace meets `level`.
double Fraction(double atI, double atN, double level) {
    const double d = atN - atI;
    return d != 0 ? (level - atI) / d : 0;
}

// "F1 = ..." in MHz with 6 decimals when the upper frequency is 1 MHz or more, else in kHz.
std::string FreqText(double mhz, bool inMhz) {
    return inMhz ? Fixed(mhz, 6) : Fixed(mhz * 1000, 3);
}

std::string RulerText(int ruler, const Crossings& c, double level) {
    const bool mhz = c.fHigh >= 1;
    const std::string unit = mhz ? " MHz" : " KHz";
    const std::string lo = ruler == 1 ? "F1" : "F3";
    const std::string hi = ruler == 1 ? "F2" : "F4";
    const double bw = std::fabs(c.fHigh - c.fLow);
    const bool bwMhz = bw >= 1;
    return "Ruler " + std::to_string(ruler) + " data:\r\n" + "  " + lo + " = " + FreqText(c.fLow, mhz) +
           " ----- Center = " + FreqText((c.fLow + c.fHigh) / 2, mhz) + " ----- " + hi + " = " +
           FreqText(c.fHigh, mhz) + unit + "\r\n  Bandwidth (" + Plain(level, 2) +
           "dB)=" + FreqText(bw, bwMhz) + (bwMhz ? " MHz" : " KHz") + " = " + hi + " - " + lo;
}

} // namespace

Crossings FindCrossings(const ScanArray& s21, const ScanGrid& g, int c, double level) {
    Crossings r;
    const int n = g.count;
    if (n < 1 || c < 0 || c >= n) {
        r.status = 1;
        return r;
    }
    // Passband (S21 above the level at the cursor) or notch: step outwards while on the cursor's
    // side of the level.
    const bool passband = At(s21, c) > level;
    const auto inside = [&](int i) { return passband ? At(s21, i) > level : At(s21, i) < level; };
    int i = c;
    while (i > 0 && inside(i)) {
        --i;
    }
    if (inside(i)) {
        // Still on the cursor's side at the first point: the trace never crosses below.
        r.status = 1;
        return r;
    }
    const double lowFrac = i + 1 < n ? Fraction(At(s21, i), At(s21, i + 1), level) : 0;
    r.fLow = g.start + g.step * (i + lowFrac);
    int a = c;
    while (a < n && inside(a)) {
        ++a;
    }
    if (a >= n) {
        r.status = 2;
        return r;
    }
    const double highFrac = a > 0 ? Fraction(At(s21, a), At(s21, a - 1), level) : 0;
    r.fHigh = g.start + g.step * (a - highFrac);
    return r;
}

RulerBandwidthResult RulerBandwidth(const ScanArray& s21, const ScanGrid& g, int c, bool on1, double level1,
                                    bool on2, double level2) {
    RulerBandwidthResult r;
    std::string text;
    const auto search = [&](int k, double level) {
        const Crossings x = FindCrossings(s21, g, c, level);
        r.ruler[static_cast<std::size_t>(k - 1)] = x;
        if (x.status != 0) {
            r.status = x.status + (k == 2 ? 2 : 0);
            r.failures.push_back(
                {"Cursor is not positioned inside the response curve for ruler " + std::to_string(k) + ".",
                 x.status == 1 ? " Lower limit not found" : " Upper limit not found"});
            return false;
        }
        r.found[static_cast<std::size_t>(k - 1)] = true;
        if (!text.empty()) {
            text += "\r\n\r\n";
        }
        text += RulerText(k, x, level);
        return true;
    };
    if (on1 && !search(1, level1)) {
        r.message = {"Bandwidth could not be measured.", " Bandwidth error"};
        return r;
    }
    if (on2) {
        search(2, level2);
    }
    if (r.found[0] && r.found[1]) {
        const Crossings& a = r.ruler[0];
        const Crossings& b = r.ruler[1];
        const double w1 = std::fabs(a.fHigh - a.fLow);
        const double w2 = std::fabs(b.fHigh - b.fLow);
        r.shapeFactor = w1 > 0 ? w2 / w1 : 0;
        if (r.shapeFactor > 0 && r.shapeFactor < 1) {
            r.shapeFactor = 1 / r.shapeFactor;
        }
        r.symmetry = std::fabs(b.fHigh - a.fHigh) >= 1e-6 ? (a.fLow - b.fLow) / (b.fHigh - a.fHigh) : 1;
        text += "\r\n\r\nShape factor = " + Fixed(r.shapeFactor, 3) + " = (F4 - F3)/(F2 - F1)";
        text += "\r\nSymmetry = " + Fixed(r.symmetry, 3) + " = (F1 - F3)/(F4 - F2)";
    }
    r.measured = r.found[0] || r.found[1];
    r.message = r.measured ? Message{text, " Bandwidth Data"}
                           : Message{"Bandwidth could not be measured.", " Bandwidth error"};
    return r;
}

SwrBandwidthResult SwrBandwidth(const ScanArray& swr, const ScanGrid& g, int c, double swrRuler) {
    SwrBandwidthResult r;
    r.ruler = swrRuler < 1.01 ? 2 : swrRuler;
    const double ruler = r.ruler;
    const int n = g.count;
    if (n < 2 || c < 0 || c >= n) {
        r.message = {"There is no scan to measure: the bandwidth needs a Port A scan of at least 2 points.",
                     "Bandwidth"};
        return r;
    }
    if (!(At(swr, c) < ruler)) {
        r.message = {"The SWR at the cursor position must be less than the SWR Ruler value, which is " +
                         Plain(ruler, 2),
                     "Bandwidth"};
        return r;
    }
    std::string note;
    int b = c;
    while (At(swr, b) < ruler && b > 0) {
        --b;
    }
    if (At(swr, b) < ruler) {
        note = "NOTE: SWR at the lowest frequency is still less than the SWR Ruler";
    }
    int l = c;
    while (l < n && At(swr, l) < ruler) {
        ++l;
    }
    if (l >= n) {
        note += std::string(note.empty() ? "" : "\r\n") +
                "NOTE: SWR at the highest frequency is still less than the SWR Ruler";
    }
    if (!note.empty()) {
        r.message = {note + "\r\nChange the start/stop limits and/or the freq step size.", ""};
        return r;
    }
    r.fLow = g.start + g.step * (b + Fraction(At(swr, b), At(swr, b + 1), ruler));
    r.fHigh = g.start + g.step * (l - Fraction(At(swr, l), At(swr, l - 1), ruler));
    int best = b;
    for (int k = b; k < l; ++k) {
        if (At(swr, k) < At(swr, best)) {
            best = k;
        }
    }
    r.minSwr = At(swr, best);
    r.minFreq = g.start + g.step * best;
    r.measured = true;
    r.message = {"Bandwidth = " + Fixed(r.fHigh - r.fLow, 6) + " for SWR less than " + Plain(ruler, 2) +
                     "\r\nLow freq=" + Fixed(r.fLow, 6) + "   High freq=" + Fixed(r.fHigh, 6) +
                     "\r\nMin SWR for this band is: " + Fixed(r.minSwr, 3) + " at " + Fixed(r.minFreq, 6),
                 "Bandwidth"};
    return r;
}

int LowestPoint(const ScanArray& a, const ScanGrid& g) {
    int best = 0;
    for (int i = 1; i < g.count; ++i) {
        if (At(a, i) < At(a, best)) {
            best = i;
        }
    }
    return best;
}

int HighestPoint(const ScanArray& a, const ScanGrid& g) {
    int best = 0;
    for (int i = 1; i < g.count; ++i) {
        if (At(a, i) > At(a, best)) {
            best = i;
        }
    }
    return best;
}

int NearestPoint(const ScanGrid& g, double mhz) {
    if (g.count < 1 || !(g.step > 0)) {
        return 0;
    }
    const double i = std::round((mhz - g.start) / g.step);
    return static_cast<int>(std::clamp(i, 0.0, static_cast<double>(g.count - 1)));
}

namespace {

// The point the bandwidths start from: the cursor's, or the given default before the cursor has
// been on the graph.
int StartPoint(const core::Program& p, int fallback) {
    const core::CursorState& cur = p.display.cursor;
    return cur.valid ? cur.index : fallback;
}

void Circle(platform::Canvas& c, int x, int y, platform::Rgb color, bool filled) {
    c.setPen(color, 1, platform::PenStyle::Solid);
    if (filled) {
        c.setBrush(color);
    } else {
        c.setNullBrush();
    }
    c.ellipse(x - 4, y - 4, x + 4, y + 4);
    c.setNullBrush();
}

} // namespace

void AntennaBandwidth(core::Program& p) {
    core::AppState& st = p.st;
    if (st.PortB_on) {
        p.ui.message("The antenna bandwidth is measured on a Port A scan: switch to Port A first.",
                     "Bandwidth");
        return;
    }
    const ScanGrid g = GridOfPort(st, false);
    const SwrBandwidthResult r =
        SwrBandwidth(p.scan.scan_swr, g, StartPoint(p, LowestPoint(p.scan.scan_swr, g)), st.swr_ruler);
    platform::Canvas* c = p.ui.mainCanvas();
    if (r.measured && c) {
        const core::GraphGeometry& geo = p.display.g;
        const core::GraphBox& b = geo.box;
        const int y = st.swrLog ? core::Nint(geo.centreY - std::log10(r.ruler) * geo.swrFactor)
                                : core::Nint(geo.centreY - (r.ruler - 1) * geo.swrFactor - geo.swrLift);
        c->setRasterOp(platform::RasterOp::Copy);
        for (const double f : {r.fLow, r.fHigh}) {
            const int x = FreqToX(geo, f);
            c->setPen(st.RedColor, 1, platform::PenStyle::Dot);
            c->moveTo(x, b.bottom);
            c->lineTo(x, b.top);
            if (y >= b.top && y <= b.bottom) {
                Circle(*c, x, y, st.RedColor, true);
            }
        }
        c->setPen(0, 1, platform::PenStyle::Solid);
        c->flush();
    }
    p.ui.message(r.message.text, r.message.caption);
    st.CursorDragging = 0;
}

void FilterBandwidth(core::Program& p) {
    core::AppState& st = p.st;
    if (!st.PortB_on) {
        p.ui.message("The filter bandwidth is measured on a Port B scan: switch to Port B first.",
                     " Bandwidth error");
        return;
    }
    const ScanGrid g = GridOfPort(st, true);
    if (g.count < 2) {
        p.ui.message("Bandwidth could not be measured.", " Bandwidth error");
        return;
    }
    const RulerBandwidthResult r =
        RulerBandwidth(p.scan.s21_db, g, StartPoint(p, HighestPoint(p.scan.s21_db, g)), st.ruler1_on != 0,
                       st.ruler_1, st.ruler2_on != 0, st.ruler_2);
    p.display.cursor.crossingStatus = r.status;
    for (const Message& m : r.failures) {
        p.ui.message(m.text, m.caption);
    }
    platform::Canvas* c = p.ui.mainCanvas();
    if (c) {
        const core::GraphGeometry& geo = p.display.g;
        for (int k = 0; k < 2; ++k) {
            if (!r.found[static_cast<std::size_t>(k)]) {
                continue;
            }
            const Crossings& x = r.ruler[static_cast<std::size_t>(k)];
            const double level = k == 0 ? st.ruler_1 : st.ruler_2;
            const platform::Rgb color = k == 0 ? st.RedColor : st.Blue;
            const int y = core::Nint(geo.box.top + geo.divPx * st.Zero_Ref - geo.s21Factor * level);
            int label = 2 * k + 1;
            for (const double f : {x.fLow, x.fHigh}) {
                const int px = FreqToX(geo, f);
                c->setRasterOp(platform::RasterOp::Copy);
                Circle(*c, px, y, color, false);
                c->setFont("arial", st.graphFontSize, 700);
                c->setTextBackground(false, 0);
                c->setTextColor(color);
                c->text(px - 15, y - 15, std::to_string(label++));
            }
        }
        c->flush();
    }
    p.ui.message(r.message.text, r.message.caption);
}

} // namespace vna::display
