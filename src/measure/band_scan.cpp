// The band scan: the instrument steps through the scan limits by itself and streams a level per
// step; the program draws them and acknowledges each.

#include "measure/band_scan.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/delay.h"
#include "core/freq_axis.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "display/graph_geometry.h"
#include "display/graph_text.h"
#include "files/scan_format.h"
#include "instrument/commands.h"
#include "measure/sweep_common.h"
#include "platform/canvas.h"

namespace vna::measure {

namespace {

using instrument::BandScanEnd;

constexpr core::Rgb Black = core::Color(0, 0, 0);
constexpr core::Rgb White = core::Color(255, 255, 255);
// A level of this value reaches the top of the box; ten divisions of 5 dB lie below it.
constexpr double TopLevel = 1200;
constexpr double DbPerDivision = 5;
// The finest step of the instrument's band scan (MHz), and the largest step it is used for.
constexpr double FinestStep = 0.001;
constexpr double KeptStep = 0.002;
// The trace is shown on the screen every so many levels.
constexpr int FlushEvery = 20;

// What the scan changes and puts back.
struct Kept {
    std::int32_t gainA, sensA, gainB, sensB;
    double deltaFreq, swrRuler;
};

// The empty graph with the scan's date line and texts.
void DrawEmptyGraph(core::Program& p) {
    const core::AppState& st = p.st;
    display::DrawGraph(p);
    platform::Canvas* c = p.ui.mainCanvas();
    if (!c) {
        return;
    }
    const core::GraphGeometry& g = p.display.g;
    display::SetGraphFont(*c, st, 0, display::GraphFontWeight(st));
    c->setTextBackground(false, White);
    // The date line tells when this scan ran; the caption of a stored scan does not belong here.
    const int top = std::min(g.box.bottom + 7, g.captionY);
    c->fillRect(1, top, st.WinWidth, std::max(g.box.bottom + 7, g.captionY) + g.lineH + 1, White);
    display::TextAt(*c, 10, g.box.bottom + 7, files::ScanStamp(p.clock.now()), Black);
    display::TextAt(*c, g.box.left + 5, g.box.top + 3, "5 dB per vertical div", Black);
    display::TextAt(*c, g.box.left + 40, g.rows[0], "Click Rescan button to repeat Band Scan", Black);
    display::TextAt(*c, g.box.left + 40, g.rows[1], "Click HALT to stop scan", Black);
    c->flush();
}

void EndNote(core::Program& p, const instrument::BandScanResult& r) {
    std::string why;
    if (r.end == BandScanEnd::Silent) {
        why = r.levels == 0 ? "Band scan: no data from the VNA." : "Band scan: the VNA stopped sending.";
    } else if (r.end == BandScanEnd::NoEndMarker) {
        why = "Band scan: no end of scan after" + core::NumText(instrument::BandScanSampleLimit, 0) +
              " levels.";
    } else {
        return;
    }
    const core::GraphGeometry& g = p.display.g;
    sweep_detail::GraphNote(p, g.centreX, g.rows[1], why + "   ", p.st.RedColor);
}

} // namespace

BandScanScale MakeBandScanScale(const core::GraphGeometry& g) {
    BandScanScale s;
    s.h = g.centreY - g.box.top;
    // Ten divisions of 5 dB above the centre line: 50 dB, 2.5 decades of the level.
    s.perDecade = 20 / DbPerDivision * 0.1 * s.h;
    s.factor = s.perDecade > 0 ? std::pow(10.0, s.h / s.perDecade) / TopLevel : 0;
    return s;
}

BandScanTrace::BandScanTrace(const BandScanScale& scale, int centreY, int top)
    : scale_(scale), centreY_(centreY), top_(top) {}

int BandScanTrace::next(std::uint16_t value) {
    const double v = static_cast<double>(value) - 5;
    const double level = std::max({v, 2.0, previous_});
    previous_ = v;
    const double decades = scale_.factor > 0 ? std::log10(scale_.factor * level) : 0;
    const int height = core::NearestEven(decades * scale_.perDecade);
    if (height > 1) {
        if (++counter_ > 2) {
            counter_ = 2;
            visible_ = true;
        }
    } else if (height < 1) {
        if (counter_ < 2) {
            --counter_;
        } else {
            counter_ = 0;
        }
    }
    if (counter_ < -1) {
        visible_ = false;
        counter_ = 0;
    }
    if (!visible_) {
        return centreY_;
    }
    return std::max(top_, centreY_ - std::max(height, 1));
}

double BandScanStep(double start, double stop, double step) {
    const double wanted = step > 0 && step <= KeptStep ? step : FinestStep;
    const double finest = (stop - start) / (instrument::BandScanSampleLimit - 1);
    return std::max(wanted, finest);
}

instrument::BandScanResult BandScanPass(core::Program& p, int sensitivity, double step,
                                        const std::function<void(double, std::uint16_t)>& onLevel) {
    core::AppState& st = p.st;
    instrument::BandScanResult result;
    if (!st.InstrumentPresent) {
        return result;
    }
    st.LastError = 0;
    // Running from here on: Halt during the set-up already ends the pass, and no other command
    // starts meanwhile.
    st.SweepRunning = 1;
    const auto running = [&st] { return st.SweepRunning && st.ProgramRunning; };
    const Kept kept{st.PortA_Gain, st.PortA_Sens, st.PortB_Gain, st.PortB_Sens, st.delta_freq, st.swr_ruler};
    // Port A's relay alone: the scan listens to the reflection bridge.
    st.RelayBit1 = 0;
    instrument::SetRelays(p, 1);
    st.PortA_Sens = 2;
    st.PortA_Gain = sensitivity == 2 ? 2 : 1;
    st.PortB_Sens = 1;
    st.PortB_Gain = 1;
    instrument::SendGains(p);
    st.swr_ruler = 0;
    st.delta_freq = step;

    DrawEmptyGraph(p);
    const core::GraphGeometry& g = p.display.g;
    BandScanTrace trace(MakeBandScanScale(g), g.centreY, g.box.top);
    const double start = st.start_freq;
    int lastX = 0;
    int lastY = 0;
    const bool started = running();
    if (started) {
        instrument::SendBandScanSetup(p, st.start_freq, st.end_freq, st.delta_freq);
    }
    result = instrument::ReadBandScanLevels(p, running, [&](int index, std::uint16_t value) {
        const double f = start + index * st.delta_freq;
        const int y = trace.next(value);
        const int x = std::clamp(core::NearestEven((f - g.axis.plotStart) * g.pxPerMHz + g.box.left),
                                 g.box.left, g.box.right);
        if (platform::Canvas* c = p.ui.mainCanvas()) {
            c->setPen(st.Green, st.traceWidth);
            c->moveTo(index == 0 ? x : lastX, index == 0 ? y : lastY);
            c->lineTo(x, y);
            if (index % FlushEvery == 0) {
                c->flush();
            }
        }
        lastX = x;
        lastY = y;
        if (onLevel) {
            onLevel(f, value);
        }
    });
    st.SweepRunning = 0;
    if (platform::Canvas* c = p.ui.mainCanvas()) {
        c->flush();
    }

    if (started) {
        instrument::LeaveBandScan(p);
    }
    instrument::SetRelays(p, 0);
    st.PortA_Gain = kept.gainA;
    st.PortA_Sens = kept.sensA;
    st.PortB_Gain = kept.gainB;
    st.PortB_Sens = kept.sensB;
    st.delta_freq = kept.deltaFreq;
    st.swr_ruler = kept.swrRuler;
    instrument::SendGains(p);
    // The grid of the scan limits again (the redraw counted the points of the scan's step).
    display::ComputeScaleFactors(p);
    if (result.end == BandScanEnd::Silent) {
        st.LastError = 10;
    }
    EndNote(p, result);
    p.ui.focusMainWindow();
    return result;
}

void BandScanCommand(core::Program& p, int sensitivity) {
    core::AppState& st = p.st;
    if (st.SweepRunning || !core::RequireHardware(p)) {
        return;
    }
    if (st.TdrActive) {
        p.ui.message("The band scan draws on the graph of Port A: switch the TDR mode off first.",
                     " Band Scan");
        return;
    }
    if (!(st.end_freq > st.start_freq)) {
        p.ui.message("The scan limits hold no band to scan.\rSet them with Limits.", " Band Scan");
        return;
    }
    st.bandScanSensitivity = sensitivity == 2 ? 2 : 1;
    st.BandScanRunning = 1;
    BandScanPass(p, st.bandScanSensitivity, BandScanStep(st.start_freq, st.end_freq, st.delta_freq));
}

} // namespace vna::measure
