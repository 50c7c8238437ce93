#include "measure/point_data.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_geometry.h"
#include "display/scan_plot.h"
#include "display/smith_chart.h"
#include "instrument/commands.h"
#include "instrument/raw_reading.h"
#include "measure/correction.h"
#include "measure/interpolation.h"
#include "measure/scan_replay.h"
#include "measure/sweep.h"
#include "platform/canvas.h"

namespace vna::measure {

using core::ScanPoint;

namespace {

constexpr double DegreesPerRadian = 57.29578;

std::string Fixed(double v, const char* picture) {
    std::string s = core::FormatPicture(picture, v);
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? s : s.substr(first);
}

void Show(core::Program& p, const std::vector<std::string>& lines, bool toneButton = true) {
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const core::GraphGeometry& g = p.display.g;
    c->setFont("courier", p.st.graphFontSize + 2, 700);
    int width = 0;
    int height = 0;
    for (const std::string& l : lines) {
        const platform::Size s = c->textExtent(l);
        width = std::max(width, s.width);
        height = std::max(height, s.height);
    }
    // The caption says what a click does: "Tone Off" while the tone sounds.
    const std::string tone = p.st.ToneOn ? "Tone Off" : "Tone On";
    const platform::Size toneSize = c->textExtent("Tone Off");
    const int left = g.box.left + 10;
    const int top = g.box.top + 10;
    const int right = std::min(left + width + 16, g.box.right - 1);
    const int textBottom = top + static_cast<int>(lines.size()) * (height + 2) + 5;
    const int bottom = std::min(textBottom + toneSize.height + 15, g.box.bottom - 1);
    c->setRasterOp(platform::RasterOp::Copy);
    c->fillRect(left, top, right, bottom, platform::MakeRgb(255, 255, 225));
    c->setPen(0, 1, platform::PenStyle::Solid);
    c->setNullBrush();
    c->rectangle(left, top, right, bottom);
    c->setTextColor(0);
    c->setTextBackground(false, 0);
    int y = top + 5;
    for (const std::string& l : lines) {
        if (y + height > bottom) {
            break;
        }
        c->text(left + 8, y, l);
        y += height + 2;
    }
    auto& b = p.st.ToneButton;
    b = {left + 8, textBottom, left + 8 + toneSize.width + 16, textBottom + toneSize.height + 8};
    if (toneButton && b[3] < bottom) {
        c->fillRect(b[0], b[1], b[2], b[3], platform::MakeRgb(225, 225, 225));
        c->rectangle(b[0], b[1], b[2], b[3]);
        c->text(b[0] + 8, b[1] + 4, tone);
    } else {
        // No room on a very small graph: no button to hit either.
        b = {};
    }
    c->flush();
}

std::unique_ptr<platform::ChartWindow> OpenLiveChart(core::Program& p) {
    core::AppState& st = p.st;
    const display::SmithGeometry g = display::SmithChartGeometry(st.smithSize, st.smithZoom);
    platform::ChartWindowSpec spec;
    spec.title = "Smith Chart";
    spec.x = st.smithX;
    spec.y = st.smithY;
    spec.width = g.width;
    spec.height = g.height;
    std::unique_ptr<platform::ChartWindow> chart = p.ui.openChartWindow(spec);
    if (!chart) {
        return chart;
    }
    static constexpr std::array<const char*, 5> zoomCaptions = {"1X", "2X", "3X", "4X", "5X"};
    platform::ChartWindow* w = chart.get();
    w->setButtons(display::ScaleButtonRow(g.p, g.width, zoomCaptions, st.smithZoom));
    w->setEventHandler([&p, w](const platform::Event& e) {
        core::AppState& s = p.st;
        if (e.type == platform::EventType::Button && e.id >= 1 && e.id <= 5) {
            s.smithZoom = e.id;
            const display::SmithGeometry now = display::SmithChartGeometry(s.smithSize, s.smithZoom);
            w->setButtons(display::ScaleButtonRow(now.p, now.width, zoomCaptions, s.smithZoom));
        } else if (e.type == platform::EventType::CloseRequest || e.type == platform::EventType::KeyDown) {
            s.SweepRunning = 0;
        }
    });
    return chart;
}

} // namespace

std::vector<std::string> PointDataLines(const core::Program& p) {
    const ScanPoint& pt = p.point;
    std::vector<std::string> l;
    l.push_back("Point Data at " + Fixed(p.st.freq, "####.######") + " MHz" +
                (p.st.porta_cal_ok ? "" : "  (uncalibrated)"));
    l.push_back("SWR= " + (pt.swr >= 999 ? std::string(">999") : Fixed(pt.swr, "###.###")));
    l.push_back("Rs= " + Fixed(pt.rs, "######.##") + " ohm   Xs= " + Fixed(pt.xs, "######.##") + " ohm");
    l.push_back("|Z|= " + Fixed(pt.zmag, "######.##") +
                " ohm   Phase= " + Fixed(pt.zphase * DegreesPerRadian, "####.##") + " deg");
    l.push_back("Return Loss= " + Fixed(pt.return_loss, "###.##") + " dB");
    l.push_back("Any key or click ends the readings.");
    return l;
}

bool TakePointReading(core::Program& p, double freq) {
    core::AppState& st = p.st;
    // The reading leaves the frequency the source really made in `freq`; every reading asks for
    // the one chosen.
    st.freq = freq;
    st.Measuring = 1;
    st.LastError = 0;
    instrument::MeasurePortAPoint(p);
    if (st.LastError != 0 || !st.ReadingValid) {
        if (st.LastError == 0) {
            st.LastError = 10;
        }
        return false;
    }
    if (st.porta_cal_ok) {
        InterpolateAtFreq(p);
    } else {
        // Without a Port A calibration the raw impedance is all there is; the lines say so.
        DeriveValues(p.point, st.RsRaw, st.XsRaw, st.freq);
    }
    computeReflection(p);
    st.CurrentSwr = p.point.swr;
    return true;
}

namespace {

// The frequency of a point-data display, asked of the user and held to the instrument's range; none
// while a sweep runs, without an instrument, on Cancel or out of range (said in a message).
std::optional<double> AskPointFrequency(core::Program& p, const std::string& prompt,
                                        const std::string& caption) {
    const core::AppState& st = p.st;
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return std::nullopt;
    }
    const auto f = core::EnterNumber(p, prompt, caption, Fixed(st.freq > 0 ? st.freq : 10, "####.######"));
    if (f && !(*f >= st.minimum_freq && *f <= st.maximumfreq)) {
        p.ui.message("The frequency must lie between " + Fixed(st.minimum_freq, "#.###") + " and " +
                         Fixed(st.maximumfreq, "####.###") + " MHz.",
                     caption);
        return std::nullopt;
    }
    return f;
}

// After the readings: the failure that stopped them, if any, and the graph drawn again with the
// scan it shows (the readings covered part of it).
void EndReadings(core::Program& p, int failure, double freq, const std::string& caption) {
    if (failure != 0) {
        p.ui.message("No reading at " + Fixed(freq, "####.######") + " MHz (error " +
                         std::to_string(failure) + "): the readings have stopped.",
                     caption);
        p.st.LastError = failure;
    }
    if (p.st.last_scan_index >= 0) {
        display::RedrawScan(p);
    } else {
        display::RedrawGraph(p);
    }
}

} // namespace

bool OnToneButton(const core::Program& p, int x, int y) {
    const auto& b = p.st.ToneButton;
    return p.st.PointDataRunning && b[2] > b[0] && x >= b[0] && x <= b[2] && y >= b[1] && y <= b[3];
}

void PointDataCommand(core::Program& p, const std::function<void()>& afterReading) {
    core::AppState& st = p.st;
    const std::string caption = " Point Data";
    const auto f = AskPointFrequency(p, "Frequency of the readings (MHz)", caption);
    if (!f) {
        return;
    }
    const double freq = *f;
    st.PortBMode = 0;
    st.SweepRunning = 1;
    // The readings also go onto a Smith chart beside the graph, as a live point; closing the chart
    // ends the readings like a key.
    std::unique_ptr<platform::ChartWindow> chart = OpenLiveChart(p);
    instrument::SetRelays(p, 3);
    st.PointDataRunning = 1;
    int failure = 0;
    // The window messages are looked at after every reading: a reading takes a few milliseconds on
    // the line, so a key or a click is seen at once.
    while (st.SweepRunning) {
        if (!TakePointReading(p, freq)) {
            failure = st.LastError;
            break;
        }
        Show(p, PointDataLines(p));
        if (chart && chart->isOpen()) {
            const display::SmithGeometry g = display::SmithChartGeometry(st.smithSize, st.smithZoom);
            display::DrawSmithChart(p, chart->canvas(), g, {core::ChartSmith, false, true});
            display::DrawSmithLivePoint(chart->canvas(), g,
                                        display::Reflection(p.point.rs, p.point.xs, st.Z0real, st.Z0imag));
        }
        if (afterReading) {
            afterReading();
        }
        p.ui.processEvents();
    }
    if (chart) {
        const platform::Point at = chart->position();
        st.smithX = at.x;
        st.smithY = at.y;
        chart.reset();
    }
    st.Measuring = 0;
    st.SweepRunning = 0;
    st.PointDataRunning = 0;
    st.ToneButton = {};
    instrument::SetRelays(p, 0);
    EndReadings(p, failure, st.freq, caption);
}

void PointDataAB(core::Program& p) {
    core::AppState& st = p.st;
    const std::string caption = " Point Data A/B";
    const auto f = AskPointFrequency(p, "Frequency of the readings of both ports (MHz)", caption);
    if (!f) {
        return;
    }
    const double freq = *f;
    const auto portB = st.PortB_on;
    const int gainB = st.PortB_Gain;
    const int sensB = st.PortB_Sens;
    st.SweepRunning = 1;
    instrument::SetRelays(p, 3);
    int failure = 0;
    const auto raw = [&st](const char* port) {
        const bool b = port[0] == 'B';
        return std::string("        MagRef= ") + Fixed(st.MagRef, "######.#") +
               "  MagLoad= " + Fixed(st.MagLoad, "######.###") + "  (" + port + "gain " +
               std::to_string(b ? st.PortB_Gain : st.PortA_Gain) + ", " + port + "sens " +
               std::to_string(b ? st.PortB_Sens : st.PortA_Sens) + ")";
    };
    while (st.SweepRunning) {
        std::vector<std::string> l;
        l.push_back("Point Data A/B at " + Fixed(freq, "####.######") + " MHz");
        if (!TakePointReading(p, freq)) {
            failure = st.LastError;
            break;
        }
        const ScanPoint& pt = p.point;
        l.push_back("Port A: SWR= " + (pt.swr >= 999 ? std::string(">999") : Fixed(pt.swr, "###.###")) +
                    "  Rs= " + Fixed(pt.rs, "######.##") + "  Xs= " + Fixed(pt.xs, "######.##") + " ohm" +
                    (st.porta_cal_ok ? "" : "  (uncalibrated)"));
        l.push_back("        |Z|= " + Fixed(pt.zmag, "######.##") +
                    " ohm  Phase= " + Fixed(pt.zphase * DegreesPerRadian, "####.##") +
                    " deg  RL= " + Fixed(pt.return_loss, "###.##") + " dB");
        l.push_back(raw("A"));
        double s21 = 0;
        double phase = 0;
        st.freq = freq;
        st.Measuring = 1;
        st.LastError = 0;
        if (!MeasureS21Point(p, st.portb_cal_ok != 0, s21, phase)) {
            failure = st.LastError != 0 ? st.LastError : 10;
            break;
        }
        l.push_back("Port B: S21= " + Fixed(s21, "####.##") +
                    " dB  Phase= " + Fixed(phase * DegreesPerRadian, "####.##") + " deg" +
                    (st.portb_cal_ok ? "" : "  (uncalibrated)"));
        l.push_back(raw("B"));
        l.push_back("Any key or click ends the readings.");
        Show(p, l, false);
        p.ui.processEvents();
    }
    st.Measuring = 0;
    st.SweepRunning = 0;
    st.PortB_on = portB;
    st.PortB_Gain = gainB;
    st.PortB_Sens = sensB;
    instrument::SendGains(p);
    instrument::SetRelays(p, 0);
    EndReadings(p, failure, freq, caption);
}

} // namespace vna::measure
