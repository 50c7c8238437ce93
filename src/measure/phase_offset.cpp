#include "measure/phase_offset.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/scan_plot.h"
#include "instrument/commands.h"
#include "instrument/raw_reading.h"
#include "platform/canvas.h"

namespace vna::measure {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double DegreesPerRadian = 180 / Pi;
const char* const OffsetCaption = " Phase Offset";

std::string Degrees(double radians) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", radians * DegreesPerRadian);
    return buf;
}

} // namespace

void SetPhaseOffset(core::Program& p, double radians) {
    core::AppState& st = p.st;
    const double change = radians - st.PortB_PhaseOffset;
    st.PortB_PhaseOffset = radians;
    const int n = std::min(st.last_scan_index + 1, static_cast<int>(core::ScanCapacity));
    for (int i = 0; i < n && change != 0; ++i) {
        double& phase = p.scan.s21_phase[static_cast<std::size_t>(i)];
        phase = std::remainder(phase - change, 2 * Pi);
    }
    if (st.PortB_on) {
        display::RedrawScan(p);
    }
    p.ui.message("The Port B phase offset is " + Degrees(radians) + " degrees.", OffsetCaption);
}

void PhaseOffsetAtCursor(core::Program& p) {
    const core::CursorState& c = p.display.cursor;
    if (!p.st.PortB_on || !p.st.scanb_ok || !c.valid) {
        p.ui.message("Put the cursor on a point of the Port B graph first.", OffsetCaption);
        return;
    }
    SetPhaseOffset(p, p.st.PortB_PhaseOffset + c.values.s21phase / DegreesPerRadian);
}

void EnterPhaseOffset(core::Program& p) {
    core::AppState& st = p.st;
    const auto v =
        core::EnterNumber(p, "Port B phase offset (degrees)", OffsetCaption, Degrees(st.PortB_PhaseOffset));
    if (!v) {
        return;
    }
    if (!(std::fabs(*v) <= 360)) {
        p.ui.message("The phase offset lies between -360 and 360 degrees; it is unchanged.", OffsetCaption);
        return;
    }
    SetPhaseOffset(p, *v / DegreesPerRadian);
}

std::vector<double> PlotMagRef(core::Program& p) {
    core::AppState& st = p.st;
    std::vector<double> levels;
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return levels;
    }
    const int n = std::clamp(st.scan_points, 1, static_cast<int>(core::ScanCapacity));
    platform::ChartWindowSpec spec;
    spec.title = "MagRef";
    spec.width = 640;
    spec.height = 400;
    std::unique_ptr<platform::ChartWindow> w = p.ui.openChartWindow(spec);
    instrument::SetRelays(p, 3);
    st.SweepRunning = 1;
    st.PortBMode = 0;
    int failure = 0;
    for (int i = 0; i < n && st.SweepRunning; ++i) {
        st.freq = st.start_freq + i * st.delta_freq;
        st.Measuring = 1;
        instrument::MeasurePortAPoint(p);
        if (!st.ReadingValid || st.LastError != 0) {
            failure = st.LastError != 0 ? st.LastError : 10;
            break;
        }
        levels.push_back(st.MagRef);
        if (i % 5 == 4) {
            p.ui.processEvents();
        }
    }
    st.SweepRunning = 0;
    st.Measuring = 0;
    instrument::SetRelays(p, 0);
    if (failure != 0) {
        p.ui.message("No reading at" + core::NumText(st.freq, 6) + " MHz (error " + std::to_string(failure) +
                         "): the plot ends there.",
                     " Plot MagRef");
    }
    if (!w || levels.empty()) {
        return levels;
    }
    platform::Canvas& c = w->canvas();
    const int left = 70;
    const int top = 30;
    const int right = spec.width - 20;
    const int bottom = spec.height - 50;
    c.fillRect(0, 0, c.width(), c.height(), platform::MakeRgb(255, 255, 255));
    c.setFont("arial", 9, 400);
    c.setTextColor(0);
    c.setPen(platform::MakeRgb(150, 150, 150), 1);
    c.setNullBrush();
    c.rectangle(left, top, right, bottom);
    const double highest = std::max(*std::max_element(levels.begin(), levels.end()) * 1.1, 1.0);
    c.text(5, top - 6, core::NumText(highest, 0));
    c.text(5, bottom - 6, " 0");
    c.text(left, bottom + 8, core::NumText(st.start_freq, 3) + " MHz");
    c.text(right - 90, bottom + 8, core::NumText(st.start_freq + (n - 1) * st.delta_freq, 3) + " MHz");
    c.text(left + 10, 8, "MagRef: reference channel amplitude (ADC units)");
    c.setPen(platform::MakeRgb(0, 0, 200), 1);
    const int m = static_cast<int>(levels.size());
    for (int i = 0; i < m; ++i) {
        const int x = left + (n > 1 ? (right - left) * i / (n - 1) : 0);
        const int y =
            bottom -
            static_cast<int>(std::lround((bottom - top) * levels[static_cast<std::size_t>(i)] / highest));
        if (i == 0) {
            c.moveTo(x, y);
        } else {
            c.lineTo(x, y);
        }
    }
    c.flush();
    p.ui.runWindow(*w);
    return levels;
}

} // namespace vna::measure
