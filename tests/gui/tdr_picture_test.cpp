// The TDR view drawn offscreen on the real canvas from a measurement of the simulated unit: the
// step of a known line lands at the pixel that its length, the transform's index scale and the
// view's mapping compute, at the levels of its impedances.

#include <QColor>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <optional>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "display/tdr_view.h"
#include "gui_rig.h"
#include "sim/dut.h"
#include "sim/sim_cal.h"
#include "sim/sim_serial_port.h"
#include "tools/tdr_transform.h"

using namespace vna;

namespace {

struct TdrRig : test::GuiRigOn<sim::SimSerialPort> {
    explicit TdrRig(const std::string& dut) {
        std::string error;
        auto d = sim::ParseDut(dut, &error);
        EXPECT_TRUE(d) << error;
        if (d) {
            serial.unit.dut = *d;
        }
        const std::string cal = dir.file("unit.acal");
        EXPECT_TRUE(sim::WriteUnitCalFile(serial.unit, cal, clock.now()));
        StartWithInstrument(cal);
    }
};

// The mean row of the pixels of `color` in column x inside the box; nothing when there is none.
std::optional<double> TraceRow(const QImage& img, const core::GraphBox& b, int x, QColor color) {
    double sum = 0;
    int n = 0;
    for (int y = b.top + 1; y < b.bottom; ++y) {
        if (QColor(img.pixel(x, y)) == color) {
            sum += y;
            ++n;
        }
    }
    if (n == 0) {
        return std::nullopt;
    }
    return sum / n;
}

} // namespace

TEST(TdrPicture, StepOfAKnownLineLandsAtTheComputedPixel) {
    TdrRig rig("line:len=10,z0=75,vf=0.66,end=50");
    core::AppState& st = rig.st();
    commands::RunCommand(rig.p(), commands::cmd::TdrMode);
    ASSERT_EQ(st.TdrActive, 1);
    commands::RunCommand(rig.p(), commands::cmd::ButtonScan);
    rig.Pump();
    ASSERT_EQ(rig.p().tdr.points, 256) << "no trace";
    const QImage& img = rig.image();
    const core::GraphBox b = rig.p().display.g.box;
    const display::TdrScale s = display::TdrScaleFactors(rig.p());
    const core::Rgb c = display::TdrTraceColor(st, 1);
    const QColor red(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c));

    // Where the step must be: the round trip through the offset and the 10 m of line is index
    // k = (L + offset) / (c / 2 VF / (N delf)), drawn at X1 + dx (feetPerIndex (k + 1) - offset).
    const double lineFeet = 10 / 0.3048;
    const double truePerIndex = tools::LightFeetPerMicrosecond / 2 * 0.66 / (256 * st.tdrDelf);
    const double k = (lineFeet + st.tdrOffset) / truePerIndex;
    const double expectedX = b.left + s.dxFactor * (st.feetPerIndex * (k + 1) - st.tdrOffset);
    const double pixelsPerIndex = s.dxFactor * st.feetPerIndex;
    // The impedance levels: 75 ohm on the line, 50 ohm at the load (the 50 ohm line of the axis).
    const double y75 = s.referenceY - 25 * s.zPxPerOhm;
    const double y50 = s.referenceY;
    const double mid = (y75 + y50) / 2;

    // Past the rise at the port the trace runs at 75 ohm, then falls through the middle once.
    std::optional<double> crossing;
    bool onLine = false;
    std::optional<double> prev;
    for (int x = b.left + 2; x < b.right - 1 && !crossing; ++x) {
        const auto y = TraceRow(img, b, x, red);
        if (!y) {
            continue;
        }
        if (*y < mid) {
            onLine = true;
        } else if (onLine && prev && *prev < mid) {
            crossing = x - 1 + (mid - *prev) / (*y - *prev);
        }
        prev = y;
    }
    if (const char* dir = std::getenv("VNA_PICTURE_DIR")) {
        img.save(QString(dir) + "/tdr_view.png");
    }
    ASSERT_TRUE(crossing) << "the trace never falls from 75 to 50 ohm";
    EXPECT_NEAR(*crossing, expectedX, pixelsPerIndex + 2) << "index " << k;
    const auto before = TraceRow(img, b, static_cast<int>(expectedX - 4 * pixelsPerIndex), red);
    const auto after = TraceRow(img, b, static_cast<int>(expectedX + 4 * pixelsPerIndex), red);
    ASSERT_TRUE(before && after);
    // 3 ohm of the simulated cable's loss and ripple, in pixels.
    EXPECT_NEAR(*before, y75, 3 * s.zPxPerOhm + 2);
    EXPECT_NEAR(*after, y50, 3 * s.zPxPerOhm + 2);
}
