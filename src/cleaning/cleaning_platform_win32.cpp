#include "cleaning/cleaning_platform_win32.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include "cleaning/file_system_win32.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/unique_com.h"
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

std::uint64_t Win32CleaningPlatform::RecycleBinItems() {
    SHQUERYRBINFO info{};
    info.cbSize = sizeof(info);
    if (FAILED(::SHQueryRecycleBinW(nullptr, &info))) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.i64NumItems);
}

namespace {
// Every value of `path` and of the keys under it, read only.
void collectValues(const std::wstring& path, std::vector<std::string>& out, int depth) {
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0,
                        KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS) {
        return;
    }
    // Names are at most 16,383 characters (the registry's limit).
    std::wstring name(16384, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS rc =
            ::RegEnumValueW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc == ERROR_SUCCESS) {
            out.push_back(toUtf8(path + L"\\" + std::wstring(name.data(), length)));
        }
    }
    if (depth >= 32) {
        return; // deeper keys than any the cleaned ones hold
    }
    std::vector<std::wstring> subKeys;
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        wchar_t sub[256];
        const LSTATUS rc =
            ::RegEnumKeyExW(key.get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            break;
        }
        subKeys.emplace_back(sub, length);
    }
    for (const std::wstring& sub : subKeys) {
        collectValues(path + L"\\" + sub, out, depth + 1);
    }
}
} // namespace

std::vector<std::string> Win32CleaningPlatform::UserKeyValues(const std::string& subKey) {
    std::vector<std::string> values;
    collectValues(toUtf16(subKey), values, 0);
    return values;
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

namespace {
std::string knownFolder(REFKNOWNFOLDERID id) {
    win32::UniqueCoTaskMem<PWSTR> path;
    std::string out;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, path.put()))) {
        out = toUtf8(path.get());
    }
    return out;
}
} // namespace

KnownFolders Win32CleaningPlatform::knownFolders() {
    KnownFolders k;
    k.windows = knownFolder(FOLDERID_Windows);
    k.programs = {knownFolder(FOLDERID_ProgramFiles), knownFolder(FOLDERID_ProgramFilesX86)};
    k.programData = knownFolder(FOLDERID_ProgramData);
    k.profiles = knownFolder(FOLDERID_UserProfiles);
    k.profile = knownFolder(FOLDERID_Profile);
    const std::pair<UserFolder, const KNOWNFOLDERID*> user[] = {
        {UserFolder::Documents, &FOLDERID_Documents},
        {UserFolder::Desktop, &FOLDERID_Desktop},
        {UserFolder::Downloads, &FOLDERID_Downloads},
        {UserFolder::Pictures, &FOLDERID_Pictures},
        {UserFolder::Music, &FOLDERID_Music},
        {UserFolder::Videos, &FOLDERID_Videos},
        {UserFolder::Favorites, &FOLDERID_Favorites},
        {UserFolder::RoamingAppData, &FOLDERID_RoamingAppData},
        {UserFolder::LocalAppData, &FOLDERID_LocalAppData},
        {UserFolder::LocalAppDataLow, &FOLDERID_LocalAppDataLow},
        {UserFolder::StartMenu, &FOLDERID_StartMenu},
        {UserFolder::Profile, &FOLDERID_Profile},
    };
    for (const auto& [kind, id] : user) {
        k.user.emplace_back(kind, knownFolder(*id));
    }
    // The shell's own answer for Documents and Favorites, which is what the
    // targets of those options empty.
    k.user.emplace_back(UserFolder::Documents, GetSpecialFolder(CSIDL_Personal));
    k.user.emplace_back(UserFolder::Favorites, GetSpecialFolder(CSIDL_Favorites));
    return k;
}

void Win32LogOff::forceLogOff() {
    // EWX_LOGOFF with EWX_FORCE: asked for, and confirmed, by the user.
    ::ExitWindowsEx(EWX_LOGOFF | EWX_FORCE, 0);
}

} // namespace tidewell::win32
