#pragma once
// The system's file and folder pickers, for every page that asks for a path.
// Cancel gives nothing; a picker that fails throws AppError with its code.
#include <windows.h>
#include <commdlg.h>

#include <optional>
#include <string>

namespace tidewell::win32 {

struct FileDialog {
    bool save = false;          // the Save dialog instead of the Open dialog
    std::wstring filter;        // pairs of caption and pattern, each ended by a NUL
    std::wstring initialFolder; // empty: the system's choice
    DWORD flags = OFN_EXPLORER;
};

std::optional<std::wstring> chooseFileName(HWND owner, const FileDialog& dialog);

// A folder of the file system (never a virtual item); `title` above the tree.
std::optional<std::wstring> chooseFolderName(HWND owner, const std::wstring& title = {});

} // namespace tidewell::win32
