// The schedule: calendar arithmetic (the stored forms are checked through
// apply and load), apply/cancel/load against a store, the "is a run due"
// decision and the second ticker.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>
#include <string>

#include "kernel/app_error.h"
#include "memory_store.h"
#include "schedule/local_time.h"
#include "schedule/schedule_due.h"
#include "schedule/schedule_model.h"

using namespace tidewell;

namespace {

// The schedule's own entries, by key.
class MemoryStore : public testing_store::MemoryStore {
public:
    std::string& at(const std::string& key) { return entry("Schedule", key); }
};

LocalDateTime at(int y, int mo, int d, int h, int mi, int s) {
    return {{y, mo, d}, {h, mi, s}};
}

const LocaleDateReader kNoLocale{};

// ---- calendar ----------------------------------------------------------------

// Weekdays are checked through the weekday kinds below.
// A first start is daily every two hours with no last run and writes nothing.
// Apply asks for a missing date or time, storing nothing, then stores in fixed
// forms; later loads restore what it stored, and Cancel discards edits.
TEST(ScheduleApply, ValidatesStoresInFixedFormsAndLoadsBack) {
    MemoryStore store;
    SchedulePanel p;
    LoadSchedule(p, store, at(2026, 12, 6, 9, 0, 0), kNoLocale);
    EXPECT_EQ(p.kind, kKindDaily);
    EXPECT_FALSE(p.date || p.time);
    EXPECT_EQ(p.hoursText, "2");

    cmbDays_Click(p, kKindDate);
    EXPECT_EQ(cmdApply_Click(p, store), ApplyMessage::DefineDate);
    cmbDays_Click(p, kKindDateTime);
    p.date = CivilDate{2026, 12, 24};
    EXPECT_EQ(cmdApply_Click(p, store), ApplyMessage::DefineTime);
    EXPECT_TRUE(store.written.empty());
    EXPECT_TRUE(p.editsPending());

    p.time = TimeOfDay{18, 0, 5};
    p.hoursText = "abc"; // stored as typed
    EXPECT_EQ(cmdApply_Click(p, store), ApplyMessage::None);
    EXPECT_FALSE(p.editsPending());
    EXPECT_THAT(store.written,
                ::testing::ElementsAre("Date=2026-12-24", "Time=18:00:05", "RunAfter=abc",
                                       "LastRunTime=##:##:##", "RunOn=9"));

    cmdCancel_Click(p, store, at(2026, 12, 6, 9, 0, 0), kNoLocale);
    EXPECT_FALSE(p.lastRun) << "\"##:##:##\" reads back as no run";
    // With a run, its date is stored beside its time.
    recordRunStart(p, at(2026, 12, 6, 14, 5, 33));
    cmbDays_Click(p, kKindDate);
    p.hoursText = "3";
    ASSERT_EQ(cmdApply_Click(p, store), ApplyMessage::None);
    EXPECT_EQ(store.at("LastRunTime") + " " + store.at("LastRunDate"), "14:05:33 2026-12-06");
    cmbDays_Click(p, 1);
    p.hoursText = "9";
    cmdCancel_Click(p, store, at(2026, 12, 6, 9, 0, 0), kNoLocale);
    EXPECT_EQ(p.kind, kKindDate);
    EXPECT_EQ(p.date, (CivilDate{2026, 12, 24}));
    EXPECT_FALSE(p.time);
    EXPECT_EQ(p.hoursText, "3");
    EXPECT_FALSE(p.editsPending());

    cmbDays_Click(p, kKindNever);
    ASSERT_EQ(cmdApply_Click(p, store), ApplyMessage::None);
    EXPECT_EQ(store.at("Date") + " " + store.at("Time") + " " + store.at("RunOn"), "Null Null 10");
}

// An older store's last run has no date: 22:10 is later than 01:00, so it
// was yesterday's. A date and time that do not read make a schedule that is
// never due.
TEST(ScheduleLoad, ReadsAnOlderLastRunAndSurvivesGarbage) {
    MemoryStore store;
    store.at("RunOn") = "9";
    store.at("RunAfter") = "2";
    store.at("LastRunTime") = "22:10:00";
    store.at("Date") = "not a date";
    store.at("Time") = "25:99:99";
    SchedulePanel p;
    p.date = CivilDate{2026, 12, 6}; // from an earlier load
    p.time = TimeOfDay{19, 15, 0};
    LoadSchedule(p, store, at(2026, 12, 7, 1, 0, 0), kNoLocale);
    ASSERT_TRUE(p.lastRun);
    EXPECT_EQ(*p.lastRun, at(2026, 12, 6, 22, 10, 0));
    EXPECT_FALSE(p.date);
    EXPECT_FALSE(p.time);
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 7, 19, 15, 0)));
}

TEST(ScheduleLoad, AKindThatIsNoNumberRaisesTheCommonErrorAndKeepsTheKind) {
    MemoryStore store;
    SchedulePanel p;
    cmbDays_Click(p, 3);
    for (const char* bad : {"abc", "", "7.5", "11", "-1"}) {
        store.at("RunOn") = bad;
        store.at("RunAfter") = "4";
        EXPECT_THROW(LoadSchedule(p, store, at(2026, 12, 6, 9, 0, 0), kNoLocale), AppError) << bad;
        EXPECT_EQ(p.kind, 3) << bad;
        EXPECT_EQ(p.hoursText, "4");
    }
}

// ---- the decision ----------------------------------------------------------------

// A schedule of each kind, and the moments it is due or not.
TEST(RunDue, EachKindAtItsMoment) {
    const auto schedule = [](int kind, std::optional<CivilDate> date, std::optional<TimeOfDay> time,
                             const char* hours, std::optional<LocalDateTime> lastRun) {
        SchedulePanel p;
        cmbDays_Click(p, kind);
        p.hoursText = hours;
        if (lastRun)
            recordRunStart(p, *lastRun);
        p.date = date;
        p.time = time;
        return p;
    };
    // The help's example: every two hours after 14:05:33, at the hour.
    SchedulePanel p = schedule(kKindDaily, {}, {}, "2", at(2026, 12, 6, 14, 5, 33));
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 6, 15, 59, 59)));
    EXPECT_TRUE(isRunDue(p, at(2026, 12, 6, 16, 0, 0)));
    p.hoursText = "-2";
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 6, 12, 0, 0))) << "the clock set back";
    p = schedule(kKindDaily, {}, {}, "2", at(2026, 12, 31, 23, 10, 0)); // across a year's end
    EXPECT_FALSE(isRunDue(p, at(2027, 1, 1, 0, 59, 59)));
    EXPECT_TRUE(isRunDue(p, at(2027, 1, 1, 1, 0, 0)));
    p = schedule(kKindDaily, {}, {}, "1", {});
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 6, 5, 0, 0))) << "no last run";
    p = schedule(kKindDaily, {}, TimeOfDay{0, 0, 0}, "2", {});
    EXPECT_TRUE(isRunDue(p, at(2027, 3, 1, 0, 0, 0)));
    EXPECT_FALSE(isRunDue(p, at(2027, 3, 1, 0, 0, 1)));
    // A date, hourly on that day only; with a time it is never due.
    p = schedule(kKindDate, CivilDate{2026, 12, 24}, {}, "1", at(2026, 12, 24, 8, 59, 0));
    EXPECT_TRUE(isRunDue(p, at(2026, 12, 24, 9, 0, 0)));
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 25, 9, 0, 0)));
    p.time = TimeOfDay{9, 0, 0};
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 24, 9, 0, 0)));
    p = schedule(kKindDateTime, CivilDate{2026, 12, 31}, TimeOfDay{23, 59, 59}, "2", {});
    EXPECT_TRUE(isRunDue(p, at(2026, 12, 31, 23, 59, 59)));
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 30, 23, 59, 59)));
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 31, 23, 59, 58)));
    p.time.reset();
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 31, 23, 59, 59))) << "a date without a time";
    p = schedule(kKindNever, {}, TimeOfDay{3, 0, 0}, "1", at(2026, 12, 6, 1, 0, 0));
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 6, 3, 0, 0)));
    p.time.reset();
    EXPECT_FALSE(isRunDue(p, at(2026, 12, 6, 2, 0, 0))) << "never, hourly";
}

TEST(RunDue, HoursTextMustBeThePlainDecimalCount) {
    for (const char* text : {"02", " 2", "2 ", "2.0", "+2", "abc", "", "0", "-1"}) {
        SchedulePanel p;
        cmbDays_Click(p, kKindDaily);
        p.hoursText = text;
        recordRunStart(p, at(2026, 12, 6, 14, 5, 33));
        for (int h = 14; h < 24; ++h) {
            EXPECT_FALSE(isRunDue(p, at(2026, 12, 6, h, 30, 0))) << "'" << text << "' at " << h;
        }
    }
}

TEST(RunDue, WeekdayKindsFireOnTheirDayOnlyAtTheExactSecond) {
    for (int kind = 0; kind < 7; ++kind) {
        SchedulePanel p;
        cmbDays_Click(p, kind);
        p.time = TimeOfDay{9, 30, 0};
        timePickerEdited(p);
        for (int day = 7; day < 14; ++day) { // Monday 7 Dec 2026 .. Sunday 13 Dec
            const bool sameDay = (day - 7) == kind;
            EXPECT_EQ(isRunDue(p, at(2026, 12, day, 9, 30, 0)), sameDay) << kind << " " << day;
            EXPECT_FALSE(isRunDue(p, at(2026, 12, day, 9, 29, 59)));
            EXPECT_FALSE(isRunDue(p, at(2026, 12, day, 9, 30, 1)));
        }
    }
}

// ---- ticker -------------------------------------------------------------------

TEST(SecondTickerTest, EachSecondOnceEvenWhenTicksAreLateOrEarly) {
    SecondTicker t;
    EXPECT_THAT(t.advance(100), ::testing::ElementsAre(100));
    EXPECT_THAT(t.advance(100), ::testing::IsEmpty()); // early tick
    EXPECT_THAT(t.advance(101), ::testing::ElementsAre(101));
    EXPECT_THAT(t.advance(104), ::testing::ElementsAre(102, 103, 104)); // late tick
    EXPECT_THAT(t.advance(102), ::testing::IsEmpty());                  // small step back
    EXPECT_THAT(t.advance(104), ::testing::IsEmpty());
    EXPECT_THAT(t.advance(105), ::testing::ElementsAre(105));
    EXPECT_THAT(t.advance(5000), ::testing::ElementsAre(5000)); // resumed from sleep
    EXPECT_THAT(t.advance(1000), ::testing::ElementsAre(1000)); // clock set far back
    EXPECT_THAT(t.advance(1001), ::testing::ElementsAre(1001));
}

TEST(ScheduleWatchTest, ADueSecondOnceUnlessPendingOrDisarmedAndNothingFromBeforeARearm) {
    ScheduleWatchState state;
    state.panel.kind = kKindDaily;
    state.panel.time = TimeOfDay{9, 30, 0};
    const std::int64_t due = toSerialSeconds(at(2026, 12, 7, 9, 30, 0));
    using Looks = std::vector<std::pair<std::int64_t, std::optional<std::int64_t>>>;
    auto run = [&](ScheduleWatch& w, const ScheduleWatchState& s, const Looks& looks) {
        for (const auto& [now, expected] : looks) {
            EXPECT_EQ(w.look(s, now), expected) << "at " << now - (due - 2);
        }
    };
    // A late look takes the seconds it missed; the due one is found once.
    ScheduleWatch late;
    run(late, state, {{due - 2, {}}, {due + 1, due}, {due + 1, {}}, {due + 2, {}}});

    // Pending edits drop the second; it is not made up once they are gone.
    ScheduleWatch pending;
    ScheduleWatchState editing = state;
    editing.editsPending = true;
    run(pending, editing, {{due - 1, {}}, {due, {}}});
    run(pending, state, {{due + 1, {}}});

    // Disarmed nothing is looked at; armed again, the seconds before the
    // arming are not made up, the ones after it are.
    ScheduleWatch rearmed;
    ScheduleWatchState off = state;
    off.armed = false;
    run(rearmed, state, {{due - 5, {}}});
    run(rearmed, off, {{due - 1, {}}, {due, {}}});
    ScheduleWatchState on = state;
    on.rearmCount = 1;
    on.rearmedAt = due;
    run(rearmed, on, {{due + 1, {}}});
    ScheduleWatch again;
    on.rearmedAt = due - 1;
    run(again, state, {{due - 3, {}}});
    run(again, on, {{due + 1, due}});
}

} // namespace
