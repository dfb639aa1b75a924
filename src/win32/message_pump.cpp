#include "win32/message_pump.h"

#include <algorithm>
#include <vector>

namespace tidewell::win32 {

namespace {
struct Modeless {
    HWND hwnd;
    PreTranslate pre;
};
std::vector<Modeless>& modeless() {
    static std::vector<Modeless> list;
    return list;
}

void dispatch(MSG& msg) {
    if (!routeModelessMessage(msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}
} // namespace

void registerModeless(HWND dialog, PreTranslate pre) {
    unregisterModeless(dialog);
    modeless().push_back({dialog, std::move(pre)});
}

void unregisterModeless(HWND dialog) {
    auto& list = modeless();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [dialog](const Modeless& m) { return m.hwnd == dialog; }),
               list.end());
}

bool routeModelessMessage(MSG& msg) {
    // Dialog navigation and the windows' key handlers look at keys only. Any
    // other message goes straight to its window: asking which dialog holds
    // it is a round trip to the window server under Wine, on every tick.
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) {
        return false;
    }
    // Copy: a handler may register or unregister while we walk.
    auto list = modeless();
    for (auto& m : list) {
        if (!::IsWindow(m.hwnd)) {
            continue;
        }
        if (msg.hwnd != m.hwnd && !::IsChild(m.hwnd, msg.hwnd)) {
            continue;
        }
        if (m.pre && m.pre(msg)) {
            return true;
        }
        if (::IsDialogMessageW(m.hwnd, &msg)) {
            return true;
        }
    }
    return false;
}

bool pumpPendingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        dispatch(msg);
    }
    return true;
}

int runMessageLoop() {
    MSG msg;
    BOOL r;
    while ((r = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (r == -1) {
            return 1;
        }
        dispatch(msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace tidewell::win32
