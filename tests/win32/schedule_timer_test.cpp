// The schedule panel on real pickers: the values applied from them. The
// timers' once-a-second rules are the unit tests', a real run firing in its
// second the e2e test's, and so are what the panel shows and stores at start.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "../unit/memory_store.h"
#include "schedule_page.h"
#include "test_files.h"
#include "schedule/schedule_panel_win32.h"
#include "shell/resource.h"

using namespace tidewell;
using namespace tidewell::win32;

namespace {

using testing_schedule::SchedulePage;

TEST(SchedulePanelWin32Test, TheRealPickersValuesAreAppliedInTheFixedForms) {
    SchedulePage page;
    testing_store::MemoryStore store;
    testing_files::ErrorRecorder errors;
    SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, [] {}});
    panel.prepareAtStartup();
    // "Date & Time" on the pickers, with a second that is not zero.
    const SYSTEMTIME due{2031, 3, 0, 14, 7, 5, 9, 0};
    ::SendMessageW(page.item(IDC_CMBDAYS), CB_SETCURSEL, 9, 0);
    panel.cmbDays_Click();
    for (int id : {IDC_DTPSCHEDULEDATE, IDC_DTPSCHEDULETIME}) {
        ::SendMessageW(page.item(id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&due));
    }
    panel.timePickerChanged();
    panel.cmdApply_Click();
    ASSERT_FALSE(panel.editsPending());
    EXPECT_EQ(store.entry("Schedule", "Date"), "2031-03-14");
    EXPECT_EQ(store.entry("Schedule", "Time"), "07:05:09");
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
