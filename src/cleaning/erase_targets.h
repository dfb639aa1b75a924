#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cleaning/wipe.h"
#include "shell/report_error.h"
#include "shell/status_pane.h"

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
    // Empties the recycle bins of all drives without a question; the result
    // is not examined (an empty bin is no failure).
    virtual void EmptyRecycleBin() = 0;
    // Deletes a key of the current user with everything under it; silent.
    virtual void DeleteUserKeyTree(const std::string& subKey) = 0;
    // Throws AppError when the clipboard refuses.
    virtual void EmptyClipboard() = 0;
};

// The erase targets: each writes its "Path: ", progress and "Finished " lines
// to the pane, and traps its own failures so that a run goes on.
class EraseTargets {
public:
    EraseTargets(StatusPane& pane, StatusLabel& label, CleaningPlatform& platform,
                 FolderWiper& wiper, FileSystem& fs, ErrorReporter& errors)
        : pane_(pane), label_(label), platform_(platform), wiper_(wiper), fs_(fs), errors_(errors) {
    }

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

    // Bytes the targets freed since the last reset (files wiped and the
    // recycle bin's contents).
    std::uint64_t bytesFreed() const noexcept { return wiper_.stats().bytesFreed + binBytes_; }
    void resetFreed() noexcept {
        wiper_.resetStats();
        binBytes_ = 0;
    }

private:
    template <typename F> void folderTarget(const std::string& message, bool setsLabel, F&& folder);
    void registryTarget(const std::string& message, const char* subKey);
    void findIndexDat(const std::string& folder, std::vector<std::string>& found, int depth);
    void wipe(const std::string& folder);

    StatusPane& pane_;
    StatusLabel& label_;
    CleaningPlatform& platform_;
    FolderWiper& wiper_;
    FileSystem& fs_;
    ErrorReporter& errors_;
    std::uint64_t binBytes_ = 0;
};

// The temporary folder without its trailing backslash: text before the first
// zero character, less its last character.
std::string tempFolderFrom(const std::string& systemTempPath);

// "12.3 MB" and the like, for the space-freed line.
std::string formatBytes(std::uint64_t bytes);

} // namespace tidewell
