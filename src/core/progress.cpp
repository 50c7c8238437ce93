#include "core/progress.h"

#include "core/program.h"

namespace vna::core {

namespace {

// Reports come at most this often: a terminal line redrawn for every point of a fast sweep would
// cost more than the points.
constexpr std::uint32_t ReportEveryMs = 200;

} // namespace

platform::Progress ProgressAt(std::string task, int done, int total, std::uint32_t elapsedMs) {
    platform::Progress r;
    r.task = std::move(task);
    r.done = done;
    r.total = total;
    if (done > 0 && elapsedMs > 0) {
        r.perSecond = done * 1000.0 / elapsedMs;
        r.secondsLeft = total > done ? (total - done) / r.perSecond : 0;
    }
    return r;
}

ProgressMeter::ProgressMeter(Program& p, std::string task, int total)
    : p_(p), task_(std::move(task)), total_(total), startTick_(p.clock.tickMs()) {
    last_ = ProgressAt(task_, 0, total_, 0);
}

ProgressMeter::~ProgressMeter() {
    finish();
}

bool ProgressMeter::update(int done) {
    const std::uint32_t now = p_.clock.tickMs();
    last_ = ProgressAt(task_, done, total_, now - startTick_);
    if (reported_ && done < total_ && now - reportedTick_ < ReportEveryMs) {
        return false;
    }
    reported_ = true;
    reportedTick_ = now;
    p_.ui.progress(last_);
    return true;
}

void ProgressMeter::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (reported_) {
        last_.finished = true;
        p_.ui.progress(last_);
    }
}

} // namespace vna::core
