#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "cleaning/clean_run.h"
#include "cleaning/erase_targets.h"

namespace tidewell::win32 {

// Shell folders, temporary path, recycle bin, registry keys and clipboard.
class Win32CleaningPlatform : public CleaningPlatform {
public:
    explicit Win32CleaningPlatform(HWND owner = nullptr) noexcept : owner_(owner) {}
    void setOwner(HWND owner) noexcept { owner_ = owner; }

    std::string GetSpecialFolder(int folderId) override;
    std::string TempPath() override;
    std::uint64_t RecycleBinBytes() override;
    std::uint64_t RecycleBinItems() override;
    void EmptyRecycleBin() override;
    void DeleteUserKeyTree(const std::string& subKey) override;
    std::vector<std::string> UserKeyValues(const std::string& subKey) override;
    void EmptyClipboard() override;
    KnownFolders knownFolders() override;

private:
    HWND owner_;
};

// A current-user registry value as text; nothing when absent or not text.
std::optional<std::string> readUserString(const std::string& keyPath, const std::string& valueName);

// The real forced log-off of the current user.
class Win32LogOff : public LogOff {
public:
    void forceLogOff() override;
};

} // namespace tidewell::win32
