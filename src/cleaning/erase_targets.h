#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cleaning/protected_places.h"
#include "cleaning/wipe.h"
#include "kernel/report_error.h"
#include "kernel/status_pane.h"

namespace tidewell {

// Shell special folders by their published numbers.
enum SpecialFolder : int {
    CSIDL_Personal = 5,
    CSIDL_Favorites = 6,
    CSIDL_Recent = 8,
    CSIDL_InternetCache = 32,
    CSIDL_Cookies = 33,
    CSIDL_History = 34,
};

inline constexpr const char* kTypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
inline constexpr const char* kRunMruKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

// What the erase targets need from the system besides files.
class CleaningPlatform {
public:
    virtual ~CleaningPlatform() = default;
    // The special folder's path, or empty text when the shell cannot give it.
    virtual std::string GetSpecialFolder(int folderId) = 0;
    // The system temporary path as the system gives it (with its trailing
    // backslash), cut at 255 characters.
    virtual std::string TempPath() = 0;
    // Bytes in the recycle bins of all drives, 0 when unknown.
    virtual std::uint64_t RecycleBinBytes() = 0;
    // Items in the recycle bins of all drives, 0 when unknown.
    virtual std::uint64_t RecycleBinItems() = 0;
    // Empties the recycle bins of all drives without a question; the result
    // is not examined (an empty bin is no failure).
    virtual void EmptyRecycleBin() = 0;
    // Deletes a key of the current user with everything under it; silent.
    virtual void DeleteUserKeyTree(const std::string& subKey) = 0;
    // The values of a key of the current user and of every key under it,
    // each as its key's path below `subKey`'s parent and its name, read
    // only; nothing when the key is missing.
    virtual std::vector<std::string> UserKeyValues(const std::string& subKey) = 0;
    // Throws AppError when the clipboard refuses.
    virtual void EmptyClipboard() = 0;
    // The folders no clean may empty, and the user's own folders.
    virtual KnownFolders knownFolders() = 0;
};

// The erase targets: each writes its "Path: ", progress and "Finished " lines
// to the pane, and traps its own failures so that a run goes on. While the
// wiper collects a preview, the same targets walk the same places but only
// record what they would erase and write their "Would erase" lines.
class EraseTargets {
public:
    EraseTargets(StatusPane& pane, StatusLabel& label, CleaningPlatform& platform,
                 FolderWiper& wiper, FileSystem& fs, ErrorReporter& errors)
        : pane_(pane), label_(label), platform_(platform), wiper_(wiper), fs_(fs), errors_(errors),
          places_(fs, [&platform] { return platform.knownFolders(); }) {}

    void EraseHistory(const std::string& message);
    void EraseCache(const std::string& message);
    void EraseCookies(const std::string& message);
    void EraseFavorites(const std::string& message);
    void EraseMyDocuments(const std::string& message);
    void EraseRecentFiles(const std::string& message);
    void EraseTempFiles(const std::string& message);
    void EraseRecycleBin(const std::string& message);
    void EraseTypedUrls(const std::string& message);
    void EraseRunHistory(const std::string& message);
    void EraseFolder(const std::string& message, const std::string& folder);
    // The browser's index.dat files in the history, cache and cookies folders
    // (hidden system files that the folder wipe leaves).
    void EraseIndexDat(const std::string& message);

    // Why the folder erase may not empty `folder`, or nothing when it may.
    std::optional<std::string> whyNeverEmptied(const std::string& folder) {
        return places_.whyNeverEmptied(folder);
    }

    // While set, the targets and every wipe only record what they would
    // erase (see FolderWiper::collectInto).
    void collectInto(PreviewCollector* collector) noexcept { wiper_.collectInto(collector); }
    PreviewCollector* collecting() const noexcept { return wiper_.collector(); }

    // Bytes the targets freed since the last reset (files wiped and the
    // recycle bin's contents).
    std::uint64_t bytesFreed() const noexcept { return wiper_.stats().bytesFreed + binBytes_; }
    void resetFreed() noexcept {
        wiper_.resetStats();
        binBytes_ = 0;
    }

private:
    struct FolderRule {
        bool setsLabel;
        std::optional<UserFolder> own; // the user folder this target empties as its own
        bool wipesEmptyPath;           // an empty path still goes to the wipe (Temp)
    };
    template <typename F>
    void folderTarget(const std::string& message, const FolderRule& rule, F&& folderOf);
    // Writes the red refusal when `folder` is not one this target may empty.
    bool refused(const std::string& folder, std::optional<UserFolder> own);
    void registryTarget(const std::string& message, const char* subKey);
    void findIndexDat(const std::string& folder, std::vector<std::string>& found, int depth);
    PreviewCollector* preview() const noexcept { return wiper_.collector(); }

    StatusPane& pane_;
    StatusLabel& label_;
    CleaningPlatform& platform_;
    FolderWiper& wiper_;
    FileSystem& fs_;
    ErrorReporter& errors_;
    ProtectedPlaces places_;
    std::uint64_t binBytes_ = 0;
};

// The temporary folder without its trailing backslash: text before the first
// zero character, less its last character.
std::string tempFolderFrom(const std::string& systemTempPath);

// "12.3 MB" and the like, for the space-freed line.
std::string formatBytes(std::uint64_t bytes);

} // namespace tidewell
