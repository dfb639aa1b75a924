// Win32 plumbing: conversions, system error texts, the message pump and the
// dialog exception barrier. The single-instance claim, WIN.INI, the status
// pane's colours and the OS name are seen through the real program by the
// e2e tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "win32/dialog.h"
#include "win32/error_report.h"
#include "win32/message_pump.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/win32_error.h"

using namespace tidewell;
using namespace tidewell::win32;

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
    EXPECT_EQ(toUtf16("a\xff"
                      "b"),
              std::wstring(L"a\xFFFD"
                           L"b"));
}

// The number an AppError thrown by f carries, or 0 if nothing was thrown.
template <typename F> long thrownNumber(F&& f) {
    try {
        f();
    } catch (const AppError& err) {
        return err.number();
    }
    return 0;
}

TEST(Errors, CarryTheSystemNumberAndText) {
    AppError e = win32Error(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(e.number(), 2);
    EXPECT_FALSE(e.description().empty());
    EXPECT_NE(e.description().back(), '\n');
    EXPECT_EQ(systemMessage(0xDEADBEEF).rfind("Unknown error", 0), 0u);
    EXPECT_EQ(thrownNumber([] { checkHr(E_ACCESSDENIED); }), static_cast<long>(E_ACCESSDENIED));
    EXPECT_EQ(thrownNumber([] { checkHr(S_FALSE); }), 0);
    EXPECT_EQ(thrownNumber([] {
                  ::SetLastError(ERROR_ACCESS_DENIED);
                  throwLastError();
              }),
              5);
}

class Recorder : public ErrorReporter {
public:
    void ReportError(long number, const std::string& description) override {
        reports.push_back(errorMessageText(number, description));
    }
    std::vector<std::string> reports;
};

class ScopedReporter {
public:
    explicit ScopedReporter(ErrorReporter* r) { setProcessErrorReporter(r); }
    ~ScopedReporter() { setProcessErrorReporter(nullptr); }
};

// An in-memory dialog template: one edit control, id 100.
std::vector<WORD> dialogTemplate() {
    std::vector<WORD> t(64, 0);
    auto* dlg = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dlg->style = WS_POPUP | WS_CAPTION;
    dlg->cdit = 1;
    dlg->cx = 100;
    dlg->cy = 50;
    // menu, class, title: three empty words follow the header.
    size_t pos = (sizeof(DLGTEMPLATE) + 1) / 2 + 3;
    pos = (pos + 1) & ~size_t{1}; // DWORD alignment
    auto* itemT = reinterpret_cast<DLGITEMTEMPLATE*>(t.data() + pos);
    itemT->style = WS_CHILD | WS_VISIBLE;
    itemT->cx = 50;
    itemT->cy = 12;
    itemT->id = 100;
    pos += (sizeof(DLGITEMTEMPLATE) + 1) / 2;
    t[pos++] = 0xFFFF;
    t[pos++] = 0x0081; // edit
    t[pos++] = 0;      // text
    t[pos++] = 0;      // creation data
    return t;
}

class TestDialog : public Dialog {
public:
    int commands = 0;
    bool throwOnCommand = false;
    bool destroyed = false;
    HWND make() {
        auto t = dialogTemplate();
        return createModelessIndirect(::GetModuleHandleW(nullptr),
                                      reinterpret_cast<DLGTEMPLATE*>(t.data()), nullptr);
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
    Recorder recorder;
    ScopedReporter scope(&recorder);
    TestDialog dialog;
    HWND h = dialog.make();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(dialog.hwnd(), h);

    dialog.throwOnCommand = true;
    ::SendMessageW(h, WM_COMMAND, 1, 0);
    EXPECT_THAT(recorder.reports, ::testing::ElementsAre("Error: 75 - Path/File access error"));
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
