#pragma once
// Files for the tests that work on real folders of the bench's prefix.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "win32/unicode.h"
#include "win32/unique_handle.h"

namespace tidewell::testing_files {

inline bool exists(const std::string& p) {
    return ::GetFileAttributesW(win32::toUtf16(p).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline DWORD attributes(const std::string& p) {
    return ::GetFileAttributesW(win32::toUtf16(p).c_str());
}

inline void writeText(const std::string& p, const std::string& text, DWORD attrs = 0) {
    win32::UniqueFile f(::CreateFileW(win32::toUtf16(p).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(f) << p;
    DWORD written = 0;
    ::WriteFile(f.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    f.reset();
    if (attrs != 0) {
        ::SetFileAttributesW(win32::toUtf16(p).c_str(), attrs);
    }
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

} // namespace tidewell::testing_files
