#include "schedule/schedule_due.h"

#include <string>

namespace tidewell {

std::int64_t hourBoundaries(const LocalDateTime& from, const LocalDateTime& to) {
    auto hourNumber = [](const LocalDateTime& t) {
        return daysFromCivil(t.date) * 24 + t.time.hour;
    };
    return hourNumber(to) - hourNumber(from);
}

namespace {
bool timeMatch(const SchedulePanel& p, const LocalDateTime& now) {
    return p.time.has_value() && *p.time == now.time;
}

bool intervalMatch(const SchedulePanel& p, const LocalDateTime& now) {
    if (p.lastRunCaption == kNoLastRun || !p.lastRun) {
        return false;
    }
    const std::int64_t count = hourBoundaries(*p.lastRun, now);
    return count > 0 && std::to_string(count) == p.hoursText;
}

bool timeOrInterval(const SchedulePanel& p, const LocalDateTime& now) {
    return p.time ? timeMatch(p, now) : intervalMatch(p, now);
}
} // namespace

bool isRunDue(const SchedulePanel& p, const LocalDateTime& now) {
    if (p.kind < 0 || p.kind > kKindDateTime) {
        return false;
    }
    if (p.kind < kKindDaily) {
        return weekdayIndex(now.date) == p.kind && timeOrInterval(p, now);
    }
    if (p.kind == kKindDaily) {
        return timeOrInterval(p, now);
    }
    const bool today = p.date.has_value() && *p.date == now.date;
    if (p.kind == kKindDate) {
        return today && !p.time && intervalMatch(p, now);
    }
    return today && timeMatch(p, now);
}

std::vector<std::int64_t> SecondTicker::advance(std::int64_t now) {
    std::vector<std::int64_t> seconds;
    if (!last_ || now < *last_ - kCatchUpSeconds) {
        // First look, or the clock was set far back: start again from here.
        seconds.push_back(now);
    } else if (now > *last_) {
        if (now - *last_ > kCatchUpSeconds) {
            seconds.push_back(now);
        } else {
            for (std::int64_t s = *last_ + 1; s <= now; ++s) {
                seconds.push_back(s);
            }
        }
    } else {
        // The same second again, or a small step back: already looked at.
        return seconds;
    }
    last_ = now;
    return seconds;
}

std::optional<std::int64_t> ScheduleWatch::look(const ScheduleWatchState& state, std::int64_t now) {
    if (!state.armed) {
        return std::nullopt;
    }
    if (state.rearmCount != rearmCount_) {
        // Seconds that passed while the run and the cooling lasted are not made up.
        rearmCount_ = state.rearmCount;
        ticker_.reset();
        ticker_.advance(state.rearmedAt);
    }
    for (std::int64_t second : ticker_.advance(now)) {
        // A run due while edits are pending is dropped, not made up later.
        if (!state.editsPending && isRunDue(state.panel, fromSerialSeconds(second))) {
            return second;
        }
    }
    return std::nullopt;
}

int delayToNextSecond(int millisecond) {
    if (millisecond < 0 || millisecond > 999) {
        millisecond = 0;
    }
    // A little past the boundary, so that the clock reads the new second.
    return 1000 - millisecond + 15;
}

} // namespace tidewell
