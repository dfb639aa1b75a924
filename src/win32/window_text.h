#pragma once
#include <windows.h>

#include <string>

namespace tidewell::win32 {

// Text of any window as UTF-8.
std::string windowText(HWND hwnd);
void setWindowText(HWND hwnd, const std::string& text);

} // namespace tidewell::win32
