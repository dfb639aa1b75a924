#include "tray/mshook_win32.h"

#include <string>

#include "kernel/settings_store.h"
#include "tray/hide_show_win32.h"
#include "win32/error_report.h"
#include "win32/module_path.h"
#include "win32/unique_handle.h"

namespace tidewell::MSHook {

namespace {
using LibHookFn = int(WINAPI*)(HHOOK);

struct State {
    win32::UniqueModule hHookLib;   // the explicit load
    win32::UniqueModule bindingLib; // what LibHook/LibUnHook are bound through
    HOOKPROC lpHookProc = nullptr;
    HHOOK hKeyHook = nullptr;
    HWND hMainWnd = nullptr;
    WNDPROC lpPrevWndProc = nullptr;
    bool bHooked = false;
    bool bDesktopShown = false;
};

State& state() {
    static State s;
    return s;
}

HMODULE loadByFullPath(const std::wstring& folder) {
    if (folder.empty()) {
        return nullptr;
    }
    const std::wstring path = folder + (folder.back() == L'\\' ? L"" : L"\\") + L"MSHook.dll";
    return ::LoadLibraryExW(path.c_str(), nullptr, 0);
}

HMODULE loadHookLibrary() {
    wchar_t system[256] = {};
    const UINT n = ::GetSystemDirectoryW(system, 255);
    if (HMODULE lib = loadByFullPath(std::wstring(system, n < 256 ? n : 0))) {
        return lib;
    }
    return loadByFullPath(win32::programFolder());
}

LibHookFn boundEntry(const char* name) {
    State& s = state();
    if (!s.bindingLib) {
        s.bindingLib.reset(loadHookLibrary());
    }
    if (!s.bindingLib) {
        return nullptr;
    }
    return reinterpret_cast<LibHookFn>(
        reinterpret_cast<void*>(::GetProcAddress(s.bindingLib.get(), name)));
}
} // namespace

bool desktopShown() noexcept {
    return state().bDesktopShown;
}
bool hooked() noexcept {
    return state().bHooked;
}

void InitKeyboardHook(HWND mainWindow) {
    State& s = state();
    s.bDesktopShown = true;
    s.hMainWnd = mainWindow;
    s.hHookLib.reset(loadHookLibrary());
    if (s.hHookLib) {
        s.lpHookProc = reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void*>(::GetProcAddress(s.hHookLib.get(), "SSKeyBoardHook")));
    }
    if (s.lpHookProc != nullptr) {
        s.hKeyHook = ::SetWindowsHookExW(WH_KEYBOARD, s.lpHookProc, s.hHookLib.get(), 0);
    }
    if (LibHookFn libHook = boundEntry("LibHook")) {
        libHook(s.hKeyHook);
    }
    Hook();
}

void Hook() {
    State& s = state();
    if (s.bHooked) {
        ::MessageBoxW(s.hMainWnd,
                      L"Don't hook it twice without unhooking, or you will be unable to unhook it.",
                      L"Tidewell", MB_OK);
        return;
    }
    if (s.hMainWnd == nullptr) {
        return;
    }
    s.lpPrevWndProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(s.hMainWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    s.bHooked = s.lpPrevWndProc != nullptr;
}

void Unhook() {
    State& s = state();
    if (s.bHooked && ::IsWindow(s.hMainWnd)) {
        ::SetWindowLongPtrW(s.hMainWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.lpPrevWndProc));
    }
    s.bHooked = false;
}

void ReleaseKeyboardHook() {
    State& s = state();
    if (!s.bDesktopShown) {
        HideShowWindows::ShowDesktopWindows();
        s.bDesktopShown = true;
    }
    s.hHookLib.reset();
    if (LibHookFn libUnHook = boundEntry("LibUnHook")) {
        libUnHook(s.hKeyHook);
    } else if (s.hKeyHook != nullptr) {
        ::UnhookWindowsHookEx(s.hKeyHook);
    }
    s.hKeyHook = nullptr;
    Unhook();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    State& s = state();
    if (msg == WM_KEYDOWN && wp == kSignalKey) {
        try {
            s.bDesktopShown = !s.bDesktopShown;
            if (s.bDesktopShown) {
                HideShowWindows::ShowDesktopWindows();
            } else {
                HideShowWindows::HideDesktopWindows();
            }
        } catch (...) {
            win32::reportCurrentException();
        }
    }
    return ::CallWindowProcW(s.lpPrevWndProc, hwnd, msg, wp, lp);
}

} // namespace tidewell::MSHook
