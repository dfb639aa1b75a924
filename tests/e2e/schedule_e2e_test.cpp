// End to end: a stored date and time that starts a real clean run of the
// real program.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
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

TEST_F(ScheduleE2E, ADateAndTimeScheduleStartsARealCleanRunNoEarlierThanItsSecond) {
    // Nothing checked, so the run is quick.
    const std::string folder = "C:\\Program Files\\Tidewell";
    for (int i = 0; i < 16; ++i) {
        store.SaveSetting(folder, "Settings", "Index" + std::to_string(i), "0");
    }
    // Far enough ahead for a cold start on a busy bench, in the program's forms.
    const LocalDateTime when = fromSerialSeconds(toSerialSeconds(win32::localNow()) + 15);
    const std::string dueDate = formatIsoDate(when.date);
    store.SaveSetting("Tidewell", "Schedule", "RunOn", "9");
    store.SaveSetting("Tidewell", "Schedule", "Date", dueDate);
    store.SaveSetting("Tidewell", "Schedule", "Time", formatTime(when.time));

    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_CLOSE, 0, 0); // hidden in the tray, as it usually is
    ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));

    // The label shows the second the run started in: not before the due one,
    // and soon after it (a busy bench may be a little late).
    std::optional<TimeOfDay> ran;
    chooseTab(main, 2);
    ASSERT_TRUE(waitFor(
        [&] { return (ran = parseTime(controlText(main, IDC_LBLLASTRUNTIME))).has_value(); }, 40s));
    const auto late = toSerialSeconds({when.date, *ran}) - toSerialSeconds(when);
    EXPECT_GE(late, 0) << formatTime(*ran);
    EXPECT_LE(late, 10) << formatTime(*ran);
    // The run brings the window forward and ends with "Done"; then it is stored.
    EXPECT_TRUE(waitFor(
        [&] { return controlText(main, IDC_RTFMESSAGE).find("Done") != std::string::npos; }));
    EXPECT_TRUE(::IsWindowVisible(main));
    EXPECT_TRUE(waitFor([&] { return stored("LastRunTime") == formatTime(*ran); }, 5s));
    EXPECT_EQ(stored("LastRunDate"), dueDate);
    ::RegDeleteTreeW(
        HKEY_CURRENT_USER,
        L"Software\\VB and VBA Program Settings\\C:\\Program Files\\Tidewell\\Settings");
}

} // namespace
