#include "tray/tray_icon_win32.h"

#include <windowsx.h>

#include "tray/shell_tray_win32.h"
#include "tray/tray_ids.h"
#include "tray/tray_rules.h"
#include "win32/unicode.h"
#include "win32/win32_error.h"

namespace tidewell {

namespace {
constexpr UINT kAddTrayIconMessage = WM_APP + 1;
} // namespace

TrayIcon::TrayIcon(HINSTANCE instance, HWND window, std::string tip)
    : instance_(instance), window_(window), tip_(std::move(tip)) {
    // Explorer announces a restart of the taskbar: the icon must be added again.
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
}

void TrayIcon::loadMenu(const std::string& showCaption) {
    menu_.reset(::LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAYMENU)));
    if (!menu_) {
        win32::throwLastError();
    }
    const std::wstring caption = win32::toUtf16(showCaption);
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof(mi);
    mi.fMask = MIIM_STRING;
    mi.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    ::SetMenuItemInfoW(menu(), ID_MNUSHOW, FALSE, &mi);
}

HMENU TrayIcon::menu() const noexcept {
    return menu_ ? ::GetSubMenu(menu_.get(), 0) : nullptr;
}

void TrayIcon::add() {
    ::PostMessageW(window_, kAddTrayIconMessage, 0, 0);
}

void TrayIcon::remove() {
    ShellTray::RemoveTrayIcon(window_, icon_);
}

bool TrayIcon::handleMessage(UINT msg) {
    if (msg == kAddTrayIconMessage) {
        icon_ = reinterpret_cast<HICON>(::SendMessageW(window_, WM_GETICON, ICON_SMALL, 0));
        ShellTray::AddTrayIcon(window_, icon_, tip_);
        return true;
    }
    if (taskbarCreated_ != 0 && msg == taskbarCreated_) {
        add();
        return true;
    }
    return false;
}

void TrayIcon::mouseUp(WPARAM wp, LPARAM lp, const std::function<void()>& showWindow) {
    // A real click's lParam is where it happened; the icon's is a message number.
    const DWORD where = ::GetMessagePos();
    POINT point{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    ::ScreenToClient(window_, &point);
    const bool isMessagePoint = point.x == GET_X_LPARAM(lp) && point.y == GET_Y_LPARAM(lp);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    switch (decodeTrayCallback(wp, static_cast<std::uintptr_t>(lp),
                               ::IsWindowVisible(window_) != FALSE, isMessagePoint)) {
    case TrayAction::ShowWindow:
        showWindow();
        break;
    case TrayAction::ShowMenu:
        // Foreground first, so the menu closes when the user clicks elsewhere.
        ::SetForegroundWindow(window_);
        ::TrackPopupMenu(menu(), TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, window_,
                         nullptr);
        ::PostMessageW(window_, WM_NULL, 0, 0);
        break;
    case TrayAction::None:
        break;
    }
}

} // namespace tidewell
