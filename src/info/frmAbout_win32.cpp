#include "info/frmAbout_win32.h"

#include "info/web_page.h"
#include "kernel/status_pane_win32.h"
#include "info/about_ids.h"

namespace tidewell {

void frmAbout::ShowModal(HINSTANCE instance, HWND owner) {
    runModal(instance, IDD_ABOUT, owner);
}

void frmAbout::Form_Load() {
    win32::setWindowText(hwnd(),
                         aboutCaption(product_.productName, product_.major, product_.minor));
    win32::setWindowText(item(IDC_LBLCOPYRIGHT),
                         aboutNotice(product_.legalCopyright, product_.companyName));
}

void frmAbout::cmdOK_Click() {
    ::EndDialog(hwnd(), IDOK);
}

INT_PTR frmAbout::handleMessage(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        Form_Load();
        return TRUE;
    case WM_COMMAND:
        // OK, Enter and Esc all close the box.
        if (LOWORD(wp) == IDC_CMDOK || LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            cmdOK_Click();
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace tidewell
