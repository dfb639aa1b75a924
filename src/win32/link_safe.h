#pragma once
#include <windows.h>

#include <string>

#include "win32/unique_handle.h"

namespace tidewell::win32 {

// One name in a folder, opened as itself: never what a link there points to.
//
// Windows opens a symbolic link or junction as the link when asked with
// FILE_FLAG_OPEN_REPARSE_POINT. A link the platform does not flag (Wine's
// file links) opens its target instead; the opened object's final path then
// differs from the name's own, and such an entry counts as a link too.
struct OpenedEntry {
    UniqueFile file;
    // A link (flagged, or found by its final path): only ever removed as a
    // link, never written or read through.
    bool link = false;
    // True when `file` is the link itself, so that deleting it removes only
    // the link. A link that opened as its target has `file` closed.
    bool openedAsItself = false;
    BY_HANDLE_FILE_INFORMATION info{};
    DWORD error = 0; // why the open failed, when `file` is not valid
};

// `path` is an extended ("\\?\") full path. `access` is what the caller will
// do with the handle; every open shares read, write and delete.
OpenedEntry openEntry(const std::wstring& path, DWORD access);

// Deletes the name itself: a file (read-only too), an empty folder, or a link
// as a link. Returns 0 on success, else the system's error number; a link
// that cannot be removed as a link stays and gives ERROR_CANT_ACCESS_FILE.
DWORD deleteEntry(const std::wstring& path);

// The final path of an existing folder or file, links resolved, in its
// ordinary form ("C:\x", "\\server\share\x"); empty text when it cannot be
// opened. For comparisons only: never a path to work on.
std::wstring finalPathOf(const std::wstring& path);

} // namespace tidewell::win32
