// The schedule panel on real controls and its timers on the real message
// loop: a due run fires once, in its second, the re-enable timer stores the
// last run a second after the run ends, and the timer wakes about once a second.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "../unit/memory_store.h"
#include "schedule_page.h"
#include "schedule/schedule_panel_win32.h"
#include "shell/resource.h"
#include "win32/message_pump.h"

using namespace tidewell;
using namespace tidewell::win32;

namespace {

// The schedule's entries as "Schedule|key".
class MemoryStore : public testing_store::MemoryStore {
public:
    struct Entries {
        MemoryStore& store;
        std::string& operator[](const std::string& sectionAndKey) {
            const auto bar = sectionAndKey.find('|');
            return store.entry(sectionAndKey.substr(0, bar), sectionAndKey.substr(bar + 1));
        }
        bool empty() const { return store.testing_store::MemoryStore::values.empty(); }
    } values{*this};
};

class Recorder : public ErrorReporter {
public:
    void ReportError(long number, const std::string& description) override {
        reports.push_back(std::to_string(number) + " " + description);
    }
    std::vector<std::string> reports;
};

using testing_schedule::SchedulePage;

void pumpFor(DWORD ms) {
    const DWORD end = ::GetTickCount() + ms;
    while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        pumpPendingMessages();
    }
}

SYSTEMTIME inSeconds(int seconds) {
    const LocalDateTime t = fromSerialSeconds(toSerialSeconds(localNow()) + seconds);
    return toSystemTime(t.date, t.time);
}

TEST(SchedulePanelWin32Test, FirstStartShowsDailyEveryTwoHoursAndNothingPending) {
    SchedulePage page;
    MemoryStore store;
    Recorder errors;
    SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, nullptr});
    panel.prepareAtStartup();
    EXPECT_EQ(::SendMessageW(page.item(IDC_CMBDAYS), CB_GETCOUNT, 0, 0), 11);
    EXPECT_EQ(::SendMessageW(page.item(IDC_CMBDAYS), CB_GETCURSEL, 0, 0), 7);
    SYSTEMTIME st{};
    EXPECT_EQ(::SendMessageW(page.item(IDC_DTPSCHEDULEDATE), DTM_GETSYSTEMTIME, 0,
                             reinterpret_cast<LPARAM>(&st)),
              GDT_NONE);
    EXPECT_EQ(::SendMessageW(page.item(IDC_DTPSCHEDULETIME), DTM_GETSYSTEMTIME, 0,
                             reinterpret_cast<LPARAM>(&st)),
              GDT_NONE);
    EXPECT_FALSE(::IsWindowEnabled(page.item(IDC_DTPSCHEDULEDATE)));
    EXPECT_TRUE(::IsWindowEnabled(page.item(IDC_TXTHOURS)));
    EXPECT_EQ(page.text(IDC_TXTHOURS), "2");
    EXPECT_EQ(page.text(IDC_LBLLASTRUNTIME), "##:##:##");
    EXPECT_FALSE(panel.editsPending());
    EXPECT_TRUE(store.values.empty());
    EXPECT_TRUE(errors.reports.empty());
}

TEST(SchedulePanelWin32Test, ABadStoredKindReportsTheCommonErrorAndStillLoads) {
    SchedulePage page;
    MemoryStore store;
    store.values["Schedule|RunOn"] = "abc";
    store.values["Schedule|RunAfter"] = "5";
    Recorder errors;
    SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, nullptr});
    panel.prepareAtStartup();
    EXPECT_THAT(errors.reports, ::testing::ElementsAre("13 Type mismatch"));
    EXPECT_EQ(page.text(IDC_TXTHOURS), "5");
    EXPECT_FALSE(panel.editsPending());
}

TEST(SchedulePanelWin32Test, EditsMakeThePanelPendingAndApplyStoresIsoForms) {
    SchedulePage page;
    MemoryStore store;
    Recorder errors;
    SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, nullptr});
    panel.prepareAtStartup();
    ::SendMessageW(page.item(IDC_CMBDAYS), CB_SETCURSEL, 9, 0);
    panel.cmbDays_Click();
    EXPECT_TRUE(panel.editsPending());
    SYSTEMTIME st{};
    st.wYear = 2026;
    st.wMonth = 12;
    st.wDay = 24;
    st.wHour = 18;
    st.wMinute = 30;
    st.wSecond = 15;
    ::SendMessageW(page.item(IDC_DTPSCHEDULEDATE), DTM_SETSYSTEMTIME, GDT_VALID,
                   reinterpret_cast<LPARAM>(&st));
    ::SendMessageW(page.item(IDC_DTPSCHEDULETIME), DTM_SETSYSTEMTIME, GDT_VALID,
                   reinterpret_cast<LPARAM>(&st));
    panel.timePickerChanged();
    EXPECT_FALSE(::IsWindowEnabled(page.item(IDC_TXTHOURS)));
    panel.cmdApply_Click();
    EXPECT_FALSE(panel.editsPending());
    EXPECT_EQ(store.values["Schedule|RunOn"], "9");
    EXPECT_EQ(store.values["Schedule|Date"], "2026-12-24");
    EXPECT_EQ(store.values["Schedule|Time"], "18:30:15");

    // Another kind, then Cancel: back to what was applied.
    ::SendMessageW(page.item(IDC_CMBDAYS), CB_SETCURSEL, 10, 0);
    panel.cmbDays_Click();
    EXPECT_FALSE(::IsWindowEnabled(page.item(IDC_DTPSCHEDULETIME)));
    panel.cmdCancel_Click();
    EXPECT_EQ(::SendMessageW(page.item(IDC_CMBDAYS), CB_GETCURSEL, 0, 0), 9);
    EXPECT_EQ(::SendMessageW(page.item(IDC_DTPSCHEDULETIME), DTM_GETSYSTEMTIME, 0,
                             reinterpret_cast<LPARAM>(&st)),
              GDT_VALID);
    EXPECT_EQ(st.wHour, 18);
    EXPECT_FALSE(panel.editsPending());
}

TEST(SchedulePanelWin32Test, ADueRunFiresOnceInItsSecondAndTheScheduleReArms) {
    SchedulePage page;
    MemoryStore store;
    Recorder errors;
    int runs = 0;
    std::string runSecond;
    SchedulePanelWin32* self = nullptr;
    SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, [&] {
                                  ++runs;
                                  runSecond = formatTime(localNow().time);
                                  self->runStarting();
                                  EXPECT_EQ(self->timerState(), ScheduleTimerState::Running);
                                  self->runFinished();
                              }});
    self = &panel;
    panel.prepareAtStartup();
    // "Date & Time" two seconds from now, applied.
    const SYSTEMTIME due = inSeconds(2);
    ::SendMessageW(page.item(IDC_CMBDAYS), CB_SETCURSEL, 9, 0);
    panel.cmbDays_Click();
    ::SendMessageW(page.item(IDC_DTPSCHEDULEDATE), DTM_SETSYSTEMTIME, GDT_VALID,
                   reinterpret_cast<LPARAM>(&due));
    ::SendMessageW(page.item(IDC_DTPSCHEDULETIME), DTM_SETSYSTEMTIME, GDT_VALID,
                   reinterpret_cast<LPARAM>(&due));
    panel.timePickerChanged();
    panel.cmdApply_Click();
    ASSERT_FALSE(panel.editsPending());

    pumpFor(3600);
    EXPECT_EQ(runs, 1);
    const std::string expected = formatTime(fromSystemTime(due).time);
    EXPECT_EQ(runSecond, expected);
    EXPECT_EQ(page.text(IDC_LBLLASTRUNTIME), expected);
    // One second after the run ended the last run is stored and the timer armed.
    EXPECT_EQ(store.values["Schedule|LastRunTime"], expected);
    EXPECT_FALSE(store.values["Schedule|LastRunDate"].empty());
    EXPECT_EQ(panel.timerState(), ScheduleTimerState::Armed);
    pumpFor(1500);
    EXPECT_EQ(runs, 1); // the same second never fires twice
    EXPECT_TRUE(errors.reports.empty());
}

TEST(SchedulePanelWin32Test, ADueRunIsDroppedWhileEditsArePending) {
    SchedulePage page;
    MemoryStore store;
    Recorder errors;
    int runs = 0;
    SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, [&] { ++runs; }});
    panel.prepareAtStartup();
    const SYSTEMTIME due = inSeconds(1);
    ::SendMessageW(page.item(IDC_CMBDAYS), CB_SETCURSEL, 7, 0);
    panel.cmbDays_Click();
    ::SendMessageW(page.item(IDC_DTPSCHEDULETIME), DTM_SETSYSTEMTIME, GDT_VALID,
                   reinterpret_cast<LPARAM>(&due));
    panel.timePickerChanged(); // pending: not applied
    pumpFor(2500);
    EXPECT_EQ(runs, 0);
}

} // namespace

namespace {

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
