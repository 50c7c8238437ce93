#pragma once

#include <array>
#include <cstdint>
#include <string>

// The display's program-wide records: the graph geometry, the plot state of the sweep being drawn
// and the status panel. One instance lives in core::Program.
namespace vna::core {

// The plot rectangle in client pixels: X1, Y1 (top left) and X2, Y2 (bottom right).
struct GraphBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The frequency axis of the graph.
struct FreqAxis {
    double plotStart = 0; // MHz at the left edge
    double plotStop = 0;  // MHz at the right edge
    double mhzPerDiv = 1;
    int xDivs = 20;
};

// What the geometry routine computes from the window size and the font metrics, and the scale
// factors every redraw derives from the settings.
struct GraphGeometry {
    GraphBox box;
    int lineH = 12;             // height of " 100XXXX" in the graph font
    int labelW = 40;            // width of the same text
    int statusWidth = 150;      // width of the status column (and of the status buttons)
    int statusX = 0;            // left edge of the status column
    int captionY = 0;           // the caption line under the box
    int textH100 = 12;          // height of " 100   ", the h of the caption rules
    float scaleX = 1;           // WinWidth / 1024, for other windows and dialogs
    float scaleY = 1;           // WinHeight / 768
    std::array<int, 10> rows{}; // text rows 0..9

    // Per redraw.
    FreqAxis axis;
    double half = 0;  // (Y2 - Y1) / 2
    double divPx = 0; // pixels per vertical division
    int centreY = 0;
    int centreX = 0;
    double pxPerMHz = 1;
    double swrFactor = 1;
    double zmagFactor = 1;
    double zphaseFactor = 1;
    double rtlossFactor = 1;
    double qFactor = 1;
    double s21Factor = 1;
    double s21phaseFactor = 1;
    double s11Factor = 1;
    double ilFactor = 1;
    double delayFactor = 1;
    int swrLift = 0;
};

// Trace families of the plot, each with its own previous pixel and symbol spacing.
enum Trace {
    TraceSwr, // SWR, or Q when only Q is selected
    TraceZmag,
    TraceRs, // Rs or Rp
    TraceXs, // Xs or Xp
    TraceReturnLoss,
    TraceZphase,
    TraceS21,
    TraceS11,
    TracePhaseB,
    TraceDelay,
    TraceInsertionLoss,
    TraceCount
};

// The state of the sweep being drawn point by point.
struct PlotState {
    std::array<int, TraceCount> prevX{};
    std::array<int, TraceCount> prevY{};
    std::array<bool, TraceCount> hasPrev{};
    std::array<int, TraceCount> lastSymbolX{};
    int progressX = 0;     // end of the sweep-progress line
    double prevPhaseB = 0; // radians, to see a wrap of the Port B phase
    double prevDelay = 0;
    bool active = false; // a sweep is being drawn
    bool swrRulerShown = false;
    int swrRulerY = 0;
};

inline constexpr int StatusButtons = 6;

// The six status buttons of the status column.
struct StatusPanel {
    bool created = false;
    std::array<std::string, StatusButtons + 1> text{}; // 1..6, as shown
    std::array<std::uint32_t, StatusButtons + 1> color{};
    int x = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct DisplayState {
    GraphGeometry g;
    PlotState plot;
    StatusPanel status;
};

} // namespace vna::core
