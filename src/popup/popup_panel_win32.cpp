#include "popup/popup_panel_win32.h"

#include <commctrl.h>

#include "popup/popup_ids.h"
#include "tray/tray_ids.h"
#include "win32/unicode.h"
#include "win32/unique_com.h"

namespace tidewell {

namespace {
// "hh:mm:ss AM/PM": two-digit 12-hour clock and the locale's designator.
std::wstring clockText() {
    wchar_t text[64] = {};
    if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, L"hh':'mm':'ss tt", text, 64) ==
        0) {
        return {};
    }
    return text;
}

std::wstring readBstr(HRESULT (STDMETHODCALLTYPE IWebBrowser2::*get)(BSTR*),
                      IWebBrowser2* browser) {
    if (browser == nullptr) {
        return {};
    }
    win32::UniqueBstr value;
    std::wstring text;
    if (SUCCEEDED((browser->*get)(value.put())) && value) {
        text.assign(value.get(), ::SysStringLen(value.get()));
    }
    return text;
}
} // namespace

PopupKillerPanel::PopupKillerPanel(PageHost& host, SettingsStore& store,
                                   popup::IEWindowsEvents& listener)
    : host_(host), listener_(listener), switch_(store, *this, popup::popupFlags()) {}

PopupKillerPanel::~PopupKillerPanel() = default;

HWND PopupKillerPanel::createPage(HINSTANCE instance, HWND parent) {
    return page_.create(instance, IDD_PAGE_POPUP, parent);
}

HWND PopupKillerPanel::page() const {
    return page_.hwnd();
}
HWND PopupKillerPanel::list() const {
    return ::GetDlgItem(page(), IDC_VINDOWS);
}

void PopupKillerPanel::Page::onInit() {
    HWND lv = item(IDC_VINDOWS);
    ListView_SetExtendedListViewStyle(lv, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    struct Column {
        const wchar_t* caption;
        int width;
    } const columns[] = {{L"Location", 220}, {L"URL", 300}, {L"Time", 110}};
    RECT rc{};
    ::GetClientRect(lv, &rc);
    const int total = 220 + 300 + 110;
    int index = 0;
    for (const Column& c : columns) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = const_cast<wchar_t*>(c.caption);
        col.cx = rc.right > 0 ? (rc.right - ::GetSystemMetrics(SM_CXVSCROLL)) * c.width / total
                              : c.width;
        col.iSubItem = index;
        ListView_InsertColumn(lv, index, &col);
        ++index;
    }
    ::SendMessageW(item(IDC_CHKPOPUPKILLERACTIVATE), BM_SETCHECK,
                   static_cast<WPARAM>(panel_.checkBox_), 0);
    panel_.showRows();
}

void PopupKillerPanel::Page::onCommand(int id, int code) {
    if (id == IDC_CHKPOPUPKILLERACTIVATE && code == BN_CLICKED) {
        panel_.checkBox_ = static_cast<int>(
            ::SendMessageW(item(IDC_CHKPOPUPKILLERACTIVATE), BM_GETCHECK, 0, 0));
        panel_.chkPopupKillerActivate_Click();
    }
}

void PopupKillerPanel::loadPopupKillerSwitch() {
    switch_.loadAtStartup();
}

void PopupKillerPanel::createWindowTracker() {
    tracker_ = std::make_unique<win32::ShellWindowsTracker>(listener_, input_, popup::popupFlags());
    // Windows already open show at once, not only after the next change.
    RefreshIEWindowList();
}

void PopupKillerPanel::markPopupKillerMenu() {
    switch_.markMenuAtEndOfLoad();
}

int PopupKillerPanel::checkBoxValue() {
    return checkBox_;
}

void PopupKillerPanel::setCheckBoxValue(int value) {
    checkBox_ = value;
    if (page() != nullptr) {
        ::SendDlgItemMessageW(page(), IDC_CHKPOPUPKILLERACTIVATE, BM_SETCHECK,
                              static_cast<WPARAM>(value), 0);
    }
}

bool PopupKillerPanel::menuChecked() {
    if (HMENU menu = host_.trayMenu()) {
        const UINT state = ::GetMenuState(menu, ID_MNUPOUPKILLER, MF_BYCOMMAND);
        if (state != static_cast<UINT>(-1)) {
            return (state & MF_CHECKED) != 0;
        }
    }
    return menuMark_;
}

void PopupKillerPanel::setMenuChecked(bool checked) {
    menuMark_ = checked;
    if (HMENU menu = host_.trayMenu()) {
        ::CheckMenuItem(menu, ID_MNUPOUPKILLER,
                        MF_BYCOMMAND | static_cast<UINT>(checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

void PopupKillerPanel::RefreshIEWindowList() noexcept {
    // Reading a browser's name may pump messages and bring another change:
    // that one refills the list after this pass, never in the middle of it.
    if (refreshing_) {
        refreshAgain_ = true;
        return;
    }
    refreshing_ = true;
    int passes = 0;
    do {
        refreshAgain_ = false;
        try {
            fillList();
        } catch (...) {
        }
    } while (refreshAgain_ && ++passes < 8);
    refreshing_ = false;
}

void PopupKillerPanel::fillList() {
    rows_.clear();
    if (popup::cIEWindows* tracker = IEWin()) {
        // Every row carries the time of this rebuild.
        const std::wstring time = clockText();
        for (const auto& entry : tracker->NewEnum()) {
            auto& sink = win32::ShellWindowsTracker::sink(*entry);
            IWebBrowser2* browser = sink.IEctl();
            rows_.push_back({readBstr(&IWebBrowser2::get_LocationName, browser),
                             readBstr(&IWebBrowser2::get_LocationURL, browser), time,
                             sink.IEHandle()});
        }
    }
    showRows();
}

void PopupKillerPanel::showRows() {
    HWND lv = list();
    if (lv == nullptr) {
        return;
    }
    ListView_DeleteAllItems(lv);
    for (Row& r : rows_) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = ListView_GetItemCount(lv);
        item.pszText = r.location.data();
        item.lParam = static_cast<LPARAM>(r.handle);
        const int row = ListView_InsertItem(lv, &item);
        if (row >= 0) {
            ListView_SetItemText(lv, row, 1, r.url.data());
            ListView_SetItemText(lv, row, 2, r.time.data());
        }
    }
}

} // namespace tidewell
