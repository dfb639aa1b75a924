// End to end: Alt+Shift hiding through the hook library and the web-page
// opener, on the real program.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "../win32/test_files.h"
#include "program_driver.h"
#include "shell/resource.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;

namespace {

const char kBrowserLog[] = "C:\\testbin\\fakebrowser.log";

TEST(TrayE2E, HelpHandsTheQuotedAddressToTheBrowserOnly) {
    ::DeleteFileA(kBrowserLog);
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    const std::string probe = tempFolder() + "temphtm.htm";
    click(findControl(main, IDC_CMDHELP));
    EXPECT_TRUE(waitFor([] {
        return readText(kBrowserLog).find("\"https://www.tidewell.example/help.html\"") !=
               std::string::npos;
    })) << readText(kBrowserLog);
    EXPECT_FALSE(exists(probe));
    // A link planted under the probe's name is neither written nor deleted through.
    const std::string canary = "C:\\h3probe-canary.txt";
    writeText(canary, "canary");
    linkTo(probe, canary);
    click(findControl(main, IDC_CMDHELP));
    HWND box = waitMessageBox(program, "OpenWith");
    ASSERT_NE(box, nullptr);
    answerMessageBox(program, box);
    EXPECT_EQ(readText(canary), "canary");
    removeTree(probe);
}

// Waits for `ready` while serving the driver's own windows.
template <typename F> bool waitPumping(F&& ready) {
    return waitFor([&] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
        }
        return ready();
    });
}

// Alt and Shift pressed and released as the keyboard types them.
void pressAltShift(HWND focus) {
    // Asked again until granted: a request can be lost while windows change.
    waitPumping([&] { return ::SetForegroundWindow(focus) && ::GetForegroundWindow() == focus; });
    INPUT keys[4] = {};
    const WORD order[] = {VK_MENU, VK_SHIFT, VK_SHIFT, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = order[i];
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    ::SendInput(4, keys, sizeof(INPUT));
}

bool visible(HWND h) {
    return ::IsWindowVisible(h) != FALSE;
}

TEST(TrayE2E, AltShiftHidesTitledWindowsAndShowsExactlyThoseAgainAndAtExit) {
    // Titled, untitled and blank-titled windows of the driver's own (plain
    // static ones); they answer messages only while the driver pumps them.
    using Window = std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&::DestroyWindow)>;
    std::vector<Window> own;
    for (const wchar_t* title : {L"E2E Victim One", L"E2E Victim Two", L"", L"   "}) {
        own.emplace_back(::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                           10, 10, 200, 100, nullptr, nullptr, nullptr, nullptr),
                         &::DestroyWindow);
    }
    const HWND victims[] = {own[0].get(), own[1].get(), own[2].get(), own[3].get()};
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    // One titled window hidden beforehand is neither hidden nor shown by the hotkey.
    ::ShowWindow(victims[1], SW_HIDE);
    ASSERT_TRUE(waitPumping([&] { return !visible(victims[1]); }));

    pressAltShift(victims[0]);
    ASSERT_TRUE(waitPumping([&] { return !visible(main) && !visible(victims[0]); }))
        << "Alt+Shift hid nothing";
    EXPECT_TRUE(visible(victims[2])) << "untitled window hidden";
    EXPECT_TRUE(visible(victims[3])) << "blank-titled window hidden";

    pressAltShift(victims[2]);
    EXPECT_TRUE(waitPumping([&] { return visible(main) && visible(victims[0]); }));
    EXPECT_FALSE(visible(victims[1]));

    // Ending the program while the desktop is hidden shows it again.
    pressAltShift(victims[2]);
    ASSERT_TRUE(waitPumping([&] { return !visible(victims[0]); }));
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_MNUUNLOADPELLIVER, 0), 0);
    EXPECT_TRUE(waitPumping([&] { return !program.running(); }));
    EXPECT_EQ(program.waitExit(), 0);
    EXPECT_TRUE(waitPumping([&] { return visible(victims[0]); }))
        << "windows left hidden after the program ended";
}

} // namespace
