#pragma once
#include "cleaning/browsers/browser_cleaner.h"

namespace tidewell::win32 {

// The user's folders from the shell, the browsers' locks by a trial open.
class Win32BrowserPlatform : public BrowserPlatform {
public:
    BrowserFolders folders() override;
    bool lockHeld(const std::string& lockFile) override;
    std::optional<std::string> readText(const std::string& path) override;
};

} // namespace tidewell::win32
