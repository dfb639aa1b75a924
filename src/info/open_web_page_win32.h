#pragma once
#include <windows.h>

#include <string>

namespace tidewell::GenFunc {

// Opens `address` in the program associated with files of `extension` (the
// browser for "htm"), started directly with the address as its one quoted
// argument. Reports its own failures in message boxes; the probe file it
// writes to ask the shell is removed on every path.
void OpenWebPage(HWND owner, const std::string& address, const std::string& extension);

} // namespace tidewell::GenFunc
