#pragma once
// The main window's icon in the notification area: the program's icons, the
// menu with its "Show" caption, the click on the icon, the add again when
// the taskbar is created anew (Explorer restarted), and the removal.
#include <windows.h>

#include <functional>
#include <string>

#include "win32/unique_handle.h"

namespace tidewell {

class TrayIcon {
public:
    // The icon is `window`'s small one, as it is when the icon is added;
    // `tip` is the icon's tip.
    TrayIcon(HINSTANCE instance, HWND window, std::string tip);
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The menu from the resources, its first item showing `showCaption`.
    void loadMenu(const std::string& showCaption);
    // The menu, once loaded.
    HMENU menu() const noexcept;

    // Adding is a round trip to the shell's process: it is done once the
    // window's messages run again, never before the window shows.
    void add();
    void remove();

    // A right-button-up that reached the window: the icon's shows the window
    // (`showWindow`) or the menu; a real click in the window does nothing.
    void mouseUp(WPARAM wp, LPARAM lp, const std::function<void()>& showWindow);
    // The icon's own window messages (the posted add, the taskbar's
    // creation); true when `msg` was one of them.
    bool handleMessage(UINT msg);

private:
    HINSTANCE instance_;
    HWND window_;
    std::string tip_;
    HICON icon_ = nullptr; // the window's, shared: never destroyed here
    win32::UniqueMenu menu_;
    UINT taskbarCreated_ = 0;
};

} // namespace tidewell
