// One rebuild of the browser-window list with 50 fake browser windows open,
// against a bare walk of the same collection (create it, enumerate, ask each
// element for its window handle) measured in the same run.
#include <windows.h>
#include <exdisp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "fake_shell_install.h"
#include "fake_shell_protocol.h"
#include "popup/shell_windows_win32.h"

using namespace tidewell;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWindows = 50;
constexpr int kRuns = 25;
constexpr double kLimitMs = 100.0;

class NoInput : public popup::InputPort {
public:
    std::int16_t asyncKeyState(int) override { return 0; }
    void beep(unsigned, unsigned) override {}
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The reference: what any tracker must at least do.
void bareWalk() {
    Microsoft::WRL::ComPtr<IShellWindows> windows;
    if (FAILED(
            ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&windows)))) {
        return;
    }
    Microsoft::WRL::ComPtr<IUnknown> unknown;
    windows->_NewEnum(&unknown);
    Microsoft::WRL::ComPtr<IEnumVARIANT> items;
    unknown.As(&items);
    VARIANT v;
    ::VariantInit(&v);
    ULONG fetched = 0;
    while (items->Next(1, &v, &fetched) == S_OK && fetched == 1) {
        Microsoft::WRL::ComPtr<IWebBrowser2> browser;
        v.pdispVal->QueryInterface(IID_PPV_ARGS(&browser));
        SHANDLE_PTR h = 0;
        browser->get_HWND(&h);
        ::VariantClear(&v);
    }
}

} // namespace

int main() {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "bench: no COM apartment\n");
        return 2;
    }
    int code = 0;
    {
        fakeshell::Registration registration;
        if (!registration.ok()) {
            std::fprintf(stderr, "bench: cannot register the fake shell collection: %s\n",
                         registration.errorText().c_str());
            return 2;
        }
        NoInput input;
        popup::PopupFlags flags;
        popup::IEWindowsEvents listener;
        win32::ShellWindowsTracker tracker(listener, input, flags);
        HWND control = fakeshell::controlWindow(::GetCurrentProcessId());
        if (control == nullptr) {
            std::fprintf(stderr, "bench: the fake shell collection was not loaded\n");
            return 2;
        }
        for (int i = 0; i < kWindows; ++i) {
            ::SendMessageW(control, fakeshell::kOpen, static_cast<WPARAM>(0x10000 + i * 4),
                           fakeshell::kQuiet);
        }
        tracker.IEWin().RefreshList(); // warm-up
        if (tracker.IEWin().Count() != kWindows) {
            std::fprintf(stderr, "bench: %d windows tracked, %d expected\n",
                         tracker.IEWin().Count(), kWindows);
            return 2;
        }
        std::vector<double> rebuild, walk;
        for (int run = 0; run < kRuns; ++run) {
            auto t0 = Clock::now();
            bareWalk();
            auto t1 = Clock::now();
            tracker.IEWin().RefreshList();
            auto t2 = Clock::now();
            walk.push_back(ms(t1 - t0));
            rebuild.push_back(ms(t2 - t1));
        }
        const double r = median(rebuild);
        const double w = median(walk);
        std::printf(
            "popup rebuild, %d windows, median of %d: %.2f ms (limit %.0f ms), max %.2f ms\n",
            kWindows, kRuns, r, kLimitMs, *std::max_element(rebuild.begin(), rebuild.end()));
        std::printf("bare walk of the same collection: %.2f ms; rebuild/walk ratio %.1f\n", w,
                    w > 0 ? r / w : 0.0);
        code = r < kLimitMs ? 0 : 1;
        ::SendMessageW(control, fakeshell::kReset, 0, 0);
    }
    ::CoUninitialize();
    return code;
}
