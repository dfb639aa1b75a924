// End to end: the tray icon and its menu, Alt+Shift hiding through the hook
// library, the web-page opener and the About box, on the real program.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../win32/test_files.h"
#include "program_driver.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;

namespace {

std::string readFile(const std::wstring& path) {
    std::ifstream in(win32::toUtf8(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::wstring tempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

const wchar_t kBrowserLog[] = L"C:\\testbin\\fakebrowser.log";

class TrayE2E : public ::testing::Test {
protected:
    void SetUp() override { ::DeleteFileW(kBrowserLog); }
};

TEST_F(TrayE2E, OneIconThatSurvivesTheCloseBoxAndGoesWithExit) {
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(waitFor([] { return trayIcons().size() == 1; })) << "icons: " << trayIcons().size();

    for (int i = 0; i < 2; ++i) {
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));
        ::Sleep(300);
        EXPECT_EQ(trayIcons().size(), 1u) << "after close " << i;
        // A double click on the icon brings the window back, normal.
        HWND icon = trayIcons().front();
        ::PostMessageW(icon, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(8, 8));
        ::PostMessageW(icon, WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
        ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(main) != FALSE; }));
        EXPECT_FALSE(::IsIconic(main));
    }
    // A single click does nothing.
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));
    HWND icon = trayIcons().front();
    ::PostMessageW(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 8));
    ::PostMessageW(icon, WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
    ::Sleep(700);
    EXPECT_FALSE(::IsWindowVisible(main));

    // The menu's "Exit".
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_MNUUNLOADPELLIVER, 0), 0);
    EXPECT_EQ(program.waitExit(), 0);
    EXPECT_TRUE(waitFor([] { return trayIcons().size() == 0; })) << "icon left behind";
}

TEST_F(TrayE2E, RightClickOpensTheMenuWithItsFiveEntriesAndAboutClosesWithOk) {
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(waitFor([] { return trayIcons().size() == 1; }));
    // The pointer is over the tray, not over the window, as when a user clicks
    // the icon; the notification is the one the shell sends for a right click.
    RECT rc{};
    ::GetWindowRect(main, &rc);
    POINT away{::GetSystemMetrics(SM_CXSCREEN) - 2, ::GetSystemMetrics(SM_CYSCREEN) - 2};
    if (::PtInRect(&rc, away)) {
        away = {1, 1};
    }
    ::SetCursorPos(away.x, away.y);
    // Right after start the program is still busy connecting to the shell
    // (its calls pump messages); a click then may find no menu: click again,
    // as a user would.
    HWND menuWindow = nullptr;
    bool shown = false;
    for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
        ::PostMessageW(main, 0x205, 1, 0x205);
        shown = waitFor(
            [&] { return (menuWindow = program.findWindow(L"#32768", true)) != nullptr; }, 4s);
    }
    ASSERT_TRUE(shown) << "no menu";
    // Choose the third entry with the keyboard: it is "About".
    for (int i = 0; i < 3; ++i) {
        ::PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    }
    ::PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    HWND about = nullptr;
    ASSERT_TRUE(waitFor([&] {
        about = program.findWindow(L"#32770", true);
        return about != nullptr && text(about).rfind("About ", 0) == 0;
    })) << "the third entry did not open About";
    EXPECT_EQ(text(about), "About Tidewell v1.0");
    EXPECT_EQ(text(::GetDlgItem(about, IDC_LABEL1)), "Tidewell v.1.1");
    EXPECT_NE(text(::GetDlgItem(about, IDC_LBLCOPYRIGHT))
                  .find("Copyright (C) 2026 the Tidewell developers https://www.tidewell.example"),
              std::string::npos);
    ::SendMessageW(::GetDlgItem(about, IDC_CMDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return !::IsWindow(about); }));

    // The entries as the program carries them (the first gets its caption at load).
    HMODULE exe = ::LoadLibraryExW(programExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HMENU bar = ::LoadMenuW(exe, MAKEINTRESOURCEW(IDR_TRAYMENU));
    ASSERT_NE(bar, nullptr);
    HMENU menu = ::GetSubMenu(bar, 0);
    ASSERT_EQ(::GetMenuItemCount(menu), 5);
    const UINT ids[] = {ID_MNUSHOW, ID_MNUPOUPKILLER, ID_MNUABOUT, 0, ID_MNUUNLOADPELLIVER};
    const char* captions[] = {"Show", "Activate Popup Killer", "About", "", "Exit"};
    for (int i = 0; i < 5; ++i) {
        wchar_t buffer[128] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), buffer, 128, MF_BYPOSITION);
        EXPECT_EQ(win32::toUtf8(buffer), captions[i]) << i;
        EXPECT_EQ(::GetMenuItemID(menu, i), i == 3 ? 0u : ids[i]) << i;
    }
    EXPECT_TRUE(::GetMenuState(menu, 3, MF_BYPOSITION) & MF_SEPARATOR);
    ::DestroyMenu(bar);
    ::FreeLibrary(exe);
    EXPECT_TRUE(program.running());
}

TEST_F(TrayE2E, HelpOpensTheBrowserWithTheQuotedAddressAndLeavesNoProbe) {
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    const std::wstring probe = tempFolder() + L"temphtm.htm";
    click(findControl(main, IDC_CMDHELP));
    ASSERT_TRUE(waitFor([&] { return !readFile(kBrowserLog).empty(); })) << "no browser started";
    EXPECT_NE(readFile(kBrowserLog).find("\"https://www.tidewell.example/help.html\""),
              std::string::npos)
        << readFile(kBrowserLog);
    EXPECT_EQ(::GetFileAttributesW(probe.c_str()), INVALID_FILE_ATTRIBUTES);

    ::DeleteFileW(kBrowserLog);
    click(findControl(main, IDC_LBLWEBSITE));
    ASSERT_TRUE(waitFor([&] { return !readFile(kBrowserLog).empty(); }));
    EXPECT_NE(readFile(kBrowserLog).find("\"https://www.tidewell.example\""), std::string::npos);
    EXPECT_EQ(::GetFileAttributesW(probe.c_str()), INVALID_FILE_ATTRIBUTES);

    // A link planted under the probe's name is neither written nor deleted through.
    const std::string canary = "C:\\h3probe-canary.txt";
    testing_files::writeText(canary, "canary");
    testing_files::linkTo(win32::toUtf8(probe), canary);
    click(findControl(main, IDC_CMDHELP));
    HWND box = waitMessageBox(program, "OpenWith");
    ASSERT_NE(box, nullptr);
    answerMessageBox(program, box);
    EXPECT_EQ(testing_files::readText(canary), "canary");
    testing_files::removeTree(win32::toUtf8(probe));
}

TEST_F(TrayE2E, WithoutAnHtmAssociationHelpSaysSo) {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".htm");
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    click(findControl(main, IDC_CMDUPGRADE));
    HWND box = nullptr;
    const bool shown = waitFor([&] { return (box = findMessageBox(program)) != nullptr; });
    // Put the association back before anything can fail.
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CLASSES_ROOT, L".htm", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr);
    const wchar_t value[] = L"htmlfile";
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
    ::RegCloseKey(key);
    ASSERT_TRUE(shown);
    EXPECT_EQ(text(box), "Browser Not Found");
    EXPECT_EQ(messageBoxText(box), "Could not find associated application");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(waitFor([] {
        return ::GetFileAttributesW((tempFolder() + L"temphtm.htm").c_str()) ==
               INVALID_FILE_ATTRIBUTES;
    })) << "probe file left behind";
    EXPECT_TRUE(readFile(kBrowserLog).empty());
}

void pressAltShift(HWND focus) {
    ::SetForegroundWindow(focus);
    ::Sleep(200);
    sendKeys({{VK_MENU, true}, {VK_SHIFT, true}, {VK_SHIFT, false}, {VK_MENU, false}});
}

bool visible(HWND h) {
    return ::IsWindowVisible(h) != FALSE;
}

TEST_F(TrayE2E, AltShiftHidesTitledWindowsAndShowsExactlyThoseAgain) {
    // Titled, untitled and blank-titled windows of the driver's own.
    OwnWindows victims{L"E2E Victim One", L"E2E Victim Two", L"", L"   "};
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    // One titled window hidden beforehand is neither hidden nor shown by the hotkey.
    ::ShowWindow(victims[1], SW_HIDE);
    victims.pump();

    pressAltShift(victims[0]);
    const bool hid = victims.waitPumping([&] { return !visible(main) && !visible(victims[0]); });
    ASSERT_TRUE(hid) << "Alt+Shift hid nothing";
    EXPECT_TRUE(visible(victims[2])) << "untitled window hidden";
    EXPECT_TRUE(visible(victims[3])) << "blank-titled window hidden";

    pressAltShift(victims[2]);
    EXPECT_TRUE(victims.waitPumping([&] { return visible(main) && visible(victims[0]); }));
    EXPECT_FALSE(visible(victims[1]));

    // Ending the program while the desktop is hidden shows it again.
    pressAltShift(victims[2]);
    ASSERT_TRUE(victims.waitPumping([&] { return !visible(victims[0]); }));
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_MNUUNLOADPELLIVER, 0), 0);
    EXPECT_TRUE(victims.waitPumping([&] { return !program.running(); }));
    EXPECT_EQ(program.waitExit(), 0);
    EXPECT_TRUE(victims.waitPumping([&] { return visible(victims[0]); }))
        << "windows left hidden after the program ended";
}

} // namespace
