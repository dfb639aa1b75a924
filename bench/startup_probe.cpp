// Starts a program and a reference program from the Windows side, so that the
// cost of creating a process under the same system is in both figures.
//
//   bench_startup_probe startup RUNS CLASS PROGRAM REFCLASS REFERENCE
//     Alternating runs (after one discarded warm-up each); prints the time
//     from CreateProcessW to a visible top-level window of CLASS owned by the
//     new process, per run and as the median.
//   bench_startup_probe footprint SETTLE_MS CLASS PROGRAM REFCLASS REFERENCE
//     Starts both, waits for their windows and SETTLE_MS more, prints their
//     memory counters and "ready", then waits for a line on stdin while they
//     idle and prints the CPU time each used meanwhile.
//
// Output lines are "key value..." for the driver script to read.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWindowTimeoutMs = 30000;

double qpcSeconds(LONGLONG ticks) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(ticks) / static_cast<double>(frequency);
}

LONGLONG qpcNow() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

std::string narrow(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                  0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "probe: %s (error %lu)\n", what.c_str(), ::GetLastError());
    std::fflush(stderr);
    std::exit(2);
}

struct Target {
    std::string label; // "program" or "reference" in the output
    std::wstring windowClass;
    std::wstring path;
};

class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { end(); }

    void start(const Target& target) {
        std::wstring folder = target.path.substr(0, target.path.find_last_of(L'\\'));
        std::wstring commandLine = L"\"" + target.path + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        if (!::CreateProcessW(target.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, folder.empty() ? nullptr : folder.c_str(), &si, &info_)) {
            fail("cannot start " + narrow(target.path));
        }
        ::CloseHandle(info_.hThread);
        info_.hThread = nullptr;
    }

    // Ends the copy and waits until it is gone, so that the next copy finds
    // neither its window nor its single-instance mutex.
    void end() {
        if (info_.hProcess == nullptr) {
            return;
        }
        ::TerminateProcess(info_.hProcess, 0);
        ::WaitForSingleObject(info_.hProcess, 10000);
        ::CloseHandle(info_.hProcess);
        info_ = {};
    }

    HANDLE process() const { return info_.hProcess; }
    DWORD pid() const { return info_.dwProcessId; }

private:
    PROCESS_INFORMATION info_{};
};

struct WindowQuery {
    DWORD pid;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND hwnd, LPARAM param) {
    auto* query = reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != query->pid || !::IsWindowVisible(hwnd)) {
        return TRUE;
    }
    wchar_t name[256];
    if (::GetClassNameW(hwnd, name, 256) > 0 && std::wcscmp(name, query->windowClass) == 0) {
        query->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Polls until the child owns a visible top-level window of the given class.
void waitForWindow(const Child& child, const Target& target) {
    const ULONGLONG deadline = ::GetTickCount64() + kWindowTimeoutMs;
    for (;;) {
        WindowQuery query{child.pid(), target.windowClass.c_str(), nullptr};
        ::EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&query));
        if (query.found != nullptr) {
            return;
        }
        if (::WaitForSingleObject(child.process(), 0) == WAIT_OBJECT_0) {
            fail(narrow(target.path) + " ended before showing its window");
        }
        if (::GetTickCount64() > deadline) {
            fail(narrow(target.path) + " showed no visible window of its class");
        }
        ::Sleep(1);
    }
}

double startOnce(const Target& target) {
    Child child;
    const LONGLONG t0 = qpcNow();
    child.start(target);
    waitForWindow(child, target);
    const double ms = qpcSeconds(qpcNow() - t0) * 1000.0;
    child.end();
    // Let the system finish tearing the copy down before the next one starts.
    ::Sleep(150);
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

int runStartup(int runs, const Target& program, const Target& reference) {
    // Warm-up: the first start of each pays for a cold file cache and any
    // first-run set-up; neither is what a user sees on later starts.
    startOnce(program);
    startOnce(reference);

    std::vector<double> times[2];
    const Target* targets[2] = {&program, &reference};
    for (int run = 0; run < runs; ++run) {
        // ABBA order, so that neither side always follows the other.
        for (int k = 0; k < 2; ++k) {
            const int which = (run % 2 == 0) ? k : 1 - k;
            const double ms = startOnce(*targets[which]);
            times[which].push_back(ms);
            std::printf("startup-run %s %d %.2f\n", targets[which]->label.c_str(), run + 1, ms);
            std::fflush(stdout);
        }
    }
    for (int which = 0; which < 2; ++which) {
        std::printf("startup-median %s %.2f\n", targets[which]->label.c_str(),
                    median(times[which]));
    }
    std::fflush(stdout);
    return 0;
}

ULONGLONG cpuTime100ns(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        fail("GetProcessTimes");
    }
    auto value = [](const FILETIME& ft) {
        return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

int runFootprint(DWORD settleMs, const Target& program, const Target& reference) {
    Child children[2];
    const Target* targets[2] = {&program, &reference};
    for (int which = 0; which < 2; ++which) {
        children[which].start(*targets[which]);
        waitForWindow(children[which], *targets[which]);
    }
    ::Sleep(settleMs);
    for (int which = 0; which < 2; ++which) {
        PROCESS_MEMORY_COUNTERS_EX pmc{};
        pmc.cb = sizeof(pmc);
        if (!::GetProcessMemoryInfo(children[which].process(),
                                    reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                                    sizeof(pmc))) {
            fail("GetProcessMemoryInfo");
        }
        std::printf("memory %s private=%llu workingset=%llu pagefile=%llu\n",
                    targets[which]->label.c_str(),
                    static_cast<unsigned long long>(pmc.PrivateUsage),
                    static_cast<unsigned long long>(pmc.WorkingSetSize),
                    static_cast<unsigned long long>(pmc.PagefileUsage));
    }

    ULONGLONG cpuBefore[2];
    for (int which = 0; which < 2; ++which) {
        cpuBefore[which] = cpuTime100ns(children[which].process());
    }
    const LONGLONG t0 = qpcNow();
    std::printf("ready\n");
    std::fflush(stdout);

    // The driver samples the Linux side now, lets both idle, samples again
    // and then sends a line.
    char line[64];
    if (std::fgets(line, sizeof line, stdin) == nullptr) {
        fail("no end line from the driver");
    }
    const double wall = qpcSeconds(qpcNow() - t0);
    for (int which = 0; which < 2; ++which) {
        // Both totals, not only the difference: a system that does not keep
        // the figure for other processes reports zero, and the driver must
        // be able to tell that from an idle program.
        const ULONGLONG after = cpuTime100ns(children[which].process());
        std::printf("cpu %s before_ms=%.3f after_ms=%.3f wall_s=%.3f\n",
                    targets[which]->label.c_str(), static_cast<double>(cpuBefore[which]) / 1e4,
                    static_cast<double>(after) / 1e4, wall);
    }
    std::fflush(stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"startup" && argc == 7) {
        const int runs = std::max(1, _wtoi(argv[2]));
        return runStartup(runs, {"program", argv[3], argv[4]}, {"reference", argv[5], argv[6]});
    }
    if (mode == L"footprint" && argc == 7) {
        const auto settleMs = static_cast<DWORD>(std::max(0, _wtoi(argv[2])));
        return runFootprint(settleMs, {"program", argv[3], argv[4]},
                            {"reference", argv[5], argv[6]});
    }
    std::fprintf(
        stderr,
        "usage: bench_startup_probe startup RUNS CLASS PROGRAM REFCLASS REFERENCE\n"
        "       bench_startup_probe footprint SETTLE_MS CLASS PROGRAM REFCLASS REFERENCE\n");
    return 2;
}
