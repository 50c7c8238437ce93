#include "display/markers.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "platform/canvas.h"

namespace vna::display {

using core::AppState;
using core::Marker;
using core::MarkerSlots;

namespace {

constexpr double FreeFrom = 999;
constexpr double NearDuplicate = 0.0001;
constexpr int MaxSortPasses = 1000;
constexpr platform::Rgb MarkerLineColor = platform::MakeRgb(0, 240, 240);
constexpr platform::Rgb Background = platform::MakeRgb(255, 255, 255);

Marker& Slot(AppState& st, int k) {
    return st.markers.slot[static_cast<std::size_t>(k)];
}
const Marker& Slot(const AppState& st, int k) {
    return st.markers.slot[static_cast<std::size_t>(k)];
}

void FreeSlot(Marker& m) {
    m.fill(0);
    m[0] = core::MarkerCleared;
}

// A number as the window writes it: the number rule with 4 decimals, without its leading blank.
std::string Plain(double v) {
    std::string s = core::NumText(v, 4);
    return s.size() > 1 && s[0] == ' ' ? s.substr(1) : s;
}

double Limit(double v, double most) {
    return std::isfinite(v) ? std::clamp(v, -most, most) : (v > 0 ? most : (v < 0 ? -most : 0));
}

} // namespace

bool MarkerIsSet(const Marker& m) {
    return m[0] > 0.001 && m[0] < FreeFrom;
}

void ClearMarkerTable(AppState& st) {
    for (int k = 1; k <= MarkerSlots; ++k) {
        FreeSlot(Slot(st, k));
    }
    st.markers.markerNext = 1;
    st.markers.markerCount = 0;
}

void AfterMarkerCommand(AppState& st) {
    core::RecountMarkers(st);
    st.markers.markerNext = st.markers.markerCount + 1 > MarkerSlots ? 0 : st.markers.markerCount + 1;
}

bool SortMarkers(AppState& st) {
    // A damaged table (a NaN frequency) must not keep the passes going: it sorts as free.
    const auto key = [](const Marker& m) { return std::isnan(m[0]) ? core::MarkerCleared : m[0]; };
    bool sorted = false;
    for (int pass = 0; pass < MaxSortPasses && !sorted; ++pass) {
        sorted = true;
        for (int k = 1; k < MarkerSlots; ++k) {
            if (key(Slot(st, k)) > key(Slot(st, k + 1))) {
                std::swap(Slot(st, k), Slot(st, k + 1));
                sorted = false;
            }
        }
    }
    st.markers.markerNext = 1;
    for (int k = 1; k <= MarkerSlots; ++k) {
        if (key(Slot(st, k)) >= 9000) {
            st.markers.markerNext = k;
            break;
        }
    }
    return sorted;
}

bool InsertMarker(AppState& st, double mhz) {
    for (int k = 1; k <= MarkerSlots; ++k) {
        if (std::fabs(Slot(st, k)[0] - mhz) < NearDuplicate) {
            return false;
        }
    }
    int& next = st.markers.markerNext;
    if (next < 1 || next > MarkerSlots) {
        next = 1;
    }
    Marker& m = Slot(st, next);
    m.fill(0);
    m[0] = mhz;
    next = next >= MarkerSlots ? 1 : next + 1;
    return true;
}

void RemoveMarker(AppState& st, double mhz) {
    const double rounded = std::round(mhz / 0.005) * 0.005;
    if (rounded > 0.005) {
        int nearest = 0;
        double best = 0;
        for (int k = 1; k <= MarkerSlots; ++k) {
            const Marker& m = Slot(st, k);
            if (!MarkerIsSet(m)) {
                continue;
            }
            const double d = std::fabs(m[0] - rounded);
            if (nearest == 0 || d <= best) {
                nearest = k;
                best = d;
            }
        }
        if (nearest != 0) {
            FreeSlot(Slot(st, nearest));
        }
        return;
    }
    const int next = st.markers.markerNext;
    if (next >= 1 && next <= MarkerSlots) {
        FreeSlot(Slot(st, next));
    }
}

double RoundMarkerFreq(double mhz, double span) {
    const double per = span > 0.05 ? 200 : 500;
    return std::round(mhz * per) / per;
}

double MarkerFreqAtX(const core::Program& p, int x) {
    const core::GraphGeometry& g = p.display.g;
    const double f = (x - g.box.left) / g.pxPerMHz + g.axis.plotStart;
    return RoundMarkerFreq(f, g.axis.plotStop - g.axis.plotStart);
}

std::optional<double> ParseMarkerFreq(std::string_view text, double maxMhz) {
    std::size_t used = 0;
    const double v = core::TextToNumber(text, used);
    if (used == 0 || !std::isfinite(v)) {
        return std::nullopt;
    }
    std::string rest(text.substr(used));
    rest.erase(0, rest.find_first_not_of(" \t"));
    const auto end = rest.find_last_not_of(" \t");
    rest = end == std::string::npos ? std::string() : rest.substr(0, end + 1);
    double scale = 1;
    if (!rest.empty()) {
        const char unit = rest[0];
        const std::string after = rest.substr(1);
        if (after != "" && after != "Hz" && after != "hz" && after != "HZ") {
            return std::nullopt;
        }
        if (unit == 'k' || unit == 'K') {
            scale = 0.001;
        } else if (unit == 'g' || unit == 'G') {
            scale = 1000;
        } else if (unit != 'm' && unit != 'M') {
            return std::nullopt;
        }
    }
    const double mhz = v * scale;
    if (!(mhz > 0) || mhz > maxMhz) {
        return std::nullopt;
    }
    return mhz;
}

Impedance RotateImpedance(double rs, double xs, double z0re, double z0im, double degrees) {
    using C = std::complex<double>;
    const C z(rs, xs);
    const C z0(z0re, z0im);
    const C gamma = (z - z0) / (z + z0);
    const double angle = 2 * degrees * 3.141592653589793 / 180;
    const C turned = gamma * C(std::cos(angle), std::sin(angle));
    const C zr = z0 * (1.0 + turned) / (1.0 - turned);
    Impedance out;
    out.rs = std::max(zr.real(), 0.00001);
    out.xs = zr.imag();
    out.phase = std::atan(out.xs / out.rs);
    return out;
}

ScanGrid GridOfPort(const AppState& st, bool portB) {
    const core::ScanSettings& s = portB ? st.scanSettingsB : st.scanSettingsA;
    ScanGrid g;
    if (s.recorded) {
        g.start = s.start;
        g.step = s.step;
        g.count = s.last + 1;
    } else if (static_cast<bool>(st.PortB_on) == portB) {
        g.start = st.start_freq;
        g.step = st.delta_freq;
        g.count = st.last_scan_index + 1;
    }
    g.count = std::clamp(g.count, 0, core::ScanCapacity);
    return g;
}

GridPlace PlaceOnGrid(const ScanGrid& g, double mhz) {
    GridPlace at;
    if (g.count <= 0 || !(g.step > 0)) {
        return at;
    }
    const double pos = (mhz - g.start) / g.step;
    const double i = std::floor(pos);
    if (!(i >= 0)) {
        return at;
    }
    if (i >= g.count - 1) {
        at.i = g.count - 1;
        return at;
    }
    at.i = static_cast<int>(i);
    at.frac = std::clamp(pos - i, 0.0, 1.0);
    return at;
}

double InterpolateValue(const core::ScanArray& a, const ScanGrid& g, const GridPlace& at) {
    const auto i = static_cast<std::size_t>(at.i);
    const auto j = static_cast<std::size_t>(std::min(at.i + 1, std::max(g.count - 1, 0)));
    return a[i] + (a[j] - a[i]) * at.frac;
}

double InterpolatePhase(const core::ScanArray& a, const ScanGrid& g, const GridPlace& at, double fullTurn) {
    const auto i = static_cast<std::size_t>(at.i);
    const auto j = static_cast<std::size_t>(std::min(at.i + 1, std::max(g.count - 1, 0)));
    if (std::fabs(a[j] - a[i]) >= fullTurn * 170 / 360) {
        return a[i];
    }
    return a[i] + (a[j] - a[i]) * at.frac;
}

void CompleteMarkerA(const AppState& st, Marker& m) {
    const std::complex<double> z(m[1], m[2]);
    const std::complex<double> z0(st.Zo, st.Z0imag);
    m[3] = std::abs(z);
    m[4] = std::atan2(m[2], m[1]);
    const std::complex<double> sum = z + z0;
    const double rho = std::abs(sum) > 0 ? std::abs((z - z0) / sum) : 1;
    m[5] = rho >= 0.999999 ? 999 : std::min((1 + rho) / (1 - rho), 999.0);
    m[6] = rho > 0 ? -20 * std::log10(rho) : 99;
}

bool MarkerFromScanA(const core::Program& p, double mhz, Marker& m) {
    const ScanGrid g = GridOfPort(p.st, false);
    if (g.count < 1 || !(mhz >= g.start - 1e-9) || !(mhz <= g.stop() + 1e-9)) {
        return false;
    }
    const GridPlace at = PlaceOnGrid(g, mhz);
    const double zmag = InterpolateValue(p.scan.scan_zmag, g, at);
    const double phase = InterpolatePhase(p.scan.scan_phase, g, at, 2 * 3.141592653589793);
    m[1] = zmag * std::cos(phase);
    m[2] = zmag * std::sin(phase);
    CompleteMarkerA(p.st, m);
    // The phase of the scan, not the one Rs and Xs give back: a huge |Z| loses its angle there.
    m[4] = phase;
    return true;
}

bool MarkerFromScanB(const core::Program& p, double mhz, Marker& m) {
    const ScanGrid g = GridOfPort(p.st, true);
    if (g.count < 1 || !(mhz >= g.start - 1e-9) || !(mhz <= g.stop() + 1e-9)) {
        return false;
    }
    const GridPlace at = PlaceOnGrid(g, mhz);
    m[9] = InterpolateValue(p.scan.s21_db, g, at);
    m[10] = InterpolatePhase(p.scan.s21_phase, g, at, 2 * 3.141592653589793);
    return true;
}

Marker RotatedMarker(const AppState& st, const Marker& m) {
    Marker out = m;
    if (std::fabs(st.markers.markerRotation) > 0.0001) {
        const Impedance z = RotateImpedance(m[1], m[2], st.Z0real, st.Z0imag, st.markers.markerRotation);
        out[1] = z.rs;
        out[2] = z.xs;
        out[3] = std::hypot(z.rs, z.xs);
        out[4] = z.phase;
    }
    return out;
}

std::vector<std::string> MarkerWindowHeader(const core::Program& p, bool portB) {
    const AppState& st = p.st;
    std::vector<std::string> lines;
    lines.push_back(portB ? st.scanStampB : st.scanStampA);
    if (!portB && std::fabs(st.markers.markerRotation) > 0.0001) {
        lines.push_back("  ***  Marker Data is Rotated by  " + Plain(st.markers.markerRotation) +
                        " deg ***  ");
    }
    lines.push_back("Reference Z =" + core::NumText(st.Zo, 4) + "  + j" + core::NumText(st.Z0imag, 4));
    return lines;
}

std::string MarkerWindowHeading(const AppState& st, bool portB) {
    if (portB) {
        return "Marker     Freq         S21 (dB)      S21_phase     ";
    }
    return st.plot_rpA
               ? "Marker     Freq         SWR                                 Rp                Xp          "
                 "     Zmag              Phase"
               : "Marker     Freq         SWR                                 Rs                Xs          "
                 "     Zmag              Phase";
}

MarkerRowText MarkerRow(const AppState& st, int slot, bool portB) {
    const Marker& m = Slot(st, slot);
    const std::string label =
        slot < 10 ? " [ " + std::to_string(slot) + "]" : "[" + std::to_string(slot) + "]";
    MarkerRowText row;
    if (portB) {
        row.first = core::FormatPicture("  &  ###.######     ##.####        ####.## ",
                                        {label, m[0], m[9], m[10] * MarkerDegrees});
        return row;
    }
    row.swr = std::min(m[5], 99.0);
    row.first = core::FormatPicture("  &  ###.######   ##.####   ", {label, m[0], row.swr});
    double a = m[1];
    double b = m[2];
    const double zmag = std::hypot(m[1], m[2]);
    if (st.plot_rpA) {
        a = m[1] != 0 ? zmag * zmag / m[1] : 99999;
        b = m[2] != 0 ? zmag * zmag / m[2] : 99999;
    }
    const double phase = zmag > 99999 ? 0 : m[4] * MarkerDegrees;
    row.second =
        core::FormatPicture(" ######.###     ######.###       ######.###         ######.###             ",
                            {Limit(a, 99999), Limit(b, 99999), Limit(zmag, 99999), phase});
    return row;
}

int SwrBarLength(double swr) {
    if (!(swr > 0)) {
        return 2;
    }
    const int n = core::Nint(std::log10(swr) * 50 / std::log10(5.0));
    if (n < 1) {
        return 2;
    }
    return std::min(n, 50);
}

bool MarkerWithin(const AppState& st, int slot, double start, double stop) {
    const double f = Slot(st, slot)[0];
    return MarkerIsSet(Slot(st, slot)) && f >= start - 1e-9 && f <= stop + 1e-9;
}

void DrawMarkers(core::Program& p) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const AppState& st = p.st;
    const core::GraphGeometry& g = p.display.g;
    const core::GraphBox& b = g.box;
    const bool showing = !p.display.plot.markerLinesShown;
    for (int k = 1; k <= MarkerSlots; ++k) {
        const double f = Slot(st, k)[0];
        if (!(f < 9000)) {
            continue;
        }
        const double xf = b.left + (f - g.axis.plotStart) * g.pxPerMHz;
        if (!(xf > b.left && xf < b.right)) {
            continue;
        }
        const int x = core::Nint(xf);
        c->setRasterOp(platform::RasterOp::Xor);
        // XOR with the complement of the colour on white gives the colour, and a second drawing
        // gives white back.
        c->setPen(MarkerLineColor ^ Background, 1, platform::PenStyle::Dash);
        c->moveTo(x, b.top);
        c->lineTo(x, b.bottom);
        c->setRasterOp(platform::RasterOp::Copy);
        c->setFont("arial", st.graphFontSize + 1, 700);
        c->setTextBackground(false, 0);
        c->setTextColor(showing ? st.RedColor : Background);
        c->text(x - 7, b.top + 3, std::to_string(k));
    }
    c->setPen(0, 1, platform::PenStyle::Solid);
    p.display.plot.markerLinesShown = showing;
    c->flush();
}

} // namespace vna::display
