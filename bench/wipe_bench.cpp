// Folder wipe against "cmd /c rmdir /s /q" on identical trees, in one run
// under the same Wine: files per second of each and their ratio, and the
// longest time the message queue went unserved during the wipe; before it,
// the preview of the same tree against "cmd /c dir /s /b".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include <shlobj.h>

#include "cleaning/browsers/browser_platform_win32.h"
#include "cleaning/file_system_win32.h"
#include "cleaning/preview.h"
#include "cleaning/wipe.h"
#include "kernel/status_pane.h"
#include "win32/unicode.h"

using namespace tidewell;
using Win32Fs = win32::Win32FileSystem;

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

// Settings that go nowhere: the bench checks its one box itself.
class NoStore : public SettingsStore {
public:
    std::string GetSetting(const std::string&, const std::string&, const std::string&,
                           const std::string& defaultValue) override {
        return defaultValue;
    }
    void SaveSetting(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {}
};

// Seconds a command of cmd.exe takes (its output goes nowhere).
double cmdSeconds(const std::wstring& line) {
    std::wstring cmd = L"cmd.exe /c " + line;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const double t = now();
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &si, &pi)) {
        std::printf("could not start cmd: %lu\n", ::GetLastError());
        return -1;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    const double seconds = now() - t;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return seconds;
}

double rmdirSeconds(const std::wstring& tree) {
    return cmdSeconds(L"rmdir /s /q \"" + tree + L"\"");
}

// The preview of a tree (the same walk, only collecting) against "dir /s /b"
// listing it: files per second of each, and the longest unserved gap.
void previewFigures(Win32Fs& fs, StatusPane& pane, const std::wstring& tree) {
    PreviewCollector collector;
    win32::ThrottledPump pump;
    FolderWiper looker(fs, pane, [&] { pump(); });
    looker.collectInto(&collector);
    const std::string top = win32::toUtf8(tree);
    const double t0 = now();
    looker.WipeFolder(top, top);
    const double seconds = now() - t0;
    const double dir = cmdSeconds(L"dir /s /b \"" + tree + L"\" > NUL");
    const double found = static_cast<double>(collector.items().size());
    std::printf("preview:         %.0f files found in %.3f s = %.0f files/s\n", found, seconds,
                found / seconds);
    std::printf("cmd dir /s /b:   %.3f s = %.0f files/s\n", dir, found / dir);
    std::printf("ratio preview / dir: %.2fx (goal >= 1x); longest time without pumping "
                "messages: %.1f ms (limit 50 ms)\n",
                dir / seconds, pump.maxGapMs());
}

// A browser's cache as the clean run erases it (a Chrome profile, its Cache
// item, files in 256 folders) against rmdir of the same tree.
int browserCache(const std::wstring& root, long files) {
    struct Platform : win32::Win32BrowserPlatform {
        std::string user;
        BrowserFolders folders() override {
            return {user + "\\AppData\\Local", user + "\\AppData\\Roaming", user};
        }
    } platform;
    platform.user = win32::toUtf8(root + L"\\u");
    const std::wstring profile = root + L"\\u\\AppData\\Local\\Google\\Chrome\\User Data\\Default";
    ::SHCreateDirectoryExW(nullptr, root.c_str(), nullptr);
    ::SHCreateDirectoryExW(nullptr, (profile + L"\\Cache").c_str(), nullptr);
    ::CloseHandle(::CreateFileW((profile + L"\\Preferences").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
    const long madeA = makeTree(profile + L"\\Cache\\Cache_Data", 256, 0, files);
    const long madeB = makeTree(root + L"\\rmdir", 256, 0, files);

    win32::Win32FileSystem fs;
    NullPane pane;
    win32::ThrottledPump pump;
    FolderWiper wiper(fs, pane, [&] { pump(); });
    NoStore store;
    BrowserOptions options(store);
    options.setChecked(BrowserId::Chrome, BrowserItem::Cache, true);
    BrowserCleaner cleaner(fs, wiper, pane, platform, options);
    previewFigures(fs, pane, profile + L"\\Cache");
    const double t0 = now();
    cleaner.run([&] { pump(); });
    const double cleanSeconds = now() - t0;
    const double rmdir = rmdirSeconds(root + L"\\rmdir");

    const double cleanRate = static_cast<double>(wiper.stats().filesDeleted) / cleanSeconds;
    const double rmdirRate = static_cast<double>(madeB) / rmdir;
    std::printf("browser cache: %ld + %ld files in 256 folders each\n", madeA, madeB);
    std::printf("Chrome Cache item: %ld files deleted in %.3f s = %.0f files/s (left %llu)\n",
                static_cast<long>(wiper.stats().filesDeleted), cleanSeconds, cleanRate,
                static_cast<unsigned long long>(wiper.stats().itemsLeft));
    std::printf("cmd rmdir /s /q:   %.3f s = %.0f files/s\n", rmdir, rmdirRate);
    std::printf("ratio browser cache / rmdir: %.2fx (goal >= 0.8x)\n", cleanRate / rmdirRate);
    std::printf("longest time without pumping messages: %.1f ms (limit 50 ms)\n", pump.maxGapMs());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring root = argc > 1 ? argv[1] : L"C:\\wipebench";
    const long files = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 20000;
    const int folders = 20, subfolders = 9; // 200 folders with files, 220 in all
    ::CreateDirectoryW(root.c_str(), nullptr);
    if (argc > 3 && std::wcscmp(argv[3], L"browser") == 0) {
        HWND w = ::CreateWindowExW(0, L"STATIC", L"wipe bench", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                   nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        const int rc = browserCache(root, files);
        ::DestroyWindow(w);
        return rc;
    }

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
    previewFigures(fs, pane, a);
    const std::string top = win32::toUtf8(a);
    const double t0 = now();
    wiper.WipeFolder(top, top);
    const double wipeSeconds = now() - t0;

    const double rmdirSeconds = ::rmdirSeconds(b);
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
