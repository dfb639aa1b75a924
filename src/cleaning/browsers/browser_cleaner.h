#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cleaning/browsers/browser_db.h"
#include "cleaning/browsers/browser_profiles.h"
#include "cleaning/browsers/keep_list.h"
#include "cleaning/wipe.h"
#include "kernel/status_pane.h"
#include "settings/browser_options.h"

namespace tidewell {

// What the browsers' cleaning needs from the system besides files.
class BrowserPlatform {
public:
    virtual ~BrowserPlatform() = default;
    virtual BrowserFolders folders() = 0;
    // Whether a running browser holds `lockFile` (Chromium's "lockfile",
    // Firefox's "parent.lock"); a missing file is held by nobody.
    virtual bool lockHeld(const std::string& lockFile) = 0;
    // A small file's text, read as itself (never through a link), or nothing.
    virtual std::optional<std::string> readText(const std::string& path) = 0;
};

// One thing an item erases, with the profile folder it must lie in.
struct BrowserPlace {
    std::string base;
    std::string path;
};
struct ItemWork {
    std::vector<std::string> shown;                         // the "Path: " lines
    std::vector<BrowserPlace> folders;                      // their contents go
    std::vector<BrowserPlace> files;                        // they go
    std::vector<std::pair<DbKind, BrowserPlace>> databases; // their rows go
};
// The files and folders of one item of one profile, and nothing else: never
// bookmarks, passwords, autofill, preferences, extensions or certificates.
ItemWork itemWork(BrowserId b, BrowserItem item, const BrowserProfile& p);

// The browsers' part of the clean run: every checked item of every browser,
// in the sub-tab's order, through the link-safe wipe and file deletion.
class BrowserCleaner {
public:
    using EraseRows = std::function<DbOutcome(const std::string&, DbKind, const KeepList&)>;
    BrowserCleaner(
        FileSystem& fs, FolderWiper& wiper, StatusPane& pane, BrowserPlatform& platform,
        const BrowserOptions& options,
        EraseRows eraseRows = [](const std::string& p, DbKind k,
                                 const KeepList& l) { return eraseDatabaseRows(p, k, l); },
        EraseRows countRows = [](const std::string& p, DbKind k,
                                 const KeepList& l) { return countDatabaseRows(p, k, l); })
        : fs_(fs), wiper_(wiper), pane_(pane), platform_(platform), options_(options),
          eraseRows_(std::move(eraseRows)), countRows_(std::move(countRows)),
          finder_(fs, [&platform](const std::string& p) { return platform.readText(p); }) {}

    // `between` runs after each item (repaint and yield). While the wiper
    // collects a preview, the same walk only records what it would erase.
    void run(const std::function<void()>& between);

    // Whether the browser's data folder exists (the sub-tab greys it if not).
    bool installed(BrowserId b);

    // Bytes of the files deleted one by one (the wipe counts its own).
    std::uint64_t bytesFreed() const noexcept { return bytes_; }
    void resetFreed() noexcept { bytes_ = 0; }

private:
    void eraseItem(BrowserId b, BrowserItem item, const std::vector<BrowserProfile>& profiles,
                   const KeepList::Parsed& keep);
    std::uint64_t emptyFolder(const BrowserPlace& place);
    std::uint64_t deleteFile(const BrowserPlace& place);
    std::uint64_t eraseDatabase(DbKind kind, const BrowserPlace& place, const KeepList& keep);
    // False, with a red line, for a link or a path a link leads elsewhere.
    bool safe(const BrowserPlace& place);
    void red(const std::string& line);

    FileSystem& fs_;
    FolderWiper& wiper_;
    StatusPane& pane_;
    BrowserPlatform& platform_;
    const BrowserOptions& options_;
    EraseRows eraseRows_;
    EraseRows countRows_;
    ProfileFinder finder_;
    std::uint64_t bytes_ = 0;
};

} // namespace tidewell
