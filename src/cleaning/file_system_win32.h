#pragma once
#include <windows.h>

#include <string>

#include "cleaning/file_system.h"
#include "win32/long_path.h"

namespace tidewell::win32 {

// The wipe's file system on the W functions, with long-path prefixes so that
// deep trees and non-ASCII names work.
class Win32FileSystem : public FileSystem {
public:
    std::optional<DirEntry> stat(const std::string& path) override;
    std::optional<NameInfo> inspect(const std::string& path) override;
    std::string finalPath(const std::string& path) override;
    std::vector<DirEntry> list(const std::string& folder) override;
    bool deleteFile(const std::string& path) override;
    bool removeFolder(const std::string& path) override;
    void overwriteInPlace(const std::string& path, const std::string& pattern) override;
    void writeFile(const std::string& path, const std::string& contents) override;
    void deleteFileOrThrow(const std::string& path) override;
};

// The shell's path of a special folder (CSIDL number), or empty text when the
// shell cannot give it.
std::string GetSpecialFolder(HWND owner, int folderId);

// Pumps the message queue when at least `interval` has passed since the last
// pump: called per file, it keeps the window live without paying a round trip
// to the window system for every file.
class ThrottledPump {
public:
    explicit ThrottledPump(unsigned intervalMs = 5);
    // False once the program has been asked to quit.
    bool operator()();
    // Longest time the queue went unserved between two pumps, for the bench.
    double maxGapMs() const noexcept;

private:
    LONGLONG frequency_ = 1;
    LONGLONG intervalTicks_;
    LONGLONG last_ = 0;
    LONGLONG maxGap_ = 0;
};

} // namespace tidewell::win32
