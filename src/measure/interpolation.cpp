#include "measure/interpolation.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/number_text.h"
#include "core/program.h"
#include "instrument/status_text.h"
#include "measure/correction.h"
#include "measure/scan_limits.h"

namespace vna::measure {

using core::InterpolatedCal;
using core::IpArray;

namespace {

std::string Num(const core::AppState& st, double v) {
    return core::NumText(v, st.NumDecimals);
}

struct Arrays {
    const core::CalArray* in;
    IpArray* out;
};

// The message of a grid point outside the cal table while the cal is in use.
void ReportOutsideTable(core::Program& p, const GridPosition& pos, double f) {
    const core::AppState& st = p.st;
    const core::CalTable& c = p.cal;
    p.ui.message("Interpolation error. NDX = " + core::NumText(static_cast<double>(pos.index), 0) + "\r" +
                     "testfreq=" + Num(st, f) + " caldelta=" + Num(st, c.caldelta) +
                     "  customstartfreq=" + Num(st, c.custom_start_freq) + "\r" +
                     "firstcalndx=" + core::NumText(c.firstcalndx, 0) + "\r\r" + "          INVALID cal file",
                 " 23827 ");
}

// The six cal values of a position: short, open and standard resistor.
struct CalValues {
    Complex zshort;
    Complex zopen;
    Complex zstd;
};

CalValues ValuesAt(const core::CalTable& c, const GridPosition& pos) {
    return {{QuadraticAt(c.short_re, pos.k, pos.t), QuadraticAt(c.short_im, pos.k, pos.t)},
            {QuadraticAt(c.open_re, pos.k, pos.t), QuadraticAt(c.open_im, pos.k, pos.t)},
            {QuadraticAt(c.std_re, pos.k, pos.t), QuadraticAt(c.std_im, pos.k, pos.t)}};
}

} // namespace

bool CalTableUsable(const core::CalTable& t) {
    return t.caldelta > 0 && std::isfinite(t.caldelta) && t.firstcalndx >= 0 &&
           t.cal_points >= t.firstcalndx + 3 && t.cal_points <= core::CalCapacity;
}

GridPosition LocateOnCalGrid(const core::CalTable& c, double f, double bias) {
    GridPosition pos;
    const double delta = c.caldelta;
    const int first = c.firstcalndx;
    double x = c.custom_cal ? (f - c.custom_start_freq) / delta + 2 + bias : f / delta + bias + first;
    if (!std::isfinite(x)) {
        x = x > 0 ? 1e9 : -1e9;
    }
    std::int64_t k = static_cast<std::int64_t>(std::floor(std::clamp(x, -1e9, 1e9)));
    pos.index = k;
    const double fk = c.custom_cal ? delta * static_cast<double>(k - 2) + c.custom_start_freq
                                   : delta * static_cast<double>(k - first);
    double t = (f - fk) / delta;
    const std::int64_t n = c.cal_points;
    pos.below = k < first;
    if (k == first) {
        t -= 1;
        k += 1;
    } else if (k > first && t > 0.5 && k < n - 1) {
        // Centre on the nearer cal point: t now lies in -0.5..0.5.
        t -= 1;
        k += 1;
    }
    // Within one cal step past the last cal point the last points serve (a grid point there is a
    // rounding of the limits, not a scan outside the cal); further out the cal does not cover it.
    pos.beyond = k > n - 1;
    // The quadratic needs k - 1 and k + 1 inside the usable part of the table; at the ends the
    // same three points serve and the value past the last one is held.
    const std::int64_t lo = first + 1;
    const std::int64_t hi = std::max<std::int64_t>(lo, n - 2);
    if (k < lo) {
        t += static_cast<double>(k - lo);
        k = lo;
    } else if (k > hi) {
        t += static_cast<double>(k - hi);
        k = hi;
    }
    pos.k = static_cast<int>(k);
    pos.t = std::clamp(t, -1.0, 1.0);
    return pos;
}

double QuadraticAt(const core::CalArray& a, int k, double t) {
    const double y0 = a[static_cast<std::size_t>(k - 1)];
    const double y1 = a[static_cast<std::size_t>(k)];
    const double y2 = a[static_cast<std::size_t>(k + 1)];
    const double qa = ((y0 - 2 * y1) + y2) * 0.5;
    const double qb = (y2 - y0) * 0.5;
    return y1 + t * (qb + t * qa);
}

void BuildInterpolation(core::Program& p) {
    core::AppState& st = p.st;
    core::CalTable& c = p.cal;
    if (!st.InstrumentPresent) {
        return;
    }
    st.LastError = 0;
    c.firstcalndx = core::CustomFirstCalIndex;
    CheckScanLimits(p);
    if (!c.custom_cal) {
        c.firstcalndx = core::StandardFirstCalIndex;
        // The first four points (5 to 20 kHz) are averaged into index 19, which serves as the
        // origin (f = 0) of the 0.2 MHz part of the grid. Repeating this changes nothing more.
        if (c.cal_points > core::StandardFirstCalIndex) {
            for (core::CalArray* a :
                 {&c.short_re, &c.short_im, &c.open_re, &c.open_im, &c.std_re, &c.std_im}) {
                const double average = ((((*a)[0] + (*a)[1]) + (*a)[2]) + (*a)[3]) * 0.25;
                (*a)[0] = (*a)[1] = (*a)[2] = (*a)[3] = average;
                (*a)[core::StandardFirstCalIndex] = average;
            }
        }
    }
    if (!CalTableUsable(c)) {
        // No table to interpolate: the sweeps ask for a calibration through the cal flags.
        return;
    }
    const int n = std::clamp(st.scan_points, 0, core::CalCapacity);
    const bool inUse = st.PortB_on ? st.portb_cal_ok != 0 : st.porta_cal_ok != 0;
    InterpolatedCal& ip = p.ip;
    const Arrays arrays[6] = {
        {&c.short_re, &ip.ip_short_re}, {&c.short_im, &ip.ip_short_im}, {&c.open_re, &ip.ip_open_re},
        {&c.open_im, &ip.ip_open_im},   {&c.std_re, &ip.ip_factor_re},  {&c.std_im, &ip.ip_factor_im},
    };
    for (int i = 0; i < n; ++i) {
        const double f = st.delta_freq * i + st.start_freq;
        const GridPosition pos = LocateOnCalGrid(c, f, 0);
        if ((pos.below || pos.beyond) && inUse) {
            ReportOutsideTable(p, pos, f);
            st.porta_cal_ok = 0;
            st.portb_cal_ok = 0;
            return;
        }
        for (const Arrays& a : arrays) {
            (*a.out)[static_cast<std::size_t>(i)] = QuadraticAt(*a.in, pos.k, pos.t);
        }
    }
    for (int i = 0; i < n; ++i) {
        const auto u = static_cast<std::size_t>(i);
        const Complex k =
            ResistorFactor({ip.ip_short_re[u], ip.ip_short_im[u]}, {ip.ip_open_re[u], ip.ip_open_im[u]},
                           {ip.ip_factor_re[u], ip.ip_factor_im[u]}, c.cal_resistor);
        ip.ip_factor_re[u] = k.real();
        ip.ip_factor_im[u] = k.imag();
    }
}

void InterpolateAtFreq(core::Program& p) {
    const core::AppState& st = p.st;
    const core::CalTable& c = p.cal;
    if (!CalTableUsable(c)) {
        return;
    }
    const double f = st.freq;
    // A small bias so that a frequency a rounding error below a cal point counts as on it.
    const GridPosition pos = LocateOnCalGrid(c, f, 0.0000001);
    if (pos.index < c.firstcalndx) {
        const int lineStep = std::max(p.st.LineStep, 12);
        instrument::StatusText(p, 100, 10,
                               "freq=" + Num(st, f) + "  custom_start_freq=" + Num(st, c.custom_start_freq) +
                                   " Caldelta=" + Num(st, c.caldelta),
                               instrument::WarningColor(st));
        instrument::StatusText(p, 100, 10 + lineStep,
                               "   Interpolation error. NDX = " +
                                   core::NumText(static_cast<double>(pos.index), 0),
                               instrument::WarningColor(st));
        instrument::StatusText(p, 100, 10 + 2 * lineStep, "firstcalndx=" + core::NumText(c.firstcalndx, 0),
                               instrument::WarningColor(st));
    }
    const CalValues v = ValuesAt(c, pos);
    CorrectReading(p, v.zshort, v.zopen, ResistorFactor(v.zshort, v.zopen, v.zstd, c.cal_resistor));
}

} // namespace vna::measure
