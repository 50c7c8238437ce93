// The main window measuring: the program started on the simulated unit (in-process, behind the
// serial port) with the cal file of the unit's own standards, and sweeps started, stopped and
// ended through the real buttons and keys of the window.

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

#include "app/cli.h"
#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/menus.h"
#include "core/freq_axis.h"
#include "display/graph_geometry.h"
#include "files/scan_file.h"
#include "gui_rig.h"
#include "sim/dut.h"
#include "sim/sim_cal.h"
#include "sim/sim_serial_port.h"

using namespace vna;

namespace {

struct GuiSimRig : test::GuiRigOn<sim::SimSerialPort> {
    explicit GuiSimRig(const std::string& dut, const std::vector<std::string>& startOptions = {}) {
        std::string error;
        auto d = sim::ParseDut(dut, &error);
        EXPECT_TRUE(d) << error;
        if (d) {
            serial.unit.dut = *d;
        }
        const std::string cal = dir.file("unit.acal");
        EXPECT_TRUE(sim::WriteUnitCalFile(serial.unit, cal, clock.now()));
        StartWithInstrument(cal, startOptions);
    }
};

QPushButton* Button(GuiSimRig& rig, const QString& text) {
    for (QPushButton* b : rig.window().findChildren<QPushButton*>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

// Runs `action` once the unit has taken `readings` readings more than now, from a timer that the
// sweep's own look at the window events lets through: the moment a user strikes mid-sweep.
class MidSweep {
public:
    MidSweep(GuiSimRig& rig, long readings, std::function<void()> action)
        : at_(rig.serial.unit.state().measurements + readings) {
        QObject::connect(&timer_, &QTimer::timeout, [this, &rig, action] {
            if (!fired && rig.serial.unit.state().measurements >= at_) {
                fired = true;
                action();
            }
        });
        timer_.start(0);
    }
    bool fired = false;

private:
    long at_;
    QTimer timer_;
};

// The SWR of the series circuit 30 ohm, 1.2 uH, 80 pF at f MHz.
double SeriesSwr(double f) {
    const double w = 2 * 3.141592653589793 * f * 1e6;
    const std::complex<double> z(30, w * 1.2e-6 - 1 / (w * 80e-12));
    const double rho = std::abs((z - 50.0) / (z + 50.0));
    return (1 + rho) / (1 - rho);
}

class SweepWindow : public ::testing::Test {
protected:
    void TearDown() override {
        if (HasFailure() && rig_) {
            std::cerr << "---- bytes exchanged with the simulator ----\n" << rig_->serial.transcript();
        }
    }
    GuiSimRig& rig(const std::string& dut, const std::vector<std::string>& startOptions = {}) {
        rig_ = std::make_unique<GuiSimRig>(dut, startOptions);
        return *rig_;
    }

private:
    std::unique_ptr<GuiSimRig> rig_;
};

} // namespace

TEST_F(SweepWindow, ScanADrawsTheTraceAsItMeasuresAndFillsTheScan) {
    GuiSimRig& r = rig("rlc-series:r=30,l=1.2u,c=80p");
    core::AppState& st = r.st();
    ASSERT_EQ(st.InstrumentPresent, 1) << "the start-up found the unit";
    ASSERT_EQ(st.porta_cal_ok, 1);
    st.start_freq = 12;
    st.end_freq = 20;
    st.delta_freq = 0.05;
    st.plot_swr = 1;
    st.swr_scale = 10;
    st.swrLog = 0;
    QPushButton* scan = Button(r, "Scan A");
    ASSERT_NE(scan, nullptr);
    const long before = r.serial.unit.state().measurements;
    QTest::mouseClick(scan, Qt::LeftButton);
    r.Pump();

    EXPECT_EQ(st.SweepRunning, 0);
    ASSERT_EQ(st.last_scan_index, 160);
    EXPECT_GE(r.serial.unit.state().measurements - before, 161) << "every point was measured";
    // The series circuit resonates at 16.244 MHz with its 30 ohms: SWR 5/3 there, higher at the ends.
    const auto k = static_cast<std::size_t>(std::lround((16.25 - 12) / 0.05));
    EXPECT_NEAR(r.p().scan.scan_swr[k], SeriesSwr(16.25), 0.05);
    EXPECT_NEAR(r.p().scan.scan_swr[0], SeriesSwr(12), 0.1);
    EXPECT_NEAR(r.p().scan.scan_swr[160], SeriesSwr(20), 0.1);

    // The SWR trace (red) passes where the mapping puts the value measured at that point.
    const QImage& img = r.image();
    const core::GraphGeometry& g = r.p().display.g;
    const int x = display::FreqToX(g, 16.25);
    const int y = core::NearestEven(g.centreY - (r.p().scan.scan_swr[k] - 1) * g.swrFactor - g.swrLift);
    bool red = false;
    for (int dy = -2; dy <= 2 && !red; ++dy) {
        for (int dx = -1; dx <= 1 && !red; ++dx) {
            const QColor c(img.pixel(x + dx, y + dy));
            red = c.red() == 240 && c.green() == 0 && c.blue() == 0;
        }
    }
    EXPECT_TRUE(red) << "no SWR trace at (" << x << "," << y << ")";
    if (const char* dir = std::getenv("VNA_PICTURE_DIR")) {
        r.window().grab().toImage().save(QString(dir) + "/sweep_window.png");
        // The scan itself, for pictures of its Smith chart and polar plot (vna-cli plot).
        std::string error;
        files::RecordLiveScanA(r.p(), 0);
        EXPECT_TRUE(app::WriteScanWithExports(r.p(), 'a', std::string(dir) + "/sweep_window.scn",
                                              files::TouchstoneFormat::MA, error))
            << error;
    }
}

TEST_F(SweepWindow, AKeyPressStopsTheSweepAndKeepsThePointsMeasured) {
    GuiSimRig& r = rig("rlc-parallel:r=2000,l=1u,c=100p");
    core::AppState& st = r.st();
    st.start_freq = 2;
    st.end_freq = 30;
    st.delta_freq = 0.005; // 5601 points: far more than are measured before the key
    MidSweep key(r, 200, [&r] { QTest::keyClick(r.window().client(), Qt::Key_Space); });
    QTest::mouseClick(Button(r, "Scan A"), Qt::LeftButton);
    r.Pump();
    ASSERT_TRUE(key.fired);
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_EQ(st.ProgramRunning, 1);
    EXPECT_GE(st.last_scan_index, 150);
    EXPECT_LT(st.last_scan_index, 1000) << "the sweep went on after the key";
    // The points measured stay: finite, and above 1 as an SWR must be.
    for (int i = 0; i <= st.last_scan_index; ++i) {
        const double swr = r.p().scan.scan_swr[static_cast<std::size_t>(i)];
        ASSERT_TRUE(std::isfinite(swr) && swr >= 1) << "point " << i << ": " << swr;
    }
    // The window takes the next command: a second Scan measures the whole frequency axis again.
    st.delta_freq = 0.5;
    QTest::mouseClick(Button(r, "Scan A"), Qt::LeftButton);
    r.Pump();
    const core::FreqAxis& axis = r.p().display.g.axis;
    EXPECT_EQ(st.last_scan_index, std::lround((axis.plotStop - axis.plotStart) / 0.5));
}

TEST_F(SweepWindow, HaltEndsARepeatingSweepAndQuitEndsTheProgram) {
    GuiSimRig& r = rig("rlc-series:r=30,l=1.2u,c=80p");
    core::AppState& st = r.st();
    st.start_freq = 2;
    st.end_freq = 30;
    st.delta_freq = 0.005;
    st.rescanPause = 0;
    // Recycle sweeps again and again; Halt, clicked in the middle of the first sweep, ends the run.
    {
        MidSweep halt(r, 300, [&r] { QTest::mouseClick(Button(r, "Halt"), Qt::LeftButton); });
        QTest::mouseClick(Button(r, "Recycle"), Qt::LeftButton);
        r.Pump();
        ASSERT_TRUE(halt.fired);
    }
    EXPECT_GE(st.last_scan_index, 250) << "the first sweep measured up to the click";
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_EQ(st.recycle, 0);
    EXPECT_EQ(st.ProgramRunning, 1);
    EXPECT_LT(st.last_scan_index, 5600) << "Halt did not stop the sweep under way";

    // Quit in the middle of a sweep stops it and ends the main loop.
    {
        MidSweep quit(r, 300, [&r] { QTest::mouseClick(Button(r, "Quit"), Qt::LeftButton); });
        QTest::mouseClick(Button(r, "Scan A"), Qt::LeftButton);
        r.Pump();
        ASSERT_TRUE(quit.fired);
    }
    EXPECT_EQ(st.SweepRunning, 0);
    EXPECT_EQ(st.ProgramRunning, 0);
    EXPECT_LT(st.last_scan_index, 5600);
}

TEST_F(SweepWindow, PortABButtonThenScanBMeasuresAFilterThroughTheReceiverRanges) {
    GuiSimRig& r = rig("bandpass:f0=2,bw=0.2,order=4,il=1");
    core::AppState& st = r.st();
    ASSERT_EQ(st.portb_cal_ok, 1) << "the unit's cal file carries its Port B data";
    st.start_freq = 1.5;
    st.end_freq = 2.5;
    st.delta_freq = 0.01;
    QTest::mouseClick(Button(r, "Port A/B"), Qt::LeftButton);
    r.Pump();
    ASSERT_EQ(st.PortB_on, 1);
    QPushButton* scan = Button(r, "Scan B");
    ASSERT_NE(scan, nullptr) << "the button row names the port";
    QTest::mouseClick(scan, Qt::LeftButton);
    r.Pump();
    EXPECT_EQ(st.SweepRunning, 0);
    ASSERT_GE(st.last_scan_index, 100);
    EXPECT_EQ(st.scanb_ok, 1);
    // The pass band at the centre and at least 50 dB down at the band edges of the sweep.
    const auto centre = static_cast<std::size_t>(std::lround((2.0 - 1.5) / 0.01));
    EXPECT_NEAR(r.p().scan.s21_db[centre], -1, 0.5);
    EXPECT_LT(r.p().scan.s21_db[0], -50);
    EXPECT_LT(r.p().scan.s21_db[100], -50);
    // The S21 trace (green) lies in the box at the centre frequency.
    const QImage& img = r.image();
    const core::GraphGeometry& g = r.p().display.g;
    const int x = display::FreqToX(g, 2.0);
    int green = 0;
    for (int y = g.box.top; y <= g.box.bottom; ++y) {
        const QColor c(img.pixel(x, y));
        green += c.red() == 0 && c.green() == 150 && c.blue() == 0 ? 1 : 0;
    }
    EXPECT_GT(green, 0) << "no S21 trace in column " << x;
    if (const char* dir = std::getenv("VNA_PICTURE_DIR")) {
        r.window().grab().toImage().save(QString(dir) + "/sweep_window_b.png");
    }
}

TEST_F(SweepWindow, StartedWithSweepTheProgramSweepsOnceItIsReady) {
    GuiSimRig& r = rig("rlc-series:r=30,l=1.2u,c=80p", {"--sweep"});
    core::AppState& st = r.st();
    EXPECT_EQ(st.ProgramRunning, 1);
    EXPECT_EQ(st.SweepRunning, 0);
    ASSERT_GE(st.last_scan_index, 10) << "the sweep of the start-up measured the graph's axis";
    EXPECT_GT(r.serial.unit.state().measurements, st.last_scan_index);
    EXPECT_EQ(st.scana_ok, 1);
    for (int i = 0; i <= st.last_scan_index; ++i) {
        ASSERT_GE(r.p().scan.scan_swr[static_cast<std::size_t>(i)], 1) << "point " << i;
    }
}

TEST_F(SweepWindow, WithoutAPortBCalibrationTheWindowGoesBackToPortA) {
    GuiSimRig& r = rig("open");
    core::AppState& st = r.st();
    st.portb_cal_ok = 0;
    st.PortB_on = 1;
    commands::BuildMenus(r.p());
    r.Pump();
    EXPECT_EQ(st.PortB_on, 0) << "the instrument is there, so Port B without its calibration is refused";
    ASSERT_NE(Button(r, "Scan A"), nullptr);
    EXPECT_EQ(Button(r, "Scan B"), nullptr);
    EXPECT_FALSE(Button(r, "Port A/B")->isEnabled());
    QStringList file;
    for (QAction* a : r.window().menuBar()->actions()) {
        if (a->text() == "File" && a->menu()) {
            for (QAction* item : a->menu()->actions()) {
                file << item->text();
            }
        }
    }
    EXPECT_TRUE(file.contains("Load Port A Graph")) << file.join("|").toStdString();
    EXPECT_FALSE(file.contains("Load Port B Graph"));
}

TEST_F(SweepWindow, RightClickMarkerWindowCursorReadoutAndFrozenCursor) {
    GuiSimRig& r = rig("rlc-series:r=30,l=1.2u,c=80p");
    core::AppState& st = r.st();
    st.start_freq = 12;
    st.end_freq = 20;
    st.delta_freq = 0.05;
    st.plot_swr = 1;
    QTest::mouseClick(Button(r, "Scan A"), Qt::LeftButton);
    r.Pump();
    ASSERT_EQ(st.last_scan_index, 160);
    const core::GraphGeometry& g = r.p().display.g;
    const int yMid = (g.box.top + g.box.bottom) / 2;

    // Right click over 16.2 MHz: the "Marker" dialog comes pre-filled with the mouse frequency,
    // rounded to 1/200 MHz (the span is 8 MHz), and "Insert" puts the marker there.
    const int x = display::FreqToX(g, 16.2) + 1;
    const double mouseF = (x - g.box.left) / g.pxPerMHz + g.axis.plotStart;
    const double expected = std::round(mouseF * 200) / 200;
    QString offered;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* d = qobject_cast<QDialog*>(top);
            if (!d || !d->isVisible()) {
                continue;
            }
            if (auto* edit = d->findChild<QLineEdit*>()) {
                offered = edit->text();
            }
            for (QPushButton* b : d->findChildren<QPushButton*>()) {
                if (b->text() == "Insert") {
                    b->click();
                    return;
                }
            }
            d->reject();
        }
    });
    timer.start(20);
    QTest::mouseClick(r.window().client(), Qt::RightButton, {}, QPoint(x, yMid));
    r.Pump();
    timer.stop();
    EXPECT_NEAR(offered.toDouble(), expected, 1e-9) << offered.toStdString();
    EXPECT_NEAR(st.markers.slot[1][0], expected, 1e-9);
    EXPECT_EQ(st.markers.markerCount, 1);
    EXPECT_EQ(st.markerena, 1);

    // "Display Marker Data": one reading at the marker, against the circuit's truth.
    const long before = r.serial.unit.state().measurements;
    commands::RunCommand(r.p(), commands::cmd::DisplayMarkerData);
    r.Pump();
    EXPECT_EQ(r.serial.unit.state().measurements - before, 1);
    ASSERT_TRUE(r.p().charts.markerData && r.p().charts.markerData->isOpen());
    const double w = 2 * 3.141592653589793 * expected * 1e6;
    const std::complex<double> z(30, w * 1.2e-6 - 1 / (w * 80e-12));
    EXPECT_NEAR(st.markers.slot[1][1], z.real(), 0.3);
    EXPECT_NEAR(st.markers.slot[1][2], z.imag(), 0.3);
    EXPECT_NEAR(st.markers.slot[1][5], SeriesSwr(expected), 0.02);

    // The cursor at a known pixel: the values between the two points around it, in the read-out.
    const QImage beforeMove = r.image().copy();
    const int cx = display::FreqToX(g, 14.0) + 3;
    QMouseEvent move(QEvent::MouseMove, QPointF(cx, yMid), QPointF(cx, yMid), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(r.window().client(), &move);
    r.Pump();
    const double fc = (cx - g.box.left) / g.pxPerMHz + g.axis.plotStart;
    const int i = static_cast<int>(std::floor((fc - 12) / 0.05));
    const double part = (fc - (12 + i * 0.05)) / 0.05;
    const auto& swr = r.p().scan.scan_swr;
    const double swrThere = swr[static_cast<std::size_t>(i)] +
                            (swr[static_cast<std::size_t>(i + 1)] - swr[static_cast<std::size_t>(i)]) * part;
    const core::CursorState& cur = r.p().display.cursor;
    ASSERT_TRUE(cur.valid);
    EXPECT_EQ(cur.index, i);
    EXPECT_NEAR(cur.values.swr, swrThere, 1e-9);
    // The read-out is printed in the status column: new red text (frequency, SWR) there.
    const QImage& img = r.image();
    int red = 0;
    for (int yy = g.box.top; yy < g.box.bottom; ++yy) {
        for (int xx = g.statusX + 5; xx < std::min(img.width(), g.statusX + g.statusWidth); ++xx) {
            const QColor c(img.pixel(xx, yy));
            red += img.pixel(xx, yy) != beforeMove.pixel(xx, yy) && c.red() > 200 && c.green() < 60 &&
                   c.blue() < 60;
        }
    }
    EXPECT_GT(red, 20);

    // Key 1 freezes cursor 1 at that frequency and opens "Cursor Data".
    QTest::keyClick(r.window().client(), Qt::Key_1);
    r.Pump();
    EXPECT_TRUE(cur.frozen[0].set);
    EXPECT_NEAR(cur.frozen[0].values.freq, fc, 1e-9);
    EXPECT_NEAR(cur.frozen[0].values.swr, swrThere, 1e-9);
    ASSERT_TRUE(r.p().charts.cursorData && r.p().charts.cursorData->isOpen());
    r.p().charts.cursorData.reset();
    r.p().charts.markerData.reset();
}
