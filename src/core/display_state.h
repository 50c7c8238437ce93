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
    // The XOR-drawn marker lines are on the screen (drawing them again removes them).
    bool markerLinesShown = false;
};

// The values the cursor read-out shows for one frequency, interpolated between two scan points.
struct CursorValues {
    double freq = 0; // MHz
    double swr = 0;
    double zmag = 0;
    double phase = 0; // impedance phase (degrees)
    double rs = 0;
    double xs = 0;
    double returnLoss = 0; // dB
    double s21db = 0;
    double s21phase = 0; // degrees
    double s11db = 0;
    double s11phase = 0; // degrees
    double insertionLoss = 0;
    double delayNs = 0;
    // The TDR view: the distance under the cursor (feet) and the line impedance there (ohm).
    double distance = 0;
    double tdrZ = 0;
};

// A cursor frozen with the keys 1 and 2 (index 0 and 1).
struct FrozenCursor {
    bool set = false;
    bool lineShown = false; // its XOR line is on the screen at x
    int x = 0;
    CursorValues values;
};

// The cursor line that follows the mouse over the graph, and the two frozen cursors.
struct CursorState {
    bool lineShown = false; // the XOR line is on the screen at lineX
    int lineX = 0;
    bool valid = false; // the values below belong to a point of the scan shown
    int x = 0;          // mouse x the values were taken at
    int index = 0;      // scan point i under the cursor
    double df = 0;      // MHz past point i
    CursorValues values;
    std::array<FrozenCursor, 2> frozen{};
    // The yellow mark of the cursor's point on each chart (index into the chart's points, -1 none).
    std::array<int, 3> chartMark{-1, -1, -1};
    // The crossing search of the Port B rulers: 0 found, 1 / 2 lower / upper limit of ruler 1 not
    // found, 3 / 4 the same for ruler 2.
    int crossingStatus = 0;
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
    CursorState cursor;
};

} // namespace vna::core
