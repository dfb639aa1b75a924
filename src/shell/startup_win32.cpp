#include "shell/startup_win32.h"

#include "win32/unicode.h"

namespace tidewell::win32 {

bool Win32StartupPorts::AnotherInstanceRunning() {
    instanceMutex_.reset(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutex));
    const DWORD error = ::GetLastError();
    if (!instanceMutex_) {
        // Denied: the object exists and belongs to a running copy.
        return error == ERROR_ACCESS_DENIED;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        instanceMutex_.reset();
        return true;
    }
    return false;
}

void Win32StartupPorts::ShowInformation(const std::string& title, const std::string& text) {
    ::MessageBoxW(nullptr, toUtf16(text).c_str(), toUtf16(title).c_str(),
                  MB_OK | MB_ICONINFORMATION);
}

std::string Win32StartupPorts::ReadWinIni(const std::string& section, const std::string& key,
                                          const std::string& defaultValue) {
    wchar_t buffer[256] = {};
    DWORD n = ::GetPrivateProfileStringW(toUtf16(section).c_str(), toUtf16(key).c_str(),
                                         toUtf16(defaultValue).c_str(), buffer, 255, L"WIN.INI");
    return toUtf8(std::wstring_view(buffer, n));
}

void Win32StartupPorts::WriteWinIni(const std::string& section, const std::string& key,
                                    const std::string& value) {
    ::WritePrivateProfileStringW(toUtf16(section).c_str(), toUtf16(key).c_str(),
                                 toUtf16(value).c_str(), L"WIN.INI");
}

std::string Win32StartupPorts::ProgramFolder() {
    return toUtf8(programFolder());
}


} // namespace tidewell::win32
