#include "scope/vector_scope.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"
#include "platform/canvas.h"

namespace vna::scope {

namespace {

using platform::MakeRgb;
using platform::Rgb;

constexpr double Pi = 3.14159265358979323846;
constexpr Rgb Background = MakeRgb(255, 255, 255);
constexpr Rgb Grid = MakeRgb(190, 190, 190);
constexpr Rgb Ink = MakeRgb(0, 0, 0);
constexpr Rgb Warning = MakeRgb(200, 0, 0);
constexpr std::array<Rgb, ChannelCount + 1> ChannelColor = {
    Ink,
    MakeRgb(0, 0, 0),
    MakeRgb(220, 0, 0),
    MakeRgb(0, 150, 0),
    MakeRgb(0, 0, 230),
    MakeRgb(200, 120, 0),
    MakeRgb(160, 0, 160),
};
// The polar display: centre and radius (pixels); a vector as long as channel 1's reaches
// UnitLength of the radius, so a channel up to 2 dB stronger still fits.
constexpr int Cx = 215;
constexpr int Cy = 215;
constexpr int Radius = 190;
constexpr double UnitLength = 0.78;

std::string Number(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void Vector(platform::Canvas& c, double length, double deg, Rgb color, const std::string& label) {
    const double r = std::min(length * UnitLength, 1.0) * Radius;
    const double a = deg * Pi / 180;
    const int x = Cx + static_cast<int>(std::lround(r * std::cos(a)));
    const int y = Cy - static_cast<int>(std::lround(r * std::sin(a)));
    c.setPen(color, 2);
    c.moveTo(Cx, Cy);
    c.lineTo(x, y);
    c.setBrush(color);
    c.ellipse(x - 3, y - 3, x + 4, y + 4);
    c.setTextColor(color);
    c.text(x + 6, y - 6, label);
}

} // namespace

std::vector<std::string> ScopeLines(const ScopeRound& round, const ArrayScanResult* scan) {
    std::vector<std::string> lines;
    lines.push_back("Freq = " + Number("%.6f", round.freq) + " MHz");
    lines.push_back(round.openOk ? "MUX open: " + Number("%.1f", round.openDb) + " dB"
                                 : "MUX open: no reading");
    lines.push_back(scan ? "Chan      dB      deg    delay ns" : "Chan      dB      deg");
    for (int k = 1; k <= ChannelCount; ++k) {
        const ChannelReading& c = round.channel[static_cast<std::size_t>(k)];
        std::string line = " " + std::to_string(k) + "  ";
        if (k == 1 && c.ok) {
            line += " reference " + Number("%.2f", c.db) + " dB";
        } else if (c.relative) {
            line += Number("%8.2f", c.relDb) + " " + Number("%8.1f", c.relDeg) +
                    (c.independent ? " (own line)" : "");
        } else if (c.ok) {
            line += "  (no reference)";
        } else {
            line += "  " + c.problem;
        }
        if (scan) {
            const ChannelSweep& s = scan->channel[static_cast<std::size_t>(k)];
            line += s.done ? "  " + Number("%8.3f", s.delayNs) : "  (not scanned)";
        }
        lines.push_back(line);
    }
    return lines;
}

void DrawScope(platform::Canvas& c, const ScopeRound& round, const ArrayScanResult* scan) {
    c.setRasterOp(platform::RasterOp::Copy);
    c.fillRect(0, 0, c.width(), c.height(), Background);
    c.setFont("arial", 9, 400);
    c.setTextBackground(false, Background);
    // Rings at channel 1's length and at half of it (-6 dB), spokes every 30 degrees.
    c.setNullBrush();
    c.setPen(Grid, 1);
    c.ellipse(Cx - Radius, Cy - Radius, Cx + Radius + 1, Cy + Radius + 1);
    for (double ring : {UnitLength, UnitLength / 2}) {
        const int r = static_cast<int>(std::lround(ring * Radius));
        c.ellipse(Cx - r, Cy - r, Cx + r + 1, Cy + r + 1);
    }
    c.setTextColor(Grid);
    for (int deg = 0; deg < 360; deg += 30) {
        const double a = deg * Pi / 180;
        c.moveTo(Cx, Cy);
        c.lineTo(Cx + static_cast<int>(std::lround(Radius * std::cos(a))),
                 Cy - static_cast<int>(std::lround(Radius * std::sin(a))));
        const int deg180 = deg > 180 ? deg - 360 : deg;
        c.text(Cx + static_cast<int>(std::lround((Radius - 22) * std::cos(a))) - 8,
               Cy - static_cast<int>(std::lround((Radius - 22) * std::sin(a))) - 6, std::to_string(deg180));
    }
    if (round.channel[1].ok) {
        Vector(c, 1, 0, ChannelColor[1], "1");
    }
    for (int k = 2; k <= ChannelCount; ++k) {
        const ChannelReading& ch = round.channel[static_cast<std::size_t>(k)];
        if (ch.relative) {
            Vector(c, std::pow(10.0, ch.relDb / 20), ch.relDeg, ChannelColor[static_cast<std::size_t>(k)],
                   std::to_string(k));
        }
    }
    int y = 20;
    const std::vector<std::string> lines = ScopeLines(round, scan);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int k = static_cast<int>(i) - 2;
        const bool problem = k >= 1 && !round.channel[static_cast<std::size_t>(k)].ok;
        c.setTextColor(problem ? Warning : (k >= 1 ? ChannelColor[static_cast<std::size_t>(k)] : Ink));
        c.text(2 * Cx + 20, y, lines[i]);
        y += 22;
    }
    c.setTextColor(Ink);
    c.text(2 * Cx + 20, y + 10, "S: array scan");
    c.text(2 * Cx + 20, y + 30, "Close the window to end.");
    c.flush();
}

void VectorScope(core::Program& p) {
    core::AppState& st = p.st;
    const std::string caption = " Vector Scope";
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return;
    }
    if (!st.portb_cal_ok) {
        p.ui.message("Port B is not calibrated.", "Port B needs cal");
        return;
    }
    const double centre = (st.start_freq + st.end_freq) / 2;
    const auto f = core::EnterNumber(p, "Frequency of the vector scope (MHz)", caption,
                                     core::NumText(centre > 0 ? centre : 10, 6).substr(1));
    if (!f) {
        return;
    }
    if (!(*f >= st.minimum_freq && *f <= st.maximumfreq)) {
        p.ui.message("The frequency must lie between" + core::NumText(st.minimum_freq, 3) + " and" +
                         core::NumText(st.maximumfreq, 3) + " MHz.",
                     caption);
        return;
    }
    const double freq = *f;
    const ChannelCals cals = ReadChannelCals(p, st.cal_file);
    if (const std::string missing = MissingChannels(cals, {1, 2, 3, 4, 5, 6}); !missing.empty()) {
        if (!cals.channel[1].present) {
            p.ui.message(missing +
                             "\r\nThe vector scope needs channel 1, the reference. Run \"Cal MultiChannel\" "
                             "or load a channel's cal file.",
                         caption);
            return;
        }
        p.ui.message(missing + "\r\nThe other channels are shown.", caption);
    }
    platform::ChartWindowSpec spec;
    spec.title = "Vector Scope";
    spec.width = ScopeWidth;
    spec.height = ScopeHeight;
    std::unique_ptr<platform::ChartWindow> w = p.ui.openChartWindow(spec);
    if (!w) {
        p.ui.message("The vector scope needs a window; vna-cli channels prints the same numbers.", caption);
        return;
    }
    auto button = [](const char* caption, int id, int x, int width) {
        platform::PushButton b;
        b.caption = caption;
        b.id = id;
        b.x = x;
        b.y = ScopeHeight - 40;
        b.width = width;
        b.height = 26;
        return b;
    };
    w->setButtons({button("Array Scan", ScopeScanButton, 2 * Cx + 20, 100),
                   button("Close", ScopeCloseButton, 2 * Cx + 130, 80)});
    platform::ChartWindow* raw = w.get();
    w->setEventHandler([&st, raw](const platform::Event& e) {
        if ((e.type == platform::EventType::KeyDown && e.key == 'S') ||
            (e.type == platform::EventType::Button && e.id == ScopeScanButton)) {
            st.ScopeScanRequested = 1;
        } else if (e.type == platform::EventType::Button && e.id == ScopeCloseButton) {
            raw->close();
        }
    });

    KeepPortBData keep(p);
    st.VectorScopeOpen = 1;
    st.ScopeScanRequested = 0;
    st.SweepRunning = 1;
    PrepareChannelReadings(p);
    std::optional<ArrayScanResult> scan;
    int failure = 0;
    while (w->isOpen() && st.SweepRunning) {
        const ScopeRound round = ReadChannels(p, cals, freq);
        if (round.error != 0) {
            failure = round.error;
            break;
        }
        DrawScope(w->canvas(), round, scan ? &*scan : nullptr);
        p.ui.processEvents();
        if (st.ScopeScanRequested && w->isOpen() && st.SweepRunning) {
            st.ScopeScanRequested = 0;
            scan = ArrayScan(p);
            // The readings go on at the scope's frequency.
            PrepareChannelReadings(p);
            st.SweepRunning = 1;
        }
    }
    st.VectorScopeOpen = 0;
    st.ScopeScanRequested = 0;
    st.SweepRunning = 0;
    st.Measuring = 0;
    instrument::SetRelays(p, 0);
    instrument::SetExpansionPort(p, 1);
    if (failure != 0) {
        p.ui.message("No reading at" + core::NumText(freq, 6) + " MHz (error " + std::to_string(failure) +
                         "): the vector scope has stopped.",
                     caption);
        st.LastError = failure;
    }
}

} // namespace vna::scope
