#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "cleaning/file_system.h"
#include "kernel/status_pane.h"

namespace tidewell {

// A folder path the wipe may work on: a full path ("C:\x", "\\server\share\x")
// without a trailing backslash, or a drive root with it ("C:\"). A bare drive
// "C:" (what the folder browser gives for a root) means that root. Empty,
// relative, drive-relative ("C:x") and rooted-without-drive ("\x") paths give
// nothing: they would name the current directory.
std::optional<std::string> wipeablePath(const std::string& path);

// folder + "\" + name, without doubling the backslash of a root.
std::string joinPath(const std::string& folder, const std::string& name);

// What a wipe did, for the "space freed" line and the tests.
struct WipeStats {
    std::uint64_t filesDeleted = 0;
    std::uint64_t bytesFreed = 0;
    std::uint64_t foldersRemoved = 0;
    std::uint64_t linksRemoved = 0;
    std::uint64_t itemsLeft = 0;
};

// WipeFolder: deletes everything inside a folder, subfolders first, and keeps
// the folder itself. Problems that stop it are written to the pane in red.
class FolderWiper {
public:
    FolderWiper(FileSystem& fs, StatusPane& pane, YieldFn yield)
        : fs_(fs), pane_(pane), yield_(std::move(yield)) {}

    // Callers pass the same path twice; the recursion keeps topFolder.
    void WipeFolder(const std::string& folder, const std::string& topFolder);

    // Ends this and every later wipe at the next file (the program is
    // closing); what is already deleted stays deleted.
    void stop() noexcept { stopped_ = true; }
    bool stopped() const noexcept { return stopped_; }

    const WipeStats& stats() const noexcept { return stats_; }
    void resetStats() noexcept { stats_ = {}; }

private:
    void wipe(const std::string& folder, const std::string& topFolder);
    void reportFailure(const std::string& description);

    FileSystem& fs_;
    StatusPane& pane_;
    YieldFn yield_;
    WipeStats stats_;
    bool stopped_ = false;
};

} // namespace tidewell
