#include "shell/banner_win32.h"

#include <memory>
#include <string>

#include "win32/error_report.h"
#include "win32/unique_handle.h"

namespace tidewell::win32 {

namespace {
constexpr UINT_PTR kTimerId = 1;
constexpr int kStepPixels = 6;

struct BannerState {
    int interval = 20;
    int offset = 0; // pixels of the text still right of its resting place
    bool running = false;
};

BannerState* state(HWND hwnd) {
    return reinterpret_cast<BannerState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void restart(HWND hwnd, BannerState& s) {
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    s.offset = rc.right - rc.left;
    if (::IsWindowVisible(hwnd) && s.offset > 0) {
        s.running = ::SetTimer(hwnd, kTimerId, static_cast<UINT>(s.interval), nullptr) != 0;
        if (!s.running) {
            s.offset = 0;
        }
    } else {
        s.offset = 0;
    }
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

void stop(HWND hwnd, BannerState& s) {
    if (s.running) {
        ::KillTimer(hwnd, kTimerId);
        s.running = false;
    }
}

void paint(HWND hwnd, const BannerState& s) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
    int n = ::GetWindowTextLengthW(hwnd);
    if (n > 0) {
        std::wstring text(static_cast<size_t>(n) + 1, L'\0');
        n = ::GetWindowTextW(hwnd, text.data(), n + 1);
        text.resize(static_cast<size_t>(n));
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(hwnd), WM_GETFONT, 0, 0));
        SelectObjectScope keepFont(dc, font != nullptr ? static_cast<HGDIOBJ>(font)
                                                       : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, RGB(0, 0, 128));
        RECT textRc = rc;
        ::OffsetRect(&textRc, s.offset, 0);
        ::DrawTextW(dc, text.c_str(), n, &textRc,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    ::EndPaint(hwnd, &ps);
}

LRESULT CALLBACK bannerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        switch (msg) {
        case WM_NCCREATE:
            ::SetWindowLongPtrW(
                hwnd, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(std::make_unique<BannerState>().release()));
            break;
        case WM_NCDESTROY: {
            std::unique_ptr<BannerState> owned(state(hwnd));
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
        }
        case BannerSetSpeed:
            if (BannerState* s = state(hwnd)) {
                s->interval = wp > 0 && wp < 10000 ? static_cast<int>(wp) : 20;
            }
            return 0;
        case WM_SETTEXT: {
            LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
            if (BannerState* s = state(hwnd)) {
                restart(hwnd, *s);
            }
            return r;
        }
        case WM_SHOWWINDOW:
            if (BannerState* s = state(hwnd)) {
                if (wp) {
                    // Shown again: glide in once more after this message.
                    ::PostMessageW(hwnd, WM_USER + 2, 0, 0);
                } else {
                    stop(hwnd, *s);
                    s->offset = 0;
                }
            }
            break;
        case WM_USER + 2:
            if (BannerState* s = state(hwnd)) {
                stop(hwnd, *s);
                restart(hwnd, *s);
            }
            return 0;
        case WM_TIMER:
            if (BannerState* s = state(hwnd); s != nullptr && wp == kTimerId) {
                s->offset -= kStepPixels;
                if (s->offset <= 0 || !::IsWindowVisible(hwnd)) {
                    s->offset = 0;
                    stop(hwnd, *s);
                }
                ::InvalidateRect(hwnd, nullptr, FALSE);
            }
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            if (BannerState* s = state(hwnd)) {
                paint(hwnd, *s);
                return 0;
            }
            break;
        default:
            break;
        }
    } catch (...) {
        reportCurrentException();
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}
} // namespace

void registerBannerClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = bannerProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kBannerClass;
    ::RegisterClassExW(&wc);
}

void setBannerSpeed(HWND banner, int milliseconds) {
    ::SendMessageW(banner, BannerSetSpeed, static_cast<WPARAM>(milliseconds), 0);
}

} // namespace tidewell::win32
