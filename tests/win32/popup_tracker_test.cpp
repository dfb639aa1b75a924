// The browser-window tracker and its sinks against the fake shell-window
// collection over real COM, in this process: connections advised and
// unadvised, dead browsers, and the Cancel the sinks write. The rebuild and
// decision rules are the unit tests'; the window list the e2e test's.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "fake_shell_install.h"
#include "popup/shell_windows_win32.h"

using namespace tidewell;
using namespace tidewell::popup;

namespace {

// No key is held; tones are not heard.
struct Input : InputPort {
    std::int16_t asyncKeyState(int) override { return 0; }
    void beep(unsigned, unsigned) override {}
};

class PopupTracker : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(registration.ok()) << registration.errorText();
        flags.gPopupKillerActive = true;
        tracker = std::make_unique<win32::ShellWindowsTracker>(listener, input, flags);
        control = fakeshell::controlWindow(::GetCurrentProcessId());
        ASSERT_NE(control, nullptr) << "the fake collection was not loaded";
    }
    void TearDown() override {
        tracker.reset();
        ::SendMessageW(control, fakeshell::kReset, 0, 0); // nothing if it was not found
        ::CoUninitialize();
    }
    LRESULT send(UINT msg, int id, LPARAM lp = 0) {
        return ::SendMessageW(control, msg, static_cast<WPARAM>(id), lp);
    }
    int open(std::int32_t handle, LPARAM flagsOfWindow = 0) {
        return static_cast<int>(send(fakeshell::kOpen, handle, flagsOfWindow));
    }
    std::vector<std::int32_t> handles() {
        std::vector<std::int32_t> out;
        for (auto& s : tracker->IEWin().NewEnum()) {
            out.push_back(s->IEHandle());
        }
        return out;
    }

    fakeshell::Registration registration; // undone after TearDown
    Input input;
    PopupFlags flags;
    IEWindowsEvents listener;
    std::unique_ptr<win32::ShellWindowsTracker> tracker;
    HWND control = nullptr;
};

// Each browser has one sink advised on both its connection points (101); a
// rebuild, a duplicate handle or the tracker's end leaves none behind. A
// browser without a document is still listed and still refuses popups.
TEST_F(PopupTracker, SinksAreAdvisedOncePerHandleAndUnadvisedWhenReleased) {
    EXPECT_EQ(tracker->IEWin().Count(), 0);
    const int a = open(0x1234);
    const int b = open(0x2000);
    const int duplicate = open(0x2000);
    const int bare = open(9, fakeshell::kNoDocument);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{0x1234, 0x2000, 9}));
    EXPECT_EQ(send(fakeshell::kConnections, duplicate), 0);
    EXPECT_EQ(send(fakeshell::kConnections, bare), 1);
    EXPECT_EQ(send(fakeshell::kNewWindow2, bare), 1);
    EXPECT_EQ(send(fakeshell::kClose, a), 1);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{0x2000, 9}));
    EXPECT_EQ(send(fakeshell::kConnections, b), 101);
    tracker.reset();
    EXPECT_EQ(send(fakeshell::kConnections, b), 0);
    EXPECT_EQ(send(fakeshell::kNewWindow2, b), -1);
}

TEST_F(PopupTracker, ABrowserThatDiedLeavesNoRowAndNoCrash) {
    const int alive = open(10);
    const int dying = open(20);
    ASSERT_EQ(handles(), (std::vector<std::int32_t>{10, 20}));
    send(fakeshell::kKill, dying);
    // Still listed by the shell: the next rebuild meets it dead.
    open(30);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{10, 30}));
    EXPECT_EQ(send(fakeshell::kClose, dying), 1);
    EXPECT_EQ(handles(), (std::vector<std::int32_t>{10, 30}));
    EXPECT_EQ(send(fakeshell::kNewWindow2, alive), 1);
}

} // namespace
