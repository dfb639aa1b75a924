// The browser-window tracker and its sinks against the fake shell-window
// collection over real COM, in this process: connections advised and
// unadvised, dead browsers, the forward probe and the events relayed through
// IDispatch. The rebuild rules are the unit tests'; the popup decision and
// the window list the e2e tests'.
#include <gtest/gtest.h>

#include <windows.h>
#include <mshtmdid.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake_shell_install.h"
#include "fake_shell_protocol.h"
#include "../unit/popup_fakes.h"
#include "popup/shell_windows_win32.h"

using namespace tidewell;
using namespace tidewell::popup;

namespace {

class PopupTracker : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        registration = std::make_unique<fakeshell::Registration>();
        ASSERT_TRUE(registration->ok()) << registration->errorText();
        flags.gPopupKillerActive = true;
        flags.gCancelNextNavigation = false;
        tracker = std::make_unique<win32::ShellWindowsTracker>(recorder, input, flags);
        control = fakeshell::controlWindow(::GetCurrentProcessId());
        ASSERT_NE(control, nullptr) << "the fake collection was not loaded";
    }
    void TearDown() override {
        tracker.reset();
        if (control != nullptr) {
            ::SendMessageW(control, fakeshell::kReset, 0, 0);
        }
        registration.reset();
        ::CoUninitialize();
    }
    LRESULT send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        return ::SendMessageW(control, msg, wp, lp);
    }
    int open(std::int32_t handle, LPARAM flagsOfWindow = 0) {
        return static_cast<int>(send(fakeshell::kOpen, static_cast<WPARAM>(handle), flagsOfWindow));
    }
    std::vector<std::int32_t> handles() {
        std::vector<std::int32_t> out;
        for (auto& s : tracker->IEWin().NewEnum()) {
            out.push_back(s->IEHandle());
        }
        return out;
    }
    win32::IE_Class& sinkOf(std::int32_t handle) {
        return win32::ShellWindowsTracker::sink(*tracker->IEWin().IE(windowKey(handle)));
    }

    std::unique_ptr<fakeshell::Registration> registration;
    testing_popup::FakeInput input;
    PopupFlags flags;
    testing_popup::RecordingListener recorder;
    std::unique_ptr<win32::ShellWindowsTracker> tracker;
    HWND control = nullptr;
};

// Each browser has one sink advised on both its connection points (101); a
// rebuild, a duplicate handle or the tracker's end leaves none behind.
TEST_F(PopupTracker, SinksAreAdvisedOncePerHandleAndUnadvisedWhenReleased) {
    EXPECT_EQ(tracker->IEWin().Count(), 0);
    const int a = open(0x1234);
    const int b = open(0x2000);
    const int duplicate = open(0x2000);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{0x1234, 0x2000}));
    EXPECT_EQ(send(fakeshell::kConnections, static_cast<WPARAM>(duplicate)), 0);
    EXPECT_EQ(send(fakeshell::kClose, static_cast<WPARAM>(a)), 1);
    EXPECT_EQ(handles(), std::vector<std::int32_t>{0x2000});
    EXPECT_EQ(send(fakeshell::kConnections, static_cast<WPARAM>(b)), 101);
    tracker.reset();
    EXPECT_EQ(send(fakeshell::kConnections, static_cast<WPARAM>(b)), 0);
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(b)), -1);
}

TEST_F(PopupTracker, ABrowserThatDiedLeavesNoRowAndNoCrash) {
    const int alive = open(10);
    const int dying = open(20);
    ASSERT_EQ(handles(), (std::vector<std::int32_t>{10, 20}));
    send(fakeshell::kKill, static_cast<WPARAM>(dying));
    // Still listed by the shell: the next rebuild meets it dead.
    open(30);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{10, 30}));
    EXPECT_EQ(send(fakeshell::kClose, static_cast<WPARAM>(dying)), 1);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{10, 30}));
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(alive)), 1);
}

TEST_F(PopupTracker, AForwardPageIsProbedStoppedAndItsNavigationCancelledOnce) {
    const int plain = open(1);
    EXPECT_EQ(send(fakeshell::kStopCount, static_cast<WPARAM>(plain)), 0);

    const int forward = open(2, fakeshell::kForwardPage);
    // The rebuild probed both browsers again; only the one with a forward page stops.
    EXPECT_EQ(send(fakeshell::kStopCount, static_cast<WPARAM>(forward)), 1);
    EXPECT_EQ(send(fakeshell::kStopCount, static_cast<WPARAM>(plain)), 0);
    EXPECT_TRUE(flags.gCancelNextNavigation);
    // The next navigation of any window is cancelled, once.
    EXPECT_EQ(send(fakeshell::kBeforeNavigate2, static_cast<WPARAM>(plain)), 1);
    EXPECT_EQ(send(fakeshell::kBeforeNavigate2, static_cast<WPARAM>(plain)), 0);
    EXPECT_EQ(recorder.url, EventValue{std::string("http://fake.example/next")});
}

TEST_F(PopupTracker, BrowserAndDocumentEventsAreRelayedWithTheWindowHandleADocumentOrNot) {
    const int id = open(0x4321);
    recorder.calls.clear();
    send(fakeshell::kCommandStateChange, static_cast<WPARAM>(id), MAKELPARAM(1, 1));
    EXPECT_TRUE(sinkOf(0x4321).EnableForward());
    EXPECT_EQ(recorder.command, 1);
    EXPECT_TRUE(recorder.enable);
    send(fakeshell::kCommandStateChange, static_cast<WPARAM>(id), MAKELPARAM(1, 0));
    EXPECT_FALSE(sinkOf(0x4321).EnableForward());

    send(fakeshell::kDocumentComplete, static_cast<WPARAM>(id), 0); // a frame
    send(fakeshell::kDocumentComplete, static_cast<WPARAM>(id), 1); // the page

    // A right click (left button not down) with Ctrl and Alt held; how the
    // modifiers combine is the unit tests', that they arrive is checked here.
    input.state[0x11] = static_cast<std::int16_t>(0x8000);
    input.state[0x12] = static_cast<std::int16_t>(0x8000);
    send(fakeshell::kDocumentEvent, static_cast<WPARAM>(id), DISPID_HTMLDOCUMENTEVENTS_ONMOUSEDOWN);
    EXPECT_EQ(recorder.button, 2);
    EXPECT_EQ(recorder.shift, 4);
    input.state.clear();
    send(fakeshell::kDocumentEvent, static_cast<WPARAM>(id), DISPID_HTMLDOCUMENTEVENTS_ONMOUSEUP);
    EXPECT_EQ(recorder.button, 2);
    EXPECT_EQ(recorder.shift, 0);
    EXPECT_EQ(send(fakeshell::kDocumentEvent, static_cast<WPARAM>(id),
                   DISPID_HTMLDOCUMENTEVENTS_ONCONTEXTMENU),
              1);

    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"command", "command", "doccomplete", "down",
                                                        "up", "menu"}));
    for (std::int32_t h : recorder.hwnds) {
        EXPECT_EQ(h, 0x4321);
    }

    // A browser without a document is still listed and still refuses popups.
    const int bare = open(9, fakeshell::kNoDocument);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{0x4321, 9}));
    EXPECT_EQ(send(fakeshell::kConnections, static_cast<WPARAM>(bare)), 1);
    EXPECT_EQ(send(fakeshell::kNewWindow2, static_cast<WPARAM>(bare)), 1);
    EXPECT_EQ(send(fakeshell::kDocumentEvent, static_cast<WPARAM>(bare),
                   DISPID_HTMLDOCUMENTEVENTS_ONCONTEXTMENU),
              -1);
}

} // namespace
