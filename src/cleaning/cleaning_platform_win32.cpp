#include "cleaning/cleaning_platform_win32.h"

#include <shellapi.h>

#include "cleaning/file_system_win32.h"
#include "win32/unicode.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

std::string Win32CleaningPlatform::GetSpecialFolder(int folderId) {
    return win32::GetSpecialFolder(owner_, folderId);
}

std::string Win32CleaningPlatform::TempPath() {
    wchar_t buffer[256] = {};
    const DWORD n = ::GetTempPathW(255, buffer);
    if (n == 0 || n > 255) {
        return {};
    }
    return toUtf8(std::wstring_view(buffer, n));
}

std::uint64_t Win32CleaningPlatform::RecycleBinBytes() {
    SHQUERYRBINFO info{};
    info.cbSize = sizeof(info);
    if (FAILED(::SHQueryRecycleBinW(nullptr, &info))) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.i64Size);
}

void Win32CleaningPlatform::EmptyRecycleBin() {
    // The result is not examined: an empty bin is no failure.
    ::SHEmptyRecycleBinW(owner_, nullptr, SHERB_NOCONFIRMATION);
}

void Win32CleaningPlatform::DeleteUserKeyTree(const std::string& subKey) {
    const std::wstring key = toUtf16(subKey);
    // RegDeleteKey alone refuses a key that has subkeys.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

void Win32CleaningPlatform::EmptyClipboard() {
    if (!::OpenClipboard(owner_)) {
        throwLastError();
    }
    const BOOL emptied = ::EmptyClipboard();
    const DWORD error = ::GetLastError();
    ::CloseClipboard();
    if (!emptied) {
        throwWin32Error(error);
    }
}

std::optional<std::string> readUserString(const std::string& keyPath,
                                          const std::string& valueName) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, toUtf16(keyPath).c_str(), toUtf16(valueName).c_str(),
                       RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return toUtf8(buffer);
}

void Win32LogOff::forceLogOff() {
    // EWX_LOGOFF with EWX_FORCE: asked for, and confirmed, by the user.
    ::ExitWindowsEx(EWX_LOGOFF | EWX_FORCE, 0);
}

} // namespace tidewell::win32
