#pragma once
// The Schedule tab's controls, with their ids, on a plain window: what the
// schedule panel needs, without the rest of the program.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "shell/resource.h"

namespace tidewell::testing_schedule {

class SchedulePage {
public:
    SchedulePage() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_DATE_CLASSES | ICC_UPDOWN_CLASS};
        ::InitCommonControlsEx(&icc);
        HINSTANCE inst = ::GetModuleHandleW(nullptr);
        page = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                 inst, nullptr);
        auto child = [&](const wchar_t* cls, int id, DWORD style) {
            ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 20, page,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
        };
        child(L"COMBOBOX", IDC_CMBDAYS, CBS_DROPDOWNLIST);
        child(DATETIMEPICK_CLASSW, IDC_DTPSCHEDULEDATE, DTS_SHOWNONE);
        child(DATETIMEPICK_CLASSW, IDC_DTPSCHEDULETIME, DTS_SHOWNONE | DTS_TIMEFORMAT);
        child(L"EDIT", IDC_TXTHOURS, 0);
        child(UPDOWN_CLASSW, IDC_UDNHOURS, UDS_SETBUDDYINT);
        child(L"STATIC", IDC_LBLLASTRUNTIME, 0);
        child(L"BUTTON", IDC_CMDAPPLY, 0);
        child(L"BUTTON", IDC_CMDCANCEL, 0);
        child(L"BUTTON", IDC_CMDDEFAULTSCHEDULE, 0);
    }
    ~SchedulePage() { ::DestroyWindow(page); }
    SchedulePage(const SchedulePage&) = delete;
    SchedulePage& operator=(const SchedulePage&) = delete;
    HWND item(int id) const { return ::GetDlgItem(page, id); }
    std::string text(int id) const {
        wchar_t b[64] = {};
        ::GetWindowTextW(item(id), b, 64);
        std::wstring w(b);
        return std::string(w.begin(), w.end());
    }
    HWND page;
};

} // namespace tidewell::testing_schedule
