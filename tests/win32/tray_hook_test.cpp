// The main window's side of the hotkey: subclassing, the refusal to subclass
// twice, the signal toggling hide and show, and restoring the window procedure.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "tray/hide_show_win32.h"
#include "tray/mshook_win32.h"
#include "win32/unicode.h"

using namespace tidewell;

namespace {

LRESULT CALLBACK plainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP) {
        return 42;
    }
    return ::DefWindowProcW(h, m, w, l);
}

HWND makeWindow(const wchar_t* title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = plainProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TidewellHookTest";
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(0, L"TidewellHookTest", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                             200, 100, nullptr, nullptr, wc.hInstance, nullptr);
}

// Closes the first message box this process shows and keeps its text.
class MessageBoxCloser {
public:
    MessageBoxCloser()
        : thread_([this] {
              for (int i = 0; i < 200 && !done_; ++i) {
                  HWND box = nullptr;
                  ::EnumWindows(
                      [](HWND h, LPARAM lp) -> BOOL {
                          DWORD pid = 0;
                          ::GetWindowThreadProcessId(h, &pid);
                          wchar_t cls[16] = {};
                          ::GetClassNameW(h, cls, 16);
                          if (pid == ::GetCurrentProcessId() && std::wstring(cls) == L"#32770" &&
                              ::IsWindowVisible(h)) {
                              *reinterpret_cast<HWND*>(lp) = h;
                              return FALSE;
                          }
                          return TRUE;
                      },
                      reinterpret_cast<LPARAM>(&box));
                  if (box != nullptr) {
                      wchar_t buffer[256] = {};
                      ::GetWindowTextW(::GetDlgItem(box, 0xFFFF), buffer, 256);
                      text = win32::toUtf8(buffer);
                      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                      return;
                  }
                  ::Sleep(25);
              }
          }) {}
    ~MessageBoxCloser() {
        done_ = true;
        thread_.join();
    }
    std::string text;

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

TEST(MSHookModule, SubclassesOnceRefusesTwiceAndRestores) {
    HWND main = makeWindow(L"Hook test main");
    HWND other = makeWindow(L"Hook test other");
    ASSERT_NE(main, nullptr);
    const auto original = ::GetWindowLongPtrW(main, GWLP_WNDPROC);

    // The hook library may be missing here: the program goes on without it.
    MSHook::InitKeyboardHook(main);
    EXPECT_TRUE(MSHook::hooked());
    EXPECT_TRUE(MSHook::desktopShown());
    EXPECT_NE(::GetWindowLongPtrW(main, GWLP_WNDPROC), original);
    EXPECT_EQ(::SendMessageW(main, WM_APP, 0, 0), 42); // everything else passes through

    {
        MessageBoxCloser closer;
        MSHook::Hook();
        // Give the closer its moment if the box came and went already.
        for (int i = 0; i < 100 && closer.text.empty(); ++i) {
            ::Sleep(10);
        }
        EXPECT_EQ(closer.text,
                  "Don't hook it twice without unhooking, or you will be unable to unhook it.");
    }

    // Any other key passes untouched; the signal hides, the next one shows.
    ::SendMessageW(main, WM_KEYDOWN, VK_F5, 0);
    EXPECT_TRUE(MSHook::desktopShown());
    ::SendMessageW(main, WM_KEYDOWN, MSHook::kSignalKey, 0);
    EXPECT_FALSE(MSHook::desktopShown());
    EXPECT_FALSE(::IsWindowVisible(other));
    EXPECT_FALSE(::IsWindowVisible(main));
    ::SendMessageW(main, WM_KEYDOWN, MSHook::kSignalKey, 0);
    EXPECT_TRUE(MSHook::desktopShown());
    EXPECT_TRUE(::IsWindowVisible(other));

    // Hidden at release: shown again, and the window procedure is back.
    ::SendMessageW(main, WM_KEYDOWN, MSHook::kSignalKey, 0);
    EXPECT_FALSE(::IsWindowVisible(other));
    MSHook::ReleaseKeyboardHook();
    EXPECT_TRUE(::IsWindowVisible(other));
    EXPECT_FALSE(MSHook::hooked());
    EXPECT_EQ(::GetWindowLongPtrW(main, GWLP_WNDPROC), original);
    ::DestroyWindow(other);
    ::DestroyWindow(main);
}

TEST(HideShow, OnlyVisibleTitledWindowsAreHiddenAndExactlyThoseShown) {
    HWND titled = makeWindow(L"Visible titled");
    HWND blank = makeWindow(L"   ");
    HWND untitled = makeWindow(L"");
    HWND manager = makeWindow(L"Program Manager");
    HWND already = makeWindow(L"Already hidden");
    ::ShowWindow(already, SW_HIDE);

    HideShowWindows::HideDesktopWindows();
    EXPECT_FALSE(::IsWindowVisible(titled));
    EXPECT_TRUE(::IsWindowVisible(blank));
    EXPECT_TRUE(::IsWindowVisible(untitled));
    EXPECT_TRUE(::IsWindowVisible(manager));
    const auto& list = HideShowWindows::hiddenWindows();
    EXPECT_NE(std::find(list.begin(), list.end(), titled), list.end());
    EXPECT_EQ(std::find(list.begin(), list.end(), already), list.end());

    HWND later = makeWindow(L"Opened while hidden");
    HideShowWindows::ShowDesktopWindows();
    EXPECT_TRUE(::IsWindowVisible(titled));
    EXPECT_FALSE(::IsWindowVisible(already));
    EXPECT_EQ(std::find(list.begin(), list.end(), later), list.end());
    // A window closed meanwhile is skipped without harm.
    HideShowWindows::HideDesktopWindows();
    ::DestroyWindow(titled);
    HideShowWindows::ShowDesktopWindows();
    EXPECT_TRUE(::IsWindowVisible(later));
    for (HWND h : {blank, untitled, manager, already, later}) {
        ::DestroyWindow(h);
    }
}

} // namespace
