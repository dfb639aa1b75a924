#pragma once
#include <windows.h>

#include <string>

#include "kernel/app_error.h"

namespace tidewell::win32 {

// The system's message text for a Win32 error or HRESULT, without the
// trailing line break; "Unknown error" + number when the system has none.
std::string systemMessage(DWORD code);

// An AppError carrying the Win32 error number and its system text.
AppError win32Error(DWORD code);
[[noreturn]] void throwWin32Error(DWORD code);
[[noreturn]] void throwLastError();
// Throws for a failed HRESULT (number = the HRESULT as a signed 32-bit value).
void checkHr(HRESULT hr);

} // namespace tidewell::win32
