#include "commands/status_commands.h"

#include <algorithm>
#include <cmath>

#include "commands/chart_commands.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "display/status_panel.h"
#include "measure/averaging.h"
#include "measure/correction.h"

namespace vna::commands {

void StatusButtonClicked(core::Program& p, int which) {
    core::AppState& st = p.st;
    switch (which) {
        case 1:
            if (auto v = core::EnterNumber(p, "Average value 1..256", " Averaging",
                                           core::NumText(st.average, 0))) {
                st.average = std::clamp(core::Nint(std::fabs(*v)), 1, 256);
                measure::ApplyAveraging(p, st.average);
            }
            break;
        case 2:
            if (auto v = core::EnterNumber(p, "Settling time after a frequency change, 0..31 ms",
                                           " Settling Time", core::NumText(st.DDSdelay, 0))) {
                st.DDSdelay = std::clamp(core::Nint(std::fabs(*v)), 0, 31);
            }
            break;
        case 3:
            if (auto v = core::EnterNumber(p, "Enter Smoothing or Trend Value", " Trend",
                                           core::NumText(st.trend, 0))) {
                // A trend of 1 would smooth nothing; it is stored as 0 (off).
                int t = std::clamp(core::Nint(std::fabs(*v)), 0, 20);
                if (t == 1) {
                    t = 0;
                }
                st.trend = t;
                st.trendOn = t >= 1 ? 1 : 0;
            }
            break;
        case 4:
            measure::LineExtensionDialog(p);
            break;
        case 5:
            EnterReferenceZ(p, 1);
            break;
        default:
            return;
    }
    display::UpdateStatus(p, which);
}

} // namespace vna::commands
