#include "instrument/raw_impedance.h"

#include <cmath>

#include "core/program.h"

namespace vna::instrument {

void RawImpedance(core::Program& p) {
    core::AppState& st = p.st;
    // The bridge resistance is both the scale of the raw impedance and the offset of its real part.
    const double bridge = 50;
    const double zm = st.MagLoad != 0 ? bridge * st.MagRef / st.MagLoad : 1000000;
    st.RsRaw = zm * std::cos(st.PhaseDiff) - bridge;
    st.XsRaw = zm * std::sin(st.PhaseDiff);
    if (st.freq < 0.0001) {
        st.freq = 0.0001;
    }
    st.PhaseDeg = st.PhaseDiff * 57.296;
}

} // namespace vna::instrument
