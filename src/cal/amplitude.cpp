#include "cal/amplitude.h"

#include <cmath>

#include "cal/cal_session.h"
#include "core/delay.h"
#include "core/entry.h"
#include "core/number_text.h"
#include "core/program.h"
#include "instrument/commands.h"

namespace vna::cal {

using platform::Answer;
using platform::Buttons;

void AmplitudeCheck(core::Program& p, double percent) {
    core::AppState& st = p.st;
    const double old = st.DDS_Amplitude;
    // From a silent source every change is a large one.
    const double change = old != 0 ? std::fabs(percent - old) * 100 / old : 100;
    if (change > AmplitudeChangeThreshold) {
        const Answer a =
            p.ui.message("The present calibrated amplitude is " + CalNumber(st, old) +
                             "%.\rThe VNA should be recalibrated if the amplitude is changed to " +
                             CalNumber(st, percent) + "%.\r\rDo you want to recalibrate?",
                         "Amplitude check", Buttons::YesNo);
        if (a == Answer::Yes) {
            if (st.PortB_on) {
                st.portb_cal_ok = 0;
            } else {
                st.porta_cal_ok = 0;
            }
            p.ui.message("Recalibrate both ports ", "Cal required");
        }
    }
    instrument::SetAmplitude(p, percent);
}

void EnterAmplitude(core::Program& p) {
    if (!core::RequireHardware(p)) {
        return;
    }
    core::AppState& st = p.st;
    const Answer a = p.ui.message("Note: The present cal data may not be accurate if the output amplitude is "
                                  "changed.\r\rDo you want to enter a new amplitude value?",
                                  "Cal data alert", Buttons::YesNo);
    if (a != Answer::Yes) {
        return;
    }
    const auto v = core::EnterNumber(p, "Port A Amplitude - percent", "Port A Amplitude - percent",
                                     core::NumText(st.DDS_Amplitude, 6).substr(1));
    if (!v) {
        return;
    }
    // The source cannot give more than full scale; below 5 percent its output is not clean.
    double percent = *v;
    if (percent < MinimumAmplitude) {
        percent = MinimumAmplitude;
    }
    if (percent > 100) {
        percent = 100;
    }
    AmplitudeCheck(p, percent);
}

} // namespace vna::cal
