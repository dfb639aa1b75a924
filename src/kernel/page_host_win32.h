#pragma once
// What a tab page needs of the main window that holds it. The main window
// implements it; the pages of every subsystem see only this.
#include <windows.h>

#include "kernel/report_error.h"
#include "kernel/status_pane.h"

namespace tidewell {

// The tabs, in the order they are shown.
enum class PageId : int { Main, Options, Schedule, Advanced, Popup, FileSecurity };
inline constexpr int kPageCount = 6;

class PageHost {
public:
    virtual ~PageHost() = default;
    // The main window: the owner of message boxes and pickers.
    virtual HWND hwnd() const noexcept = 0;
    virtual void selectTab(PageId page) = 0;
    // The status pane on the "Main" page and the status label below the tabs.
    virtual StatusPane& rtfMessage() noexcept = 0;
    virtual StatusLabel& lblStatus() noexcept = 0;
    // False until start-up has restored the options.
    virtual bool& bLoaded() noexcept = 0;
    // The notification-area icon's menu; nullptr until it is loaded.
    virtual HMENU trayMenu() const noexcept = 0;
    // The program-wide message for a handler that failed.
    virtual ErrorReporter& errors() noexcept = 0;
};

} // namespace tidewell
