#include "kernel/settings_store_win32.h"

#include <windows.h>

#include "kernel/registry_win32.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

std::string RegistrySettingsStore::GetSetting(const std::string& application,
                                              const std::string& section, const std::string& key,
                                              const std::string& defaultValue) {
    UniqueKey hkey;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, toUtf16(settingsKeyPath(application, section)).c_str(),
                        0, KEY_QUERY_VALUE, hkey.put()) != ERROR_SUCCESS) {
        return defaultValue;
    }
    std::string value;
    LONG rc = QueryValueEx(hkey.get(), key, value);
    // A value of a type other than text or number reads as absent.
    if (rc != ERROR_SUCCESS) {
        return defaultValue;
    }
    return value;
}

void RegistrySettingsStore::SaveSetting(const std::string& application, const std::string& section,
                                        const std::string& key, const std::string& value) {
    UniqueKey hkey;
    LONG rc = ::RegCreateKeyExW(
        HKEY_CURRENT_USER, toUtf16(settingsKeyPath(application, section)).c_str(), 0, nullptr,
        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, hkey.put(), nullptr);
    if (rc != ERROR_SUCCESS) {
        throwWin32Error(static_cast<DWORD>(rc));
    }
    rc = WriteValueData(hkey.get(), key, RegistryType::String, value);
    if (rc != ERROR_SUCCESS) {
        throwWin32Error(static_cast<DWORD>(rc));
    }
}

} // namespace tidewell::win32
