#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "cleaning/file_system.h"
#include "cleaning/preview.h"
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
    // Stopped, or the preview being collected was cancelled.
    bool halted() const noexcept {
        return stopped_ || (collector_ != nullptr && collector_->cancelled());
    }

    // While set, every wipe only looks: what it would delete goes to
    // `collector` and counts in the stats as if deleted; nothing changes.
    void collectInto(PreviewCollector* collector) noexcept { collector_ = collector; }
    PreviewCollector* collector() const noexcept { return collector_; }

    const WipeStats& stats() const noexcept { return stats_; }
    void resetStats() noexcept { stats_ = {}; }

private:
    void wipe(const std::string& folder, const std::string& topFolder);
    void reportFailure(const std::string& description);
    bool removeFile(const std::string& path, const DirEntry& e);
    bool removeLink(const std::string& path);

    FileSystem& fs_;
    StatusPane& pane_;
    YieldFn yield_;
    WipeStats stats_;
    bool stopped_ = false;
    PreviewCollector* collector_ = nullptr;
};

} // namespace tidewell
