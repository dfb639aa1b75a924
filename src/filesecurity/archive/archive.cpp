#include "filesecurity/archive/archive.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "filesecurity/pipeline.h"
#include "kernel/app_error.h"

namespace tidewell::archive {

using filesecurity::CondVar;
using filesecurity::FileAccess;
using filesecurity::FileInfo;
using filesecurity::Mutex;

namespace {

constexpr std::size_t kBlock = 512;
constexpr std::size_t kIoSize = 256 * 1024;
constexpr std::uint64_t kOctal11Max = 077777777777ull; // largest value of an 11-digit field
constexpr std::size_t kMaxMetaSize = 1 << 20;          // pax or long-name data we accept

[[noreturn]] void damaged(const std::string& why) {
    throw AppError(kArchiveErrorNumber, "The archive is damaged: " + why + ".");
}

// zlib's window and pending output hold file contents: wiped when freed.
constexpr std::size_t kAllocHeader = 16; // keeps the block's alignment
voidpf wipingAlloc(voidpf, uInt items, uInt size) {
    const std::size_t n = std::size_t{items} * size;
    auto* p = static_cast<std::uint8_t*>(std::malloc(n + kAllocHeader));
    if (p == nullptr)
        return Z_NULL;
    std::memcpy(p, &n, sizeof n);
    return p + kAllocHeader;
}
void wipingFree(voidpf, voidpf address) {
    auto* p = static_cast<std::uint8_t*>(address) - kAllocHeader;
    std::size_t n = 0;
    std::memcpy(&n, p, sizeof n);
    cipher::wipe(address, n);
    std::free(p);
}
void useWipingAlloc(z_stream& z) {
    z.zalloc = wipingAlloc;
    z.zfree = wipingFree;
    z.opaque = Z_NULL;
}

// ---- gzip stream -------------------------------------------------------------

// The tar stream goes out as gzip made of stored deflate blocks, so that
// gzip and tar read it. Nothing is compressed: on this kind of machine,
// inflating cost more time than creating the files did (extraction was
// 1.5x slower than tar -x), and most bulky personal data (photos, video,
// office documents) is compressed already. Compressed streams, as earlier
// versions wrote them, are still read.
class GzipWriter {
public:
    explicit GzipWriter(cipher::ByteSink& out) : out_(out), buffer_(kIoSize) {
        useWipingAlloc(z_);
        if (deflateInit2(&z_, Z_NO_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK) {
            throw AppError(errors::OutOfMemory, "Out of memory");
        }
    }
    ~GzipWriter() {
        deflateEnd(&z_);
        cipher::wipe(buffer_.data(), buffer_.size());
    }
    GzipWriter(const GzipWriter&) = delete;
    GzipWriter& operator=(const GzipWriter&) = delete;

    void write(const std::uint8_t* data, std::size_t size) { run(data, size, Z_NO_FLUSH); }
    void finish() { run(nullptr, 0, Z_FINISH); }

private:
    void run(const std::uint8_t* data, std::size_t size, int flush) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = static_cast<uInt>(size);
        for (;;) {
            z_.next_out = buffer_.data();
            z_.avail_out = static_cast<uInt>(buffer_.size());
            int rc = deflate(&z_, flush);
            if (rc == Z_STREAM_ERROR)
                throw AppError(kArchiveErrorNumber, "Compression failed.");
            std::size_t n = buffer_.size() - z_.avail_out;
            if (n != 0)
                out_.write(buffer_.data(), n);
            if (flush == Z_FINISH ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0))
                break;
        }
    }
    cipher::ByteSink& out_;
    z_stream z_{};
    std::vector<std::uint8_t> buffer_;
};

// ---- tar headers --------------------------------------------------------------

void putOctal(char* field, std::size_t width, std::uint64_t value) {
    // width includes the terminating NUL
    for (std::size_t i = width - 1; i-- > 0;) {
        field[i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
    field[width - 1] = '\0';
}

void putString(char* field, std::size_t width, const std::string& text) {
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

void setChecksum(std::array<char, kBlock>& h) {
    std::memset(h.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (char c : h)
        sum += static_cast<unsigned char>(c);
    putOctal(h.data() + 148, 7, sum);
    h[155] = ' ';
}

std::array<char, kBlock> ustarHeader(const std::string& name, const std::string& prefix,
                                     std::uint64_t size, std::uint64_t mtime, unsigned mode,
                                     char type) {
    std::array<char, kBlock> h{};
    putString(h.data(), 100, name);
    putOctal(h.data() + 100, 8, mode);
    putOctal(h.data() + 108, 8, 0);
    putOctal(h.data() + 116, 8, 0);
    putOctal(h.data() + 124, 12, size);
    putOctal(h.data() + 136, 12, mtime);
    h[156] = type;
    std::memcpy(h.data() + 257, "ustar", 6);
    h[263] = '0';
    h[264] = '0';
    putString(h.data() + 345, 155, prefix);
    setChecksum(h);
    return h;
}

std::string paxRecord(const std::string& key, const std::string& value) {
    // "<length> <key>=<value>\n", the length counting its own digits.
    std::size_t body = 1 + key.size() + 1 + value.size() + 1;
    std::size_t len = body + 1;
    while (std::to_string(len).size() + body != len)
        ++len;
    return std::to_string(len) + " " + key + "=" + value + "\n";
}

bool plainAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

struct PackItem {
    std::string relative; // '/'-separated
    std::string path;     // on disk
    FileInfo info;
};

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

class TarWriter {
public:
    explicit TarWriter(cipher::ByteSink& out) : z_(out) {}

    void entry(const PackItem& item) {
        const FileInfo& i = item.info;
        std::string name = item.relative + (i.isFolder ? "/" : "");
        std::string pax;
        std::string ustarName, prefix;
        if (plainAscii(name) && name.size() <= 100) {
            ustarName = name;
        } else if (!plainAscii(name) || !splitName(name, prefix, ustarName)) {
            // The record carries the real name; the plain field a readable stand-in.
            pax += paxRecord("path", name);
            ustarName = asciiStandIn(name);
            prefix.clear();
        }
        std::uint64_t size = i.isFolder ? 0 : i.size;
        if (size > kOctal11Max)
            pax += paxRecord("size", std::to_string(size));
        std::uint64_t mtime = 0;
        if (i.modified >= 0 && static_cast<std::uint64_t>(i.modified) <= kOctal11Max) {
            mtime = static_cast<std::uint64_t>(i.modified);
        } else {
            pax += paxRecord("mtime", std::to_string(i.modified));
        }
        if (i.hidden)
            pax += paxRecord("SCHILY.fflags", "hidden");
        if (!pax.empty()) {
            auto ph = ustarHeader("PaxHeaders/" + ustarName.substr(0, 80), "", pax.size(), mtime,
                                  0644, 'x');
            put(ph.data(), kBlock);
            put(pax.data(), pax.size());
            pad(pax.size());
        }
        unsigned mode = i.isFolder ? (i.readOnly ? 0555 : 0755) : (i.readOnly ? 0444 : 0644);
        auto h = ustarHeader(ustarName, prefix, size > kOctal11Max ? 0 : size, mtime, mode,
                             i.isFolder ? '5' : '0');
        put(h.data(), kBlock);
    }
    void data(const std::uint8_t* p, std::size_t n) { z_.write(p, n); }
    void pad(std::uint64_t size) {
        static const char zeros[kBlock] = {};
        std::size_t rest = static_cast<std::size_t>((kBlock - size % kBlock) % kBlock);
        put(zeros, rest);
    }
    void finish() {
        static const char zeros[2 * kBlock] = {};
        put(zeros, sizeof zeros);
        z_.finish();
    }

private:
    void put(const char* p, std::size_t n) {
        z_.write(reinterpret_cast<const std::uint8_t*>(p), n);
    }
    static bool splitName(const std::string& name, std::string& prefix, std::string& rest) {
        for (std::size_t slash = name.find('/'); slash != std::string::npos;
             slash = name.find('/', slash + 1)) {
            if (slash <= 155 && name.size() - slash - 1 <= 100 && slash + 1 < name.size()) {
                prefix = name.substr(0, slash);
                rest = name.substr(slash + 1);
                return true;
            }
        }
        return false;
    }
    static std::string asciiStandIn(const std::string& name) {
        std::string s;
        for (char c : name)
            s += (c >= 0x20 && c < 0x7f) ? c : '_';
        return s.size() > 100 ? s.substr(s.size() - 100) : s;
    }
    GzipWriter z_;
};

// ---- entry names -------------------------------------------------------------

bool deviceName(std::string part) {
    // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension.
    part = part.substr(0, part.find('.'));
    while (!part.empty() && part.back() == ' ')
        part.pop_back();
    for (char& c : part)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (part == "CON" || part == "PRN" || part == "AUX" || part == "NUL" || part == "CONIN$" ||
        part == "CONOUT$") {
        return true;
    }
    return part.size() == 4 && (part.rfind("COM", 0) == 0 || part.rfind("LPT", 0) == 0) &&
           part[3] >= '0' && part[3] <= '9';
}

[[noreturn]] void refuse(const std::string& name, const std::string& why) {
    throw AppError(kArchiveErrorNumber,
                   "The archive entry \"" + name + "\" was refused: " + why +
                       ". Nothing was written outside the destination folder.");
}

} // namespace

std::vector<std::string> safeEntryPath(const std::string& name) {
    if (name.empty())
        refuse(name, "it has no name");
    if (name.find('\0') != std::string::npos)
        refuse(name, "its name holds a NUL character");
    if (name[0] == '/' || name[0] == '\\')
        refuse(name, "it is an absolute path");
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (part.empty() || part == ".") {
            part.clear();
            return;
        }
        if (part == "..")
            refuse(name, "it leads out of the folder");
        if (part.find(':') != std::string::npos)
            refuse(name, "drive letters and stream names are not allowed");
        for (char c : part) {
            if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>\"|?*", c) != nullptr) {
                refuse(name, "its name holds characters Windows does not allow");
            }
        }
        if (part.back() == '.' || part.back() == ' ')
            refuse(name, "a name part ends in a dot or blank");
        if (deviceName(part))
            refuse(name, "it names a device");
        parts.push_back(part);
        part.clear();
    };
    for (char c : name) {
        if (c == '/' || c == '\\') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    if (parts.empty())
        refuse(name, "it has no name");
    return parts;
}

namespace {

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
            cipher::wipe(slot.bytes.data(), slot.bytes.size());
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
        cipher::wipe(slot.bytes.data(), slot.bytes.size());
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

void packFolder(FileAccess& fs, const std::string& folder, cipher::ByteSink& out,
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

// ---- extraction ----------------------------------------------------------------

namespace {

std::uint64_t randomSeed() {
    std::random_device device;
    return std::uint64_t{device()} << 32 ^ device();
}

// ---- the run's journal ---------------------------------------------------------
//
// Files are written under temporary names and take their own names only once
// all of them are written (Extractor::finish). A journal in the destination
// folder records the run as it goes, so that one the process did not live to
// finish or undo is undone later (recoverInterrupted): temporary files go,
// files set aside come back under their own names, and folders the run made
// go when empty. Lines reach the system before the step they announce.

constexpr char kJournalPrefix[] = ".~twrun";
constexpr char kTempSuffix[] = ".tmp";
constexpr std::size_t kRunIdLength = 16;

// Random per run, so that no archive can foresee (and so take or delete) the
// temporary names.
std::string newRunId() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id;
    for (std::uint64_t r = randomSeed(), i = 0; i < kRunIdLength; ++i, r >>= 4)
        id += kHex[r & 15];
    return id;
}

std::string stagedMarker(const std::string& id) {
    return ".~twn" + id + "-";
}
std::string stagedName(const std::string& real, const std::string& id, std::size_t index) {
    return real + stagedMarker(id) + std::to_string(index) + kTempSuffix;
}
std::string asideName(const std::string& real, const std::string& id, std::size_t index) {
    return real + ".~two" + id + "-" + std::to_string(index) + kTempSuffix;
}

bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// One line: a tag, the length of the text, the text (names may hold any byte).
std::string journalLine(char tag, const std::string& text = {}) {
    return std::string(1, tag) + ' ' + std::to_string(text.size()) + ' ' + text + '\n';
}

struct Journal {
    std::vector<std::string> folders; // 'm': made by the run, in order
    std::vector<std::string> files;   // 'f': own names, in archive order
    bool placing = false;             // 'c': files began to take their names
    bool done = false;                // 'd': all took them
};

// A line the process did not finish writing ends the reading.
Journal parseJournal(const std::string& t) {
    Journal j;
    std::size_t pos = 0;
    while (pos + 2 < t.size() && t[pos + 1] == ' ') {
        std::size_t len = 0, i = pos + 2;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9' && len < kMaxMetaSize * 64; ++i)
            len = len * 10 + static_cast<std::size_t>(t[i] - '0');
        if (i >= t.size() || t[i] != ' ' || i + 1 + len >= t.size() || t[i + 1 + len] != '\n')
            break;
        std::string text = t.substr(i + 1, len);
        switch (t[pos]) {
        case 'm':
            j.folders.push_back(std::move(text));
            break;
        case 'f':
            j.files.push_back(std::move(text));
            break;
        case 'c':
            j.placing = true;
            break;
        case 'd':
            j.done = true;
            break;
        default:
            break;
        }
        pos = i + 2 + len;
    }
    return j;
}

// Puts the destination back as it was before run `id`, or, once all files
// took their names, removes what they replaced. `staged`: temporary files
// that may be left. The journal goes only when every step succeeded, so a
// later look tries again.
bool undoRun(FileAccess& fs, const std::string& id, const Journal& j,
             const std::vector<std::string>& staged, const std::string& journal) {
    bool ok = true;
    auto attempt = [&](auto&& f) {
        try {
            f();
        } catch (...) {
            ok = false;
        }
    };
    auto exists = [&](const std::string& p) { return fs.info(p).exists; };
    if (j.done) {
        for (std::size_t i = 0; i < j.files.size(); ++i) {
            if (j.files[i].empty())
                continue; // known to have replaced nothing
            const std::string aside = asideName(j.files[i], id, i);
            attempt([&] {
                if (exists(aside))
                    fs.remove(aside);
            });
        }
        if (ok)
            attempt([&] { fs.remove(journal); });
        return ok;
    }
    if (j.placing) {
        // In reverse: a name two entries took is given back in order.
        for (std::size_t i = j.files.size(); i-- > 0;) {
            const std::string& real = j.files[i];
            const std::string temp = stagedName(real, id, i), aside = asideName(real, id, i);
            attempt([&] {
                if (!exists(temp) && exists(real))
                    fs.rename(real, temp); // it took the name: ours
                if (exists(aside))
                    fs.rename(aside, real);
                if (exists(temp))
                    fs.remove(temp);
            });
        }
    }
    for (const std::string& temp : staged) {
        attempt([&] {
            if (exists(temp))
                fs.remove(temp);
        });
    }
    if (!ok)
        return false;
    attempt([&] { fs.remove(journal); });
    for (auto it = j.folders.rbegin(); it != j.folders.rend(); ++it) {
        attempt([&] {
            FileInfo f = fs.info(*it);
            if (f.exists && f.isFolder && !f.isLink && fs.list(*it).empty())
                fs.remove(*it);
        });
    }
    return ok;
}

void collectStaged(FileAccess& fs, const std::string& folder, const std::string& marker,
                   std::vector<std::string>& out) {
    for (const auto& e : fs.list(folder)) {
        if (e.info.isLink)
            continue;
        const std::string path = fs.join(folder, e.name);
        if (e.info.isFolder)
            collectStaged(fs, path, marker, out);
        else if (e.name.find(marker) != std::string::npos && endsWith(e.name, kTempSuffix))
            out.push_back(path);
    }
}

std::string readWhole(FileAccess& fs, const std::string& path) {
    std::string text;
    auto in = fs.openRead(path);
    std::uint8_t buffer[4096];
    while (std::size_t n = in->read(buffer, sizeof buffer))
        text.append(reinterpret_cast<const char*>(buffer), n);
    return text;
}

// One thread that writes extracted files, in the order given, each under a
// temporary name beside its own (see Extractor::finish for how they take
// their names).
class WriterLane {
public:
    WriterLane(FileAccess& fs, std::atomic<bool>& anyFailed)
        : fs_(fs), anyFailed_(anyFailed), thread_([this] { run(); }) {}
    ~WriterLane() { stop(); }
    WriterLane(const WriterLane&) = delete;
    WriterLane& operator=(const WriterLane&) = delete;

    void begin(std::string staged, std::string real, std::string name, std::int64_t mtime,
               bool readOnly, bool hidden) {
        Job& job = add(Job::Begin);
        job.path = std::move(staged);
        job.real = std::move(real);
        job.name = std::move(name);
        job.mtime = mtime;
        job.readOnly = readOnly;
        job.hidden = hidden;
    }
    void data(const std::uint8_t* p, std::size_t n) {
        // Small pieces join the last one: fewer, larger writes.
        if (pending_.empty() || pending_.back().kind != Job::Data ||
            pending_.back().bytes.size() + n > kJoinLimit) {
            Job& job = add(Job::Data);
            if (!spare_.empty()) {
                // Reused: fresh memory from the system costs a page fault
                // and a cleared page per 4 KiB, more than the copy itself.
                job.bytes = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        cipher::appendWiping(pending_.back().bytes, p, n);
        pendingBytes_ += n;
        if (pendingBytes_ >= kBatchBytes)
            handOver();
    }
    void end() {
        add(Job::End);
        if (pending_.size() >= kBatchJobs)
            handOver();
    }
    // Waits until every file is written.
    void drain() {
        handOver();
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
    }
    // Once drained or stopped.
    std::exception_ptr error() const { return error_; }
    // Stops at once; what was not written yet is dropped.
    void stop() noexcept {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
        wipeJobs(pending_);
        wipeJobs(queue_);
    }
    std::uint64_t written = 0; // valid once drained or stopped

private:
    // Jobs go over in batches: one hand-over (and at most one wake-up) per
    // batch instead of three per file.
    static constexpr std::size_t kBatchBytes = 1 << 20;
    static constexpr std::size_t kBatchJobs = 256;
    static constexpr std::size_t kQueueLimit = 8 << 20;
    static constexpr std::size_t kJoinLimit = 256 << 10;
    struct Job {
        enum Kind { Begin, Data, End } kind = Begin;
        std::string path, real, name;
        std::int64_t mtime = 0;
        bool readOnly = false, hidden = false;
        std::vector<std::uint8_t> bytes;
    };
    using Jobs = std::deque<Job>;

    Job& add(Job::Kind kind) {
        pending_.emplace_back();
        pending_.back().kind = kind;
        return pending_.back();
    }
    static void wipeJobs(Jobs& jobs) noexcept {
        for (Job& j : jobs)
            cipher::wipe(j.bytes.data(), j.bytes.size());
        jobs.clear();
    }
    void handOver() {
        if (pending_.empty())
            return;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || queued_ < kQueueLimit; });
        if (stopped_) {
            if (error_)
                std::rethrow_exception(error_);
            throw AppError(kArchiveErrorNumber, "The extraction was stopped.");
        }
        for (Job& j : pending_)
            queue_.push_back(std::move(j));
        pending_.clear();
        queued_ += pendingBytes_;
        pendingBytes_ = 0;
        for (auto& b : returned_)
            spare_.push_back(std::move(b));
        returned_.clear();
        changed_.notify_all();
    }
    void run() {
        Jobs batch;
        std::vector<std::vector<std::uint8_t>> used;
        for (;;) {
            std::size_t bytes = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || closing_ || !queue_.empty(); });
                if (stopped_ || queue_.empty())
                    break;
                batch.swap(queue_);
            }
            try {
                for (Job& job : batch) {
                    handle(job);
                    bytes += job.bytes.size();
                    cipher::wipe(job.bytes.data(), job.bytes.size());
                    if (job.bytes.capacity() != 0 && used.size() < kSpareLimit) {
                        job.bytes.clear();
                        used.push_back(std::move(job.bytes));
                    }
                }
                batch.clear();
            } catch (...) {
                wipeJobs(batch);
                std::lock_guard lock(mutex_);
                error_ = std::current_exception();
                stopped_ = true;
                anyFailed_ = true;
                changed_.notify_all();
                break;
            }
            std::lock_guard lock(mutex_);
            queued_ -= std::min(queued_, bytes);
            for (auto& b : used)
                returned_.push_back(std::move(b));
            used.clear();
            changed_.notify_all();
        }
        file_.reset(); // an unfinished file goes
    }
    static constexpr std::size_t kSpareLimit = 64;
    void handle(Job& job) {
        switch (job.kind) {
        case Job::Begin: {
            // What the file will replace is checked now, so that a run that
            // cannot finish stops before anything of the user's is touched.
            FileInfo existing = fs_.info(job.real);
            if (existing.isLink || existing.isFolder)
                refuse(job.name, "a folder or link of that name is in the way");
            if (existing.readOnly)
                refuse(job.name, "a read-only file of that name is in the way");
            file_ = fs_.createFresh(job.path);
            if (!file_)
                refuse(job.name, "its temporary name is taken");
            file_->stamp(job.mtime, job.readOnly, job.hidden);
            break;
        }
        case Job::Data:
            file_->write(job.bytes.data(), job.bytes.size());
            break;
        case Job::End:
            file_->commit();
            file_.reset();
            ++written;
            break;
        }
    }

    FileAccess& fs_;
    std::atomic<bool>& anyFailed_;
    // The extracting thread's side, no lock needed.
    Jobs pending_;
    std::size_t pendingBytes_ = 0;
    std::vector<std::vector<std::uint8_t>> spare_;
    // Shared with the writing thread.
    Mutex mutex_;
    CondVar changed_;
    Jobs queue_;
    std::size_t queued_ = 0;                          // bytes handed over, not yet written
    std::vector<std::vector<std::uint8_t>> returned_; // emptied buffers, for reuse
    bool closing_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
    std::unique_ptr<filesecurity::OutputFile> file_; // the writing thread's
    std::thread thread_;                             // last: starts once the rest is ready
};

// Creates the extracted files on several threads at once, so that making
// thousands of files overlaps decryption and reading the archive, and the
// latency of each creation (high under Wine, and on Windows too) overlaps
// that of the others. All of one path goes to one lane, in order.
class FileWriter {
public:
    FileWriter(FileAccess& fs, std::string runId) : fs_(fs), runId_(std::move(runId)) {
        for (std::size_t i = 0; i < kLanes; ++i)
            lanes_.push_back(std::make_unique<WriterLane>(fs, anyFailed_));
    }
    void begin(std::string path, std::string name, std::int64_t mtime, bool readOnly, bool hidden) {
        if (anyFailed_)
            throwFirstError();
        // Names the file system takes for one file go to one lane.
        std::string key = fs_.nameKey(path);
        current_ = lanes_[std::hash<std::string>{}(key) % kLanes].get();
        std::string staged = stagedName(path, runId_, files.size());
        files.push_back({path, staged, key});
        current_->begin(std::move(staged), std::move(path), std::move(name), mtime, readOnly,
                        hidden);
    }
    // Every file entry in archive order: its own name, the temporary name
    // it is written under, and the key of names that may be one file.
    struct Entry {
        std::string real, staged, key;
    };
    std::vector<Entry> files;
    void data(const std::uint8_t* p, std::size_t n) { current_->data(p, n); }
    void end() { current_->end(); }
    // Waits until every file is written; throws the first error.
    void drain() {
        for (auto& lane : lanes_)
            lane->drain();
        if (anyFailed_)
            throwFirstError();
    }
    void stop() noexcept {
        for (auto& lane : lanes_)
            lane->stop();
    }
    std::uint64_t written() const {
        std::uint64_t n = 0;
        for (auto& lane : lanes_)
            n += lane->written;
        return n;
    }

private:
    static constexpr std::size_t kLanes = 4;
    [[noreturn]] void throwFirstError() {
        stop();
        for (auto& lane : lanes_) {
            if (auto e = lane->error())
                std::rethrow_exception(e);
        }
        throw AppError(kArchiveErrorNumber, "The extraction was stopped.");
    }
    FileAccess& fs_;
    std::string runId_;
    std::atomic<bool> anyFailed_{false};
    std::vector<std::unique_ptr<WriterLane>> lanes_;
    WriterLane* current_ = nullptr;
};

} // namespace

struct Extractor::State {
    FileAccess* fs = nullptr;
    std::string destination;
    z_stream z{};
    bool zOpen = false;
    bool zEnded = false;
    std::vector<std::uint8_t> out = std::vector<std::uint8_t>(kIoSize);

    enum class Mode { Header, Meta, FileData, Skip, End } mode = Mode::Header;
    std::array<char, kBlock> header{};
    std::size_t headerFilled = 0;
    char metaType = 0;
    std::string meta;
    std::uint64_t left = 0;    // data bytes left in the current entry
    std::uint64_t padding = 0; // bytes after it up to the block boundary
    int zeroBlocks = 0;

    // From pax or long-name records, for the next entry.
    std::optional<std::string> nextPath;
    std::optional<std::uint64_t> nextSize;
    std::optional<std::int64_t> nextMtime;
    bool nextHidden = false;

    std::unique_ptr<FileWriter> writer;
    struct FolderTimes {
        std::string path;
        std::int64_t mtime;
        bool readOnly;
        bool hidden;
    };
    std::vector<FolderTimes> folders;
    std::vector<std::string> created;   // folders, in creation order
    std::set<std::string> knownFolders; // checked or made: no need to look again

    std::string runId = newRunId();
    std::string journal;
    std::unique_ptr<filesecurity::LogFile> log;
    bool placing = false; // files began to take their own names
    bool done = false;    // all took them
};

using State = Extractor::State;

namespace {

std::uint64_t parseNumber(const char* field, std::size_t width) {
    if (static_cast<unsigned char>(field[0]) == 0x80) {
        // base-256, as GNU tar writes sizes over 8 GiB
        std::uint64_t v = 0;
        for (std::size_t i = 1; i < width; ++i) {
            if (v >> 56)
                damaged("a number is too large");
            v = v << 8 | static_cast<unsigned char>(field[i]);
        }
        return v;
    }
    std::uint64_t v = 0;
    std::size_t i = 0;
    while (i < width && field[i] == ' ')
        ++i;
    for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (v >> 60)
            damaged("a number is too large");
        v = v * 8 + static_cast<std::uint64_t>(field[i] - '0');
    }
    return v;
}

bool checksumOk(const std::array<char, kBlock>& h) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(h[i]);
    }
    return parseNumber(h.data() + 148, 8) == sum;
}

std::string fieldText(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

} // namespace

Extractor::Extractor(FileAccess& fs, std::string destination) : s_(std::make_unique<State>()) {
    s_->fs = &fs;
    s_->destination = std::move(destination);
    useWipingAlloc(s_->z);
    if (inflateInit2(&s_->z, 15 + 16) != Z_OK)
        throw AppError(errors::OutOfMemory, "Out of memory");
    s_->zOpen = true;
    // An earlier run here that never finished is undone first.
    recoverInterrupted(fs, s_->destination);
    s_->writer = std::make_unique<FileWriter>(fs, s_->runId);
    bool existed = fs.info(s_->destination).exists;
    fs.createFolder(s_->destination);
    try {
        s_->journal = fs.join(s_->destination, kJournalPrefix + s_->runId + kTempSuffix);
        s_->log = fs.createLog(s_->journal);
    } catch (...) {
        if (!existed)
            fs.remove(s_->destination);
        throw;
    }
    if (!existed) {
        s_->created.push_back(s_->destination);
        s_->log->append(journalLine('m', s_->destination));
    }
}

Extractor::~Extractor() {
    if (s_->zOpen)
        inflateEnd(&s_->z);
    cipher::wipe(s_->out.data(), s_->out.size());
    cipher::wipe(s_->meta.data(), s_->meta.size());
}

std::uint64_t Extractor::entriesWritten() const noexcept {
    return s_->writer->written();
}

namespace {

void parsePax(Extractor::State& s) {
    std::size_t pos = 0;
    const std::string& m = s.meta;
    while (pos < m.size()) {
        std::size_t space = m.find(' ', pos);
        if (space == std::string::npos)
            damaged("a pax record is malformed");
        std::size_t len = 0;
        for (std::size_t i = pos; i < space; ++i) {
            if (m[i] < '0' || m[i] > '9' || len > kMaxMetaSize)
                damaged("a pax record is malformed");
            len = len * 10 + static_cast<std::size_t>(m[i] - '0');
        }
        if (len <= space - pos || pos + len > m.size() || m[pos + len - 1] != '\n') {
            damaged("a pax record is malformed");
        }
        std::string record = m.substr(space + 1, pos + len - 1 - space - 1);
        std::size_t eq = record.find('=');
        if (eq == std::string::npos)
            damaged("a pax record is malformed");
        std::string key = record.substr(0, eq), value = record.substr(eq + 1);
        if (s.metaType == 'x') {
            if (key == "path") {
                s.nextPath = value;
            } else if (key == "size") {
                std::uint64_t v = 0;
                for (char c : value) {
                    if (c < '0' || c > '9' || v > (UINT64_MAX - 9) / 10)
                        damaged("a size is malformed");
                    v = v * 10 + static_cast<std::uint64_t>(c - '0');
                }
                s.nextSize = v;
            } else if (key == "mtime") {
                s.nextMtime = std::strtoll(value.c_str(), nullptr, 10);
            } else if (key == "SCHILY.fflags") {
                s.nextHidden = value.find("hidden") != std::string::npos;
            } else if (key == "linkpath") {
                // only meaningful with a link entry, which is refused anyway
            }
        }
        pos += len;
    }
}

std::string createParents(Extractor::State& s, const std::vector<std::string>& parts,
                          bool lastIsFolder) {
    std::string path = s.destination;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        path = s.fs->join(path, parts[i]);
        if ((i + 1 < parts.size() || lastIsFolder) && s.knownFolders.count(path) == 0) {
            FileInfo info = s.fs->info(path);
            if (info.exists && (info.isLink || !info.isFolder)) {
                refuse(parts[i], "a file or link of that name is in the way");
            }
            if (!info.exists) {
                s.fs->createFolder(path);
                s.created.push_back(path);
                s.log->append(journalLine('m', path));
            }
            s.knownFolders.insert(path);
        }
    }
    return path;
}

void startEntry(Extractor::State& s) {
    const auto& h = s.header;
    if (!checksumOk(h))
        damaged("a header checksum is wrong");
    char type = h[156];
    std::uint64_t size = parseNumber(h.data() + 124, 12);
    std::string name = fieldText(h.data(), 100);
    std::string prefix = fieldText(h.data() + 345, 155);
    if (std::memcmp(h.data() + 257, "ustar", 5) == 0 && !prefix.empty())
        name = prefix + "/" + name;

    if (type == 'x' || type == 'g' || type == 'L') {
        if (size > kMaxMetaSize)
            damaged("an extended header is too large");
        s.metaType = type;
        s.meta.clear();
        s.left = size;
        s.padding = (kBlock - size % kBlock) % kBlock;
        s.mode = State::Mode::Meta;
        if (size == 0)
            s.mode = State::Mode::Header;
        return;
    }
    if (s.nextPath)
        name = *s.nextPath;
    if (s.nextSize)
        size = *s.nextSize;
    std::int64_t mtime =
        s.nextMtime ? *s.nextMtime : static_cast<std::int64_t>(parseNumber(h.data() + 136, 12));
    bool hidden = s.nextHidden;
    s.nextPath.reset();
    s.nextSize.reset();
    s.nextMtime.reset();
    s.nextHidden = false;
    unsigned mode = static_cast<unsigned>(parseNumber(h.data() + 100, 8));
    bool readOnly = (mode & 0200) == 0;

    if (type == '1' || type == '2')
        refuse(name, "it is a link");
    if (type != '0' && type != '\0' && type != '7' && type != '5')
        refuse(name, "it is a device or special file");
    auto parts = safeEntryPath(name);
    bool folder = type == '5' || (name.back() == '/' && size == 0);
    std::string path = createParents(s, parts, folder);
    s.left = folder ? 0 : size;
    s.padding = (kBlock - s.left % kBlock) % kBlock;
    if (folder) {
        s.folders.push_back({path, mtime, readOnly, hidden});
        s.mode = s.padding + s.left == 0 ? State::Mode::Header : State::Mode::Skip;
        return;
    }
    s.writer->begin(path, name, mtime, readOnly, hidden);
    if (s.left == 0) {
        s.writer->end();
        s.mode = State::Mode::Header;
    } else {
        s.mode = State::Mode::FileData;
    }
}

// Consumes decompressed tar bytes.
void consume(Extractor::State& s, const std::uint8_t* p, std::size_t n) {
    while (n != 0) {
        switch (s.mode) {
        case State::Mode::Header: {
            std::size_t k = std::min(n, kBlock - s.headerFilled);
            std::memcpy(s.header.data() + s.headerFilled, p, k);
            s.headerFilled += k;
            p += k;
            n -= k;
            if (s.headerFilled < kBlock)
                break;
            s.headerFilled = 0;
            if (std::all_of(s.header.begin(), s.header.end(), [](char c) { return c == 0; })) {
                if (++s.zeroBlocks == 2)
                    s.mode = State::Mode::End;
                break;
            }
            if (s.zeroBlocks != 0)
                damaged("a lone end block");
            startEntry(s);
            break;
        }
        case State::Mode::Meta: {
            if (s.left != 0) {
                std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, s.left));
                s.meta.append(reinterpret_cast<const char*>(p), k);
                s.left -= k;
                p += k;
                n -= k;
            }
            if (s.left == 0) {
                if (s.metaType == 'L') {
                    s.nextPath = std::string(s.meta.c_str());
                } else {
                    parsePax(s);
                }
                s.mode = s.padding ? State::Mode::Skip : State::Mode::Header;
            }
            break;
        }
        case State::Mode::FileData: {
            std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, s.left));
            s.writer->data(p, k);
            s.left -= k;
            p += k;
            n -= k;
            if (s.left == 0) {
                s.writer->end();
                s.mode = s.padding ? State::Mode::Skip : State::Mode::Header;
            }
            break;
        }
        case State::Mode::Skip: {
            std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, s.padding));
            s.padding -= k;
            p += k;
            n -= k;
            if (s.padding == 0)
                s.mode = State::Mode::Header;
            break;
        }
        case State::Mode::End:
            // Tools pad the end with zero blocks; anything else is damage.
            for (std::size_t i = 0; i < n; ++i) {
                if (p[i] != 0)
                    damaged("data after the end");
            }
            return;
        }
    }
}

} // namespace

void Extractor::write(const std::uint8_t* data, std::size_t size) {
    State& s = *s_;
    if (size == 0)
        return;
    if (s.zEnded)
        damaged("data after the end");
    s.z.next_in = const_cast<Bytef*>(data);
    s.z.avail_in = static_cast<uInt>(size);
    while (s.z.avail_in != 0 && !s.zEnded) {
        s.z.next_out = s.out.data();
        s.z.avail_out = static_cast<uInt>(s.out.size());
        int rc = inflate(&s.z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && s.z.avail_in == 0)) {
            damaged("the compressed data is corrupt");
        }
        consume(s, s.out.data(), s.out.size() - s.z.avail_out);
        if (rc == Z_STREAM_END)
            s.zEnded = true;
    }
    if (s.zEnded && s.z.avail_in != 0)
        damaged("data after the end");
}

void Extractor::rollback() noexcept {
    State& s = *s_;
    s.writer->stop();
    if (s.done || !s.log)
        return;
    Journal j;
    j.folders = s.created;
    j.placing = s.placing;
    std::vector<std::string> staged;
    for (const auto& f : s.writer->files) {
        j.files.push_back(f.real);
        staged.push_back(f.staged);
    }
    s.log.reset();
    // Best effort: the error that brought us here is the one to report; what
    // could not be undone is left to the next look at this folder.
    try {
        undoRun(*s.fs, s.runId, j, staged, s.journal);
    } catch (...) {
    }
    s.created.clear();
}

void Extractor::finish() {
    State& s = *s_;
    if (!s.zEnded) {
        // Flush what inflate still holds.
        s.z.next_in = nullptr;
        s.z.avail_in = 0;
        for (;;) {
            s.z.next_out = s.out.data();
            s.z.avail_out = static_cast<uInt>(s.out.size());
            int rc = inflate(&s.z, Z_FINISH);
            consume(s, s.out.data(), s.out.size() - s.z.avail_out);
            if (rc == Z_STREAM_END) {
                s.zEnded = true;
                break;
            }
            if (s.z.avail_out != 0)
                break;
        }
    }
    if (!s.zEnded || s.mode != State::Mode::End)
        damaged("it ends too early");
    s.writer->drain();

    // Every file is written: now they take their own names, the user's
    // files in the way going aside. Until the journal says all took them, an
    // interruption puts everything back.
    FileAccess& fs = *s.fs;
    const auto& files = s.writer->files;
    std::string names;
    for (const auto& f : files)
        names += journalLine('f', f.real);
    s.log->append(names);
    s.log->append(journalLine('c'));
    s.placing = true;
    std::map<std::string, std::string> placed; // by key: names that may be one file
    std::vector<bool> setAside(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& f = files[i];
        if (fs.info(f.real).exists) {
            auto earlier = placed.find(f.key);
            if (earlier != placed.end() && fs.sameFile(f.real, earlier->second)) {
                // An earlier entry of this archive: the later one wins, as with tar.
                fs.remove(f.real);
            } else {
                fs.rename(f.real, asideName(f.real, s.runId, i));
                setAside[i] = true;
            }
        }
        fs.rename(f.staged, f.real);
        placed[f.key] = f.real;
    }
    s.log->append(journalLine('d'));
    s.done = true;
    s.log.reset();
    Journal j;
    j.done = true;
    for (std::size_t i = 0; i < files.size(); ++i)
        j.files.push_back(setAside[i] ? files[i].real : std::string());
    // What could not be removed stays, the user's old data, and the journal
    // with it for another try.
    undoRun(fs, s.runId, j, {}, s.journal);
    // Folders last, deepest first, so that writing into them did not change
    // their times afterwards.
    for (auto it = s.folders.rbegin(); it != s.folders.rend(); ++it) {
        fs.setTimeAndAttributes(it->path, it->mtime, it->readOnly, it->hidden);
    }
}

void recoverInterrupted(FileAccess& fs, const std::string& destination) {
    FileInfo d = fs.info(destination);
    if (!d.exists || !d.isFolder || d.isLink)
        return;
    const std::string prefix = kJournalPrefix;
    for (const auto& e : fs.list(destination)) {
        if (e.info.isFolder || e.info.isLink || e.name.rfind(prefix, 0) != 0 ||
            e.name.size() != prefix.size() + kRunIdLength + std::strlen(kTempSuffix) ||
            !endsWith(e.name, kTempSuffix))
            continue;
        const std::string id = e.name.substr(prefix.size(), kRunIdLength);
        const std::string journal = fs.join(destination, e.name);
        Journal j = parseJournal(readWhole(fs, journal));
        std::vector<std::string> staged;
        if (!j.done)
            collectStaged(fs, destination, stagedMarker(id), staged);
        undoRun(fs, id, j, staged, journal);
    }
}

} // namespace tidewell::archive
