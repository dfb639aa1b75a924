// Extraction: the gzip stream inflated, its tar records read, the entries
// created through the writer lanes and given their names under the journal.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "filesecurity/archive/archive.h"
#include "filesecurity/archive/gzip_stream.h"
#include "filesecurity/archive/journal.h"
#include "filesecurity/archive/tar_format.h"
#include "filesecurity/archive/writer_lanes.h"
#include "kernel/app_error.h"

namespace tidewell::archive {

using filesecurity::FileAccess;
using filesecurity::FileInfo;
using namespace detail;

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
    filesecurity::wipe(s_->out.data(), s_->out.size());
    filesecurity::wipe(s_->meta.data(), s_->meta.size());
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

} // namespace tidewell::archive
