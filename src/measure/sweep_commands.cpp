#include "measure/sweep_commands.h"

#include <algorithm>

#include "core/delay.h"
#include "core/program.h"
#include "display/graph_draw.h"
#include "instrument/commands.h"
#include "measure/sweep.h"

namespace vna::measure {

namespace {

// A sweep can start: none is running, the TDR display (which sweeps its own way) is off and the
// instrument is there.
bool CanSweep(core::Program& p) {
    if (p.st.SweepRunning || p.st.TdrActive) {
        return false;
    }
    return core::RequireHardware(p);
}

} // namespace

void ScanCommand(core::Program& p) {
    if (!CanSweep(p)) {
        return;
    }
    p.st.live_scan = 1;
    display::DrawGraph(p);
    SweepActivePort(p);
}

void RescanCommand(core::Program& p) {
    if (!CanSweep(p)) {
        return;
    }
    p.st.live_scan = 1;
    SweepActivePort(p);
}

void RecycleCommand(core::Program& p) {
    core::AppState& st = p.st;
    if (st.recycle) {
        // Pressed again during a repeating run: the run ends after the sweep or pause under way.
        st.recycle = 0;
        return;
    }
    if (!CanSweep(p)) {
        return;
    }
    st.live_scan = 1;
    st.recycle = 1;
    display::DrawGraph(p);
    int onScreen = 0;
    while (st.recycle) {
        SweepActivePort(p);
        if (!st.recycle || st.LastError != 0) {
            break;
        }
        ++onScreen;
        // From the second sweep on the relays stay as they are.
        st.recycle = std::min(onScreen + 1, 1000);
        if (st.Recycle_depth > 0 && onScreen >= st.Recycle_depth) {
            display::DrawGraph(p);
            onScreen = 0;
        }
        core::Delay(p, st.rescanPause);
    }
    st.recycle = 0;
    instrument::SetRelays(p, 0);
}

} // namespace vna::measure
