#pragma once
// The threads that create extracted files.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filesecurity/file_access.h"

namespace tidewell::archive::detail {

class WriterLane;

// Creates the extracted files on several threads at once, so that making
// thousands of files overlaps decryption and reading the archive, and the
// latency of each creation (high under Wine, and on Windows too) overlaps
// that of the others. All of one path goes to one lane, in order.
class FileWriter {
public:
    FileWriter(filesecurity::FileAccess& fs, std::string runId);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void begin(std::string path, std::string name, std::int64_t mtime, bool readOnly, bool hidden);
    // Every file entry in archive order: its own name, the temporary name
    // it is written under, and the key of names that may be one file.
    struct Entry {
        std::string real, staged, key;
    };
    std::vector<Entry> files;
    void data(const std::uint8_t* p, std::size_t n);
    void end();
    // Waits until every file is written; throws the first error.
    void drain();
    void stop() noexcept;
    std::uint64_t written() const;

private:
    static constexpr std::size_t kLanes = 4;
    [[noreturn]] void throwFirstError();
    filesecurity::FileAccess& fs_;
    std::string runId_;
    std::atomic<bool> anyFailed_{false};
    std::vector<std::unique_ptr<WriterLane>> lanes_;
    WriterLane* current_ = nullptr;
};

} // namespace tidewell::archive::detail
