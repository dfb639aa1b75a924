// End to end: start-up and the window's life (a second copy refused, close
// box, tray icon, Exit) and the WIN.INI association, on the real program.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "program_driver.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;

namespace {

std::string winIniCfy() {
    wchar_t buffer[256] = {};
    DWORD n =
        ::GetPrivateProfileStringW(L"Extensions", L"CFY", L"<absent>", buffer, 255, L"WIN.INI");
    return win32::toUtf8(std::wstring_view(buffer, n));
}

class ShellE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ::WritePrivateProfileStringW(L"Extensions", L"CFY", nullptr, L"WIN.INI");
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ShellE2E, ASecondCopyIsRefusedTheCloseBoxHidesAndExitEnds) {
    ProgramProcess program;
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr) << "no main window";
    EXPECT_EQ(winIniCfy(), "C:\\Program Files\\Tidewell\\Varnholt.Exe ^.CFY");

    // A second copy is refused and touches nothing: with the association
    // removed, one that went on would write it. An argument the program does
    // not know changes nothing.
    SetUp();
    ProgramProcess second(kProgramExe, L"/unknown \"C:\\users\\Public\\secret file.cfy\"");
    HWND box = waitMessageBox(second);
    ASSERT_NE(box, nullptr) << "no message from the second copy";
    EXPECT_EQ(messageBoxText(box), "Tidewell v1.1 already running.");
    EXPECT_EQ(second.findWindow(L"TidewellMain"), nullptr);
    answerMessageBox(second, box);
    EXPECT_EQ(second.waitExit(), 0);
    EXPECT_EQ(winIniCfy(), "<absent>");

    // The close box hides (WM_CLOSE from elsewhere is the schedule test's);
    // the icon stays and a double click on it brings the window back.
    ASSERT_TRUE(waitFor([] { return trayIcons().size() == 1; })) << trayIcons().size();
    ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));
    ASSERT_EQ(trayIcons().size(), 1u);
    HWND icon = trayIcons().front();
    ::PostMessageW(icon, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(8, 8));
    ::PostMessageW(icon, WM_LBUTTONUP, 0, MAKELPARAM(8, 8));
    ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(main) != FALSE; }));
    EXPECT_TRUE(program.running());
    EXPECT_EQ(exitWithButton(program, main), 0);
    EXPECT_TRUE(waitFor([] { return trayIcons().empty(); })) << "icon left behind";
}

} // namespace
