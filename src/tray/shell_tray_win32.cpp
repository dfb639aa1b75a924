#include "tray/shell_tray_win32.h"

#include <algorithm>

#include "tray/tray_rules.h"
#include "win32/unicode.h"

namespace tidewell::ShellTray {

NOTIFYICONDATAW MakeNotifyIconData(HWND hwnd, UINT id, UINT flags, UINT callbackMessage, HICON icon,
                                   const std::string& tip) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = id;
    data.uFlags = flags;
    data.uCallbackMessage = callbackMessage;
    data.hIcon = icon;
    const std::wstring wide = win32::toUtf16(tip);
    const std::u16string fitted =
        fitTip(std::u16string(wide.begin(), wide.end()), std::size(data.szTip));
    std::copy(fitted.begin(), fitted.end(), data.szTip);
    data.szTip[fitted.size()] = L'\0';
    return data;
}

void AddTrayIcon(HWND form, HICON icon, const std::string& tip) {
    NOTIFYICONDATAW data =
        MakeNotifyIconData(form, kTrayIconId, kTrayIconFlags, kTrayCallbackMessage, icon, tip);
    ::Shell_NotifyIconW(NIM_ADD, &data);
}

void RemoveTrayIcon(HWND form, HICON icon) {
    NOTIFYICONDATAW data =
        MakeNotifyIconData(form, kTrayIconId, kTrayIconFlags, kTrayDeleteCallback, icon, "");
    ::Shell_NotifyIconW(NIM_DELETE, &data);
}

} // namespace tidewell::ShellTray
