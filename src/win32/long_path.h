#pragma once
#include <string>

namespace tidewell::win32 {

// "\\?\" form of a full path, so that the length limit of MAX_PATH does not
// apply. The path must already be full and clean (no "." or ".." parts).
std::wstring extendedPath(const std::string& path);

// The same for a path as the user typed it: a relative path, "." and ".."
// parts and forward slashes are resolved first, as the W functions would
// have done without the prefix. A full, clean path is taken as it stands, so
// that names the shell cannot spell (a trailing dot) still work.
std::wstring extendedFullPath(const std::string& path);

} // namespace tidewell::win32
