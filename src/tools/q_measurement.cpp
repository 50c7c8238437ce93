#include "tools/q_measurement.h"

#include <algorithm>
#include <cmath>

#include "core/number_text.h"
#include "core/program.h"
#include "display/markers.h"

namespace vna::tools {

namespace {

constexpr double Deg45 = 0.7854; // radians
constexpr int FewestPoints = 4;  // between the resonance and a 45 degree point
constexpr double NoResonance = 0.00999;

std::string Fixed(double v, int decimals) {
    return core::PictureFixed(v, decimals);
}

int BandwidthDecimals(double bw) {
    const double a = std::fabs(bw);
    return a < 0.001 ? 6 : a < 0.01 ? 5 : a < 0.1 ? 4 : 3;
}

} // namespace

QResult MeasureQ(const core::AppState& st, const core::ScanArrays& scan) {
    QResult r;
    r.fr = scan.reson_freq[0];
    const display::ScanGrid g = display::GridOfPort(st, false);
    if (r.fr <= NoResonance || g.count < 2 || !(g.step > 0)) {
        r.error = 1;
        return r;
    }
    const auto phase = [&](int i) { return std::fabs(scan.scan_phase[static_cast<std::size_t>(i)]); };
    const int n = g.count;
    const int c = std::clamp(static_cast<int>(std::lround((r.fr - g.start) / g.step)), 0, n - 1);

    // Upper 45 degree point.
    int k = c;
    while (k < n && phase(k) <= Deg45) {
        ++k;
    }
    if (k - c - 1 < FewestPoints) {
        r.tooCoarse = true;
        return r;
    }
    if (k >= n) {
        r.error = 2;
        return r;
    }
    r.f2 = g.start + g.step * (k - 1) + g.step * (Deg45 - phase(k - 1)) / (phase(k) - phase(k - 1));

    // Lower 45 degree point. The phase of a resonance is much the same on either side, and a lower
    // point as close would give as poor a Q.
    k = c;
    while (k >= 0 && phase(k) <= Deg45) {
        --k;
    }
    if (k < 0) {
        r.error = 3;
        return r;
    }
    if (c - k - 1 < FewestPoints) {
        r.tooCoarse = true;
        return r;
    }
    r.f1 = g.start + g.step * (k + 1) - g.step * (Deg45 - phase(k + 1)) / (phase(k) - phase(k + 1));
    r.q = r.fr / std::fabs(r.f2 - r.f1);
    r.moreResonances = scan.reson_freq[1] > 0.01;
    return r;
}

std::string QResultText(const QResult& r) {
    const double bw = r.f2 - r.f1;
    std::string text = "Q = " + Fixed(r.q, 2) + "\r\nResonant freq = " + Fixed(r.fr, 6) +
                       "\r\nF1=" + Fixed(r.f1, 6) + "  F2=" + Fixed(r.f2, 6) +
                       "\r\nBandwidth=" + Fixed(bw, BandwidthDecimals(bw));
    if (r.moreResonances) {
        text += "\r\n\r\nNote: There is more than one resonance point in the scan data.\r\n"
                "The first point was used to calculate Q.";
    }
    return text;
}

void QMeasurement(core::Program& p) {
    const QResult r = MeasureQ(p.st, p.scan);
    if (r.tooCoarse) {
        p.ui.message("There are not enough data points around the resonance point.\r\n"
                     "The scan step size is too large for this circuit.\r\n"
                     "Change the limits and try it again.",
                     "Freq Resolution Too Coarse");
    } else if (r.error != 0) {
        p.ui.message("Scan data is not valid for a tuned circuit with one resonant point. Err=" +
                         std::to_string(r.error),
                     "");
    } else {
        p.ui.message(QResultText(r), " Q Measurement");
    }
    p.st.CursorDragging = 0;
}

} // namespace vna::tools
