#include "win32/tab_page.h"

#include <uxtheme.h>

namespace tidewell::win32 {

INT_PTR TabPage::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        ::EnableThemeDialogTexture(hwnd(), ETDT_ENABLETAB);
        onInit();
        return FALSE;
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        const int code = HIWORD(wp);
        runGuarded(errors_, [&] { onCommand(id, code); });
        return TRUE;
    }
    case WM_NOTIFY: {
        LRESULT r = 0;
        runGuarded(errors_, [&] { r = onNotify(*reinterpret_cast<NMHDR*>(lp)); });
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, r);
        return TRUE;
    }
    default: {
        INT_PTR result = FALSE;
        return onMessage(msg, wp, lp, result) ? result : FALSE;
    }
    }
}

} // namespace tidewell::win32
