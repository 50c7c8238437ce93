#pragma once

#include <string>

namespace vna::platform {

// How far a long piece of work (a sweep, one standard of a calibration) has got.
struct Progress {
    std::string task;        // what is being done, e.g. "Port A sweep" or "Short circuit"
    int done = 0;            // points done
    int total = 0;           // points in all
    double perSecond = 0;    // points per second so far (0 until known)
    double secondsLeft = -1; // time left at that rate (-1 until known)
    bool finished = false;   // the work has ended (done or not): the report goes away
};

// "12 s", "3 min 05 s", "1 h 02 min": a time as a person reads it.
std::string DurationText(double seconds);

// "Port A sweep: 120 of 400 points, 85.3 points/s, 3 s left" (the rate and the time once known).
std::string ProgressText(const Progress& p);

} // namespace vna::platform
