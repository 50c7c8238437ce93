#pragma once

#include <cstdint>
#include <string>

#include "platform/progress.h"

namespace vna::core {

struct Program;

// The rate and the time left of work with `done` of `total` points done after `elapsedMs`; the rate
// is 0 and the time left -1 until a point is done and some time has passed.
platform::Progress ProgressAt(std::string task, int done, int total, std::uint32_t elapsedMs);

// Reports the progress of a long piece of work to the Ui port as it goes: at most five times a
// second (and at the first and last point), then once finished, also when the work ends early.
class ProgressMeter {
public:
    ProgressMeter(Program& p, std::string task, int total);
    ~ProgressMeter();
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    // `done` points are done; true when this call reported (for a caller that draws it too).
    bool update(int done);
    void finish();
    // The last report (also when update did not pass it on).
    const platform::Progress& last() const { return last_; }

private:
    Program& p_;
    std::string task_;
    int total_;
    std::uint32_t startTick_;
    std::uint32_t reportedTick_ = 0;
    bool reported_ = false;
    bool finished_ = false;
    platform::Progress last_;
};

} // namespace vna::core
