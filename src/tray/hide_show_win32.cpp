#include "tray/hide_show_win32.h"

#include "tray/tray_rules.h"
#include "win32/unicode.h"

namespace tidewell::HideShowWindows {

namespace {
std::vector<HWND>& hidden() {
    static std::vector<HWND> list;
    return list;
}

// Another program's window is shown or hidden without waiting for it, so a
// program that does not answer cannot freeze ours.
void show(HWND hwnd, int command) {
    if (::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId()) {
        ::ShowWindow(hwnd, command);
    } else {
        ::ShowWindowAsync(hwnd, command);
    }
}
} // namespace

const std::vector<HWND>& hiddenWindows() {
    return hidden();
}

void HideDesktopWindows() {
    hidden().clear();
    ::EnumWindows(EnumWindowsProc, 0);
}

void ShowDesktopWindows() {
    for (HWND hwnd : hidden()) {
        // A window closed meanwhile is skipped.
        if (::IsWindow(hwnd)) {
            show(hwnd, SW_SHOW);
        }
    }
}

BOOL CALLBACK EnumWindowsProc(HWND hwnd, LPARAM) {
    try {
        wchar_t title[256] = {};
        const int n = ::GetWindowTextW(hwnd, title, 255);
        if (qualifiesForHiding(win32::toUtf8(std::wstring_view(title, n > 0 ? n : 0))) &&
            ::IsWindowVisible(hwnd) == 1) {
            show(hwnd, SW_HIDE);
            hidden().push_back(hwnd);
        }
    } catch (...) {
        // One window that cannot be read does not end the enumeration.
    }
    return TRUE;
}

} // namespace tidewell::HideShowWindows
