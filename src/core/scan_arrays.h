#pragma once

#include <array>

#include "core/app_state.h"

namespace vna::core {

using ScanArray = std::array<double, core::ScanCapacity>;

// The per-point results of the last sweep of each port, indexed by scan point 0..N-1. They are
// fixed-capacity arrays: nothing grows with the number of sweeps run. The graph, the Smith chart,
// the markers, the TDR and the scan files all read them.
struct ScanArrays {
    // Port A. raw_zmag and raw_phase are the primary record of a scan: a replay and the scan
    // files start from them.
    ScanArray raw_zmag{};   // corrected |Z| before smoothing and temperature compensation (ohms)
    ScanArray raw_phase{};  // corrected Z phase before smoothing and temperature compensation (rad)
    ScanArray scan_rs{};    // Rs before smoothing (ohms)
    ScanArray scan_xs{};    // Xs before smoothing (ohms)
    ScanArray scan_swr{};   // SWR after smoothing
    ScanArray scan_zmag{};  // |Z| after smoothing (ohms)
    ScanArray scan_phase{}; // Z phase after smoothing and temperature compensation (rad)
    std::array<double, 11> reson_freq{}; // resonances found after the sweep (MHz), -1 = none

    // Port B.
    ScanArray s21_db{};         // S21 magnitude (dB)
    ScanArray s21_phase{};      // S21 phase (rad)
    ScanArray s11_db{};         // S11 magnitude from Port A (dB), 0 when not measured
    ScanArray s11_phase{};      // S11 phase (rad)
    ScanArray group_delay{};    // group delay (ns)
    ScanArray insertion_loss{}; // insertion loss (dB)
};

// The values of the point being processed.
struct ScanPoint {
    double freq = 0; // MHz
    double rs = 0;
    double xs = 0;
    double zmag = 0;
    double zphase = 0; // rad
    double rp = 0;
    double xp = 0;
    double cp = 0; // pF
    double cs = 0; // pF
    double gamma_re = 0;
    double gamma_im = 0;
    double rho = 0;
    double gamma_angle = 0; // rad
    double return_loss = 0; // dB
    double swr = 0;
    double q = 0;
};

} // namespace vna::core
