// MSHook.dll: the system-wide keyboard hook behind the Alt+Shift hotkey. It is
// loaded into every process that receives keyboard input, so what it needs
// to remember lives in a section shared by all of them.
#include <windows.h>

#include "tray/hook_protocol.h"
#include "tray/tray_rules.h"

// Shared across every process the library is mapped into.
HHOOK g_hook __attribute__((section(".shr"), shared)) = nullptr;
HWND g_mainWindow __attribute__((section(".shr"), shared)) = nullptr;
tidewell::AltShiftDetector g_detector
    __attribute__((section(".shr"), shared)) = {false, false, false, false};

namespace {
tidewell::AltShiftDetector::Key classify(WPARAM vk) {
    switch (vk) {
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
        return tidewell::AltShiftDetector::Alt;
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
        return tidewell::AltShiftDetector::Shift;
    default:
        return tidewell::AltShiftDetector::Other;
    }
}

BOOL CALLBACK findMainWindow(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    if (pid == ::GetCurrentProcessId() && lstrcmpiW(cls, tidewell::kMainWindowClass) == 0) {
        *reinterpret_cast<HWND*>(lp) = hwnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

extern "C" {

__declspec(dllexport) LRESULT CALLBACK SSKeyBoardHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const bool released = (lp & 0x80000000) != 0;
        const bool wasDown = (lp & 0x40000000) != 0;
        if (g_detector.onKey(classify(wp), !released, !released && wasDown) &&
            g_mainWindow != nullptr) {
            ::PostMessageW(g_mainWindow, WM_KEYDOWN, tidewell::kSignalKey, 0);
        }
    }
    // Every key goes on to the next hook and the program it was meant for.
    return ::CallNextHookEx(g_hook, code, wp, lp);
}

// Called by the program that installed the hook, in its own process.
__declspec(dllexport) int WINAPI LibHook(HHOOK hook) {
    g_hook = hook;
    HWND main = nullptr;
    ::EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&main));
    g_mainWindow = main;
    g_detector = {false, false, false, false};
    return 1;
}

__declspec(dllexport) int WINAPI LibUnHook(HHOOK hook) {
    const BOOL ok = hook != nullptr && ::UnhookWindowsHookEx(hook);
    g_hook = nullptr;
    g_mainWindow = nullptr;
    return ok ? 1 : 0;
}

} // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
