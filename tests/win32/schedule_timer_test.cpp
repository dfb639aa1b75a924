// The schedule panel's timers on the real message loop and real pickers: an
// applied due run fires once, in its second, and the next second's tick does
// not fire it again (pending edits holding it back are the unit tests').
// What the panel shows and stores at start, and its messages, are the e2e
// tests'.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "../unit/memory_store.h"
#include "schedule_page.h"
#include "test_files.h"
#include "schedule/schedule_panel_win32.h"
#include "shell/resource.h"
#include "win32/message_pump.h"

using namespace tidewell;
using namespace tidewell::win32;

namespace {

using testing_schedule::SchedulePage;

// Serves the thread's messages until `done` holds or 15 s have passed.
template <typename F> bool pumpUntil(F&& done) {
    const DWORD end = ::GetTickCount() + 15000;
    while (!done() && static_cast<LONG>(end - ::GetTickCount()) > 0) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        pumpPendingMessages();
    }
    return done();
}

SYSTEMTIME inSeconds(int seconds) {
    const LocalDateTime t = fromSerialSeconds(toSerialSeconds(localNow()) + seconds);
    return toSystemTime(t.date, t.time);
}

TEST(SchedulePanelWin32Test, AnAppliedDueRunFiresOnceInItsSecond) {
    SchedulePage page;
    testing_store::MemoryStore store;
    testing_files::ErrorRecorder errors;
    int runs = 0;
    SchedulePanelWin32* self = nullptr;
    SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, [&] {
                                  ++runs;
                                  self->runStarting();
                                  EXPECT_EQ(self->timerState(), ScheduleTimerState::Running);
                                  self->runFinished();
                              }});
    self = &panel;
    panel.prepareAtStartup();
    // "Date & Time" on the pickers, due three seconds from now, applied.
    const SYSTEMTIME due = inSeconds(3);
    ::SendMessageW(page.item(IDC_CMBDAYS), CB_SETCURSEL, 9, 0);
    panel.cmbDays_Click();
    for (int id : {IDC_DTPSCHEDULEDATE, IDC_DTPSCHEDULETIME}) {
        ::SendMessageW(page.item(id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&due));
    }
    panel.timePickerChanged();
    ASSERT_TRUE(panel.editsPending());
    panel.cmdApply_Click();
    ASSERT_FALSE(panel.editsPending());
    const LocalDateTime when = fromSystemTime(due);
    // The pickers' values are stored in the fixed forms, seconds included.
    EXPECT_EQ(store.entry("Schedule", "Date"), formatIsoDate(when.date));
    EXPECT_EQ(store.entry("Schedule", "Time"), formatTime(when.time));

    // One second after the run ended the last run is stored and the timer armed.
    auto stored = [&] { return store.entry("Schedule", "LastRunTime"); };
    ASSERT_TRUE(pumpUntil([&] { return runs == 1 && stored() == page.text(IDC_LBLLASTRUNTIME); }))
        << runs << " " << stored();
    ASSERT_TRUE(parseTime(stored()));
    EXPECT_GE(toSerialSeconds({when.date, *parseTime(stored())}), toSerialSeconds(when))
        << "ran before its second";
    EXPECT_EQ(panel.timerState(), ScheduleTimerState::Armed);
    const long long ranAt = toSerialSeconds(localNow());
    ASSERT_TRUE(pumpUntil([&] { return toSerialSeconds(localNow()) > ranAt + 1; }));
    EXPECT_EQ(runs, 1) << "the same second fired twice";
    EXPECT_TRUE(errors.reports.empty());
}

TEST(ScheduleLocaleForms, OlderStoresWrittenInTheUsersLocaleStillRead) {
    // The bench's locale is US English: month/day/year and a 12-hour clock.
    const LocaleDateReader locale = userLocaleDateReader();
    EXPECT_EQ(locale.date("12/6/2026"), (CivilDate{2026, 12, 6}));
    EXPECT_EQ(locale.time("7:15:03 PM"), (TimeOfDay{19, 15, 3}));
    EXPECT_FALSE(locale.date("not a date"));
    // ISO forms are read without the locale's help, whatever it is.
    EXPECT_EQ(readStoredDate("2026-12-06", LocaleDateReader{}), (CivilDate{2026, 12, 6}));
}

} // namespace
