// Pictures of the graph drawn offscreen on the real canvas: their structure is checked (grid
// lines at the computed rows, trace pixels where the mapping puts known values), not their bytes.

#include <QColor>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

#include <memory>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/scan_commands.h"
#include "core/freq_axis.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/scan_plot.h"
#include "files/scan_file.h"
#include "gui_rig.h"
#include "support/band_stream.h"
#include "support/scripted_serial_port.h"

using namespace vna;

namespace {

QColor Px(const QImage& img, int x, int y) {
    return QColor(img.pixel(x, y));
}

bool IsColor(const QColor& c, int r, int g, int b, int tol = 0) {
    return std::abs(c.red() - r) <= tol && std::abs(c.green() - g) <= tol && std::abs(c.blue() - b) <= tol;
}

// True when a pixel of the colour lies within `reach` rows of y at column x.
bool ColorNear(const QImage& img, int x, int y, int r, int g, int b, int reach = 1) {
    for (int dy = -reach; dy <= reach; ++dy) {
        if (y + dy >= 0 && y + dy < img.height() && IsColor(Px(img, x, y + dy), r, g, b)) {
            return true;
        }
    }
    return false;
}

void SaveIfAsked(const QImage& img, const char* name) {
    if (const char* dir = std::getenv("VNA_PICTURE_DIR")) {
        img.save(QString(dir) + "/" + name);
    }
}

// The user resizes the window and moves the mouse over it: the graph is rebuilt at the new size.
void ResizeAndMoveTheMouse(test::GuiRig& rig, int width, int height) {
    rig.window().resize(width, height);
    rig.Pump();
    rig.ui.handlerForTests()(platform::Event{platform::EventType::MouseMove, 0, 5, 5, 0});
    rig.Pump();
}

// Pixels of the graph that a button of the button row covers.
int PixelsUnderButtons(test::GuiRig& rig, std::string& where) {
    const QImage& img = rig.image();
    QWidget* client = rig.window().client();
    int covered = 0;
    for (QPushButton* b : rig.window().buttons()) {
        const QRect r =
            QRect(client->mapFromGlobal(b->mapToGlobal(QPoint(0, 0))), b->size()).intersected(img.rect());
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (!IsColor(Px(img, x, y), 255, 255, 255)) {
                    ++covered;
                    where = b->text().toStdString() + " at " + std::to_string(x) + "," + std::to_string(y);
                }
            }
        }
    }
    return covered;
}

// Pixels of a colour above the graph box: the captions of the traces.
int CaptionPixels(test::GuiRig& rig, unsigned color) {
    const QImage& img = rig.image();
    int n = 0;
    for (int y = 0; y < std::min(rig.p().display.g.box.top, img.height()); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            n += IsColor(Px(img, x, y), platform::RedOf(color), platform::GreenOf(color),
                         platform::BlueOf(color));
        }
    }
    return n;
}

} // namespace

TEST(GraphPicture, EmptyGraphHasItsGridAtTheComputedRows) {
    test::GuiRig rig;
    rig.StartDemo();
    const QImage& img = rig.image();
    SaveIfAsked(img, "empty_graph.png");
    const core::GraphGeometry& g = rig.p().display.g;
    const core::GraphBox& b = g.box;
    ASSERT_GT(b.right - b.left, 200);
    ASSERT_GT(b.bottom - b.top, 100);
    // A column inside the box that no vertical line crosses: a quarter of a division right of X1.
    const int x = b.left + static_cast<int>(g.axis.mhzPerDiv * g.pxPerMHz / 4);
    const int five = core::NearestEven(5 * g.divPx);
    for (int i = 1; i < 20; ++i) {
        const int y = core::NearestEven(g.divPx * i + b.top);
        if (i == 10 || y == g.centreY - five || y == g.centreY + five) {
            continue; // the centre line and the two section lines lie on these rows
        }
        EXPECT_TRUE(IsColor(Px(img, x, y), 230, 230, 230)) << "grid row " << i << " at y " << y;
        // Between two grid rows the box is background.
        const int between = core::NearestEven(g.divPx * (i + 0.5) + b.top);
        EXPECT_TRUE(IsColor(Px(img, x, between), 255, 255, 255)) << "between rows at y " << between;
    }
    // The centre line is black and two pixels wide; the box edges are black.
    EXPECT_TRUE(ColorNear(img, x, g.centreY, 0, 0, 0, 1));
    EXPECT_TRUE(IsColor(Px(img, b.left, (b.top + b.bottom) / 3), 0, 0, 0));
    EXPECT_TRUE(IsColor(Px(img, b.right, (b.top + b.bottom) / 3), 0, 0, 0));
    // Vertical grid line of division 1.
    const int vx = core::NearestEven(g.axis.mhzPerDiv * g.pxPerMHz + b.left);
    EXPECT_TRUE(IsColor(Px(img, vx, b.top + 3), 230, 230, 230));
}

TEST(GraphPicture, KnownScanValuesLandWhereTheMappingPutsThem) {
    test::GuiRig rig;
    rig.StartDemo();
    core::AppState& st = rig.st();
    // Only SWR and Zmag, on a 5..25 MHz grid of 100 points: SWR 2 on the first half, 3 on the
    // second; |Z| a ramp.
    st.plot_swr = 1;
    st.plot_zmagA = 1;
    st.plot_rt = st.plot_rsA = st.plot_rpA = st.plot_ZphaseA = st.plot_Q = 0;
    st.swr_scale = 10;
    st.swrLog = 0;
    st.zmag_scale = 1000;
    st.start_freq = 5;
    st.end_freq = 25;
    st.delta_freq = 0.2;
    const int n = 101;
    for (int i = 0; i < n; ++i) {
        rig.p().scan.scan_swr[static_cast<std::size_t>(i)] = i < 50 ? 2 : 3;
        rig.p().scan.scan_zmag[static_cast<std::size_t>(i)] = 5.0 * i;
        rig.p().scan.scan_phase[static_cast<std::size_t>(i)] = 0;
    }
    st.last_scan_index = n - 1;
    display::RedrawScan(rig.p());
    rig.Pump();
    const QImage& img = rig.image();
    SaveIfAsked(img, "scan_graph.png");
    SaveIfAsked(rig.window().grab().toImage(), "main_window.png");
    const core::GraphGeometry& g = rig.p().display.g;
    ASSERT_EQ(g.axis.plotStart, 5);
    ASSERT_EQ(g.axis.plotStop, 25);
    // Point 25 (10 MHz): SWR 2, one SWR unit above SWR 1, which the lift puts one division above
    // the centre line.
    const int x25 = core::NearestEven((10.0 - 5) * g.pxPerMHz + g.box.left);
    const int ySwr2 = core::NearestEven(g.centreY - (2 - 1) * g.swrFactor - g.swrLift);
    EXPECT_TRUE(ColorNear(img, x25, ySwr2, 240, 0, 0)) << "SWR 2 at (" << x25 << "," << ySwr2 << ")";
    const int ySwr3 = core::NearestEven(g.centreY - (3 - 1) * g.swrFactor - g.swrLift);
    const int x75 = core::NearestEven((20.0 - 5) * g.pxPerMHz + g.box.left);
    EXPECT_TRUE(ColorNear(img, x75, ySwr3, 240, 0, 0)) << "SWR 3 at (" << x75 << "," << ySwr3 << ")";
    EXPECT_FALSE(ColorNear(img, x75, ySwr2, 240, 0, 0, 0)) << "no SWR 2 on the second half";
    // Zmag 5 * 60 = 300 ohms at point 60 (17 MHz), green.
    const int x60 = core::NearestEven((17.0 - 5) * g.pxPerMHz + g.box.left);
    const int yZ = core::NearestEven(g.centreY - 300 * g.zmagFactor);
    EXPECT_TRUE(ColorNear(img, x60, yZ, 0, 150, 0)) << "Zmag 300 at (" << x60 << "," << yZ << ")";
    // Nothing of the traces lies outside the box: left of X1 the column stays without trace colours.
    for (int y = 0; y < img.height(); ++y) {
        const QColor c = Px(img, std::max(0, g.box.left - 1), y);
        EXPECT_FALSE(IsColor(c, 0, 150, 0)) << "Zmag left of the box at y " << y;
    }
}

TEST(GraphPicture, LastGraphIsShownAgainAtStart) {
    test::GuiRig rig;
    core::AppState& st = rig.st();
    // The last graph of an earlier run: a 50-ohm match from 10 to 20 MHz, then a 150-ohm load (SWR
    // 3) up to 30 MHz, with its comment.
    st.start_freq = 10;
    st.end_freq = 30;
    st.delta_freq = 0.2;
    for (std::size_t k = 0; k <= 100; ++k) {
        rig.p().scan.raw_zmag[k] = k <= 50 ? 50 : 150;
        rig.p().scan.raw_phase[k] = 0;
    }
    st.last_scan_index = 100;
    st.scanDescriptionA = "Dummy load test";
    files::RecordLiveScanA(rig.p(), 1);
    st.ScanFileMode = 1;
    ASSERT_TRUE(commands::SaveScanA(rig.p()));
    rig.p().scan.raw_zmag.fill(0);
    st.last_scan_index = -1;

    rig.StartDemo();
    st.plot_swr = 1;
    st.swr_scale = 10;
    st.swrLog = 0;
    ASSERT_EQ(st.last_scan_index, 100);
    const QImage& img = rig.image();
    SaveIfAsked(img, "loaded_scan.png");
    const core::GraphGeometry& g = rig.p().display.g;
    const int x = core::NearestEven((25.0 - g.axis.plotStart) * g.pxPerMHz + g.box.left);
    const int y = core::NearestEven(g.centreY - (3 - 1) * g.swrFactor - g.swrLift);
    EXPECT_TRUE(ColorNear(img, x, y, 240, 0, 0)) << "SWR 3 at (" << x << "," << y << ")";
    // The comment in blue above the box, "CUSTOM CAL" in black at its lower left.
    int blue = 0;
    for (int yy = 0; yy < g.box.top; ++yy) {
        for (int xx = g.box.left; xx < g.box.right; ++xx) {
            blue += IsColor(Px(img, xx, yy), 0, 0, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(blue, 20) << "the comment's pixels";
    int black = 0;
    for (int yy = g.box.bottom - g.lineH - 4; yy < g.box.bottom - 2; ++yy) {
        for (int xx = g.box.left + 5; xx < g.box.left + 80; ++xx) {
            black += IsColor(Px(img, xx, yy), 0, 0, 0, 60) ? 1 : 0;
        }
    }
    EXPECT_GT(black, 20) << "the custom cal note's pixels";
}

TEST(GraphPicture, NoCaptionLiesUnderAButtonAtAnyWindowSize) {
    test::GuiRig rig;
    rig.StartDemo();
    core::AppState& st = rig.st();
    // Every caption above the box, of both ports.
    st.plot_swr = st.plot_rt = st.plot_zmagA = st.plot_rsA = st.plot_ZphaseA = 1;
    st.plots21 = st.plot_s11 = st.plot_phaseS21 = st.plot_delay = st.plotInsertionLoss = 1;
    const platform::Size screen = rig.ui.screenSize();
    // From the smallest window the settings files allow to the whole screen.
    const std::pair<int, int> sizes[] = {{200, 100},
                                         {480, 320},
                                         {640, 420},
                                         {st.defaultWinWidth, st.defaultWinHeight},
                                         {screen.width, screen.height}};
    for (const auto& [w, h] : sizes) {
        for (const int port : {0, 1}) {
            st.PortB_on = port;
            ResizeAndMoveTheMouse(rig, w, h);
            display::RedrawScan(rig.p());
            rig.Pump();
            std::string where;
            EXPECT_EQ(PixelsUnderButtons(rig, where), 0)
                << "Port " << (port ? "B" : "A") << " at " << w << "x" << h << ", last under " << where;
            if (w >= 480 && port == 0) {
                EXPECT_GT(CaptionPixels(rig, st.Green), 10) << "Zmag at " << w << "x" << h;
                EXPECT_GT(CaptionPixels(rig, st.Magenta), 10) << "Zphase at " << w << "x" << h;
            } else if (w >= 480) {
                EXPECT_GT(CaptionPixels(rig, st.Magenta), 10) << "S21phase at " << w << "x" << h;
            }
        }
    }
    SaveIfAsked(rig.window().grab().toImage(), "captions_window.png");
}

TEST(GraphPicture, ResizedGraphIsRebuiltOnABlankWindow) {
    test::GuiRig rig;
    rig.StartDemo();
    const int w = rig.st().WinWidth;
    const int h = rig.st().WinHeight;
    // Smaller, then larger again.
    for (const auto& [width, height] : {std::pair{w - 150, h - 120}, std::pair{w, h}}) {
        ResizeAndMoveTheMouse(rig, width, height);
        ASSERT_EQ(rig.st().WinWidth, width);
        const QImage rebuilt = rig.image().copy();
        // The same graph on a blank window.
        platform::Canvas& c = rig.window().canvas();
        c.fillRect(0, 0, c.width(), c.height(), platform::MakeRgb(255, 255, 255));
        display::RedrawScan(rig.p());
        rig.Pump();
        EXPECT_TRUE(rebuilt == rig.image())
            << "remains of the graph before the resize to " << width << "x" << height;
    }
}

TEST(GraphPicture, BandScanDrawsItsGreenTraceAtTheComputedRows) {
    test::GuiRigOn<test::ScriptedSerialPort> rig;
    rig.StartDemo();
    core::AppState& st = rig.st();
    // A unit on the line that streams known levels: rising to 1205 (1200 after the 5 taken off,
    // the top of the box) and falling again.
    std::vector<std::uint16_t> levels;
    for (int k = 0; k < 40; ++k) {
        levels.push_back(static_cast<std::uint16_t>(k <= 20 ? 105 + 55 * k : 1205 - 50 * (k - 20)));
    }
    auto stream = std::make_shared<test::BandStream>(test::BandStream{.levels = levels});
    rig.serial.answer = [stream](const std::vector<std::uint8_t>& c) { return (*stream)(c); };
    rig.serial.open("unit", 57600);
    st.InstrumentPresent = 1;
    st.ProgramRunning = 1;
    st.start_freq = 14;
    st.end_freq = 14.1;
    st.delta_freq = 0.002;
    commands::RunCommand(rig.p(), commands::cmd::BandScanNormal);
    rig.Pump();
    const QImage& img = rig.image();
    SaveIfAsked(img, "band_scan.png");
    ASSERT_EQ(stream->acks, 40);

    // 5 dB a division: h pixels from the centre line to the top are 50 dB, 2.5 decades, and a
    // level of 1200 reaches the top.
    const core::GraphGeometry& g = rig.p().display.g;
    const core::GraphBox& b = g.box;
    const double h = g.centreY - b.top;
    const double perDecade = 0.4 * h;
    const double factor = std::pow(10.0, 2.5) / 1200;
    const QColor green(QRgb(0xFF009600));
    for (std::size_t k = 2; k < levels.size(); ++k) { // strong from the first: shown from the third
        const double level = std::max({levels[k] - 5.0, levels[k - 1] - 5.0, 2.0});
        const int y = std::max(b.top, g.centreY - core::NearestEven(std::log10(factor * level) * perDecade));
        const int x =
            core::NearestEven((14 + 0.002 * static_cast<double>(k) - g.axis.plotStart) * g.pxPerMHz + b.left);
        EXPECT_TRUE(ColorNear(img, x, y, green.red(), green.green(), green.blue()))
            << "level " << k << " at " << x << "," << y;
    }
    // The highest green pixel of the box is the peak, at the top; the first two levels stay on the
    // centre line.
    int highest = b.bottom;
    for (int x = b.left + 1; x < b.right; ++x) {
        for (int y = b.top - 2; y < highest; ++y) {
            if (IsColor(Px(img, x, y), green.red(), green.green(), green.blue())) {
                highest = y;
                break;
            }
        }
    }
    EXPECT_NEAR(highest, b.top, 1);
    const int x0 = core::NearestEven((14 - g.axis.plotStart) * g.pxPerMHz + b.left);
    EXPECT_TRUE(ColorNear(img, x0, g.centreY, green.red(), green.green(), green.blue()));
    EXPECT_EQ(st.delta_freq, 0.002);
}
