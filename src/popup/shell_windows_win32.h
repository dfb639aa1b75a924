#pragma once
// IEWin: the tracker over the shell's real window collection, whose
// elements get an IE_Class sink each.
#include <windows.h>

#include <memory>

#include "popup/ie_class_win32.h"
#include "popup/window_tracker.h"

namespace tidewell::win32 {

class ShellWindowsTracker : private popup::ShellWindowsSource {
public:
    // Creates the collection's tracker and its first list at once.
    ShellWindowsTracker(popup::IEWindowsEvents& listener, popup::InputPort& input,
                        popup::PopupFlags& flags);
    ~ShellWindowsTracker() override;
    ShellWindowsTracker(const ShellWindowsTracker&) = delete;
    ShellWindowsTracker& operator=(const ShellWindowsTracker&) = delete;

    popup::cIEWindows& IEWin() noexcept { return *tracker_; }
    // The sink of a tracked entry, with its browser.
    static IE_Class& sink(popup::BrowserSink& entry) noexcept {
        return static_cast<IE_Class&>(entry);
    }

private:
    std::unique_ptr<popup::ShellWindowsSession> open() override;
    void shellEvent(DISPID id);

    class Session;
    popup::InputPort& input_;
    popup::PopupFlags& flags_;
    std::unique_ptr<popup::cIEWindows> tracker_;
    bool missedWhileStarting_ = false;
    bool closing_ = false;
};

} // namespace tidewell::win32
