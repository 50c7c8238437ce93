#include "platform/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vna::platform {

std::string DurationText(double seconds) {
    const long s = std::lround(std::max(seconds, 0.0));
    char text[48];
    if (s < 60) {
        std::snprintf(text, sizeof text, "%ld s", s);
    } else if (s < 3600) {
        std::snprintf(text, sizeof text, "%ld min %02ld s", s / 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld h %02ld min", s / 3600, (s % 3600) / 60);
    }
    return text;
}

std::string ProgressText(const Progress& p) {
    std::string text = p.task + ": " + std::to_string(p.done) + " of " + std::to_string(p.total) + " points";
    if (p.perSecond > 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, ", %.1f points/s", p.perSecond);
        text += rate;
    }
    if (p.secondsLeft >= 0) {
        text += ", " + DurationText(p.secondsLeft) + " left";
    }
    return text;
}

} // namespace vna::platform
