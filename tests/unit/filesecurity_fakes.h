#pragma once
// An in-memory file system for the file-security tests: it runs the same
// natively and under Wine, and can show every file it holds.
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "filesecurity/cipher/cipher.h"
#include "filesecurity/file_access.h"
#include "kernel/app_error.h"

namespace tidewell::testing_fs {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes patterned(std::size_t size, std::uint32_t seed = 1) {
    Bytes b(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = static_cast<std::uint8_t>(x);
    }
    return b;
}

class VectorSink : public cipher::ByteSink {
public:
    void write(const std::uint8_t* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
    }
    Bytes bytes;
};

class MemoryFs : public filesecurity::FileAccess {
public:
    struct Node {
        bool folder = false, link = false;
        std::shared_ptr<Bytes> data = std::make_shared<Bytes>(); // shared: hard links
        std::int64_t mtime = 0;
        bool readOnly = false, hidden = false;
    };
    std::map<std::string, Node> nodes;
    // The extraction writes files on a thread of its own.
    std::shared_ptr<std::recursive_mutex> mutex = std::make_shared<std::recursive_mutex>();
    int tempCounter = 0;
    // Paths whose writes fail (a full disk, a locked file).
    std::string failWritesTo;
    // What a file holds once opened, when it changed after being listed.
    std::map<std::string, Bytes> changedOnOpen;
    // Files another program holds open without sharing.
    std::set<std::string> locked;

    MemoryFs() { addFolder("/"); }
    void addFolder(const std::string& p) { nodes[p] = Node{.folder = true}; }
    Node& addFile(const std::string& p, const Bytes& b, std::int64_t mtime = 1600000000) {
        return nodes[p] = Node{.data = std::make_shared<Bytes>(b), .mtime = mtime};
    }
    void addLink(const std::string& p) { nodes[p] = Node{.link = true}; }
    static std::string parentOf(const std::string& path) {
        const std::string parent = path.substr(0, path.find_last_of('/'));
        return parent.empty() ? "/" : parent;
    }
    const Bytes& file(const std::string& p) const { return *nodes.at(p).data; }
    bool has(const std::string& p) const { return nodes.count(p) != 0; }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (auto& [k, v] : nodes)
            out.push_back(k);
        return out;
    }

    filesecurity::FileInfo info(const std::string& path) override {
        std::lock_guard guard(*mutex);
        auto it = nodes.find(path);
        if (it == nodes.end())
            return {};
        const Node& n = it->second;
        return {true, n.folder, n.link, n.data->size(), n.mtime, n.readOnly, n.hidden};
    }
    std::vector<filesecurity::FolderEntry> list(const std::string& folder) override {
        std::lock_guard guard(*mutex);
        std::vector<filesecurity::FolderEntry> out;
        std::string prefix = folder == "/" ? "/" : folder + "/";
        for (auto& [k, v] : nodes) {
            if (k.size() > prefix.size() && k.compare(0, prefix.size(), prefix) == 0 &&
                k.find('/', prefix.size()) == std::string::npos) {
                out.push_back({k.substr(prefix.size()), info(k)});
            }
        }
        return out;
    }
    struct In : filesecurity::InputFile {
        explicit In(std::shared_ptr<Bytes> d) : d_(std::move(d)) {}
        std::size_t read(std::uint8_t* data, std::size_t size) override {
            std::size_t n = std::min(size, d_->size() - pos_);
            std::memcpy(data, d_->data() + pos_, n);
            pos_ += n;
            return n;
        }
        std::shared_ptr<Bytes> d_;
        std::size_t pos_ = 0;
    };
    std::unique_ptr<filesecurity::InputFile> openRead(const std::string& path) override {
        std::lock_guard guard(*mutex);
        auto it = nodes.find(path);
        if (it == nodes.end() || it->second.folder || it->second.link) {
            throw AppError(53, "File not found: " + path);
        }
        if (locked.count(path) != 0) {
            throw AppError(32, "The process cannot access the file because it is being used by "
                               "another process.");
        }
        auto changed = changedOnOpen.find(path);
        if (changed != changedOnOpen.end())
            return std::make_unique<In>(std::make_shared<Bytes>(changed->second));
        return std::make_unique<In>(it->second.data);
    }
    struct Out : filesecurity::OutputFile {
        Out(MemoryFs& fs, std::string path, std::string temp)
            : fs_(fs), path_(std::move(path)), temp_(std::move(temp)) {}
        ~Out() override {
            std::lock_guard guard(*fs_.mutex);
            if (!committed_)
                fs_.nodes.erase(temp_);
        }
        void write(const std::uint8_t* data, std::size_t size) override {
            std::lock_guard guard(*fs_.mutex);
            if (!fs_.failWritesTo.empty() && path_ == fs_.failWritesTo)
                throw AppError(112, "There is not enough space on the disk.");
            auto& b = *fs_.nodes.at(temp_).data;
            b.insert(b.end(), data, data + size);
        }
        void stamp(std::int64_t modified, bool readOnly, bool hidden) override {
            stamp_ = [=](Node& t) { t.mtime = modified, t.readOnly = readOnly, t.hidden = hidden; };
        }
        void commit() override {
            std::lock_guard guard(*fs_.mutex);
            if (stamp_)
                stamp_(fs_.nodes.at(temp_));
            if (temp_ != path_) {
                auto it = fs_.nodes.find(path_);
                if (it != fs_.nodes.end() && (it->second.folder || it->second.readOnly))
                    throw AppError(5, "Access is denied.");
                fs_.nodes[path_] = fs_.nodes.at(temp_);
                fs_.nodes.erase(temp_);
            }
            committed_ = true;
        }
        MemoryFs& fs_;
        std::string path_, temp_;
        bool committed_ = false;
        std::function<void(Node&)> stamp_; // applied at commit
    };
    std::unique_ptr<filesecurity::OutputFile> createFresh(const std::string& path) override {
        std::lock_guard guard(*mutex);
        if (nodes.count(path))
            return nullptr;
        if (!nodes.count(parentOf(path)))
            throw AppError(3, "The system cannot find the path specified.");
        nodes[path] = Node{};
        return std::make_unique<Out>(*this, path, path);
    }
    std::unique_ptr<filesecurity::OutputFile> createReplacing(const std::string& path) override {
        std::lock_guard guard(*mutex);
        if (!nodes.count(parentOf(path)) || !nodes[parentOf(path)].folder)
            throw AppError(3, "The system cannot find the path specified.");
        std::string temp = path + ".~tw" + std::to_string(++tempCounter) + ".tmp";
        nodes[temp] = Node{};
        return std::make_unique<Out>(*this, path, temp);
    }
    struct Log : filesecurity::LogFile {
        Log(MemoryFs& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
        void append(const std::string& text) override {
            std::lock_guard guard(*fs_.mutex);
            auto& b = *fs_.nodes.at(path_).data;
            b.insert(b.end(), text.begin(), text.end());
        }
        MemoryFs& fs_;
        std::string path_;
    };
    std::unique_ptr<filesecurity::LogFile> createLog(const std::string& path) override {
        std::lock_guard guard(*mutex);
        if (nodes.count(path))
            throw AppError(80, "The file exists.");
        nodes[path] = Node{.hidden = true};
        return std::make_unique<Log>(*this, path);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        std::lock_guard guard(*mutex);
        auto ia = nodes.find(a), ib = nodes.find(b);
        return ia != nodes.end() && ib != nodes.end() && ia->second.data == ib->second.data;
    }
    void createFolder(const std::string& path) override {
        std::lock_guard guard(*mutex);
        auto it = nodes.find(path);
        if (it != nodes.end()) {
            if (!it->second.folder)
                throw AppError(183, "Cannot create a file when that file already exists.");
            return;
        }
        if (!nodes.count(parentOf(path)))
            throw AppError(3, "The system cannot find the path specified.");
        nodes[path] = Node{.folder = true};
    }
    void setTimeAndAttributes(const std::string& path, std::int64_t mtime, bool readOnly,
                              bool hidden) override {
        std::lock_guard guard(*mutex);
        Node& n = nodes.at(path);
        n.mtime = mtime, n.readOnly = readOnly, n.hidden = hidden;
    }
    void remove(const std::string& path) override {
        std::lock_guard guard(*mutex);
        nodes.erase(path);
    }
    void rename(const std::string& from, const std::string& to) override {
        std::lock_guard guard(*mutex);
        if (!nodes.count(from) || nodes.count(to))
            throw AppError(183, "Cannot create a file when that file already exists.");
        nodes[to] = nodes.at(from);
        nodes.erase(from);
    }
    std::string join(const std::string& folder, const std::string& name) override {
        return folder == "/" ? "/" + name : folder + "/" + name;
    }
};

} // namespace tidewell::testing_fs
