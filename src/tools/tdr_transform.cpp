#include "tools/tdr_transform.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/app_state.h"

namespace vna::tools {

namespace {

constexpr double Pi = 3.141592653589793;

} // namespace

double TdrStepForDistance(double maxDistFeet) {
    if (maxDistFeet < 101) {
        return 1.25;
    }
    if (maxDistFeet < 201) {
        return 0.75;
    }
    if (maxDistFeet < 501) {
        return 0.3;
    }
    return 0.15;
}

TdrPlan PlanTdr(double maxDistFeet, bool highRes, double maximumFreq, double vf) {
    TdrPlan plan;
    plan.delf = TdrStepForDistance(maxDistFeet);
    plan.points = highRes ? 512 : 256;
    if (plan.points * plan.delf / 2 > maximumFreq) {
        plan.delf = 2 * maximumFreq / plan.points;
    }
    plan.offset = std::max(10.0, 0.1 * maxDistFeet);
    plan.feetPerIndex = 512 * vf / (plan.delf * plan.points);
    return plan;
}

TdrPlan ApplyTdrPlan(core::AppState& st) {
    const TdrPlan plan = PlanTdr(st.tdrMaxDist, st.tdrHighRes != 0, st.maximumfreq, st.VF);
    st.tdrPoints = plan.points;
    st.tdrDelf = plan.delf;
    st.tdrOffset = plan.offset;
    st.feetPerIndex = plan.feetPerIndex;
    return plan;
}

Complex OffsetReflection(Complex z, double fMHz, double offsetFeet, double vf, double zref) {
    const double betaL = 2 * Pi * fMHz * offsetFeet / (vf * LightFeetPerMicrosecond);
    const double t = std::tan(betaL);
    const Complex j(0, 1);
    const Complex zin = 50.0 * (z + j * 50.0 * t) / (50.0 + j * z * t);
    return (zin - zref) / (zin + zref);
}

bool StepResponse(const Complex* gamma, int n, double* s, const std::function<bool()>& aborted) {
    const int half = n / 2;
    std::fill(s, s + n + 1, 0.0);
    // The spectrum of N points, mirrored about N/2 with the imaginary part negated, and scaled as
    // A = 2 Re / pi, B = 2 Im / pi.
    std::vector<double> a(static_cast<std::size_t>(n), 0.0);
    std::vector<double> b(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i <= half; ++i) {
        a[static_cast<std::size_t>(i)] = 2 * gamma[i].real() / Pi;
        b[static_cast<std::size_t>(i)] = 2 * gamma[i].imag() / Pi;
    }
    for (int m = 1; m < half; ++m) {
        a[static_cast<std::size_t>(half + m)] = a[static_cast<std::size_t>(half - m)];
        b[static_cast<std::size_t>(half + m)] = -b[static_cast<std::size_t>(half - m)];
    }
    // cos and sin of 2 pi m / N: k n mod N picks the angle of each term of the direct sum.
    std::vector<double> cosTab(static_cast<std::size_t>(n));
    std::vector<double> sinTab(static_cast<std::size_t>(n));
    for (int m = 0; m < n; ++m) {
        cosTab[static_cast<std::size_t>(m)] = std::cos(2 * Pi * m / n);
        sinTab[static_cast<std::size_t>(m)] = std::sin(2 * Pi * m / n);
    }
    const double scale = 0.0019417 * 512 / n;
    double sum = 0;
    for (int k = 1; k < half; ++k) {
        if (aborted && aborted()) {
            return false;
        }
        double h = 0;
        int m = 0;
        for (int i = 0; i < n; ++i) {
            h += a[static_cast<std::size_t>(i)] * cosTab[static_cast<std::size_t>(m)] -
                 b[static_cast<std::size_t>(i)] * sinTab[static_cast<std::size_t>(m)];
            m += k;
            if (m >= n) {
                m -= n;
            }
        }
        sum += Pi / 2 * h;
        s[k] = sum * scale;
    }
    return true;
}

void SmoothStepResponse(double* s, int n) {
    for (int k = 2; k <= n / 2 - 2; ++k) {
        s[k] = (s[k - 1] + s[k] + s[k + 1]) / 3;
    }
}

double LimitedRho(double s) {
    return std::clamp(s, -0.999, 0.999);
}

double ImpedanceOfRho(double rho, double zref) {
    return zref * (1 + rho) / (1 - rho);
}

} // namespace vna::tools
