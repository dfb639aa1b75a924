#pragma once
// Registers the fake shell-window collection as the class's in-process
// server in the test prefix for the life of the object, and puts the
// previous registration back afterwards.
#include <windows.h>

#include <string>

#include "fake_shell_protocol.h"

namespace fakeshell {

inline std::wstring exeFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    // Wine names a program outside every drive "unix\...", which only
    // opens with the long-path prefix.
    if (folder.rfind(L"unix\\", 0) == 0) {
        folder = L"\\\\?\\" + folder;
    }
    return folder;
}

class Registration {
public:
    Registration() {
        const std::wstring source = exeFolder() + kDllName;
        ::CreateDirectoryW(L"C:\\testbin", nullptr);
        dll_ = std::wstring(L"C:\\testbin\\") + kDllName;
        // Already loaded by an earlier test of this process: the copy may fail.
        if (!::CopyFileW(source.c_str(), dll_.c_str(), FALSE) &&
            ::GetFileAttributesW(dll_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            error_ =
                L"cannot copy " + source + L" (error " + std::to_wstring(::GetLastError()) + L")";
            return;
        }
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath().c_str(), 0, nullptr, 0,
                              KEY_READ | KEY_WRITE, nullptr, &key, &created_) != ERROR_SUCCESS) {
            error_ = L"cannot open HKLM\\" + keyPath();
            return;
        }
        hadDefault_ = read(key, nullptr, oldDefault_);
        hadModel_ = read(key, L"ThreadingModel", oldModel_);
        write(key, nullptr, dll_);
        write(key, L"ThreadingModel", L"Apartment");
        ::RegCloseKey(key);
        ok_ = true;
    }
    ~Registration() {
        if (!ok_) {
            return;
        }
        if (created_ == REG_CREATED_NEW_KEY) {
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, keyPath().c_str());
            return;
        }
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath().c_str(), 0, KEY_WRITE, &key) ==
            ERROR_SUCCESS) {
            if (hadDefault_) {
                write(key, nullptr, oldDefault_);
            } else {
                ::RegDeleteValueW(key, nullptr);
            }
            if (hadModel_) {
                write(key, L"ThreadingModel", oldModel_);
            } else {
                ::RegDeleteValueW(key, L"ThreadingModel");
            }
            ::RegCloseKey(key);
        }
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    bool ok() const { return ok_; }
    std::string errorText() const {
        std::string text;
        for (wchar_t c : error_) {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return text;
    }

    static std::wstring keyPath() {
        return std::wstring(L"Software\\Classes\\CLSID\\") + kShellWindowsClsid +
               L"\\InprocServer32";
    }

private:
    static bool read(HKEY key, const wchar_t* name, std::wstring& value) {
        wchar_t buffer[1024] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return false;
        }
        value = buffer;
        return true;
    }
    static void write(HKEY key, const wchar_t* name, const std::wstring& value) {
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring dll_;
    std::wstring error_;
    std::wstring oldDefault_, oldModel_;
    bool hadDefault_ = false, hadModel_ = false, ok_ = false;
    DWORD created_ = 0;
};

// The fake's control window in process `pid`, or 0.
inline HWND controlWindow(DWORD pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } s{pid, nullptr};
    ::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(h, &owner);
            wchar_t cls[64] = {};
            ::GetClassNameW(h, cls, 64);
            if (owner == search.pid && ::lstrcmpiW(cls, kControlClass) == 0) {
                search.found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

} // namespace fakeshell
