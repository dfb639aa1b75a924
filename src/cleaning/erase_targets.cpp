#include "cleaning/erase_targets.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "kernel/app_error.h"

namespace tidewell {

std::string tempFolderFrom(const std::string& systemTempPath) {
    std::string p = systemTempPath.substr(0, systemTempPath.find('\0'));
    if (!p.empty()) {
        p.pop_back();
    }
    return p;
}

std::string formatBytes(std::uint64_t bytes) {
    const char* units[] = {"bytes", "KB", "MB", "GB", "TB"};
    if (bytes < 1024) {
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f %s", value, units[unit]);
    return text;
}

namespace {
std::string notErasedLine(const std::string& folder) {
    return "Not erased: " + folder + " is not a folder this option may empty";
}
} // namespace

bool EraseTargets::refused(const std::string& folder, std::optional<UserFolder> own) {
    if (folder.empty() || places_.targetMayEmpty(folder, own)) {
        return false;
    }
    appendLine(pane_, kErrorRed, notErasedLine(folder));
    pane_.SetColour(kProgressBlue);
    return true;
}

template <typename F>
void EraseTargets::folderTarget(const std::string& message, const FolderRule& rule, F&& folderOf) {
    try {
        PreviewCollector* const preview = this->preview();
        if (rule.setsLabel && preview == nullptr) {
            label_.SetText(message + " ...");
        }
        pane_.SetColour(kProgressBlue);
        const std::string folder = folderOf();
        pane_.Append("\r\nPath: " + folder);
        if (refused(folder, rule.own)) {
            return;
        }
        const size_t mark = preview ? preview->mark() : 0;
        if (preview == nullptr) {
            pane_.Append("\r\n" + message + " ...");
        }
        // A shell folder that cannot be found wipes nothing; an empty
        // temporary path goes to the wipe, which refuses it in red rather
        // than touching the current directory.
        if (!folder.empty() || rule.wipesEmptyPath) {
            wiper_.WipeFolder(folder, folder);
        }
        appendLine(pane_, kFinishedGreen,
                   preview ? wouldEraseFilesLine(preview->tallySince(mark))
                           : "Finished " + message);
    } catch (...) {
        appendLine(pane_, kErrorRed, "Error in " + message + " ...");
        pane_.SetColour(kProgressBlue);
    }
}

void EraseTargets::EraseHistory(const std::string& message) {
    folderTarget(message, {true, std::nullopt, false},
                 [&] { return platform_.GetSpecialFolder(CSIDL_History); });
}
void EraseTargets::EraseCache(const std::string& message) {
    folderTarget(message, {true, std::nullopt, false},
                 [&] { return platform_.GetSpecialFolder(CSIDL_InternetCache); });
}
void EraseTargets::EraseCookies(const std::string& message) {
    folderTarget(message, {false, std::nullopt, false},
                 [&] { return platform_.GetSpecialFolder(CSIDL_Cookies); });
}
void EraseTargets::EraseFavorites(const std::string& message) {
    folderTarget(message, {false, UserFolder::Favorites, false},
                 [&] { return platform_.GetSpecialFolder(CSIDL_Favorites); });
}
void EraseTargets::EraseMyDocuments(const std::string& message) {
    folderTarget(message, {false, UserFolder::Documents, false},
                 [&] { return platform_.GetSpecialFolder(CSIDL_Personal); });
}
void EraseTargets::EraseRecentFiles(const std::string& message) {
    folderTarget(message, {false, std::nullopt, false},
                 [&] { return platform_.GetSpecialFolder(CSIDL_Recent); });
}

void EraseTargets::EraseTempFiles(const std::string& message) {
    folderTarget(message, {true, std::nullopt, true},
                 [&] { return tempFolderFrom(platform_.TempPath()); });
}

void EraseTargets::EraseRecycleBin(const std::string& message) {
    try {
        pane_.SetColour(kProgressBlue);
        pane_.Append("\r\nPath: Recycle Bin (all drives)");
        if (PreviewCollector* preview = this->preview()) {
            const std::uint64_t items = platform_.RecycleBinItems();
            const std::uint64_t bytes = platform_.RecycleBinBytes();
            if (items != 0 || bytes != 0) {
                preview->add({"Recycle Bin (all drives)", bytes, 0, {}, FoundKind::Bin, items});
            }
            appendLine(pane_, kFinishedGreen,
                       "Would erase " + std::to_string(items) + " items, " + formatBytes(bytes));
            return;
        }
        pane_.Append("\r\n" + message + " ...");
        binBytes_ += platform_.RecycleBinBytes();
        platform_.EmptyRecycleBin();
        appendLine(pane_, kFinishedGreen, "Finished " + message);
    } catch (...) {
        appendLine(pane_, kErrorRed, "Error in " + message + " ...");
        pane_.SetColour(kProgressBlue);
    }
}

void EraseTargets::registryTarget(const std::string& message, const char* subKey) {
    runGuarded(errors_, [&] {
        pane_.SetColour(kProgressBlue);
        pane_.Append("\r\nPath: HKEY_CURRENT_USER\\" + std::string(subKey));
        if (PreviewCollector* preview = this->preview()) {
            const std::vector<std::string> values = platform_.UserKeyValues(subKey);
            for (const std::string& v : values) {
                preview->add({"HKEY_CURRENT_USER\\" + v, 0, 0, {}, FoundKind::Value, 1});
            }
            appendLine(pane_, kFinishedGreen,
                       "Would erase " + std::to_string(values.size()) + " values");
            return;
        }
        pane_.Append("\r\n" + message + " ...");
        platform_.DeleteUserKeyTree(subKey);
        appendLine(pane_, kFinishedGreen, "Finished " + message);
    });
}

void EraseTargets::EraseTypedUrls(const std::string& message) {
    registryTarget(message, kTypedUrlsKey);
}
void EraseTargets::EraseRunHistory(const std::string& message) {
    registryTarget(message, kRunMruKey);
}

void EraseTargets::EraseFolder(const std::string& message, const std::string& folder) {
    runGuarded(errors_, [&] {
        pane_.Clear();
        label_.SetText(message + " ...");
        pane_.SetColour(kProgressBlue);
        pane_.Append("\r\nPath: " + folder);
        // The command asked before; this guards every other caller.
        if (places_.whyNeverEmptied(folder)) {
            appendLine(pane_, kErrorRed, notErasedLine(folder));
            return;
        }
        pane_.Append("\r\n" + message + " ...");
        // An empty or relative folder is refused by the wipe, in red.
        wiper_.WipeFolder(folder, folder);
        appendLine(pane_, kFinishedGreen, "Finished " + message);
    });
}

namespace {
bool isIndexDat(const std::string& name) {
    if (name.size() != 9) {
        return false;
    }
    std::string lower;
    for (char c : name) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == "index.dat";
}
} // namespace

void EraseTargets::findIndexDat(const std::string& folder, std::vector<std::string>& found,
                                int depth) {
    std::vector<DirEntry> entries;
    try {
        entries = fs_.list(folder);
    } catch (const AppError&) {
        return; // a folder that cannot be read holds nothing we can erase
    }
    for (const DirEntry& e : entries) {
        if (e.directory) {
            // Never through a link; the browser keeps these files a few levels down.
            if (!e.reparsePoint && depth < 8) {
                findIndexDat(joinPath(folder, e.name), found, depth + 1);
            }
        } else if (isIndexDat(e.name)) {
            found.push_back(joinPath(folder, e.name));
        }
    }
}

void EraseTargets::EraseIndexDat(const std::string& message) {
    try {
        pane_.SetColour(kProgressBlue);
        std::vector<std::string> files;
        for (int id : {CSIDL_History, CSIDL_InternetCache, CSIDL_Cookies}) {
            const std::string folder = platform_.GetSpecialFolder(id);
            pane_.Append("\r\nPath: " + folder);
            if (refused(folder, std::nullopt)) {
                continue;
            }
            if (auto top = wipeablePath(folder)) {
                if (auto st = fs_.stat(*top); st && st->directory && !st->reparsePoint) {
                    findIndexDat(*top, files, 0);
                }
            }
        }
        PreviewCollector* const preview = this->preview();
        const size_t mark = preview ? preview->mark() : 0;
        if (preview == nullptr) {
            pane_.Append("\r\n" + message + " ...");
        }
        for (const std::string& file : files) {
            const auto st = fs_.stat(file);
            if (const auto name = fs_.inspect(file); name && name->link) {
                // Only ever the browser's own file, never what a link reaches.
                appendLine(pane_, kErrorRed, "A link, not erased: " + file);
                pane_.SetColour(kProgressBlue);
            } else if (preview != nullptr) {
                preview->add(
                    {file, st ? st->size : 0, st ? st->modified : 0, {}, FoundKind::File, 1});
            } else if (fs_.deleteFile(file)) {
                binBytes_ += st ? st->size : 0;
            } else {
                // Windows keeps it open while the browser or the shell runs.
                appendLine(pane_, kErrorRed, "In use, not erased: " + file);
                pane_.SetColour(kProgressBlue);
            }
        }
        appendLine(pane_, kFinishedGreen,
                   preview
                       ? wouldEraseFilesLine(preview->tallySince(mark))
                       : "Finished " + message + " (" + std::to_string(files.size()) + " found)");
    } catch (...) {
        appendLine(pane_, kErrorRed, "Error in " + message + " ...");
        pane_.SetColour(kProgressBlue);
    }
}

} // namespace tidewell
