#include "win32/common_dialogs.h"

#include <shlobj.h>

#include <vector>

#include "kernel/app_error.h"
#include "win32/unique_com.h"

namespace tidewell::win32 {

std::optional<std::wstring> chooseFileName(HWND owner, const FileDialog& dialog) {
    // Room for a long path: the dialog truncates nothing, it fails instead.
    std::vector<wchar_t> file(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = dialog.filter.empty() ? nullptr : dialog.filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dialog.initialFolder.empty() ? nullptr : dialog.initialFolder.c_str();
    ofn.Flags = dialog.flags;
    const BOOL ok = dialog.save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
    if (!ok) {
        if (const DWORD error = ::CommDlgExtendedError(); error != 0) {
            throw AppError(static_cast<long>(error), "The file dialog failed.");
        }
        return std::nullopt;
    }
    return std::wstring(file.data());
}

std::optional<std::wstring> chooseFolderName(HWND owner, const std::wstring& title) {
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.lpszTitle = title.empty() ? nullptr : title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    UniqueCoTaskMem<PIDLIST_ABSOLUTE> item(::SHBrowseForFolderW(&bi));
    if (!item) {
        return std::nullopt;
    }
    wchar_t path[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListW(item.get(), path)) {
        throw AppError(5, "The chosen item is not a folder of the file system.");
    }
    return std::wstring(path);
}

} // namespace tidewell::win32
