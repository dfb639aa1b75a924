// End to end: the popup killer of the real program, with the fake
// shell-window collection registered in the prefix in place of the real one.
// The driver opens a fake browser window, fires its new-window request and
// reads back Cancel, the list and the stored switch.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "fake_shell_install.h"
#include "../win32/test_files.h"
#include "program_driver.h"
#include "shell/resource.h"

using namespace tidewell;
using namespace tidewell::e2e;
using testing_files::userString;

namespace {

const wchar_t kPopupKillerKey[] = L"Software\\VB and VBA Program Settings\\Tidewell\\PopupKiller";

TEST(PopupE2E, OnAtFirstStartANewWindowIsRefusedListedAndAllowedOnceSwitchedOff) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kPopupKillerKey);
    fakeshell::Registration registration;
    ASSERT_TRUE(registration.ok()) << registration.errorText();
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    HWND control = nullptr;
    ASSERT_TRUE(waitFor([&] {
        return (control = fakeshell::controlWindow(program.pid())) != nullptr;
    })) << "the program did not load the fake collection";
    auto send = [&](UINT msg, WPARAM wp = 0) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(control, msg, wp, 0, SMTO_ABORTIFHUNG, 10000, &result);
        return static_cast<LRESULT>(static_cast<INT_PTR>(result));
    };
    const int id = static_cast<int>(send(fakeshell::kOpen, 1234));
    ASSERT_GT(id, 0);
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(id)), 1);
    chooseTab(main, 4); // the page, made now, shows the row seen before
    HWND list = findControl(main, IDC_VINDOWS);
    LVITEMW row{};
    row.mask = LVIF_PARAM;
    EXPECT_TRUE(waitFor([&] {
        return ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 1 &&
               sendWithBuffer(list, LVM_GETITEMW, 0, &row, sizeof(row)) && row.lParam == 1234;
    })) << "no row for the window";

    ::SendMessageW(findControl(main, IDC_CHKPOPUPKILLERACTIVATE), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return userString(kPopupKillerKey, L"IsActive") == "0"; }));
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(id)), 0);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kPopupKillerKey);
}

} // namespace
