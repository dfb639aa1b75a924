#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// One entry of a folder listing, with the attributes the wipe decides on.
struct DirEntry {
    std::string name;
    bool directory = false;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
    // Junction, symbolic link or mount point: never descended into or
    // deleted through.
    bool reparsePoint = false;
    std::uint64_t size = 0;
    // Last change, 100 ns ticks since 1601 (UTC); 0 when unknown.
    std::uint64_t modified = 0;
};

// What a name is when it is looked at without following it.
struct NameInfo {
    // A symbolic link or junction, also one the platform does not flag:
    // only ever removed as a link, never written through.
    bool link = false;
    // Names of the file (hard links); overwriting reaches all of them.
    unsigned hardLinks = 1;
};

// The file-system operations the wipe and the shredder need. Paths are full
// Windows paths in UTF-8. Nothing here deletes or writes through a link: a
// link loses only itself.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Attributes of one path, or nothing when it does not exist.
    virtual std::optional<DirEntry> stat(const std::string& path) = 0;
    // Every entry of a folder but "." and "..". Throws AppError (with the
    // system's number and text) when the folder cannot be read.
    virtual std::vector<DirEntry> list(const std::string& folder) = 0;
    // The name itself, or nothing when it does not exist.
    virtual std::optional<NameInfo> inspect(const std::string& path) = 0;
    // The final form of a full path, for comparisons: links resolved and
    // short names expanded as far as the path exists.
    virtual std::string finalPath(const std::string& path) = 0;
    // Forced deletion: a read-only file is deleted too. A link is removed as
    // a link, or stays. Returns false when the file stays (in use, denied).
    virtual bool deleteFile(const std::string& path) = 0;
    // Removes an empty folder, or a directory link itself (never what it
    // points to). Returns false when it stays.
    virtual bool removeFolder(const std::string& path) = 0;
    // Overwrites the file's own bytes in place over its whole length with
    // `pattern` repeated, and flushes them to the disk. Throws on failure,
    // and for a link or a file with other names.
    virtual void overwriteInPlace(const std::string& path, const std::string& pattern) = 0;
    // Replaces the contents of an existing file (not through a link) with
    // `contents`. Throws on failure.
    virtual void writeFile(const std::string& path, const std::string& contents) = 0;
    // Forced deletion that reports why it failed: throws AppError.
    virtual void deleteFileOrThrow(const std::string& path) = 0;
};

// Why a file with other names is not overwritten.
inline std::string hardLinksText(const std::string& path, unsigned names) {
    return "\"" + path + "\" has " + std::to_string(names) +
           " names (hard links). Overwriting it would destroy its data under the other names "
           "too, so it was left as it is.";
}

// Lets the window breathe during long work; called once per deleted file.
using YieldFn = std::function<void()>;

} // namespace tidewell
