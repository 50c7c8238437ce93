#include "measure/portb_correct.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/cal_table.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/status_text.h"

namespace vna::measure {

using core::BCalPoint;
using core::CalCapacity;
using core::CalTable;

namespace {

// Radians per (MHz x seconds) of the delay term. The value has always been this one rather than
// 2 pi x 1e6 (6283185.307); the delays users entered were measured with it, so it stays.
constexpr double DelayRadiansPerMHzSecond = 6238318.531;
// The phase is kept as it is while it stays this close (rad, 1.5 degrees) to the last accepted
// one, so a phase near +-pi does not flip from one side to the other from point to point.
constexpr double WrapHysteresis = 0.0262;
// Below this magnitude (rad) a phase is accepted as the new reference without question.
constexpr double SafePhase = 3.115;
constexpr double Pi = 3.141592654;
constexpr double TwoPi = 2 * Pi;
// The grid step changes at these frequencies (MHz).
constexpr double FirstStepChange = 0.1;
constexpr double SecondStepChange = 0.8;
// Frequencies are compared with this margin: the cal points lie on the grid to the last digit of
// the file.
constexpr double FreqMargin = 1e-9;

int RecordSegment(const CalTable& t, int k) {
    const BCalPoint& b = t.bcal[static_cast<std::size_t>(k)];
    // Tables read from a file carry no tags: the frequency tells the segment.
    return b.tag != 0 ? b.tag : PortBSegment(b.freq);
}

} // namespace

int PortBSegment(double freq) {
    if (freq <= FirstStepChange + FreqMargin) {
        return 1;
    }
    if (freq <= SecondStepChange + FreqMargin) {
        return 2;
    }
    return 3;
}

PortBCorrection PortBCorrect(core::Program& p, double ratio) {
    core::AppState& st = p.st;
    const CalTable& t = p.cal;
    PortBCorrection r;
    r.ratio = ratio;
    r.phase = st.PhaseDiff;
    if (st.RawMode) {
        p.point.zphase = r.phase;
        return r;
    }
    const int m = std::clamp(t.bcal_points, 0, CalCapacity);
    int i = 0;
    while (i < m && t.bcal[static_cast<std::size_t>(i)].freq <= st.freq) {
        ++i;
    }
    if (i == m && m >= 2 && st.freq <= t.bcal[static_cast<std::size_t>(m - 1)].freq + FreqMargin) {
        // On the last record itself: the pair below it ends there.
        i = m - 1;
    }
    // Past the last record there is no upper neighbour to interpolate towards.
    if (i < 1 || i >= m) {
        instrument::StatusText(
            p, 250, 530,
            "PortB: Could not find cal data in the array. Freq= " + core::NumText(st.freq, st.NumDecimals) +
                "  MaxCalBNdx= " + core::NumText(m, 0) + " ndx= " + core::NumText(i, 0),
            instrument::WarningColor(st));
        // The uncorrected phase difference: the phase of the load channel alone would be wherever
        // the source happened to be when the samples were taken.
        p.point.zphase = r.phase;
        return r;
    }
    int b = i - 1;
    if (RecordSegment(t, b) != RecordSegment(t, i)) {
        // Never interpolate across a change of the grid step: take the pair of the segment the
        // frequency belongs to.
        const int here = PortBSegment(st.freq);
        if (RecordSegment(t, i) == here && i + 1 < m && RecordSegment(t, i + 1) == here) {
            b = i;
            i = i + 1;
        } else if (RecordSegment(t, b) == here && b >= 1 && RecordSegment(t, b - 1) == here) {
            i = b;
            b = b - 1;
        }
    }
    const BCalPoint& lo = t.bcal[static_cast<std::size_t>(b)];
    const BCalPoint& hi = t.bcal[static_cast<std::size_t>(i)];
    const double span = hi.freq - lo.freq;
    const double x = span != 0 ? (st.freq - lo.freq) / span : 0;
    const bool high = st.PortB_Sens != 1;
    const double loMag = high ? lo.highMag : lo.lowMag;
    const double hiMag = high ? hi.highMag : hi.lowMag;
    const double loPhase = high ? lo.highPhase : lo.lowPhase;
    const double hiPhase = high ? hi.highPhase : hi.lowPhase;
    const double ratioCal = loMag + x * (hiMag - loMag);
    const double phaseCal = loPhase + x * (hiPhase - loPhase);

    double phi = st.PhaseDiff - DelayRadiansPerMHzSecond * st.freq * st.PortB_Delay;
    // Each gain step adds a phase of its own. Without autoranging the step is the user's and its
    // offset comes from the table; while autoranging, the sweep collects the offsets of the steps
    // it went through.
    phi -= st.autorange ? st.PortB_RangeOffset : GainStepPhase(st, std::clamp(st.PortB_Gain, 1, 5));
    phi -= phaseCal + st.PortB_PhaseOffset;
    if (std::fabs(phi) < SafePhase) {
        st.PortB_PhaseMemory = phi;
    }
    if (std::fabs(phi - st.PortB_PhaseMemory) > WrapHysteresis) {
        phi = std::remainder(phi, TwoPi);
        if (phi > Pi) {
            phi -= TwoPi;
        } else if (phi < -Pi) {
            phi += TwoPi;
        }
        st.PortB_PhaseMemory = phi;
    }
    p.point.zphase = phi;
    r.phase = phi;
    if (ratioCal != 0) {
        r.ratio = ratio / ratioCal;
        r.calibrated = true;
    }
    return r;
}

double GainStepPhase(const core::AppState& st, int gain) {
    switch (gain) {
        case 2:
            return st.Rng2;
        case 3:
            return st.Rng3;
        case 4:
            return st.Rng4;
        case 5:
            return st.Rng5;
        default:
            return st.Rng1;
    }
}

void SetGainStepPhase(core::AppState& st, int gain, double radians) {
    switch (gain) {
        case 1:
            st.Rng1 = radians;
            break;
        case 2:
            st.Rng2 = radians;
            break;
        case 3:
            st.Rng3 = radians;
            break;
        case 4:
            st.Rng4 = radians;
            break;
        case 5:
            st.Rng5 = radians;
            break;
        default:
            break;
    }
}

} // namespace vna::measure
