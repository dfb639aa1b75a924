// The main window's side of the hotkey: subclassing, the refusal to subclass
// twice, and restoring the window procedure. Which windows the hotkey hides
// and shows again, and showing them when the program ends, are the e2e test's.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

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
                  DWORD pid = 0;
                  // The first visible dialog of this process: the message box.
                  while ((box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr &&
                         (::GetWindowThreadProcessId(box, &pid),
                          pid != ::GetCurrentProcessId() || !::IsWindowVisible(box))) {
                  }
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

    // Hidden at release: shown again, and the window procedure is back.
    ::SendMessageW(main, WM_KEYDOWN, MSHook::kSignalKey, 0);
    ASSERT_FALSE(::IsWindowVisible(other));
    MSHook::ReleaseKeyboardHook();
    EXPECT_TRUE(::IsWindowVisible(other));
    EXPECT_FALSE(MSHook::hooked());
    EXPECT_EQ(::GetWindowLongPtrW(main, GWLP_WNDPROC), original);
    ::DestroyWindow(other);
    ::DestroyWindow(main);
}

} // namespace
