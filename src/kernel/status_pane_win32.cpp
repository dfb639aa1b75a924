#include "kernel/status_pane_win32.h"

#include <richedit.h>

#include "win32/unicode.h"

namespace tidewell::win32 {



void RichEditStatusPane::Clear() {
    ::SetWindowTextW(hwnd_, L"");
}

void RichEditStatusPane::selectEnd() {
    CHARRANGE end{-1, -1};
    ::SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
}

void RichEditStatusPane::SetColour(Colour colour) {
    colour_ = colour;
    selectEnd();
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = CFM_COLOR;
    cf.dwEffects = 0;
    cf.crTextColor = RGB(colour.red, colour.green, colour.blue);
    ::SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

void RichEditStatusPane::Append(const std::string& text) {
    // Re-assert the colour at the end: moving the caret there may have picked
    // up the format of the text before it.
    SetColour(colour_);
    const std::wstring wide = toUtf16(text);
    ::SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    ::SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
}

void RichEditStatusPane::Repaint() {
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void WindowStatusLabel::SetText(const std::string& text) {
    setWindowText(hwnd_, text);
    ::UpdateWindow(hwnd_);
}

std::string WindowStatusLabel::Text() const {
    return windowText(hwnd_);
}

} // namespace tidewell::win32
