// End to end: a .cfy file on the command line, opened at start and handed
// from a second copy to the running one. (A start for the tray, and the
// installer's request to end, are the installer test's.)
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "../win32/test_files.h"
#include "filesecurity/file_security_ids.h"
#include "program_driver.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;

namespace {

std::wstring quoted(const std::string& path) {
    return L"\"" + win32::toUtf16(path) + L"\"";
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                                  : nullptr;
}

TEST(CommandLineE2E, ACfyPathFillsTheDecryptPanelAndASecondCopyHandsItsPathOver) {
    // The shell shows encrypted files with the program's own icon.
    HICON icon = nullptr;
    EXPECT_EQ(::ExtractIconExW(kProgramExe.c_str(), -IDI_ENCRYPTED_FILE, &icon, nullptr, 1), 1u);
    if (icon != nullptr)
        ::DestroyIcon(icon);

    const std::string folder = tempFolder() + "tidewell cmd \xc3\xa9";
    removeTree(folder);
    mkdir(folder);
    const std::string first = folder + "\\tax 2024.pdf.cfy", second = folder + "\\b.CFY";
    writeText(first, "sealed");
    writeText(second, "sealed");

    ProgramProcess program(kProgramExe, quoted(first));
    HWND main = program.waitMainWindow();
    ASSERT_NE(main, nullptr);
    // The page is made for the file, just after the window shows.
    ASSERT_TRUE(waitFor([&] { return controlText(main, IDC_TXTSOURCE) == first; }))
        << controlText(main, IDC_TXTSOURCE);
    HWND password = findControl(main, IDC_TXTPASSWORD);
    EXPECT_EQ(controlText(main, IDC_TXTDESTINATION), folder + "\\tax 2024.pdf");
    EXPECT_TRUE(::IsWindowVisible(::GetParent(password)));
    EXPECT_TRUE(::IsWindowEnabled(findControl(main, IDC_CMDDECRYPT)));
    EXPECT_FALSE(::IsWindowEnabled(findControl(main, IDC_CMDENCRYPT)));
    EXPECT_TRUE(waitFor([&] { return focusOf(main) == password; }));
    EXPECT_FALSE(exists(folder + "\\tax 2024.pdf")) << "nothing runs before Decrypt";

    // Hidden in the tray, it comes back with the file a second copy hands over.
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(main); }));
    ProgramProcess copy(kProgramExe, quoted(second));
    EXPECT_EQ(copy.waitExit(), 0) << "the second copy did not end by itself";
    EXPECT_TRUE(waitFor([&] { return controlText(main, IDC_TXTSOURCE) == second; }));
    EXPECT_EQ(controlText(main, IDC_TXTDESTINATION), folder + "\\b");
    EXPECT_TRUE(::IsWindowVisible(main));

    // A file that is not there: the panel's message, and the panel as it was.
    ProgramProcess missing(kProgramExe, quoted(folder + "\\gone.cfy"));
    EXPECT_EQ(missing.waitExit(), 0);
    HWND box = waitMessageBox(program, "Tidewell");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageBoxText(box), "Source file not found.");
    answerMessageBox(program, box);
    EXPECT_EQ(controlText(main, IDC_TXTSOURCE), second);

    EXPECT_EQ(exitWithButton(program, main), 0);
    removeTree(folder);
}

} // namespace
