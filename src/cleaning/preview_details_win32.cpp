#include "cleaning/preview_details_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "cleaning/cleaning_ids.h"
#include "win32/unicode.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

std::string PreviewDetails::localTime(std::uint64_t ticks) {
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME u{}, local{};
    if (!::FileTimeToSystemTime(&utc, &u) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &u, &local)) {
        return {};
    }
    wchar_t date[80] = {}, time[80] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80, nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, 80);
    return toUtf8(std::wstring(date) + L" " + time);
}

void PreviewDetails::fill() {
    rows_.clear();
    rows_.reserve(items_.size());
    for (const FoundItem& item : items_) {
        std::array<std::wstring, kDetailColumnCount> row;
        for (int c = 0; c < kDetailColumnCount; ++c) {
            row[static_cast<size_t>(c)] =
                toUtf16(cellText(item, static_cast<DetailColumn>(c), localTime));
        }
        rows_.push_back(std::move(row));
    }
    HWND list = item(IDC_LSTPREVIEW);
    ::SendMessageW(list, LVM_SETITEMCOUNT, rows_.size(), 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void PreviewDetails::sortBy(int column) {
    // A second click on the same column turns the order round.
    ascending_ = column == sortColumn_ ? !ascending_ : true;
    sortColumn_ = column;
    sortFound(items_, static_cast<DetailColumn>(column), ascending_);
    fill();
}

void PreviewDetails::copy() {
    const std::wstring text = toUtf16(detailsText(items_, localTime));
    // Another program may hold the clipboard for a moment (a clipboard
    // viewer reading it): try again briefly before reporting.
    for (int attempt = 0; !::OpenClipboard(hwnd()); ++attempt) {
        if (attempt == 20) {
            throwLastError();
        }
        ::Sleep(10);
    }
    struct Close {
        ~Close() { ::CloseClipboard(); }
    } close;
    ::EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        throwLastError();
    }
    void* target = ::GlobalLock(memory);
    std::memcpy(target, text.c_str(), bytes);
    ::GlobalUnlock(memory);
    if (::SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        const DWORD error = ::GetLastError();
        ::GlobalFree(memory); // still ours: the clipboard did not take it
        throwWin32Error(error);
    }
}

INT_PTR PreviewDetails::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        HWND list = item(IDC_LSTPREVIEW);
        ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                       LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
        const int widths[] = {380, 110, 130, 130};
        for (int c = 0; c < kDetailColumnCount; ++c) {
            const std::wstring title = toUtf16(detailColumnTitle(static_cast<DetailColumn>(c)));
            LVCOLUMNW col{};
            col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            col.fmt = c == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
            col.cx = widths[c];
            col.pszText = const_cast<wchar_t*>(title.c_str());
            ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                           reinterpret_cast<LPARAM>(&col));
        }
        fill();
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->idFrom != IDC_LSTPREVIEW) {
            return FALSE;
        }
        if (header->code == LVN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(lp);
            const auto row = static_cast<size_t>(info->item.iItem);
            const auto col = static_cast<size_t>(info->item.iSubItem);
            if ((info->item.mask & LVIF_TEXT) != 0 && row < rows_.size() &&
                col < kDetailColumnCount && info->item.cchTextMax > 0) {
                const std::wstring& text = rows_[row][col];
                const size_t n = std::min<size_t>(text.size(), info->item.cchTextMax - 1);
                text.copy(info->item.pszText, n);
                info->item.pszText[n] = L'\0';
            }
            return TRUE;
        }
        if (header->code == LVN_COLUMNCLICK) {
            sortBy(reinterpret_cast<const NMLISTVIEW*>(lp)->iSubItem);
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDC_CMDCOPYPREVIEW) {
            copy();
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            ::EndDialog(hwnd(), IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace tidewell::win32
