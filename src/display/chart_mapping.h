#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/chart_state.h"
#include "platform/menu_model.h"

namespace vna::core {
struct AppState;
}

// The pure geometry of the Smith chart and the polar plot: reflection coefficients, window and
// chart sizes, the pixel of a point, the circles of the grid and the buttons of the windows. The
// drawing (smith_chart, polar_plot), the window commands and the tests all use these.
namespace vna::display {

// A reflection coefficient; not valid when it cannot be computed (a value that is not a number,
// Z + Zr = 0). Such a point is left out of a trace.
struct Gamma {
    double re = 0;
    double im = 0;
    bool valid = true;
};

// Gamma = (Z - Zr) / (Z + Zr) of Z = rs + j xs and Zr = refRe + j refIm, computed without overflow
// for huge impedances (they land at +1, the open circuit).
Gamma Reflection(double rs, double xs, double refRe, double refIm);
// The same for a scan point given by |Z| and phase (radians): an infinite |Z| is an open circuit.
Gamma ReflectionOfPoint(double zmag, double phase, double refRe, double refIm);

// A point of a chart: its pixel and whether it lies on the chart's disc.
struct ChartPixel {
    int x = 0;
    int y = 0;
    bool onChart = true;
};

// Geometry of the Smith chart windows, from the scale p = 0.78 * smithSize.
struct SmithGeometry {
    double p = 0.78;
    int width = 507; // window (client area), square
    int height = 507;
    int cx = 234; // chart centre
    int cy = 203;
    double R = 195;  // chart radius
    double Rz = 195; // zoomed radius R * zoom
    int zoom = 1;
};
SmithGeometry SmithChartGeometry(double smithSize, int zoom);
// The chart at the scale p (a picture of another size than the window's).
SmithGeometry SmithGeometryAtScale(double p, int zoom);

// The pixel of Gamma on "Smith Chart": (cx + nint(Rz Gr), cy - nint(Rz Gi)), off the chart when
// that lies further than R from the centre. |Gamma| is limited to 2 first, so wild values stay in
// reach of the mask around the disc.
ChartPixel SmithPixel(const SmithGeometry& g, const Gamma& gamma);
// The pixel on "Smith Chart 2": the offsets of SmithPixel turned by -2 * rotation degrees (the
// impedance seen through a line of that electrical length); always stored as on the chart.
ChartPixel SmithPixelRotated(const SmithGeometry& g, const Gamma& gamma, double rotationDegrees);

struct Circle {
    double cx = 0;
    double cy = 0;
    double r = 0;
};
// The constant-resistance circle of the normalised value v, and the constant-reactance circle of
// +v (upper) or -v (lower).
Circle ResistanceCircle(const SmithGeometry& g, double v);
Circle ReactanceCircle(const SmithGeometry& g, double v, bool upper);
// Radius of the SWR reference circle, 2 * nint(Rz / (1 / swr + 1)) - Rz; 0 when none is drawn.
double SwrCircleRadius(const SmithGeometry& g, double swr);

// The circle values of a zoom step, how many of them are drawn, and the label positions of the
// 650-unit design square (label k shows value k).
struct SmithZoomTable {
    std::vector<double> values;
    int drawn = 0;
    std::vector<int> labelX;
    std::vector<int> labelY;
};
const SmithZoomTable& SmithZoomValues(int zoom);

// Geometry of the polar plot: yf = WinHeight / 768 sizes the window and the disc, p = 0.78 *
// smithSize the buttons.
struct PolarGeometry {
    double yf = 538.0 / 768;
    double p = 0.78;
    int width = 455;
    int height = 473;
    int cx = 210;
    int cy = 182;
    double R = 175.1;
};
PolarGeometry PolarPlotGeometry(int winHeight, double smithSize);
PolarGeometry PolarGeometryAtScale(double yf, double smithSize);

// The three quantities of the polar plot, in the order of the "Polar Plot" menu.
enum PolarMode { PolarSwr = 0, PolarZ = 1, PolarS11 = 2 };
struct PolarModeInfo {
    std::array<double, 5> fullScale;
    std::array<const char*, 5> captions;
    const char* titleSuffix;
    const char* legend;
    double base; // value at the centre
};
const PolarModeInfo& PolarModeOf(int mode);
// Full scale of the mode at scale index 1..5 (out-of-range values are taken as 1).
double PolarFullScale(int mode, int scale);
// Radius of a point before it is limited to R: |Gamma|, SWR or |Z| against the full scale. A total
// reflection in SWR mode is infinitely far out.
double PolarRadius(const PolarGeometry& g, int mode, double fullScale, const Gamma& gamma, double zmag);
// The pixel at that radius and the angle of Gamma; a radius beyond R is drawn on the rim and the
// point is off the disc.
ChartPixel PolarPixel(const PolarGeometry& g, double radius, const Gamma& gamma);

// Point number (1-based) of marker slot k on the charts: floor((f - start) / step + 0.5) + 1, or -1
// for a free slot (frequency 990 or more) and for every slot while markers are hidden.
int MarkerPointNumber(const core::AppState& st, int slot, double start, double step);

// The Port A scan the charts show: its grid and number of points.
struct ScanGridA {
    double start = 0;
    double step = 0;
    int count = 0;
};
ScanGridA PortAScanGrid(const core::AppState& st);

// The point of a chart nearest to the mouse at (x, y), when one lies within `reach` pixels; -1
// otherwise. Points off the chart are not found.
int NearestChartPoint(const core::ChartPoints& points, int x, int y, int reach);

// Button ids of the chart windows: the zoom or scale buttons are 1..5.
inline constexpr int ChartButtonMarkerData = 10;
inline constexpr int ChartButtonPrint = 11;
inline constexpr int ChartButtonClose = 12;
inline constexpr int ChartButtonSmithZ = 13;
inline constexpr std::uint32_t ChartCurrentButtonColor = 0xf0f000; // (0, 240, 240)
inline constexpr std::uint32_t ChartButtonColor = 0xe1e1e1;

// The row of five zoom or scale buttons at y = 5, each nint(35 p) x nint(20 p), ending 10 pixels
// from the right edge; the current one coloured.
std::vector<platform::PushButton> ScaleButtonRow(double p, int windowWidth,
                                                 const std::array<const char*, 5>& captions, int current);

} // namespace vna::display
