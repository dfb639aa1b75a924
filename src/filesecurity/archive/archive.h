#pragma once
// A folder as one stream and back: pax tar in a gzip stream (a .tar.gz
// that common tools read). Names are UTF-8; links are never packed or
// followed, and extraction writes nothing outside its destination folder.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filesecurity/file_access.h"
#include "filesecurity/secure_bytes.h"

namespace tidewell::archive {

// Called as work is done; may throw to cancel.
using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Packs the contents of `folder` (not the folder itself) into `out`.
void packFolder(filesecurity::FileAccess& fs, const std::string& folder, filesecurity::ByteSink& out,
                const Progress& progress = {});

// The parts of an entry name once it is known to stay inside the
// destination; throws AppError naming the entry otherwise.
std::vector<std::string> safeEntryPath(const std::string& name);

// Undoes what extractions into `destination` began and never finished or
// rolled back (the process ended): new files go, files they were to replace
// come back under their own names. Runs before every extraction; the program
// also calls it at start for the folders of runs it did not see end.
void recoverInterrupted(filesecurity::FileAccess& fs, const std::string& destination);

// Push-style reader: feed the gzip stream, then finish(). Entries are
// written below `destination`, which is created if missing. Files take their
// own names only in finish(), once all are written.
class Extractor : public filesecurity::ByteSink {
public:
    Extractor(filesecurity::FileAccess& fs, std::string destination);
    ~Extractor() override;
    void write(const std::uint8_t* data, std::size_t size) override;
    void finish();
    std::uint64_t entriesWritten() const noexcept;
    // After a failure or a cancel: removes the files and folders this
    // extraction created and puts back the files it set aside.
    void rollback() noexcept;

    struct State; // private to extract.cpp

private:
    std::unique_ptr<State> s_;
};

inline constexpr long kArchiveErrorNumber = 1001;

} // namespace tidewell::archive
