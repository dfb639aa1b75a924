#include "shell/os_win32.h"

#include <windows.h>

namespace tidewell {

OsVersion queryOsVersion() noexcept {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OsVersion v;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return v;
    }
    auto fn = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (fn == nullptr) {
        return v;
    }
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (fn(reinterpret_cast<OSVERSIONINFOW*>(&info)) != 0) {
        return v;
    }
    v.ok = true;
    v.platform = info.dwPlatformId;
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.build = info.dwBuildNumber;
    return v;
}

std::string GetOSName() {
    return osNameFor(queryOsVersion());
}

} // namespace tidewell
