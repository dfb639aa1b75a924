// Win32 plumbing: conversions and the dialog exception barrier. The
// single-instance claim, WIN.INI, the status pane's colours, the OS name and
// the message pump (Exit during a clean) are seen through the real program
// by the e2e tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "test_files.h"
#include "win32/dialog.h"
#include "win32/error_report.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::win32;
using ::testing::ElementsAre;

namespace {

TEST(Unicode, RoundTripsEveryPlane) {
    const std::string samples[] = {"", "\xe6\x97\xa5\xe6\x9c\xac", "wave \xf0\x9f\x8c\x8a",
                                   std::string("nul\0inside", 10)};
    for (const auto& s : samples) {
        EXPECT_EQ(toUtf8(toUtf16(s)), s);
    }
    EXPECT_EQ(toUtf16("\xf0\x9f\x8c\x8a"), std::wstring(L"\xD83C\xDF0A"));
    // Broken input does not fail: it becomes the replacement character.
    EXPECT_EQ(toUtf16("a\xff!"), std::wstring(L"a\xFFFD!"));
}

// An in-memory dialog template without controls: the header, then no menu,
// the default class and no title.
struct alignas(4) EmptyDialogTemplate {
    DLGTEMPLATE header{WS_POPUP | WS_CAPTION, 0, 0, 0, 0, 100, 50};
    WORD menu = 0, windowClass = 0, title = 0;
};

class TestDialog : public Dialog {
public:
    int commands = 0;
    bool throwOnCommand = false;
    HWND make() {
        const EmptyDialogTemplate t;
        return createModelessIndirect(::GetModuleHandleW(nullptr), &t.header, nullptr);
    }

protected:
    INT_PTR handleMessage(UINT msg, WPARAM, LPARAM) override {
        if (msg == WM_COMMAND) {
            ++commands;
            if (throwOnCommand) {
                throw AppError(75, "Path/File access error");
            }
            return TRUE;
        }
        return FALSE;
    }
};

TEST(DialogBase, IsAnExceptionBarrierThatReportsAndGoesOn) {
    TestDialog dialog;
    HWND h = dialog.make();
    ASSERT_NE(h, nullptr);

    testing_files::ErrorRecorder recorder;
    setProcessErrorReporter(&recorder);
    dialog.throwOnCommand = true;
    ::SendMessageW(h, WM_COMMAND, 1, 0);
    setProcessErrorReporter(nullptr);
    EXPECT_THAT(recorder.reports, ElementsAre("Error: 75 - Path/File access error"));
    dialog.throwOnCommand = false;
    ::SendMessageW(h, WM_COMMAND, 2, 0); // the dialog still works
    EXPECT_EQ(dialog.commands, 2);

    ::DestroyWindow(h);
    EXPECT_EQ(dialog.hwnd(), nullptr) << "no handle kept past the window's end";
}

} // namespace
