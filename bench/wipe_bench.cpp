// Folder wipe against "cmd /c rmdir /s /q" on identical trees, in one run
// under the same Wine: files per second of each and their ratio, and the
// longest time the message queue went unserved during the wipe.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "cleaning/file_system_win32.h"
#include "cleaning/wipe.h"
#include "kernel/status_pane.h"
#include "win32/unicode.h"

using namespace tidewell;

namespace {

class NullPane : public StatusPane {
public:
    std::string text;
    void Clear() override { text.clear(); }
    void SetColour(Colour) override {}
    void Append(const std::string& t) override { text += t; }
    void Repaint() override {}
};

double now() {
    static LARGE_INTEGER f{};
    if (f.QuadPart == 0) {
        ::QueryPerformanceFrequency(&f);
    }
    LARGE_INTEGER t{};
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// folders top-level folders with subfolders each, files spread evenly.
long makeTree(const std::wstring& root, int folders, int subfolders, long files) {
    ::CreateDirectoryW(root.c_str(), nullptr);
    const long leaves = static_cast<long>(folders) * (subfolders + 1);
    long made = 0;
    char data[512];
    std::memset(data, 'x', sizeof(data));
    for (int a = 0; a < folders; ++a) {
        const std::wstring top = root + L"\\d" + std::to_wstring(a);
        ::CreateDirectoryW(top.c_str(), nullptr);
        for (int b = 0; b <= subfolders; ++b) {
            const std::wstring dir = b == 0 ? top : top + L"\\s" + std::to_wstring(b);
            ::CreateDirectoryW(dir.c_str(), nullptr);
            const long want =
                files / leaves + ((a * (subfolders + 1) + b) < files % leaves ? 1 : 0);
            for (long i = 0; i < want; ++i) {
                const std::wstring name = dir + L"\\f" + std::to_wstring(i) + L".dat";
                HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
                if (h != INVALID_HANDLE_VALUE) {
                    DWORD n = 0;
                    ::WriteFile(h, data, sizeof(data), &n, nullptr);
                    ::CloseHandle(h);
                    ++made;
                }
            }
        }
    }
    return made;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring root = argc > 1 ? argv[1] : L"C:\\wipebench";
    const long files = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 20000;
    const int folders = 20, subfolders = 9; // 200 folders with files, 220 in all
    ::CreateDirectoryW(root.c_str(), nullptr);

    // A window with a queue, so that the pump has something real to serve.
    HWND window = ::CreateWindowExW(0, L"STATIC", L"wipe bench", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                    100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);

    const std::wstring a = root + L"\\wipe", b = root + L"\\rmdir";
    const long madeA = makeTree(a, folders, subfolders, files);
    const long madeB = makeTree(b, folders, subfolders, files);

    win32::Win32FileSystem fs;
    NullPane pane;
    win32::ThrottledPump pump;
    FolderWiper wiper(fs, pane, [&] { pump(); });
    const std::string top = win32::toUtf8(a);
    const double t0 = now();
    wiper.WipeFolder(top, top);
    const double wipeSeconds = now() - t0;

    std::wstring cmd = L"cmd.exe /c rmdir /s /q \"" + b + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const double t1 = now();
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &si, &pi)) {
        std::printf("could not start cmd: %lu\n", ::GetLastError());
        return 1;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    const double rmdirSeconds = now() - t1;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    const bool rmdirDone = ::GetFileAttributesW(b.c_str()) == INVALID_FILE_ATTRIBUTES;

    const double wipeRate = static_cast<double>(wiper.stats().filesDeleted) / wipeSeconds;
    const double rmdirRate = static_cast<double>(madeB) / rmdirSeconds;
    std::printf("files: %ld + %ld in %d folders each\n", madeA, madeB,
                folders * (subfolders + 1) + folders);
    std::printf(
        "WipeFolder:      %ld files deleted in %.3f s = %.0f files/s (left %llu, errors: %s)\n",
        static_cast<long>(wiper.stats().filesDeleted), wipeSeconds, wipeRate,
        static_cast<unsigned long long>(wiper.stats().itemsLeft),
        pane.text.empty() ? "none" : pane.text.c_str());
    std::printf("cmd rmdir /s /q: %.3f s = %.0f files/s%s\n", rmdirSeconds, rmdirRate,
                rmdirDone ? "" : " (tree not fully removed)");
    std::printf("ratio WipeFolder / rmdir: %.2fx (goal >= 0.8x)\n", wipeRate / rmdirRate);
    std::printf("longest time without pumping messages: %.1f ms (limit 50 ms)\n", pump.maxGapMs());
    ::DestroyWindow(window);
    ::RemoveDirectoryW(a.c_str());
    return 0;
}
