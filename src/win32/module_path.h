#pragma once
#include <string>

namespace tidewell::win32 {

// Folder of the running executable, without a trailing backslash unless it is
// a drive root.
std::wstring programFolder();

} // namespace tidewell::win32
