#pragma once
#include <windows.h>

namespace tidewell::win32 {

// Thin dialog base: keeps `this` from WM_INITDIALOG on, and is an exception
// barrier, so that no C++ exception ever unwinds into user32. A handler that
// throws has its failure reported through the program-wide error trap.
class Dialog {
public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    HWND hwnd() const noexcept { return hwnd_; }
    HWND item(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }

    // Creates the dialog from its template; throws on failure.
    HWND createModeless(HINSTANCE instance, int templateId, HWND parent);
    INT_PTR runModal(HINSTANCE instance, int templateId, HWND parent);
    // From a template built in memory.
    HWND createModelessIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND parent);

protected:
    // Return TRUE when handled (and set DWLP_MSGRESULT where the message needs it).
    virtual INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp) = 0;
    // What a modeless dialog does when its window goes away.
    virtual void onDestroyed() {}

private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
    bool modeless_ = false;
};

} // namespace tidewell::win32
