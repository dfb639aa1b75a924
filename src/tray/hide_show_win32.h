#pragma once
#include <windows.h>

#include <vector>

namespace tidewell::HideShowWindows {

// Windows hidden by the last hide run, in the order they were hidden.
const std::vector<HWND>& hiddenWindows();

void HideDesktopWindows();
void ShowDesktopWindows();
BOOL CALLBACK EnumWindowsProc(HWND hwnd, LPARAM);

} // namespace tidewell::HideShowWindows
