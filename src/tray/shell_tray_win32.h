#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tidewell::ShellTray {

// The shell's own record for this platform, with the fixed values of the
// program's icon; the tip is cut to fit its field with its terminator.
NOTIFYICONDATAW MakeNotifyIconData(HWND hwnd, UINT id, UINT flags, UINT callbackMessage, HICON icon,
                                   const std::string& tip);
// Results are not examined: a second add of the same icon and the delete of
// an absent one are harmless.
void AddTrayIcon(HWND form, HICON icon, const std::string& tip);
void RemoveTrayIcon(HWND form, HICON icon);

} // namespace tidewell::ShellTray
