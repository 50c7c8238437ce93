#include "display/cursor.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/markers.h"
#include "display/tdr_view.h"
#include "platform/canvas.h"

namespace vna::display {

using core::AppState;
using core::CursorValues;
using platform::Canvas;
using platform::MakeRgb;

namespace {

constexpr double Pi = 3.141592653589793;
constexpr double Degrees = 180 / Pi;
constexpr platform::Rgb Background = MakeRgb(255, 255, 255);
constexpr platform::Rgb CursorColor = MakeRgb(19, 19, 247);
constexpr platform::Rgb FrozenColor = MakeRgb(0, 0, 255);
constexpr platform::Rgb ChartMarkColor = MakeRgb(255, 255, 0);

std::string Pic(const char* picture, double v) {
    return core::FormatPicture(picture, v);
}

// Decimals of the step as the user typed it: the shortest text that gives it back, at most 6.
int StepDecimals(double step) {
    for (int d = 0; d <= 6; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, std::fabs(scaled))) {
            return d;
        }
    }
    return 6;
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// "Cs = " or "Ls = " for a reactance x at fc MHz, as the read-out and Cp / Lp show them.
std::string ReactanceLine(bool capacitive, double x, double fc, const char* c, const char* l) {
    const double w = 2 * Pi * fc;
    if (capacitive) {
        const double pf = x != 0 ? -1e6 / (w * x) : 0;
        if (pf >= 1700) {
            return std::string(c) + Pic("###.##### ", pf / 1e6) + " uF               ";
        }
        return std::string(c) + Pic("####.### ", pf) + " pF               ";
    }
    const double uh = x / w;
    if (uh < 0.85) {
        return std::string(l) + Pic("####.#### ", uh * 1000) + " nH";
    }
    return std::string(l) + Pic("####.#### ", uh) + "uH";
}

std::string DelayText(const char* head, double seconds) {
    if (std::fabs(seconds) < 1e-6) {
        return head + Fixed(seconds * 1e9, 3) + " ns";
    }
    if (std::fabs(seconds) < 0.001) {
        return head + Fixed(seconds * 1e6, 3) + " us";
    }
    return head + Fixed(seconds, 6) + " sec";
}

void XorLine(Canvas& c, const core::GraphBox& b, int x, platform::Rgb color) {
    c.setRasterOp(platform::RasterOp::Xor);
    c.setPen(color ^ Background, 1, platform::PenStyle::Solid);
    c.moveTo(x, b.top);
    c.lineTo(x, b.bottom);
    c.setRasterOp(platform::RasterOp::Copy);
    c.setPen(0, 1, platform::PenStyle::Solid);
}

void PrintReadout(core::Program& p, Canvas& c, const std::vector<ReadoutLine>& lines) {
    const core::GraphGeometry& g = p.display.g;
    c.setFont("courier", p.st.graphFontSize, 400);
    const int courierH = c.textExtent("X").height;
    const int x = g.statusX + 5;
    int y = g.box.top + 5 * (courierH + 8) + 15;
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(g.statusX + 1, y, c.width(), g.box.bottom + 1, Background);
    c.setFont("arial", p.st.graphFontSize, 400);
    c.setTextBackground(false, 0);
    for (const ReadoutLine& l : lines) {
        if (l.newGroup) {
            y += 10;
        }
        if (y + g.lineH > g.box.bottom) {
            break;
        }
        c.setTextColor(l.color);
        c.text(x, y, l.text);
        y += g.lineH + 2;
    }
}

// The small yellow mark of point `index` on every open chart, the previous one erased.
void MarkChartPoints(core::Program& p, int index) {
    for (int k = 0; k < core::ChartKinds; ++k) {
        const auto& w = p.charts.window[static_cast<std::size_t>(k)];
        int& mark = p.display.cursor.chartMark[static_cast<std::size_t>(k)];
        if (!w || !w->isOpen()) {
            mark = -1;
            continue;
        }
        const core::ChartPoints& cp = p.chartPoints.chart[static_cast<std::size_t>(k)];
        Canvas& c = w->canvas();
        const auto draw = [&](int i) {
            if (i < 0 || i >= cp.count || cp.x[static_cast<std::size_t>(i)] == core::ChartOffChart) {
                return;
            }
            const int px = cp.x[static_cast<std::size_t>(i)];
            const int py = cp.y[static_cast<std::size_t>(i)];
            c.setRasterOp(platform::RasterOp::Xor);
            c.setPen(Background, 1, platform::PenStyle::Solid);
            c.setBrush(ChartMarkColor ^ Background);
            c.ellipse(px - 4, py - 4, px + 4, py + 4);
            c.setRasterOp(platform::RasterOp::Copy);
            c.setNullBrush();
        };
        draw(mark);
        mark = index < cp.count ? index : -1;
        draw(mark);
        c.flush();
    }
}

// The cursor's line from where it stands (when shown) to pixel x, drawn in XOR.
void MoveCursorLine(Canvas& c, const core::GraphBox& b, core::CursorState& cur, int x) {
    if (cur.lineShown) {
        XorLine(c, b, cur.lineX + 1, CursorColor);
    }
    XorLine(c, b, x + 1, CursorColor);
    cur.lineShown = true;
    cur.lineX = x;
}

// The TDR view: the cursor at pixel x with the distance and the line impedance there.
void ShowTdrCursorAt(core::Program& p, int x) {
    core::CursorState& cur = p.display.cursor;
    CursorValues v;
    if (!TdrValuesAt(p, x, v)) {
        return;
    }
    cur.valid = true;
    cur.x = x;
    cur.values = v;
    Canvas* c = p.ui.mainCanvas();
    if (c) {
        MoveCursorLine(*c, p.display.g.box, cur, x);
        PrintReadout(p, *c, TdrReadoutLines(p, v));
        c->flush();
    }
}

// Moves the cursor to frequency fc at pixel x and shows what lies there.
void ShowCursorAt(core::Program& p, int x, double fc) {
    core::CursorState& cur = p.display.cursor;
    int index = 0;
    double df = 0;
    CursorValues v;
    if (!CursorValuesAt(p, fc, v, index, df)) {
        return;
    }
    cur.valid = true;
    cur.x = x;
    cur.index = index;
    cur.df = df;
    cur.values = v;
    p.st.cursorFreq = fc;
    Canvas* c = p.ui.mainCanvas();
    if (c) {
        MoveCursorLine(*c, p.display.g.box, cur, x);
        if (!p.st.TdrActive) {
            PrintReadout(p, *c, CursorReadoutLines(p, v));
        }
        c->flush();
    }
    if (!p.st.PortB_on) {
        MarkChartPoints(p, index);
    }
}

void DrawCursorData(core::Program& p) {
    auto& w = p.charts.cursorData;
    if (!w || !w->isOpen()) {
        return;
    }
    Canvas& c = w->canvas();
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(0, 0, c.width(), c.height(), Background);
    c.setFont("courier", p.st.graphFontSize, 400);
    c.setTextBackground(false, 0);
    const std::vector<std::string> lines = CursorDataLines(p);
    int y = 5;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        c.setTextColor(k == 3 ? p.st.Magenta : 0);
        c.text(5, y, lines[k]);
        y += 22;
    }
    c.flush();
}

} // namespace

bool CursorValuesAt(const core::Program& p, double fc, CursorValues& v, int& index, double& df) {
    const AppState& st = p.st;
    const bool portB = st.PortB_on != 0;
    const ScanGrid g = GridOfPort(st, portB);
    if (g.count < 1 || !(g.step > 0)) {
        return false;
    }
    const double pos = std::floor((fc - g.start) / g.step);
    if (!(pos >= 0)) {
        return false;
    }
    index = static_cast<int>(std::min(pos, static_cast<double>(g.count - 1)));
    df = fc - (g.start + index * g.step);
    GridPlace at;
    at.i = index;
    at.frac = index >= g.count - 1 ? 0 : std::clamp(df / g.step, 0.0, 1.0);
    const core::ScanArrays& s = p.scan;
    v = CursorValues{};
    v.freq = fc;
    if (!portB) {
        v.swr = InterpolateValue(s.scan_swr, g, at);
        v.zmag = InterpolateValue(s.scan_zmag, g, at);
        v.phase = InterpolatePhase(s.scan_phase, g, at, 2 * Pi) * Degrees;
        v.rs = v.zmag * std::cos(v.phase / Degrees);
        if (v.rs == 0) {
            v.rs = 1e-6;
        }
        v.xs = v.zmag * std::sin(v.phase / Degrees);
        const double rho = (v.swr - 1) / (v.swr + 1);
        v.returnLoss = rho > 0 ? -20 * std::log10(rho) : 99;
    } else {
        v.s21db = InterpolateValue(s.s21_db, g, at);
        v.s21phase = InterpolatePhase(s.s21_phase, g, at, 2 * Pi) * Degrees;
        v.s11db = InterpolateValue(s.s11_db, g, at);
        v.s11phase = InterpolatePhase(s.s11_phase, g, at, 2 * Pi) * Degrees;
        v.insertionLoss = InterpolateValue(s.insertion_loss, g, at);
        v.delayNs = InterpolateValue(s.group_delay, g, at);
    }
    return true;
}

std::vector<ReadoutLine> CursorReadoutLines(const core::Program& p, const CursorValues& v) {
    const AppState& st = p.st;
    std::vector<ReadoutLine> l;
    const auto add = [&](std::string text, core::Rgb color, bool group = false) {
        l.push_back({std::move(text), color, group});
    };
    const int d = std::min(StepDecimals(st.delta_freq) + 3, 6);
    add("Driver Amplitude =" + core::NumText(st.DDS_Amplitude, 1) + "% ", st.Green);
    add("Freq =" + Fixed(v.freq, d), st.RedColor, true);
    add("Freq Step =" + core::NumText(st.delta_freq, StepDecimals(st.delta_freq)), 0);
    if (st.PortB_on) {
        add(DelayText("Delay Offset = ", st.PortB_Delay), 0, true);
        if (st.plots21) {
            add("S21_mag= " + Fixed(v.s21db, 3) + " dB", st.RedColor, true);
            add("S21_mag Ratio= " + Fixed(std::pow(10.0, v.s21db / 20), 5), 0);
        }
        add("S21_phase= " + Fixed(v.s21phase, 2), st.plot_phaseS21 ? st.Magenta : 0);
        if (st.plot_s11) {
            add("S11_mag= " + Fixed(v.s11db, 3) + " dB", 0, true);
            add("S11_mag Ratio= " + Fixed(std::pow(10.0, v.s11db / 20), 5), 0);
            add("S11_phase= " + Fixed(v.s11phase, 2), 0);
        }
        if (st.plotInsertionLoss) {
            add("Insertion Loss= " + Fixed(v.insertionLoss, 3) + " dB", 0, true);
        }
        const double ns = v.delayNs;
        add(std::fabs(ns) > 1e6    ? "Delay = " + Fixed(ns / 1e6, 3) + " ms"
            : std::fabs(ns) > 1000 ? "Delay = " + Fixed(ns / 1000, 3) + " us"
                                   : "Delay = " + Fixed(ns, 3) + " ns",
            0, true);
        add("Channel = " + std::to_string(st.MuxChannel), 0);
        return l;
    }
    add(v.swr >= 1000 ? "SWR  =  >1000      " : "SWR  = " + Pic("###.###              ", v.swr), st.RedColor,
        true);
    add("Zmag = " + Pic("####.###              ", v.zmag), st.Green);
    add("Phase = " + Pic("####.###              ", v.phase), st.Magenta);
    const double rho = (v.swr - 1) / (v.swr + 1);
    add("% refl power = " + Pic("##.#              ", 100 * rho * rho), 0);
    if (st.plot_rt) {
        add("Return Loss= " + Pic("##.##", v.returnLoss) + " dB               ", st.Blue, true);
        add("Short/Open Circuit:", st.RedColor);
        add("  Cable Loss= " + Pic("##.##", v.returnLoss / 2) + " dB               ", 0);
    }
    add("Equivalent Circuit:", st.Green, true);
    add("Rs = " + Pic("####.###              ", v.rs), 0);
    add("Xs = " + Pic("####.###              ", v.xs), 0);
    const double q = std::fabs(v.xs / v.rs);
    add(q > 1000 ? "Q > 1000    " : "Q = " + Fixed(q, q > 100 ? 0 : 1), 0);
    add(ReactanceLine(v.phase < 0, v.xs, v.freq, "Cs = ", "Ls = "), 0);
    if (st.WinHeight > 550) {
        const double z2 = v.zmag * v.zmag;
        const double rp = z2 / v.rs;
        add(rp >= 100001 ? "Rp > 100,000      " : "Rp = " + Pic("######.###   ", rp), 0, true);
        const double xp = v.xs != 0 ? z2 / v.xs : 1e9;
        if (std::fabs(xp) >= 100001) {
            add(xp > 0 ? "Xp > 100K         " : "Xp < -100K      ", 0);
        } else {
            add("Xp = " + Pic("######.###   ", xp), 0);
            add(ReactanceLine(xp < 0, xp, v.freq, "Cp = ", "Lp = "), 0);
        }
    }
    return l;
}

double CursorFreqAtX(const core::Program& p, int x) {
    const core::GraphGeometry& g = p.display.g;
    const double fc = (x - g.box.left) / g.pxPerMHz + g.axis.plotStart;
    return std::min(fc, p.st.fullscan ? g.axis.plotStop : p.st.end_freq);
}

void CursorToMouse(core::Program& p, int x, int y) {
    const core::GraphBox& b = p.display.g.box;
    if (x < b.left || x > b.right || y < b.top || y > b.bottom) {
        return;
    }
    if (p.st.TdrActive) {
        ShowTdrCursorAt(p, x);
        return;
    }
    ShowCursorAt(p, x, CursorFreqAtX(p, x));
}

void CursorToChartPoint(core::Program& p, int index) {
    if (p.st.TdrActive) {
        return;
    }
    const ScanGrid g = GridOfPort(p.st, p.st.PortB_on != 0);
    if (index < 0 || index >= g.count) {
        return;
    }
    const double f = g.start + index * g.step;
    ShowCursorAt(p, FreqToX(p.display.g, f), f);
}

void CursorStep(core::Program& p, int direction) {
    const core::CursorState& cur = p.display.cursor;
    if (p.st.TdrActive) {
        // One pixel at a time along the distance axis.
        if (cur.valid) {
            CursorToMouse(p, cur.x + direction, p.display.g.box.top);
        }
        return;
    }
    const ScanGrid g = GridOfPort(p.st, p.st.PortB_on != 0);
    if (g.count < 1) {
        return;
    }
    // From a cursor between two points, left goes to the point below it.
    int index = cur.valid ? cur.index : 0;
    if (direction > 0 || !(cur.valid && cur.df > 1e-9)) {
        index += direction;
    }
    CursorToChartPoint(p, std::clamp(index, 0, g.count - 1));
}

void SelectCursor(core::Program& p, int cursor) {
    core::CursorState& cur = p.display.cursor;
    if (cursor < 1 || cursor > 2 || !cur.valid) {
        return;
    }
    core::FrozenCursor& f = cur.frozen[static_cast<std::size_t>(cursor - 1)];
    Canvas* c = p.ui.mainCanvas();
    if (c && f.lineShown) {
        XorLine(*c, p.display.g.box, f.x + 1, FrozenColor);
        f.lineShown = false;
    }
    f.set = true;
    f.x = cur.x;
    f.values = cur.values;
    if (c) {
        XorLine(*c, p.display.g.box, f.x + 1, FrozenColor);
        f.lineShown = true;
        c->flush();
    }
    auto& w = p.charts.cursorData;
    if (!w || !w->isOpen()) {
        platform::ChartWindowSpec spec;
        spec.title = "Cursor Data";
        spec.x = 0;
        spec.y = std::max(0, p.st.WinHeight - 2 * p.display.g.textH100 - 105);
        spec.width = p.st.TdrActive ? 466 : 700;
        spec.height = 150;
        w = p.ui.openChartWindow(spec);
        if (!w) {
            return;
        }
        platform::ChartWindow* raw = w.get();
        raw->setEventHandler([raw](const platform::Event& e) {
            if (e.type == platform::EventType::KeyDown && e.key == 'P') {
                raw->print();
            }
        });
    }
    DrawCursorData(p);
}

std::vector<std::string> CursorDataLines(const core::Program& p) {
    if (p.st.TdrActive) {
        return TdrCursorDataLines(p);
    }
    const core::CursorState& cur = p.display.cursor;
    const CursorValues& c1 = cur.frozen[0].values;
    const CursorValues& c2 = cur.frozen[1].values;
    const auto columns = [](const std::vector<std::string>& cells) {
        std::string s;
        for (const std::string& cell : cells) {
            std::string padded = cell;
            padded.resize(std::max<std::size_t>(padded.size(), 12), ' ');
            s += padded;
        }
        return s;
    };
    const auto values = [&](const CursorValues& v, bool set) {
        if (!set) {
            return columns({"", "", "", "", "", ""});
        }
        return columns({Fixed(v.swr, 3), Fixed(v.zmag, 3), Fixed(v.phase, 3), Fixed(v.rs, 3), Fixed(v.xs, 3),
                        Fixed(v.returnLoss, 3)});
    };
    const auto label = [](std::string s) {
        s.resize(std::max<std::size_t>(s.size(), 28), ' ');
        return s;
    };
    std::vector<std::string> l;
    l.push_back(label(" FREQ") + columns({" SWR", " Zmag", " Phase", " Rs", " Xs", " RL(dB)"}));
    l.push_back(label(" Freq2 = " + (cur.frozen[1].set ? Fixed(c2.freq, 6) : std::string())) +
                values(c2, cur.frozen[1].set));
    l.push_back(label(" Freq1 = " + (cur.frozen[0].set ? Fixed(c1.freq, 6) : std::string())) +
                values(c1, cur.frozen[0].set));
    const bool both = cur.frozen[0].set && cur.frozen[1].set;
    l.push_back(" Delta = " + (both ? Fixed(c2.freq - c1.freq, 6) : std::string()));
    return l;
}

} // namespace vna::display
