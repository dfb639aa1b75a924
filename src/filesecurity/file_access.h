#pragma once
// What the file-security code needs of the file system: a narrow port with a
// Win32 adapter for the program and a POSIX one for native tests and tools.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filesecurity/secure_bytes.h"

namespace tidewell::filesecurity {

struct FileInfo {
    bool exists = false;
    bool isFolder = false;
    // A symbolic link, junction or other reparse point: never followed.
    bool isLink = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // seconds since 1970-01-01 UTC
    bool readOnly = false;
    bool hidden = false;
};

struct FolderEntry {
    std::string name;
    FileInfo info;
};

class InputFile {
public:
    virtual ~InputFile() = default;
    // Up to `size` bytes; 0 at the end.
    virtual std::size_t read(std::uint8_t* data, std::size_t size) = 0;
};

// A new file that takes the place of its path only on commit(). Until then it
// is a temporary file beside that path, removed when the object goes.
class OutputFile : public ByteSink {
public:
    // Time and attributes the file gets when committed.
    virtual void stamp(std::int64_t modified, bool readOnly, bool hidden) = 0;
    virtual void commit() = 0;
};

// A record that must outlive a killed process: each line reaches the system
// before append() returns.
class LogFile {
public:
    virtual ~LogFile() = default;
    virtual void append(const std::string& text) = 0;
};

// May be used from two threads at once (the work and its reader or writer).
class FileAccess {
public:
    virtual ~FileAccess() = default;
    // Looks at the path itself (a link is reported as a link).
    virtual FileInfo info(const std::string& path) = 0;
    virtual std::vector<FolderEntry> list(const std::string& folder) = 0;
    virtual std::unique_ptr<InputFile> openRead(const std::string& path) = 0;
    virtual std::unique_ptr<OutputFile> createReplacing(const std::string& path) = 0;
    // A file written in place, removed again unless committed (by the system
    // too, should the process die first); nullptr when something of that
    // name already exists.
    virtual std::unique_ptr<OutputFile> createFresh(const std::string& path) = 0;
    // A new hidden log; fails when the name exists.
    virtual std::unique_ptr<LogFile> createLog(const std::string& path) = 0;
    // Both paths name one existing file: the same spelling, another one, or
    // a hard link.
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    // Creates the folder if missing (not its parents).
    virtual void createFolder(const std::string& path) = 0;
    virtual void setTimeAndAttributes(const std::string& path, std::int64_t modified, bool readOnly,
                                      bool hidden) = 0;
    // Removes a file or an empty folder (also a read-only one); a link only
    // as itself, never what it points to.
    virtual void remove(const std::string& path) = 0;
    // Renames a file within its folder; fails when `to` exists, and refuses
    // a link.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    virtual std::string join(const std::string& folder, const std::string& name) = 0;
    // Paths with one key may name one file: extraction sends them to one
    // writer. Folds ASCII letters; the Win32 adapter folds as Windows does.
    virtual std::string nameKey(const std::string& path) {
        std::string key = path;
        for (char& c : key) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return key;
    }
};

// The adapter for this platform.
std::unique_ptr<FileAccess> makeFileAccess();

} // namespace tidewell::filesecurity
