#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "schedule/local_time.h"
#include "schedule/schedule_model.h"

namespace tidewell {

// Hour boundaries crossed from `from` to `to` (full date-times): 14:59:59 to
// 15:00:00 is 1, 14:00:00 to 14:59:59 is 0, 23:30 to 01:10 the next day is 2.
std::int64_t hourBoundaries(const LocalDateTime& from, const LocalDateTime& to);

// Is a clean run due in the second `now`, given the panel as it stands?
// Weekday kinds compare the weekday by number (Monday = kind 0), whatever the
// locale calls it. The interval must be typed as the plain decimal count; a
// count of zero or less never matches (a run would otherwise follow every
// run at once).
bool isRunDue(const SchedulePanel& p, const LocalDateTime& now);

// Decides which seconds the schedule evaluates, so that each second is looked
// at exactly once although the timer wakes only about once a second and may
// be late: all the seconds missed since the last evaluation, up to a few;
// after a longer gap (sleep, a clock change) only the current one. A small
// step backwards evaluates nothing until the clock passes the last second
// looked at, so no scheduled second is taken twice.
class SecondTicker {
public:
    static constexpr std::int64_t kCatchUpSeconds = 5;
    std::vector<std::int64_t> advance(std::int64_t nowSerialSecond);
    void reset() { last_.reset(); }

private:
    std::optional<std::int64_t> last_;
};

// What the schedule's watcher sees at each look: the panel as its controls
// last showed it, whether edits are pending, whether the timer is armed, and
// how often and in which second it was armed again after a run.
struct ScheduleWatchState {
    SchedulePanel panel;
    bool editsPending = false;
    bool armed = true;
    std::uint64_t rearmCount = 0;
    std::int64_t rearmedAt = 0;
};

// The schedule timer's decision without the timer: each second up to `now`
// is looked at once (as SecondTicker counts them) and the first due one is
// returned. Nothing is looked at while disarmed; a new arming starts again
// from the second it happened in.
class ScheduleWatch {
public:
    std::optional<std::int64_t> look(const ScheduleWatchState& state, std::int64_t now);

private:
    SecondTicker ticker_;
    std::uint64_t rearmCount_ = 0;
};

// Milliseconds to sleep so the next wake-up lands just after the next second
// boundary; `millisecond` is the current millisecond within the second.
int delayToNextSecond(int millisecond);

// The two schedule timers as one state machine: armed (schedule timer on) ->
// running (both off, from the start of a clean run) -> cooling (re-enable
// timer on, from the end of the run) -> armed again one second later.
enum class ScheduleTimerState { Armed, Running, Cooling };

} // namespace tidewell
