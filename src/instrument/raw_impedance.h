#pragma once

namespace vna::core {
struct Program;
}

namespace vna::instrument {

// The uncorrected impedance of the last reading, from the two channel amplitudes and their phase
// difference: |Zm| = 50 * MagRef / MagLoad (1e6 without a load signal), RsRaw = |Zm| cos - 50,
// XsRaw = |Zm| sin, PhaseDeg in degrees (57.296 per radian). Raises `freq` to at least 0.0001 MHz.
void RawImpedance(core::Program& p);

} // namespace vna::instrument
