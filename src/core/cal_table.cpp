#include "core/cal_table.h"

namespace vna::core {

void SetGridInUse(CalTable& t, double minimumFreq, double maximumFreq) {
    if (t.custom_cal) {
        t.cal_start = t.custom_start_freq;
        t.cal_end = t.custom_end_freq;
        t.caldelta = t.custom_delta_freq;
        t.firstcalndx = CustomFirstCalIndex;
    } else {
        t.cal_start = minimumFreq;
        t.cal_end = maximumFreq;
        t.caldelta = StandardCalDelta;
        t.firstcalndx = StandardFirstCalIndex;
    }
}

} // namespace vna::core
