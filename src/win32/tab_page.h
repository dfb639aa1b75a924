#pragma once
// A tab page: a child dialog of the main window with the tab's background.
// Its controls' commands and notifications come to the page itself and run
// under the program-wide guard.
#include <windows.h>
#include <commctrl.h>

#include "kernel/report_error.h"
#include "win32/dialog.h"

namespace tidewell::win32 {

class TabPage : public Dialog {
public:
    explicit TabPage(ErrorReporter& errors) noexcept : errors_(errors) {}
    HWND create(HINSTANCE instance, int templateId, HWND parent) {
        return createModeless(instance, templateId, parent);
    }

protected:
    ErrorReporter& errors() noexcept { return errors_; }
    // WM_INITDIALOG: the page's controls exist.
    virtual void onInit() {}
    virtual void onCommand(int /*id*/, int /*code*/) {}
    virtual LRESULT onNotify(NMHDR& /*header*/) { return 0; }
    // Any other message; true when handled, with the dialog procedure's `result`.
    virtual bool onMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, INT_PTR& /*result*/) {
        return false;
    }

private:
    INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp) final;
    ErrorReporter& errors_;
};

} // namespace tidewell::win32
