// Timer wake-ups and processor time of the idle schedule, against a 10 ms
// polling timer doing the same work, each over the same span in one process
// run. Usage: bench_schedule_wakeups [seconds per mode]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "../tests/win32/schedule_page.h"
#include "schedule/schedule_panel_win32.h"
#include "shell/resource.h"

using namespace tidewell;

namespace {

class NullStore : public SettingsStore {
public:
    std::string GetSetting(const std::string&, const std::string&, const std::string&,
                           const std::string& def) override {
        return def;
    }
    void SaveSetting(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {}
};

class QuietErrors : public ErrorReporter {
public:
    void ReportError(long, const std::string&) override {}
};

double cpuSeconds() {
    FILETIME create, exit, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &create, &exit, &kernel, &user);
    auto toSeconds = [](FILETIME f) {
        ULARGE_INTEGER u;
        u.LowPart = f.dwLowDateTime;
        u.HighPart = f.dwHighDateTime;
        return static_cast<double>(u.QuadPart) / 1e7;
    };
    return toSeconds(kernel) + toSeconds(user);
}

struct Result {
    double wakeupsPerSecond;
    double timerTicksPerSecond;
    double cpuPercent;
};

// Runs the message loop for `seconds`, counting what woke it.
Result measure(DWORD seconds) {
    const double cpu0 = cpuSeconds();
    const DWORD start = ::GetTickCount();
    long wakeups = 0;
    long ticks = 0;
    MSG msg;
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= seconds * 1000) {
            break;
        }
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, seconds * 1000 - elapsed, QS_ALLINPUT) ==
            WAIT_TIMEOUT) {
            continue;
        }
        ++wakeups;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER) {
                ++ticks;
            }
            ::DispatchMessageW(&msg);
        }
    }
    const double cpu = cpuSeconds() - cpu0;
    return {static_cast<double>(wakeups) / seconds, static_cast<double>(ticks) / seconds,
            100.0 * cpu / seconds};
}

// What a 10 ms poller does on each tick: read the clock and the panel.
HWND g_pollPage = nullptr;
void CALLBACK pollTick(HWND, UINT, UINT_PTR, DWORD) {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    SYSTEMTIME picked;
    ::SendMessageW(::GetDlgItem(g_pollPage, IDC_DTPSCHEDULETIME), DTM_GETSYSTEMTIME, 0,
                   reinterpret_cast<LPARAM>(&picked));
    wchar_t hours[16];
    ::GetWindowTextW(::GetDlgItem(g_pollPage, IDC_TXTHOURS), hours, 16);
    ::SendMessageW(::GetDlgItem(g_pollPage, IDC_CMBDAYS), CB_GETCURSEL, 0, 0);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const DWORD seconds = argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : 60;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_DATE_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&icc);
    NullStore store;
    QuietErrors errors;

    Result ours{};
    {
        testing_schedule::SchedulePage page;
        win32::SchedulePanelWin32 panel({page.page, &store, &errors, nullptr, [] {}});
        panel.prepareAtStartup();
        ours = measure(seconds);
    }
    Result poller{};
    {
        testing_schedule::SchedulePage page;
        g_pollPage = page.page;
        ::SetTimer(nullptr, 0, 10, pollTick);
        poller = measure(seconds);
    }
    std::printf(
        "idle schedule over %lu s each        wake-ups/s  timer ticks/s  CPU %% of one core\n",
        seconds);
    std::printf("  second-aligned schedule timer     %10.2f  %13.2f  %17.4f\n",
                ours.wakeupsPerSecond, ours.timerTicksPerSecond, ours.cpuPercent);
    std::printf("  10 ms polling timer               %10.2f  %13.2f  %17.4f\n",
                poller.wakeupsPerSecond, poller.timerTicksPerSecond, poller.cpuPercent);
    const double ratio = ours.cpuPercent > 0 ? poller.cpuPercent / ours.cpuPercent : 0;
    std::printf("  CPU ratio poller/schedule: %s%.1fx (goal >= 50x); schedule wake-ups/s %.2f "
                "(goal <= 1): %s\n",
                ours.cpuPercent > 0 ? "" : ">",
                ours.cpuPercent > 0 ? ratio : poller.cpuPercent / 0.0001, ours.timerTicksPerSecond,
                (ours.timerTicksPerSecond <= 1.05 && (ours.cpuPercent == 0 || ratio >= 50))
                    ? "PASS"
                    : "MISS");
    return 0;
}
