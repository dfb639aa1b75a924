// Packing: the folder's entries in name order, their contents read ahead on
// several threads, out as one tar stream.
#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "filesecurity/archive/archive.h"
#include "filesecurity/archive/tar_format.h"
#include "filesecurity/pipeline.h"
#include "kernel/app_error.h"

namespace tidewell::archive {

using filesecurity::CondVar;
using filesecurity::FileAccess;
using filesecurity::FileInfo;
using filesecurity::Mutex;
using namespace detail;

namespace {

void collect(FileAccess& fs, const std::string& folder, const std::string& relative,
             std::vector<PackItem>& items, std::uint64_t& total) {
    auto entries = fs.list(folder);
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
    for (auto& e : entries) {
        if (e.info.isLink)
            continue; // links and junctions are neither packed nor followed
        std::string rel = relative.empty() ? e.name : relative + "/" + e.name;
        std::string path = fs.join(folder, e.name);
        items.push_back({rel, path, e.info});
        if (e.info.isFolder) {
            collect(fs, path, rel, items, total);
        } else {
            total += e.info.size;
        }
    }
}

// A file that another program changed while it was packed would go into the
// archive neither as it was nor as it is: the run stops instead.
[[noreturn]] void changedWhileRead(const std::string& path) {
    throw AppError(kArchiveErrorNumber, "The file \"" + path +
                                            "\" changed while it was being read. Nothing was "
                                            "written; try again when no program is writing to it.");
}

bool hasMore(filesecurity::InputFile& file) {
    std::uint8_t probe = 0;
    return file.read(&probe, 1) != 0;
}

// The contents of the files to pack, one after the other, each exactly as
// long as listed (a file whose size changed meanwhile stops the run).
// Files are opened ahead, several at once: each opening costs a round trip
// to Wine's server (on Windows, often an anti-virus scan), and those waits
// overlap. Small files are read whole by the openers; large ones are
// streamed when their turn comes.
class ConcatenatedFiles : public filesecurity::InputFile {
public:
    ConcatenatedFiles(FileAccess& fs, const std::vector<PackItem>& items) : fs_(fs) {
        for (const PackItem& item : items) {
            if (!item.info.isFolder && item.info.size != 0)
                files_.push_back(&item);
        }
        slots_.resize(files_.size());
        left_ = files_.empty() ? 0 : files_[0]->info.size;
        for (std::size_t i = 0; i < std::min(kOpeners, files_.size()); ++i)
            openers_.emplace_back([this] { openAhead(); });
    }
    ~ConcatenatedFiles() override {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
            changed_.notify_all();
        }
        for (auto& t : openers_)
            t.join();
        for (Slot& slot : slots_)
            filesecurity::wipe(slot.bytes.data(), slot.bytes.size());
    }
    ConcatenatedFiles(const ConcatenatedFiles&) = delete;
    ConcatenatedFiles& operator=(const ConcatenatedFiles&) = delete;

    std::size_t read(std::uint8_t* data, std::size_t size) override {
        while (current_ < files_.size()) {
            Slot& slot = waitFor(current_);
            if (slot.error)
                std::rethrow_exception(slot.error);
            if (left_ != 0) {
                std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, left_));
                std::size_t n = 0;
                if (slot.file) {
                    n = slot.file->read(data, want);
                    if (n == 0)
                        changedWhileRead(files_[current_]->path);
                } else {
                    n = want;
                    std::memcpy(data, slot.bytes.data() + (slot.bytes.size() - left_), n);
                }
                left_ -= n;
                if (left_ == 0 && slot.file && hasMore(*slot.file))
                    changedWhileRead(files_[current_]->path);
                return n;
            }
            release();
            if (current_ < files_.size())
                left_ = files_[current_]->info.size;
        }
        return 0;
    }

private:
    static constexpr std::size_t kOpeners = 4;
    static constexpr std::size_t kWindow = 256;           // files open ahead at most
    static constexpr std::uint64_t kWholeLimit = 1 << 20; // read whole up to this size
    static constexpr std::uint64_t kBytesAhead = 16 << 20;
    struct Slot {
        bool ready = false;
        std::unique_ptr<filesecurity::InputFile> file; // large files
        std::vector<std::uint8_t> bytes;               // small files, exactly as long as listed
        std::exception_ptr error;
    };

    Slot& waitFor(std::size_t i) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return slots_[i].ready; });
        return slots_[i];
    }
    // The current file is done: its memory goes, and one more may be opened.
    void release() {
        std::lock_guard lock(mutex_);
        Slot& slot = slots_[current_++];
        bytesAhead_ -= slot.bytes.size();
        filesecurity::wipe(slot.bytes.data(), slot.bytes.size());
        slot.bytes = {};
        slot.file.reset();
        changed_.notify_all();
    }
    void openAhead() {
        for (;;) {
            std::size_t i = 0;
            bool whole = false;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return stopped_ || next_ == files_.size() ||
                           (next_ < current_ + kWindow && bytesAhead_ < kBytesAhead);
                });
                if (stopped_ || next_ == files_.size())
                    return;
                i = next_++;
                whole = files_[i]->info.size <= kWholeLimit;
                if (whole)
                    bytesAhead_ += files_[i]->info.size;
            }
            Slot slot;
            try {
                slot.file = fs_.openRead(files_[i]->path);
                if (whole) {
                    slot.bytes.resize(static_cast<std::size_t>(files_[i]->info.size));
                    std::size_t got = 0;
                    while (got < slot.bytes.size()) {
                        std::size_t n =
                            slot.file->read(slot.bytes.data() + got, slot.bytes.size() - got);
                        if (n == 0)
                            changedWhileRead(files_[i]->path);
                        got += n;
                    }
                    if (hasMore(*slot.file))
                        changedWhileRead(files_[i]->path);
                    slot.file.reset();
                }
            } catch (...) {
                slot.error = std::current_exception();
            }
            std::lock_guard lock(mutex_);
            slot.ready = true;
            slots_[i] = std::move(slot);
            changed_.notify_all();
        }
    }

    FileAccess& fs_;
    std::vector<const PackItem*> files_;
    // The reading thread's own (current_ changes under the lock: the openers
    // read it).
    std::size_t current_ = 0;
    std::uint64_t left_ = 0;
    // Shared with the openers.
    Mutex mutex_;
    CondVar changed_;
    std::vector<Slot> slots_;
    std::size_t next_ = 0;
    std::uint64_t bytesAhead_ = 0;
    bool stopped_ = false;
    std::vector<std::thread> openers_; // last: they start once the rest is ready
};

} // namespace

void packFolder(FileAccess& fs, const std::string& folder, filesecurity::ByteSink& out,
                const Progress& progress) {
    FileInfo root = fs.info(folder);
    if (!root.exists || !root.isFolder || root.isLink) {
        throw AppError(kArchiveErrorNumber, "The folder \"" + folder + "\" was not found.");
    }
    std::vector<PackItem> items;
    std::uint64_t total = 0;
    collect(fs, folder, "", items, total);

    TarWriter tar(out);
    // The files are opened and read ahead on a thread of their own (under
    // Wine opening a file costs more than encrypting it) while this one
    // encrypts.
    ConcatenatedFiles contents(fs, items);
    filesecurity::ReadAhead ahead(contents);
    const std::uint8_t* piece = nullptr;
    std::size_t pieceLeft = 0;
    auto take = [&](std::uint64_t want, std::size_t& got) {
        if (pieceLeft == 0) {
            pieceLeft = ahead.next(piece);
            if (pieceLeft == 0)
                damaged("a file ended early"); // cannot happen: a size change stops the run
        }
        got = static_cast<std::size_t>(std::min<std::uint64_t>(want, pieceLeft));
        const std::uint8_t* p = piece;
        piece += got;
        pieceLeft -= got;
        return p;
    };
    std::uint64_t done = 0;
    if (progress)
        progress(0, total);
    for (const PackItem& item : items) {
        tar.entry(item);
        if (item.info.isFolder)
            continue;
        std::uint64_t left = item.info.size;
        while (left != 0) {
            std::size_t got = 0;
            const std::uint8_t* p = take(left, got);
            tar.data(p, got);
            left -= got;
            done += got;
            if (progress)
                progress(done, total);
        }
        tar.pad(item.info.size);
    }
    tar.finish();
    if (progress)
        progress(total, total);
}

} // namespace tidewell::archive
