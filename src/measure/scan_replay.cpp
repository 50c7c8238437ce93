#include "measure/scan_replay.h"

#include <algorithm>
#include <cmath>

#include "core/program.h"

namespace vna::measure {

using core::ScanArrays;
using core::ScanPoint;

namespace {

// The value of pi of the reflection-angle quadrant rule.
constexpr double AnglePi = 3.14159265;
// Sweeps report SWR up to 999; a total reflection is 10000 before that limit.
constexpr double TotalReflectionSwr = 10000;
constexpr double HighestSwr = 999;
// A phase swing smaller than this between two zero crossings is noise, not a resonance (rad).
constexpr double ResonanceSwing = 0.1;
// ns from a phase step (rad) per MHz: 1000 / (2 pi), as the delay has always been computed.
constexpr double DelayPerRadianMHz = -159.16;
constexpr double TwoPi = 6.283185307179586;
// Stand-in for the parallel equivalent of a zero series part (ohms).
constexpr double OpenParallel = 1e9;

// The reference-impedance guard every sweep applies before it starts.
void CheckReference(core::AppState& st) {
    if (st.Zo < 1 || st.Zo > 10000 || !std::isfinite(st.Zo)) {
        st.Zo = 50;
        st.Z0real = 50;
        st.Z0imag = 0;
    }
    if (st.Z0real < 1 || st.Z0real > 10000) {
        st.Z0real = 50;
    }
    if (std::fabs(st.Z0imag) > 10000) {
        st.Z0imag = 0;
    }
    if (st.trend < 0 || st.trend > 20) {
        st.trend = 0;
    }
    st.trendOn = st.trend >= 1 ? 1 : 0;
}

int StoredCount(const core::AppState& st) {
    return std::clamp(st.last_scan_index + 1, 0, core::ScanCapacity);
}

} // namespace

void computeReflection(core::Program& p) {
    const core::AppState& st = p.st;
    ScanPoint& pt = p.point;
    const double nRe = pt.rs - st.Zo;
    const double nIm = pt.xs - st.Z0imag;
    const double dRe = pt.rs + st.Zo;
    const double dIm = pt.xs + st.Z0imag;
    const double d2 = dRe * dRe + dIm * dIm;
    if (d2 > 0) {
        pt.gamma_re = (nIm * dIm + nRe * dRe) / d2;
        pt.gamma_im = (nIm * dRe - nRe * dIm) / d2;
    } else {
        // Z = -Zref: only a negative resistance gets here; call it a total reflection.
        pt.gamma_re = 1;
        pt.gamma_im = 0;
    }
    pt.rho = std::sqrt(pt.gamma_re * pt.gamma_re + pt.gamma_im * pt.gamma_im);
    pt.return_loss = -20 * std::log10(pt.rho);
    if (std::fabs(pt.gamma_re) < 0.000001) {
        pt.gamma_re = pt.gamma_re < 0 ? -0.000001 : 0.000001;
    }
    pt.gamma_angle = std::atan(pt.gamma_im / pt.gamma_re);
    if (pt.gamma_re < 0 && pt.gamma_im >= 0) {
        pt.gamma_angle += AnglePi;
    } else if (pt.gamma_re < 0 && pt.gamma_im < 0) {
        pt.gamma_angle -= AnglePi;
    }
    pt.swr = pt.rho >= 0.999999 ? TotalReflectionSwr : (1 + pt.rho) / (1 - pt.rho);
    if (pt.swr > HighestSwr) {
        pt.swr = HighestSwr;
    }
}

void smoothTrend(core::Program& p, TrendMemory& memory, int i) {
    ScanPoint& pt = p.point;
    if (i > 1 && p.st.trend > 0) {
        // The weight has always been computed in single precision; smoothed traces of stored
        // scans keep their exact values that way.
        const double w = static_cast<double>(1.0f / static_cast<float>(p.st.trend));
        pt.rs = memory.rs + (pt.rs - memory.rs) * w;
        pt.xs = memory.xs + (pt.xs - memory.xs) * w;
        pt.rp = memory.rp + (pt.rp - memory.rp) * w;
        pt.xp = memory.xp + (pt.xp - memory.xp) * w;
        pt.zphase = memory.zphase + (pt.zphase - memory.zphase) * w;
        pt.swr = memory.swr + (pt.swr - memory.swr) * w;
        pt.return_loss = memory.return_loss + (pt.return_loss - memory.return_loss) * w;
        pt.zmag = memory.zmag + (pt.zmag - memory.zmag) * w;
    }
    memory = {pt.rs, pt.xs, pt.rp, pt.xp, pt.zphase, pt.swr, pt.return_loss, pt.zmag};
}

void findMinSwrAndResonances(core::Program& p) {
    core::AppState& st = p.st;
    ScanArrays& s = p.scan;
    const int last = StoredCount(st) - 1;
    // The last point is a measured point like the others, so it takes part in the minimum search.
    st.min_swr = TotalReflectionSwr;
    st.min_swr_freq = st.start_freq;
    for (int k = 0; k <= last; ++k) {
        if (s.scan_swr[static_cast<std::size_t>(k)] < st.min_swr) {
            st.min_swr = s.scan_swr[static_cast<std::size_t>(k)];
            st.min_swr_freq = st.delta_freq * k + st.start_freq;
        }
    }
    s.reson_freq.fill(-1);
    std::size_t count = 0;
    double swing = 0;
    for (int k = 0; k + 1 <= last; ++k) {
        const double here = s.scan_phase[static_cast<std::size_t>(k)];
        const double next = s.scan_phase[static_cast<std::size_t>(k + 1)];
        swing = std::max(swing, std::fabs(here));
        if (next * here <= 0) {
            const double diff = next - here;
            const double offset = diff != 0 ? -st.delta_freq * here / diff : 0;
            if (swing > ResonanceSwing) {
                s.reson_freq[count] = st.delta_freq * k + st.start_freq + offset;
                count = std::min<std::size_t>(count + 1, s.reson_freq.size() - 1);
            }
            swing = 0;
        }
    }
}

void PointFromRawA(core::Program& p, int i) {
    const core::AppState& st = p.st;
    const ScanArrays& s = p.scan;
    ScanPoint& pt = p.point;
    const auto k = static_cast<std::size_t>(std::clamp(i, 0, core::ScanCapacity - 1));
    pt.freq = st.delta_freq * i + st.start_freq;
    pt.zmag = s.raw_zmag[k];
    pt.zphase = s.raw_phase[k];
    pt.rs = pt.zmag * std::cos(pt.zphase);
    pt.xs = pt.zmag * std::sin(pt.zphase);
    pt.rp = pt.rs != 0 ? pt.zmag * pt.zmag / pt.rs : OpenParallel;
    pt.xp = pt.xs != 0 ? pt.zmag * pt.zmag / pt.xs : OpenParallel;
    pt.cp = pt.freq > 0 ? -1e6 / (pt.xp * TwoPi * pt.freq) : 0;
}

void CompensateTemperature(core::Program& p) {
    const core::AppState& st = p.st;
    if (st.myvar1 != 0) {
        p.point.zphase += (st.Temperature - st.myvar2) * st.myvar1 * p.point.freq / 180 / 57.3;
    }
}

double DelayWindow(const core::AppState& st) {
    const double n = st.scan_points;
    const double setting = std::abs(st.delay_smoothing);
    const double window = st.delay_smoothing < 0 ? setting * n * 0.01 * n / 200 : setting * n / 200;
    return std::max(window, 1.0);
}

double GroupDelay::next(double phase) {
    if (first_) {
        first_ = false;
        previous_ = phase;
        step_ = phase;
        return 0;
    }
    // The phase step between points brought into -pi..pi: a delay whose step is more than a
    // radian (100 ns at 2 MHz steps is 1.26 rad) is still a step, in either direction.
    const double d = std::remainder(phase - previous_, TwoPi);
    previous_ = phase;
    step_ += (d - step_) / std::min(count_, window_);
    count_ += 1;
    return deltaFreq_ != 0 ? step_ * DelayPerRadianMHz / deltaFreq_ : 0;
}

double InsertionLoss(double s21db, double s11db) {
    const double s21 = std::pow(10.0, s21db / 20);
    const double s11 = s11db == 0 ? 0 : std::pow(10.0, s11db / 20);
    const double entered = 1 - s11 * s11;
    return entered > 1e-12 && s21 > 0 ? -10 * std::log10(s21 * s21 / entered) : 0;
}

void ReplayScanA(core::Program& p) {
    core::AppState& st = p.st;
    ScanArrays& s = p.scan;
    ScanPoint& pt = p.point;
    CheckReference(st);
    const int count = StoredCount(st);
    TrendMemory memory;
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        PointFromRawA(p, i);
        computeReflection(p);
        s.scan_rs[k] = pt.rs;
        s.scan_xs[k] = pt.xs;
        if (st.trendOn) {
            smoothTrend(p, memory, i);
        }
        pt.q = std::fabs(pt.xs) / (pt.rs + 0.00001);
        CompensateTemperature(p);
        s.scan_swr[k] = pt.swr;
        s.scan_zmag[k] = pt.zmag;
        s.scan_phase[k] = pt.zphase;
    }
    findMinSwrAndResonances(p);
}

void ReplayScanB(core::Program& p) {
    const core::AppState& st = p.st;
    ScanArrays& s = p.scan;
    const int count = StoredCount(st);
    GroupDelay delay(DelayWindow(st), st.delta_freq);
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        s.group_delay[k] = delay.next(s.s21_phase[k]);
        s.insertion_loss[k] = InsertionLoss(s.s21_db[k], s.s11_db[k]);
    }
}

} // namespace vna::measure
