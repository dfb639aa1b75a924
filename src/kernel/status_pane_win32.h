#pragma once
#include <windows.h>

#include "kernel/status_pane.h"
#include "win32/window_text.h"

namespace tidewell::win32 {

// rtfMessage: a read-only rich edit. Text always goes to the end of the pane
// in the colour set last, even when the user has clicked into it or selected
// something, so that a report is never spliced into the middle of itself.
class RichEditStatusPane : public StatusPane {
public:
    explicit RichEditStatusPane(HWND richEdit = nullptr) noexcept : hwnd_(richEdit) {}
    void attach(HWND richEdit) noexcept { hwnd_ = richEdit; }
    HWND hwnd() const noexcept { return hwnd_; }

    void Clear() override;
    void SetColour(Colour colour) override;
    void Append(const std::string& text) override;
    void Repaint() override;

private:
    void selectEnd();
    HWND hwnd_;
    Colour colour_{};
};

// lblStatus.
class WindowStatusLabel : public StatusLabel {
public:
    explicit WindowStatusLabel(HWND label = nullptr) noexcept : hwnd_(label) {}
    void attach(HWND label) noexcept { hwnd_ = label; }
    void SetText(const std::string& text) override;
    std::string Text() const override;

private:
    HWND hwnd_;
};


} // namespace tidewell::win32
