#include "filesecurity/archive/journal.h"

#include <cstdint>
#include <cstring>
#include <random>

#include "filesecurity/archive/archive.h"
#include "filesecurity/archive/archive_format.h"

namespace tidewell::archive {

using filesecurity::FileAccess;
using filesecurity::FileInfo;

namespace detail {

namespace {

std::uint64_t randomSeed() {
    std::random_device device;
    return std::uint64_t{device()} << 32 ^ device();
}

std::string stagedMarker(const std::string& id) {
    return ".~twn" + id + "-";
}

bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

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

} // namespace

std::string newRunId() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id;
    for (std::uint64_t r = randomSeed(), i = 0; i < kRunIdLength; ++i, r >>= 4)
        id += kHex[r & 15];
    return id;
}

std::string stagedName(const std::string& real, const std::string& id, std::size_t index) {
    return real + stagedMarker(id) + std::to_string(index) + kTempSuffix;
}
std::string asideName(const std::string& real, const std::string& id, std::size_t index) {
    return real + ".~two" + id + "-" + std::to_string(index) + kTempSuffix;
}

std::string journalLine(char tag, const std::string& text) {
    return std::string(1, tag) + ' ' + std::to_string(text.size()) + ' ' + text + '\n';
}

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

} // namespace detail

using namespace detail;

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
