#pragma once
// Files for the tests that work on real folders of the bench's prefix.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kernel/app_error.h"
#include "kernel/report_error.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

namespace tidewell::testing_files {

inline bool exists(const std::string& p) {
    return ::GetFileAttributesW(win32::toUtf16(p).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline DWORD attributes(const std::string& p) {
    return ::GetFileAttributesW(win32::toUtf16(p).c_str());
}

// A new file's attributes apply from its creation on, read-only included.
inline void writeText(const std::string& p, const std::string& text, DWORD attrs = 0) {
    win32::UniqueFile f(::CreateFileW(win32::toUtf16(p).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, attrs ? attrs : FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    ASSERT_TRUE(f) << p;
    DWORD written = 0;
    ::WriteFile(f.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

inline std::string readText(const std::string& p) {
    std::string out;
    win32::UniqueFile f(::CreateFileW(win32::toUtf16(p).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) {
        return "<missing>";
    }
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(f.get(), buffer, sizeof(buffer), &n, nullptr) && n > 0) {
        out.append(buffer, n);
    }
    return out;
}

// The names in a folder, sorted.
inline std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> out;
    WIN32_FIND_DATAW fd;
    win32::UniqueFind find(::FindFirstFileW(win32::toUtf16(folder + "\\*").c_str(), &fd));
    for (bool more = !!find; more; more = ::FindNextFileW(find.get(), &fd)) {
        const std::string name = win32::toUtf8(fd.cFileName);
        if (name != "." && name != "..") {
            out.push_back(name);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Creates the folder and whatever is missing above it.
inline void mkdir(const std::string& p) {
    ::SHCreateDirectoryExW(nullptr, win32::toUtf16(p).c_str(), nullptr);
}

// The Linux path Wine keeps behind a Windows path (for ln/rm from the Linux side).
inline std::string unixPath(const std::string& windowsPath) {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (fn == nullptr) {
        return {};
    }
    char* name = fn(win32::toUtf16(windowsPath).c_str());
    std::string out = name ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return out;
}

// Runs a Linux program (Wine only) and waits for it: the bench's way to make
// the links Wine cannot make itself. Wine's own spawner, not CreateProcess:
// a process that started Linux programs through CreateProcess a few times
// was seen to end at the next one.
inline bool runUnix(std::vector<std::string> argv) {
    using SpawnFn = int(CDECL*)(char* const*, int);
    auto spawn = reinterpret_cast<SpawnFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    return spawn != nullptr && spawn(args.data(), 1) == 0;
}

// Links from the Linux side: `ln -s` (Wine flags only a directory link as a
// reparse point), and `rm -rf` that removes a link itself.
inline void linkTo(const std::string& at, const std::string& target, bool directory = false) {
    ASSERT_TRUE(runUnix({"/bin/ln", "-s", unixPath(target), unixPath(at)})) << at;
    if (directory) {
        ASSERT_NE(attributes(at) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << at;
    }
}
inline void removeTree(const std::string& p) {
    if (exists(p)) {
        EXPECT_TRUE(runUnix({"/bin/rm", "-rf", unixPath(p)})) << p;
    }
}

// Puts a file in the recycle bin (the sandbox's own trash).
inline void trash(const std::string& p) {
    const std::wstring from = win32::toUtf16(p) + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
    ASSERT_EQ(::SHFileOperationW(&op), 0) << p;
}

// HKCU string values, for tests that seed or read the program's keys.
inline void setUserString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}
// A REG_SZ value's text ("<absent>" if there is none).
inline std::string regString(HKEY root, const wchar_t* key, const wchar_t* name = nullptr) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - 2;
    if (::RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS) {
        return "<absent>";
    }
    return win32::toUtf8(buffer);
}
inline std::string userString(const wchar_t* key, const wchar_t* name) {
    return regString(HKEY_CURRENT_USER, key, name);
}
inline bool keyExists(const wchar_t* key) {
    win32::UniqueKey k;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, k.put()) == ERROR_SUCCESS;
}

// The program-wide error messages a test's code reported.
struct ErrorRecorder : ErrorReporter {
    void ReportError(long number, const std::string& description) override {
        reports.push_back(errorMessageText(number, description));
    }
    std::vector<std::string> reports;
};

// The temporary folder, with its trailing backslash.
inline std::string tempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, buffer);
    return win32::toUtf8(buffer);
}

// Starts a copy of this test program on the tests `filter` names, for tests
// that need a second process (one that dies mid-way); it inherits this
// process's environment. `name`: the copy's file name.
inline win32::UniqueHandle startTestCopy(const std::wstring& name, const std::wstring& filter) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring source = self;
    if (source.rfind(L"unix\\", 0) == 0) {
        source = L"\\\\?\\" + source; // Wine names a program started by its Linux path so
    }
    // Started from a Linux path, the program cannot start itself by that
    // name: a copy inside the prefix can.
    ::CreateDirectoryW(L"C:\\h3helper", nullptr);
    const std::wstring exe = L"C:\\h3helper\\" + name;
    EXPECT_TRUE(::CopyFileW(source.c_str(), exe.c_str(), FALSE)) << ::GetLastError();
    std::wstring cmd = L"\"" + exe + L"\" --gtest_filter=" + filter;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "the test program's copy did not start: " << ::GetLastError();
        return {};
    }
    ::CloseHandle(pi.hThread);
    return win32::UniqueHandle(pi.hProcess);
}

} // namespace tidewell::testing_files
