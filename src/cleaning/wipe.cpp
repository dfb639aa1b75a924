#include "cleaning/wipe.h"

#include <cctype>
#include <vector>

#include "kernel/app_error.h"

namespace tidewell {

namespace {
bool isLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool isSeparator(char c) {
    return c == '\\' || c == '/';
}
} // namespace

std::optional<std::string> wipeablePath(const std::string& path) {
    std::string p = path;
    if (p.size() == 2 && isLetter(p[0]) && p[1] == ':') {
        return p + "\\";
    }
    const bool drivePath = p.size() >= 3 && isLetter(p[0]) && p[1] == ':' && isSeparator(p[2]);
    const bool uncPath =
        p.size() >= 3 && isSeparator(p[0]) && isSeparator(p[1]) && !isSeparator(p[2]);
    if (!drivePath && !uncPath) {
        return std::nullopt;
    }
    // Components "." and ".." would let a path climb out of what it names.
    size_t start = drivePath ? 3 : 2;
    while (start <= p.size()) {
        size_t end = start;
        while (end < p.size() && !isSeparator(p[end])) {
            ++end;
        }
        const std::string part = p.substr(start, end - start);
        if (part == "." || part == "..") {
            return std::nullopt;
        }
        start = end + 1;
    }
    const size_t minimum = drivePath ? 3 : 3;
    while (p.size() > minimum && isSeparator(p.back())) {
        p.pop_back();
    }
    return p;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') {
        return folder + name;
    }
    return folder + "\\" + name;
}

void FolderWiper::reportFailure(const std::string& description) {
    pane_.SetColour(kErrorRed);
    if (collector_ != nullptr) {
        pane_.Append("\r\n" + description); // a preview writes no " ..." line to end
    } else {
        // At the caret, without a leading break: it ends the target's " ..." line.
        pane_.Append(description + "\r\n");
    }
    pane_.SetColour(kProgressBlue);
}

bool FolderWiper::removeFile(const std::string& path, const DirEntry& e) {
    if (collector_ != nullptr) {
        return collector_->add({path, e.size, e.modified, {}, FoundKind::File, 1});
    }
    return fs_.deleteFile(path);
}

bool FolderWiper::removeLink(const std::string& path) {
    if (collector_ != nullptr) {
        return collector_->add({path, 0, 0, {}, FoundKind::Link, 1});
    }
    return fs_.removeFolder(path);
}

void FolderWiper::WipeFolder(const std::string& folder, const std::string& topFolder) {
    const auto top = wipeablePath(topFolder);
    const auto here = wipeablePath(folder);
    if (!top || !here) {
        reportFailure("The folder path is empty or not a full path: \"" + folder + "\"");
        return;
    }
    if (*here == *top) {
        // A top folder that is a link would be wiped through into its target.
        if (auto st = fs_.stat(*top); st && st->reparsePoint) {
            reportFailure("The folder is a link to another folder and was not wiped: \"" + *top +
                          "\"");
            return;
        }
    }
    wipe(*here, *top);
}

void FolderWiper::wipe(const std::string& folder, const std::string& topFolder) {
    if (halted()) {
        return;
    }
    std::vector<DirEntry> entries;
    try {
        entries = fs_.list(folder);
    } catch (const AppError& e) {
        reportFailure(e.description());
        return;
    }

    // Subfolders first, each emptied and removed before the next.
    for (const DirEntry& e : entries) {
        if (halted()) {
            return;
        }
        if (!e.directory) {
            continue;
        }
        const std::string path = joinPath(folder, e.name);
        if (e.reparsePoint) {
            // Removed as a link, never entered: its target is not ours.
            if (removeLink(path)) {
                ++stats_.linksRemoved;
            } else if (collector_ == nullptr) {
                ++stats_.itemsLeft;
            }
            continue;
        }
        wipe(path, topFolder);
    }

    const bool isTop = folder == topFolder;
    // The listed files (not hidden, not system), one yield each; inside a
    // subfolder that goes as a whole, the hidden and system ones after them.
    for (int pass = 0; pass < (isTop ? 1 : 2); ++pass) {
        for (const DirEntry& e : entries) {
            const bool listed = !e.hidden && !e.system;
            if (e.directory || listed != (pass == 0)) {
                continue;
            }
            if (halted()) {
                return;
            }
            // A preview counts a file once, also when two options reach it.
            if (removeFile(joinPath(folder, e.name), e)) {
                ++stats_.filesDeleted;
                stats_.bytesFreed += e.size;
            } else if (collector_ == nullptr) {
                ++stats_.itemsLeft;
            }
            if (yield_) {
                yield_();
            }
        }
    }

    if (!isTop && !halted()) {
        if (collector_ != nullptr) {
            ++stats_.foldersRemoved; // it would be empty by now
        } else if (fs_.removeFolder(folder)) {
            ++stats_.foldersRemoved;
        } else {
            ++stats_.itemsLeft;
        }
    }
}

} // namespace tidewell
