#include "cleaning/browsers/browser_platform_win32.h"

#include <windows.h>
#include <shlobj.h>

#include "cleaning/file_system_win32.h"
#include "win32/link_safe.h"
#include "win32/long_path.h"
#include "win32/unique_handle.h"

namespace tidewell::win32 {

BrowserFolders Win32BrowserPlatform::folders() {
    return {GetSpecialFolder(nullptr, CSIDL_LOCAL_APPDATA),
            GetSpecialFolder(nullptr, CSIDL_APPDATA), GetSpecialFolder(nullptr, CSIDL_PROFILE)};
}

bool Win32BrowserPlatform::lockHeld(const std::string& lockFile) {
    // A running browser keeps its lock file open without sharing deletion
    // (Chromium shares reading only, Firefox nothing): asking for delete
    // access then fails. Nothing is deleted or written here. A lock the
    // browser left behind after a crash opens and counts as free.
    UniqueFile f(::CreateFileW(extendedPath(lockFile).c_str(), DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (f) {
        return false;
    }
    const DWORD error = ::GetLastError();
    // Any other refusal counts as held: a profile is better left than harmed.
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

std::optional<std::string> Win32BrowserPlatform::readText(const std::string& path) {
    OpenedEntry e = openEntry(extendedPath(path), GENERIC_READ);
    if (!e.file || e.link) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    // profiles.ini is a few lines; a huge file is no profiles.ini.
    while (text.size() < (1u << 20) &&
           ::ReadFile(e.file.get(), buffer, sizeof(buffer), &n, nullptr) && n > 0) {
        text.append(buffer, n);
    }
    return text;
}

} // namespace tidewell::win32
