#pragma once
// In-memory doubles of the cleaning subsystem's ports (the settings store is
// memory_store.h's).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cleaning/erase_targets.h"
#include "cleaning/file_system.h"
#include "kernel/app_error.h"
#include "kernel/registry.h"
#include "kernel/report_error.h"
#include "kernel/status_pane.h"

namespace tidewell::testing {

// A tree of files keyed by full path. A directory link lists (and deletes
// through to) its target, as a naive wipe would see it.
class FakeFileSystem : public FileSystem {
public:
    // The listing's attributes; `reparsePoint` marks a directory link.
    struct Node : DirEntry {
        bool locked = false;
        bool undeletable = false; // denied, but open to writing
        bool fileLink = false;
        unsigned hardLinks = 1;
        std::string linkTarget; // of a directory link
        std::string contents;
    };
    std::map<std::string, Node> nodes;
    std::vector<std::string> log; // "del <path>", "rmdir <path>"
    // Spellings the platform resolves to another path (short names, links
    // above a folder): prefix -> final form.
    std::map<std::string, std::string> finalForms;
    std::vector<std::string> overwritten;
    bool linkRemovalFails = false;

    void dir(const std::string& p) { nodes[p].directory = true; }
    Node& file(const std::string& p, std::string contents = "x") {
        nodes[p].contents = std::move(contents);
        return nodes[p];
    }
    void link(const std::string& p, const std::string& target) {
        nodes[p].directory = nodes[p].reparsePoint = true;
        nodes[p].linkTarget = target;
    }
    bool exists(const std::string& p) const { return nodes.count(p) != 0; }

    // The path with every link on the way replaced by its target.
    std::string resolve(const std::string& p) const {
        for (size_t i = p.size(); i > 0; --i) {
            if (i == p.size() || p[i] == '\\') {
                auto it = nodes.find(p.substr(0, i));
                if (it != nodes.end() && it->second.reparsePoint && i < p.size()) {
                    return resolve(it->second.linkTarget + p.substr(i));
                }
            }
        }
        return p;
    }
    static std::string parentOf(const std::string& p) {
        const size_t s = p.find_last_of('\\');
        if (s == std::string::npos || s + 1 == p.size()) {
            return "";
        }
        return s == 2 && p[1] == ':' ? p.substr(0, 3) : p.substr(0, s); // "C:\x" lies in "C:\"
    }
    static DirEntry entryOf(const std::string& path, const Node& n) {
        DirEntry e = n;
        e.name = path.substr(path.find_last_of('\\') + 1);
        e.size = n.contents.size();
        return e;
    }

    std::optional<DirEntry> stat(const std::string& path) override {
        auto it = nodes.find(resolve(path));
        if (it == nodes.end()) {
            return std::nullopt;
        }
        return entryOf(it->first, it->second);
    }
    std::optional<NameInfo> inspect(const std::string& path) override {
        auto it = nodes.find(path);
        if (it == nodes.end()) {
            return std::nullopt;
        }
        return NameInfo{it->second.fileLink || it->second.reparsePoint, it->second.hardLinks};
    }
    std::string finalPath(const std::string& path) override {
        for (const auto& [from, to] : finalForms) {
            if (path.rfind(from, 0) == 0) {
                return to + path.substr(from.size());
            }
        }
        return resolve(path);
    }
    std::vector<DirEntry> list(const std::string& folder) override {
        std::string real = resolve(folder);
        auto it = nodes.find(real);
        if (it != nodes.end() && it->second.reparsePoint) {
            real = it->second.linkTarget;
            it = nodes.find(real);
        }
        if (it == nodes.end() || !it->second.directory) {
            throw AppError(3, "The system cannot find the path specified.");
        }
        std::vector<DirEntry> out;
        for (const auto& [p, n] : nodes) {
            if (parentOf(p) == real && p != real) {
                out.push_back(entryOf(p, n));
            }
        }
        return out;
    }
    bool deleteFile(const std::string& path) override {
        log.push_back("del " + path);
        auto it = nodes.find(resolve(path));
        if (it == nodes.end() || it->second.directory || it->second.locked ||
            it->second.undeletable) {
            return false;
        }
        nodes.erase(it);
        return true;
    }
    bool removeFolder(const std::string& path) override {
        log.push_back("rmdir " + path);
        auto it = nodes.find(path);
        if (it != nodes.end() && it->second.reparsePoint) {
            if (linkRemovalFails) {
                return false;
            }
            nodes.erase(it); // the link itself
            return true;
        }
        it = nodes.find(resolve(path));
        if (it == nodes.end() || !it->second.directory) {
            return false;
        }
        for (const auto& [p, n] : nodes) {
            if (parentOf(p) == it->first && p != it->first) {
                return false;
            }
        }
        nodes.erase(it);
        return true;
    }
    void overwriteInPlace(const std::string& path, const std::string& pattern) override {
        auto it = nodes.find(path);
        if (it == nodes.end() || it->second.locked) {
            throw AppError(
                32,
                "The process cannot access the file because it is being used by another process.");
        }
        std::string& c = it->second.contents;
        for (size_t i = 0; i < c.size(); ++i) {
            c[i] = pattern[i % pattern.size()];
        }
        overwritten.push_back(c);
    }
    void writeFile(const std::string& path, const std::string& contents) override {
        nodes[path].contents = contents;
    }
    void deleteFileOrThrow(const std::string& path) override {
        if (!deleteFile(path)) {
            throw AppError(5, "Access is denied.");
        }
    }
};

// The pane's text, and the same with each change of colour marked: [B]lue
// progress, [G]reen finished, [R]ed error, blac[K] done.
class FakePane : public StatusPane {
public:
    Colour colour, last;
    void Clear() override { text_ = tagged_ = ""; }
    void SetColour(Colour c) override { colour = c; }
    void Append(const std::string& t) override {
        if (tagged_.empty() || colour != last) {
            tagged_ += colour == kProgressBlue    ? "[B]"
                       : colour == kFinishedGreen ? "[G]"
                       : colour == kErrorRed      ? "[R]"
                       : colour == kDoneBlack     ? "[K]"
                                                  : "[?]";
        }
        last = colour;
        text_ += t;
        tagged_ += t;
    }
    void Repaint() override {}
    std::string text() const { return text_; }
    std::string tagged() const { return tagged_; }

private:
    std::string text_, tagged_;
};

struct FakeLabel : StatusLabel {
    std::string text;
    void SetText(const std::string& t) override { text = t; }
    std::string Text() const override { return text; }
};

struct FakeReporter : ErrorReporter {
    std::vector<std::string> messages;
    void ReportError(long number, const std::string& description) override {
        messages.push_back(errorMessageText(number, description));
    }
};

struct FakeRegistry : Registry {
    std::map<std::string, std::string> values; // "key|name"
    void SetRegistryValue(RegistryRoot, const std::string& key, const std::string& name,
                          const std::string& value, RegistryType) override {
        values[key + "|" + name] = value;
    }
    std::string GetMachineValue(const std::string&, const std::string&) override { return ""; }
    std::string GetUserValue(const std::string&, const std::string&) override { return ""; }
};

struct FakePlatform : CleaningPlatform {
    std::map<int, std::string> folders;
    std::string temp = "C:\\Temp\\";
    std::uint64_t binBytes = 0;
    int binEmptied = 0;
    bool clipboardFails = false;
    int clipboardEmptied = 0;
    std::vector<std::string> deletedKeys;
    KnownFolders known;
    KnownFolders knownFolders() override { return known; }
    std::string GetSpecialFolder(int id) override {
        auto it = folders.find(id);
        return it == folders.end() ? "" : it->second;
    }
    std::string TempPath() override { return temp; }
    std::uint64_t RecycleBinBytes() override { return binBytes; }
    std::uint64_t RecycleBinItems() override { return binItems; }
    void EmptyRecycleBin() override { ++binEmptied; }
    void DeleteUserKeyTree(const std::string& k) override { deletedKeys.push_back(k); }
    std::vector<std::string> UserKeyValues(const std::string& k) override {
        auto it = keyValues.find(k);
        return it == keyValues.end() ? std::vector<std::string>{} : it->second;
    }
    std::uint64_t binItems = 0;
    std::map<std::string, std::vector<std::string>> keyValues; // key -> its values' paths
    void EmptyClipboard() override {
        if (clipboardFails) {
            throw AppError(1418, "Thread does not have a clipboard open.");
        }
        ++clipboardEmptied;
    }
};

} // namespace tidewell::testing
