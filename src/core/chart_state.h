#pragma once

#include <array>
#include <memory>

#include "core/app_state.h"
#include "platform/ui.h"

// The records of the chart windows: where every scan point was drawn on each chart (the cursor
// read-out and the markers find the points there) and the windows that are open.
namespace vna::core {

// The x of a point that lies outside the chart's disc.
inline constexpr int ChartOffChart = 100000;

// One chart's points, indexed like the scan: the pixel of each point (x = ChartOffChart when it
// lies outside the disc) and its reflection coefficient.
struct ChartPoints {
    std::array<int, ScanCapacity> x{};
    std::array<int, ScanCapacity> y{};
    std::array<double, ScanCapacity> gammaRe{};
    std::array<double, ScanCapacity> gammaIm{};
    int count = 0;
};

enum ChartKind { ChartSmith, ChartSmith2, ChartPolar, ChartKinds };

struct ChartPointsTable {
    std::array<ChartPoints, ChartKinds> chart;
};

// The chart windows while they are open (nullptr otherwise). The Smith charts are modal; the polar
// plot stays open beside the graph and is drawn again after every sweep.
struct ChartWindows {
    std::array<std::unique_ptr<platform::ChartWindow>, ChartKinds> window;
    // "Cursor Data" (the two frozen cursors) stays open beside the graph until closed.
    std::unique_ptr<platform::ChartWindow> cursorData;
    // "Port A Marker Data" or "Port B Marker Data", beside the graph until closed.
    std::unique_ptr<platform::ChartWindow> markerData;
};

} // namespace vna::core
