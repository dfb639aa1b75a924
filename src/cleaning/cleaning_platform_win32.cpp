#include "cleaning/cleaning_platform_win32.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include "cleaning/file_system_win32.h"
#include "win32/unicode.h"
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
