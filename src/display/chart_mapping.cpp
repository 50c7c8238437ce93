#include "display/chart_mapping.h"

#include <algorithm>
#include <cmath>

#include "core/app_state.h"
#include "core/freq_axis.h"

namespace vna::display {

using core::NearestEven;

namespace {

constexpr double Pi = 3.141592653589793;
// The largest |Gamma| a pixel is computed for (a passive impedance stays within 1).
constexpr double GammaReach = 2;

Gamma Limited(const Gamma& g) {
    const double m = std::hypot(g.re, g.im);
    if (!(m > GammaReach)) {
        return g;
    }
    return {g.re * GammaReach / m, g.im * GammaReach / m, g.valid};
}

} // namespace

Gamma Reflection(double rs, double xs, double refRe, double refIm) {
    if (!std::isfinite(rs) || !std::isfinite(xs) || !std::isfinite(refRe) || !std::isfinite(refIm)) {
        return {0, 0, false};
    }
    // Scaled by the largest part, so neither the squares nor the products overflow.
    const double s = std::max({std::fabs(rs), std::fabs(xs), std::fabs(refRe), std::fabs(refIm)});
    if (s == 0) {
        return {0, 0, false};
    }
    const double a = (rs - refRe) / s;
    const double b = (xs - refIm) / s;
    const double c = (rs + refRe) / s;
    const double d = (xs + refIm) / s;
    const double den = c * c + d * d;
    if (!(den > 1e-300)) {
        return {0, 0, false};
    }
    return {(a * c + b * d) / den, (b * c - a * d) / den, true};
}

Gamma ReflectionOfPoint(double zmag, double phase, double refRe, double refIm) {
    if (std::isnan(zmag) || !std::isfinite(phase)) {
        return {0, 0, false};
    }
    if (std::isinf(zmag)) {
        return zmag > 0 ? Gamma{1, 0, true} : Gamma{0, 0, false};
    }
    return Reflection(zmag * std::cos(phase), zmag * std::sin(phase), refRe, refIm);
}

SmithGeometry SmithGeometryAtScale(double p, int zoom) {
    SmithGeometry g;
    g.p = std::isfinite(p) && p > 0 ? std::min(p, 100.0) : 0.78;
    g.zoom = std::clamp(zoom, 1, 5);
    g.width = std::max(1, NearestEven(650 * g.p));
    g.height = g.width;
    g.cx = NearestEven(300 * g.p);
    g.cy = NearestEven(260 * g.p);
    g.R = 250 * g.p;
    g.Rz = g.R * g.zoom;
    return g;
}

SmithGeometry SmithChartGeometry(double smithSize, int zoom) {
    const double size = std::isfinite(smithSize) ? std::clamp(std::fabs(smithSize), 0.5, 3.0) : 1.0;
    return SmithGeometryAtScale(0.78 * size, zoom);
}

ChartPixel SmithPixel(const SmithGeometry& g, const Gamma& gamma) {
    const Gamma l = Limited(gamma);
    const int u = NearestEven(g.Rz * l.re);
    const int v = NearestEven(g.Rz * l.im);
    const bool on = gamma.valid && std::sqrt(double(u) * u + double(v) * v) <= g.R;
    return {g.cx + u, g.cy - v, on};
}

ChartPixel SmithPixelRotated(const SmithGeometry& g, const Gamma& gamma, double rotationDegrees) {
    const Gamma l = Limited(gamma);
    const int u = NearestEven(g.Rz * l.re);
    const int v = NearestEven(g.Rz * l.im);
    const double theta = std::isfinite(rotationDegrees) ? -2 * rotationDegrees * Pi / 180 : 0;
    const int ur = NearestEven(u * std::cos(theta) + v * std::sin(theta));
    const int vr = NearestEven(v * std::cos(theta) - u * std::sin(theta));
    return {g.cx + ur, g.cy - vr, gamma.valid};
}

Circle ResistanceCircle(const SmithGeometry& g, double v) {
    const double r = g.Rz / (v + 1);
    return {g.cx + g.Rz - r, double(g.cy), r};
}

Circle ReactanceCircle(const SmithGeometry& g, double v, bool upper) {
    const double r = g.Rz / v;
    return {g.cx + g.Rz, upper ? g.cy - r : g.cy + r, r};
}

double SwrCircleRadius(const SmithGeometry& g, double swr) {
    if (!(swr > 0.9) || !std::isfinite(swr)) {
        return 0;
    }
    const double r = 2.0 * NearestEven(g.Rz / (1 / swr + 1)) - g.Rz;
    return r > 0 ? r : 0;
}

const SmithZoomTable& SmithZoomValues(int zoom) {
    static const std::vector<double> tenths = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0};
    auto join = [](std::vector<double> more) {
        std::vector<double> v = tenths;
        v.insert(v.end(), more.begin(), more.end());
        return v;
    };
    static const std::array<SmithZoomTable, 5> tables = {{
        {{0.1, 0.2, 0.5, 1, 2, 5, 10},
         7,
         {65, 79, 163, 308, 439, 512, 525},
         {224, 179, 83, 36, 83, 180, 224}},
        {join({1.2, 1.4, 1.6, 1.8, 2, 2.5, 5, 10}),
         18,
         {68, 83, 113, 149, 185, 229, 271, 306, 342, 378, 435},
         {225, 175, 129, 94, 66, 49, 40, 40, 42, 52, 87}},
        {join({1.2, 1.4, 1.6, 1.8, 2, 2.5, 5, 10}),
         18,
         {69, 97, 135, 191, 250, 313, 395},
         {213, 154, 106, 67, 45, 40, 62}},
        {join({1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.8, 2, 2.5, 5, 10}),
         18,
         {77, 110, 171, 248, 348},
         {203, 137, 81, 44, 47}},
        {join({1.1, 1.2, 1.3, 1.4, 1.6, 1.8, 2, 2.5, 5, 10}), 18, {78, 130, 215, 337}, {192, 114, 60, 45}},
    }};
    return tables[static_cast<std::size_t>(std::clamp(zoom, 1, 5) - 1)];
}

PolarGeometry PolarGeometryAtScale(double yf, double smithSize) {
    PolarGeometry g;
    g.yf = std::isfinite(yf) && yf > 0 ? std::min(yf, 100.0) : 538.0 / 768;
    const double size = std::isfinite(smithSize) ? std::clamp(std::fabs(smithSize), 0.5, 3.0) : 1.0;
    g.p = 0.78 * size;
    g.width = std::max(1, NearestEven(650 * g.yf));
    g.height = std::max(1, NearestEven(675 * g.yf));
    g.cx = NearestEven(300 * g.yf);
    g.cy = NearestEven(260 * g.yf);
    g.R = 250 * g.yf;
    return g;
}

PolarGeometry PolarPlotGeometry(int winHeight, double smithSize) {
    return PolarGeometryAtScale(std::max(winHeight, 100) / 768.0, smithSize);
}

const PolarModeInfo& PolarModeOf(int mode) {
    static const std::array<PolarModeInfo, 3> modes = {{
        {{2, 1.5, 1.2, 1.1, 1.05},
         {"2.0", "1.5", "1.2", "1.1", "1.05"},
         " - SWR",
         "Magnitude of SWR,   Phase of S11",
         1},
        {{2000, 1000, 500, 200, 100},
         {"2K", "1K", "500", "200", "100"},
         " - Z",
         "Magnitude of Z,   Phase of S11",
         0},
        {{1, 0.5, 0.2, 0.1, 0.05},
         {"1.0", "0.5", "0.2", "0.1", "0.05"},
         " - S11",
         "Magnitude of S11,   Phase of S11",
         0},
    }};
    return modes[static_cast<std::size_t>(std::clamp(mode, 0, 2))];
}

double PolarFullScale(int mode, int scale) {
    const int k = scale >= 1 && scale <= 5 ? scale : 1;
    return PolarModeOf(mode).fullScale[static_cast<std::size_t>(k - 1)];
}

double PolarRadius(const PolarGeometry& g, int mode, double fullScale, const Gamma& gamma, double zmag) {
    const double m = std::hypot(gamma.re, gamma.im);
    switch (std::clamp(mode, 0, 2)) {
        case PolarSwr: {
            if (!(m < 1)) {
                return HUGE_VAL;
            }
            const double swr = (1 + m) / (1 - m);
            return g.R * (swr - 1) / (fullScale - 1);
        }
        case PolarZ:
            return std::isnan(zmag) ? 0 : g.R * std::fabs(zmag) / fullScale;
        default:
            return g.R * m / fullScale;
    }
}

ChartPixel PolarPixel(const PolarGeometry& g, double radius, const Gamma& gamma) {
    // The angle is that of Gamma, pi added or taken away in the left half plane; atan2 gives the
    // same angle and also a defined one at the centre.
    const double theta = std::atan2(gamma.im, gamma.re);
    const bool on = gamma.valid && !(radius > g.R);
    const double r = std::isnan(radius) ? 0 : std::min(radius, g.R);
    const int u = NearestEven(r * std::cos(theta));
    const int v = NearestEven(r * std::sin(theta));
    return {g.cx + u, g.cy - v, on};
}

int MarkerPointNumber(const core::AppState& st, int slot, double start, double step) {
    if (st.markerena != 1 || slot < 1 || slot > core::MarkerSlots || !(step > 0)) {
        return -1;
    }
    const double f = st.markers.slot[static_cast<std::size_t>(slot)][0];
    if (!(f < 990)) {
        return -1;
    }
    const double n = std::floor((f - start) / step + 0.5) + 1;
    return n > 1e9 || n < -1e9 ? -1 : static_cast<int>(n);
}

ScanGridA PortAScanGrid(const core::AppState& st) {
    ScanGridA g;
    if (st.scanSettingsA.recorded) {
        g.start = st.scanSettingsA.start;
        g.step = st.scanSettingsA.step;
        g.count = st.scanSettingsA.last + 1;
    } else if (!st.PortB_on) {
        g.start = st.start_freq;
        g.step = st.delta_freq;
        g.count = st.last_scan_index + 1;
    }
    g.count = std::clamp(g.count, 0, core::ScanCapacity);
    return g;
}

int NearestChartPoint(const core::ChartPoints& points, int x, int y, int reach) {
    int best = -1;
    long long bestD = static_cast<long long>(reach) * reach;
    const int n = std::clamp(points.count, 0, core::ScanCapacity);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (points.x[k] == core::ChartOffChart) {
            continue;
        }
        const long long dx = points.x[k] - x;
        const long long dy = points.y[k] - y;
        const long long d = dx * dx + dy * dy;
        if (d <= bestD) {
            bestD = d;
            best = i;
            if (d == 0) {
                break;
            }
        }
    }
    return best;
}

std::vector<platform::PushButton> ScaleButtonRow(double p, int windowWidth,
                                                 const std::array<const char*, 5>& captions, int current) {
    const int w = std::max(1, NearestEven(35 * p));
    const int h = std::max(1, NearestEven(20 * p));
    const int x0 = windowWidth - 10 - 5 * w;
    std::vector<platform::PushButton> row;
    for (int k = 1; k <= 5; ++k) {
        platform::PushButton b;
        b.caption = captions[static_cast<std::size_t>(k - 1)];
        b.id = k;
        b.x = x0 + (k - 1) * w;
        b.y = 5;
        b.width = w;
        b.height = h;
        b.color = k == current ? ChartCurrentButtonColor : ChartButtonColor;
        b.fontFace = "arial";
        b.pointSize = 7;
        b.weight = 600;
        row.push_back(b);
    }
    return row;
}

} // namespace vna::display
