#include "kernel/registry_win32.h"

#include <vector>

#include "kernel/app_error.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

namespace tidewell::win32 {

HKEY rootKey(RegistryRoot root) noexcept {
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    }
    return nullptr;
}

LONG WriteValueData(HKEY key, const std::string& valueName, RegistryType type,
                    const std::string& value) {
    const std::wstring name = toUtf16(valueName);
    switch (type) {
    case RegistryType::String: {
        const std::wstring text = toUtf16(value);
        const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    }
    case RegistryType::DWord: {
        const std::int32_t number = toLongStrict(value);
        return ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&number), sizeof(number));
    }
    }
    return 0;
}

LONG QueryValueEx(HKEY key, const std::string& valueName, std::string& value) {
    const std::wstring name = toUtf16(valueName);
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    switch (type) {
    case REG_SZ: {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr,
                                reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (rc != ERROR_SUCCESS) {
            value.clear();
            return rc;
        }
        // Stored data need not carry its terminator; stop at the first NUL.
        const wchar_t* text = buffer.data();
        size_t length = 0;
        const size_t max = got / sizeof(wchar_t);
        while (length < max && text[length] != L'\0') {
            ++length;
        }
        value = toUtf8(std::wstring_view(text, length));
        return rc;
    }
    case REG_DWORD: {
        std::int32_t number = 0;
        DWORD got = sizeof(number);
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr,
                                reinterpret_cast<BYTE*>(&number), &got);
        if (rc == ERROR_SUCCESS) {
            value = std::to_string(number);
        }
        return rc;
    }
    default:
        return -1;
    }
}

void WinRegistry::SetRegistryValue(RegistryRoot root, const std::string& keyPath,
                                   const std::string& valueName, const std::string& value,
                                   RegistryType type) {
    // Only an existing key is written to, with no more access than writing needs.
    UniqueKey key;
    if (::RegOpenKeyExW(rootKey(root), toUtf16(keyPath).c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                        key.put()) != ERROR_SUCCESS) {
        return;
    }
    WriteValueData(key.get(), valueName, type, value);
}

void WinKeyCreator::createKey(RegistryRoot root, const std::string& path) {
    // Query, set, create, enumerate, notify and link rights: all a new key
    // needs, and no right to delete anything.
    constexpr REGSAM kCreateAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                                     KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK;
    UniqueKey key;
    ::RegCreateKeyExW(rootKey(root), toUtf16(path).c_str(), 0, nullptr, 0, kCreateAccess, nullptr,
                      key.put(), nullptr);
}

namespace {
std::string readValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
    // Read access only: asking for write access here would fail for every
    // user who is not an administrator and make the value look absent.
    UniqueKey key;
    if (::RegOpenKeyExW(root, toUtf16(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::string value;
    if (QueryValueEx(key.get(), valueName, value) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}
} // namespace

std::string WinRegistry::GetMachineValue(const std::string& keyPath, const std::string& valueName) {
    return readValue(HKEY_LOCAL_MACHINE, keyPath, valueName);
}

std::string WinRegistry::GetUserValue(const std::string& keyPath, const std::string& valueName) {
    return readValue(HKEY_CURRENT_USER, keyPath, valueName);
}

} // namespace tidewell::win32
