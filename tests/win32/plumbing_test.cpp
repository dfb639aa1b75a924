// Win32 plumbing: conversions, system error texts, the message pump and the
// dialog exception barrier. The single-instance claim, WIN.INI, the status
// pane's colours and the OS name are seen through the real program by the
// e2e tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "test_files.h"
#include "win32/dialog.h"
#include "win32/error_report.h"
#include "win32/message_pump.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/win32_error.h"

using namespace tidewell;
using namespace tidewell::win32;
using ::testing::ElementsAre;
using ::testing::Property;
using ::testing::Throws;

namespace {

TEST(Unicode, RoundTripsEveryPlane) {
    const std::string samples[] = {"",
                                   "plain",
                                   "\xc3\xa9t\xc3\xa9",
                                   "\xe6\x97\xa5\xe6\x9c\xac",
                                   "wave \xf0\x9f\x8c\x8a",
                                   std::string("nul\0inside", 10)};
    for (const auto& s : samples) {
        EXPECT_EQ(toUtf8(toUtf16(s)), s);
    }
    EXPECT_EQ(toUtf16("\xf0\x9f\x8c\x8a"), std::wstring(L"\xD83C\xDF0A"));
    // Broken input does not fail: it becomes the replacement character.
    EXPECT_EQ(toUtf16("a\xff!"), std::wstring(L"a\xFFFD!"));
}

TEST(Errors, CarryTheSystemNumberAndText) {
    AppError e = win32Error(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(e.number(), 2);
    EXPECT_FALSE(e.description().empty());
    EXPECT_NE(e.description().back(), '\n');
    EXPECT_EQ(systemMessage(0xDEADBEEF).rfind("Unknown error", 0), 0u);
    const auto number = [](long n) { return Throws<AppError>(Property(&AppError::number, n)); };
    EXPECT_THAT([] { checkHr(E_ACCESSDENIED); }, number(E_ACCESSDENIED));
    EXPECT_NO_THROW(checkHr(S_FALSE));
    EXPECT_THAT(
        [] {
            ::SetLastError(ERROR_ACCESS_DENIED);
            throwLastError();
        },
        number(5));
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
    bool destroyed = false;
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
    void onDestroyed() override { destroyed = true; }
};

TEST(DialogBase, IsAnExceptionBarrierThatReportsAndGoesOn) {
    TestDialog dialog;
    HWND h = dialog.make();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(dialog.hwnd(), h);

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
    EXPECT_TRUE(dialog.destroyed);
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST(MessagePump, ServesQueuedMessagesAndKeepsQuitForTheMainLoop) {
    TestDialog dialog;
    HWND h = dialog.make();
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < 5; ++i) {
        ::PostMessageW(h, WM_COMMAND, 2, 0);
    }
    EXPECT_TRUE(pumpPendingMessages());
    EXPECT_EQ(dialog.commands, 5);

    ::PostQuitMessage(3);
    ::PostMessageW(h, WM_COMMAND, 2, 0);
    EXPECT_FALSE(pumpPendingMessages());
    MSG msg;
    // The quit is posted again, so the main loop still sees it.
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    pumpPendingMessages();
}

} // namespace
