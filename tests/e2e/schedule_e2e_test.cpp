// End to end: the Schedule tab of the real program, its validation messages,
// storing, cancelling and restoring across restarts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "kernel/settings_store_win32.h"
#include "program_driver.h"
#include "schedule/schedule_panel_win32.h"
#include "shell/resource.h"

using namespace tidewell;
using namespace tidewell::e2e;

namespace {

const wchar_t kScheduleKey[] = L"Software\\VB and VBA Program Settings\\Tidewell\\Schedule";

class ScheduleE2E : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScheduleKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScheduleKey); }
    std::string stored(const char* key) {
        return store.GetSetting("Tidewell", "Schedule", key, "<absent>");
    }
    win32::RegistrySettingsStore store;
};

int selectedKind(HWND main) {
    return static_cast<int>(::SendMessageW(findControl(main, IDC_CMBDAYS), CB_GETCURSEL, 0, 0));
}
bool enabled(HWND main, int id) {
    return ::IsWindowEnabled(findControl(main, id)) != FALSE;
}

TEST_F(ScheduleE2E, FirstStartThenNeverAppliedSurvivesARestart) {
    {
        ProgramProcess program;
        HWND main = program.waitMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(selectedKind(main), 7);
        SYSTEMTIME st;
        EXPECT_EQ(pickerValue(findControl(main, IDC_DTPSCHEDULEDATE), st), GDT_NONE);
        EXPECT_EQ(pickerValue(findControl(main, IDC_DTPSCHEDULETIME), st), GDT_NONE);
        EXPECT_EQ(controlText(main, IDC_TXTHOURS), "2");
        EXPECT_TRUE(enabled(main, IDC_TXTHOURS));
        EXPECT_EQ(controlText(main, IDC_LBLLASTRUNTIME), "##:##:##");
        EXPECT_FALSE(enabled(main, IDC_CMDAPPLY));
        EXPECT_FALSE(enabled(main, IDC_CMDCANCEL));
        EXPECT_EQ(stored("RunOn"), "<absent>"); // a first start stores nothing

        selectComboItem(findControl(main, IDC_CMBDAYS), 10);
        EXPECT_FALSE(enabled(main, IDC_DTPSCHEDULEDATE));
        EXPECT_FALSE(enabled(main, IDC_DTPSCHEDULETIME));
        EXPECT_FALSE(enabled(main, IDC_TXTHOURS));
        EXPECT_TRUE(enabled(main, IDC_CMDAPPLY));
        EXPECT_TRUE(enabled(main, IDC_CMDCANCEL));
        ::SendMessageW(findControl(main, IDC_CMDAPPLY), BM_CLICK, 0, 0);
        EXPECT_TRUE(waitFor([&] { return !enabled(main, IDC_CMDAPPLY); }));
        EXPECT_EQ(stored("RunOn"), "10");
        EXPECT_EQ(stored("Date"), "Null");
        EXPECT_EQ(stored("Time"), "Null");
        EXPECT_EQ(stored("RunAfter"), "2");
        ASSERT_EQ(exitWithButton(program, main), 0);
    }
    ProgramProcess again;
    HWND main = again.waitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(selectedKind(main), 10);
    EXPECT_FALSE(enabled(main, IDC_TXTHOURS));
    EXPECT_FALSE(enabled(main, IDC_CMDAPPLY));
}

TEST_F(ScheduleE2E, ValidationMessagesStoreNothingAndCancelRestores) {
    store.SaveSetting("Tidewell", "Schedule", "RunOn", "3");
    store.SaveSetting("Tidewell", "Schedule", "Time", "21:15:00");
    store.SaveSetting("Tidewell", "Schedule", "Date", "Null");
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(selectedKind(main), 3);
    SYSTEMTIME st;
    ASSERT_EQ(pickerValue(findControl(main, IDC_DTPSCHEDULETIME), st), GDT_VALID);
    EXPECT_EQ(st.wHour, 21);
    EXPECT_EQ(st.wMinute, 15);
    EXPECT_FALSE(enabled(main, IDC_TXTHOURS)); // a time of day: no interval

    // "Date" without a date: "Define Date", titled with the window caption.
    selectComboItem(findControl(main, IDC_CMBDAYS), 8);
    click(findControl(main, IDC_CMDAPPLY));
    HWND box = waitMessageBox(program, "Tidewell v1.0");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "Define Date");
    ASSERT_TRUE(answerMessageBox(program, box));
    EXPECT_EQ(stored("RunOn"), "3");
    EXPECT_TRUE(enabled(main, IDC_CMDAPPLY));

    // "Date & Time" with a date but no time: "Define Time".
    selectComboItem(findControl(main, IDC_CMBDAYS), 9);
    SYSTEMTIME date{};
    date.wYear = 2027;
    date.wMonth = 3;
    date.wDay = 14;
    setPickerValue(findControl(main, IDC_DTPSCHEDULEDATE), &date);
    setPickerValue(findControl(main, IDC_DTPSCHEDULETIME), nullptr);
    click(findControl(main, IDC_CMDAPPLY));
    ASSERT_NE(box = waitMessageBox(program), nullptr);
    EXPECT_EQ(messageBoxText(box), "Define Time");
    ASSERT_TRUE(answerMessageBox(program, box));
    EXPECT_EQ(stored("Date"), "Null");

    ::SendMessageW(findControl(main, IDC_CMDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return selectedKind(main) == 3; }));
    ASSERT_EQ(pickerValue(findControl(main, IDC_DTPSCHEDULETIME), st), GDT_VALID);
    EXPECT_EQ(st.wHour, 21);
    EXPECT_FALSE(enabled(main, IDC_CMDAPPLY));
    EXPECT_FALSE(enabled(main, IDC_CMDCANCEL));
}

TEST_F(ScheduleE2E, ABadStoredKindShowsTheCommonMessageAndTheWindowStillLoads) {
    store.SaveSetting("Tidewell", "Schedule", "RunOn", "abc");
    store.SaveSetting("Tidewell", "Schedule", "RunAfter", "02");
    ProgramProcess program;
    HWND box = waitMessageBox(program, "Tidewell");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "Error: 13 - Type mismatch");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(controlText(main, IDC_LBLSTATUS), "Ready");
    EXPECT_EQ(controlText(main, IDC_TXTHOURS), "02");
    EXPECT_FALSE(enabled(main, IDC_CMDAPPLY));
}

TEST_F(ScheduleE2E, ADateAndTimeScheduleStartsARealCleanRunOnTime) {
    // Nothing checked, so the run is quick: clear the pane, "Done", "Ready".
    const std::string folder = "C:\\Program Files\\Tidewell";
    for (int i = 0; i < 16; ++i) {
        store.SaveSetting(folder, "Settings", "Index" + std::to_string(i), "0");
    }
    // Six seconds ahead, in the program's own forms.
    const LocalDateTime when = fromSerialSeconds(toSerialSeconds(win32::localNow()) + 6);
    const std::string dueDate = formatIsoDate(when.date);
    const std::string due = formatTime(when.time);
    store.SaveSetting("Tidewell", "Schedule", "RunOn", "9");
    store.SaveSetting("Tidewell", "Schedule", "Date", dueDate);
    store.SaveSetting("Tidewell", "Schedule", "Time", due);
    store.SaveSetting("Tidewell", "Schedule", "LastRunTime", "##:##:##");

    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(controlText(main, IDC_LBLLASTRUNTIME), "##:##:##");
    ::PostMessageW(main, WM_CLOSE, 0, 0); // hidden in the tray, as it usually is
    ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));

    ASSERT_TRUE(waitFor([&] { return controlText(main, IDC_LBLLASTRUNTIME) == due; }, 12s))
        << "no run at " << due << "; label " << controlText(main, IDC_LBLLASTRUNTIME);
    EXPECT_EQ(formatTime(win32::localNow().time), due) << "the run started late";
    // The run brings the window forward on its Main tab and ends with "Done".
    ASSERT_TRUE(waitFor(
        [&] { return controlText(main, IDC_RTFMESSAGE).find("Done") != std::string::npos; }));
    EXPECT_TRUE(::IsWindowVisible(main));
    EXPECT_EQ(controlText(main, IDC_LBLSTATUS), "Ready");
    // "LastRunTime" is stored a second after the run ends, not at its start.
    EXPECT_EQ(stored("LastRunTime"), "##:##:##");
    EXPECT_TRUE(waitFor([&] { return stored("LastRunTime") == due; }, 3s));
    EXPECT_EQ(stored("LastRunDate"), dueDate);
    ::RegDeleteTreeW(
        HKEY_CURRENT_USER,
        L"Software\\VB and VBA Program Settings\\C:\\Program Files\\Tidewell\\Settings");
}

} // namespace
