#include "win32/dialog.h"

#include "win32/error_report.h"
#include "win32/message_pump.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

Dialog::~Dialog() {
    if (hwnd_ != nullptr && modeless_) {
        HWND h = hwnd_;
        ::SetWindowLongPtrW(h, DWLP_USER, 0);
        hwnd_ = nullptr;
        unregisterModeless(h);
        ::DestroyWindow(h);
    }
}

HWND Dialog::createModeless(HINSTANCE instance, int templateId, HWND parent) {
    modeless_ = true;
    HWND h = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, dialogProc,
                                  reinterpret_cast<LPARAM>(this));
    if (h == nullptr) {
        throwLastError();
    }
    return h;
}

HWND Dialog::createModelessIndirect(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate,
                                    HWND parent) {
    modeless_ = true;
    HWND h = ::CreateDialogIndirectParamW(instance, dialogTemplate, parent, dialogProc,
                                          reinterpret_cast<LPARAM>(this));
    if (h == nullptr) {
        throwLastError();
    }
    return h;
}

INT_PTR Dialog::runModal(HINSTANCE instance, int templateId, HWND parent) {
    modeless_ = false;
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, dialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::dialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lp);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;
    }
    INT_PTR result = FALSE;
    try {
        result = self->handleMessage(msg, wp, lp);
    } catch (...) {
        reportCurrentException();
        result = (msg == WM_INITDIALOG) ? TRUE : FALSE;
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        unregisterModeless(hwnd);
        try {
            self->onDestroyed();
        } catch (...) {
            reportCurrentException();
        }
    }
    return result;
}

} // namespace tidewell::win32
