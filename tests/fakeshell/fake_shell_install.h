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
        // The registration in place (a prefix has one) is put back afterwards.
        for (Value& v : saved_) {
            wchar_t buffer[1024] = {};
            DWORD size = sizeof(buffer) - sizeof(wchar_t);
            v.had = ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, v.name, RRF_RT_REG_SZ, nullptr, buffer,
                                   &size) == ERROR_SUCCESS;
            v.value = buffer;
        }
        ok_ = set(nullptr, exeFolder() + kDllName) && set(L"ThreadingModel", L"Apartment");
    }
    ~Registration() {
        for (const Value& v : saved_) {
            if (v.had) {
                set(v.name, v.value);
            } else {
                ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, v.name);
            }
        }
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    bool ok() const { return ok_; }
    std::string errorText() const { return "cannot write the class's InprocServer32 key"; }

private:
    static constexpr wchar_t kKey[] =
        L"Software\\Classes\\CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\InprocServer32";
    static bool set(const wchar_t* name, const std::wstring& value) {
        return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, REG_SZ, value.c_str(),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    struct Value {
        const wchar_t* name;
        bool had = false;
        std::wstring value;
    };
    Value saved_[2] = {{nullptr, false, {}}, {L"ThreadingModel", false, {}}};
    bool ok_ = false;
};

// The top-level window of `className` in process `pid` (visible only, if
// asked), or 0.
inline HWND findProcessWindow(DWORD pid, const wchar_t* className, bool visibleOnly = false) {
    for (HWND h = ::FindWindowExW(nullptr, nullptr, className, nullptr); h != nullptr;
         h = ::FindWindowExW(nullptr, h, className, nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == pid && (!visibleOnly || ::IsWindowVisible(h))) {
            return h;
        }
    }
    return nullptr;
}

// The fake's control window in process `pid`, or 0.
inline HWND controlWindow(DWORD pid) {
    return findProcessWindow(pid, kControlClass);
}

} // namespace fakeshell
