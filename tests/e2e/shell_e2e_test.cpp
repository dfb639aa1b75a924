// End to end: start-up, the main window, single instance, WIN.INI, hiding
// and exiting, on the real program under the bench's Wine prefix.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "program_driver.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;

namespace {

const std::string kInstalledAssociation = "C:\\Program Files\\Tidewell\\Varnholt.Exe ^.CFY";

std::string winIniCfy() {
    wchar_t buffer[256] = {};
    DWORD n =
        ::GetPrivateProfileStringW(L"Extensions", L"CFY", L"<absent>", buffer, 255, L"WIN.INI");
    return win32::toUtf8(std::wstring_view(buffer, n));
}
void setWinIniCfy(const wchar_t* value) {
    ::WritePrivateProfileStringW(L"Extensions", L"CFY", value, L"WIN.INI");
}

std::string computerName() {
    wchar_t name[256] = {};
    DWORD size = 255;
    ::GetComputerNameW(name, &size);
    return win32::toUtf8(std::wstring_view(name, size));
}

class ShellE2E : public ::testing::Test {
protected:
    void SetUp() override { setWinIniCfy(nullptr); }
    void TearDown() override { setWinIniCfy(nullptr); }
};

TEST_F(ShellE2E, StartsWithCaptionLabelsTabsAndTheAssociationHidesAndExits) {
    ProgramProcess program;
    ASSERT_TRUE(program.running()) << "could not start the program";
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr) << "no main window";

    EXPECT_EQ(text(main), "Tidewell v1.0");
    EXPECT_EQ(controlText(main, IDC_LBLUSER), "User " + computerName());
    EXPECT_EQ(controlText(main, IDC_LBLOS), "Windows 10");
    EXPECT_EQ(controlText(main, IDC_LBLSTATUS), "Ready");
    EXPECT_EQ(controlText(main, IDC_LBLWEBSITE), "https://www.tidewell.example");
    EXPECT_EQ(controlText(main, IDC_LABEL11),
              "Press Alt+Shift keys to Hide/Show Desktop Applications");
    EXPECT_EQ(controlText(main, IDC_BANNER_MAIN).rfind("Varnholt v1.0 Copyright", 0), 0u);
    EXPECT_EQ(controlText(main, IDC_BANNER_POPUP).rfind("Popup Killer v1.0 ", 0), 0u);
    EXPECT_EQ(controlText(main, IDC_BANNER_FILESECURITY).rfind("File Security v1.0 ", 0), 0u);
    EXPECT_EQ(controlText(main, IDC_CMDBASICCLEAN), "&Basic Clean");
    EXPECT_EQ(controlText(main, IDC_CMDCLOSE), "E&xit");
    EXPECT_TRUE(::IsWindowVisible(findControl(main, IDC_CMDCLOSE)));

    HWND tab = ::GetDlgItem(main, IDC_TABMAIN);
    ASSERT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 6);
    const char* captions[] = {"Main",     "Options && Settings", "Schedule",
                              "Advanced", "Popup Killer",        "File Security"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tabCaption(tab, i), captions[i]) << "tab " << i;
    }
    EXPECT_EQ(::SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);

    // Pending schedule edits are shown by Apply/Cancel: none at start.
    EXPECT_FALSE(::IsWindowEnabled(findControl(main, IDC_CMDAPPLY)));
    EXPECT_FALSE(::IsWindowEnabled(findControl(main, IDC_CMDCANCEL)));

    EXPECT_EQ(winIniCfy(), kInstalledAssociation);

    // Each tab shows its own page only.
    const int marker[] = {IDC_RTFMESSAGE,    IDC_CHKSETTINGS_0,          IDC_CMBDAYS,
                          IDC_CMDBROWSEFILE, IDC_CHKPOPUPKILLERACTIVATE, IDC_TXTSOURCE};
    for (int selected : {3, 1, 5, 2, 4, 0}) {
        // Focusing a tab of a plain tab strip selects it, as a click would.
        ::SendMessageW(tab, TCM_SETCURFOCUS, static_cast<WPARAM>(selected), 0);
        EXPECT_EQ(::SendMessageW(tab, TCM_GETCURSEL, 0, 0), selected);
        for (int page = 0; page < 6; ++page) {
            HWND control = findControl(main, marker[page]);
            ASSERT_NE(control, nullptr) << "page " << page;
            EXPECT_EQ(::IsWindowVisible(::GetParent(control)) != FALSE, page == selected)
                << "selected " << selected << ", page " << page;
        }
    }

    // The close box hides; "Exit" ends.
    ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));
    EXPECT_TRUE(::IsIconic(main));
    ::Sleep(500);
    EXPECT_TRUE(program.running()) << "the close box ended the program";
    EXPECT_TRUE(::IsWindow(main));

    // WM_CLOSE from elsewhere is treated the same way.
    ::ShowWindow(main, SW_RESTORE);
    ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(main) != FALSE; }));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));
    EXPECT_TRUE(program.running());

    ::ShowWindow(main, SW_RESTORE);
    EXPECT_EQ(exitWithButton(program, main), 0);
    EXPECT_FALSE(::IsWindow(main));
}

TEST_F(ShellE2E, SecondCopyIsRefusedAndTouchesNothing) {
    ProgramProcess first;
    HWND main = first.waitMainWindow();
    ASSERT_NE(main, nullptr);
    // With the association removed, a second copy that went on would write it.
    setWinIniCfy(nullptr);

    // A path on the command line (as the shell passes for an opened file) changes nothing.
    ProgramProcess second(programExe(), L"\"C:\\users\\Public\\secret file.cfy\"");
    ASSERT_TRUE(second.running() || second.waitExit(0ms) >= 0);
    HWND box = waitMessageBox(second);
    ASSERT_NE(box, nullptr) << "no message from the second copy";
    EXPECT_EQ(text(box), "Tidewell");
    EXPECT_EQ(messageBoxText(box), "Tidewell v1.0 already running.");
    EXPECT_EQ(second.findWindow(L"TidewellMain"), nullptr);

    answerMessageBox(second, box);
    EXPECT_EQ(second.waitExit(), 0);
    EXPECT_EQ(winIniCfy(), "<absent>");
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(::IsWindowVisible(main));
}

TEST_F(ShellE2E, AssociationCarriesANonAsciiProgramFolderAndIsWrittenOnce) {
    const std::wstring folder = L"C:\\Program Files\\T\u00efdewell \u00dc\u65e5";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = folder + L"\\Varnholt.exe";
    ASSERT_TRUE(::CopyFileW(programExe().c_str(), exe.c_str(), FALSE));
    const std::string written = win32::toUtf8(folder) + "\\Varnholt.Exe ^.CFY";
    {
        ProgramProcess program(exe);
        HWND main = program.waitMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(winIniCfy(), written);
        EXPECT_EQ(exitWithButton(program, main), 0);
    }
    ::DeleteFileW(exe.c_str());
    ::RemoveDirectoryW(folder.c_str());
    // The installed copy finds an entry in place and leaves it as it is.
    ProgramProcess program;
    ASSERT_NE(program.waitMainWindow(), nullptr);
    EXPECT_EQ(winIniCfy(), written);
}

} // namespace
