#pragma once

namespace tidewell {

// The scheduler as the clean run sees it. The scheduler owns its timers and
// the last-run label; the run only tells it when it starts and ends.
class CleanRunSchedule {
public:
    virtual ~CleanRunSchedule() = default;
    // Apply or Cancel enabled: schedule edits are pending, and the run does nothing.
    virtual bool editsPending() = 0;
    // The run begins: the last-run time is taken and shown, both timers stop.
    virtual void runStarting() = 0;
    // The run ended, also at an error: the schedule re-arms a moment later.
    virtual void runFinished() = 0;
};

} // namespace tidewell
