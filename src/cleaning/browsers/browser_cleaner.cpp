#include "cleaning/browsers/browser_cleaner.h"

#include "cleaning/erase_targets.h"

namespace tidewell {

namespace {

bool chromiumFamily(BrowserId b) {
    return b != BrowserId::Firefox;
}

const char* unitOf(BrowserItem item) {
    switch (item) {
    case BrowserItem::Cookies:
        return "cookies";
    case BrowserItem::History:
        return "entries";
    default:
        return "files";
    }
}

} // namespace

ItemWork itemWork(BrowserId b, BrowserItem item, const BrowserProfile& p) {
    ItemWork w;
    const auto in = [](const std::string& base, const std::string& name) {
        return BrowserPlace{base, joinPath(base, name)};
    };
    const std::string& f = p.folder;
    if (item == BrowserItem::Cache) {
        // Opera keeps part of its cache beside its profile: both are looked at.
        std::vector<std::string> bases{p.cacheFolder};
        if (chromiumFamily(b) && p.cacheFolder != p.folder) {
            bases.push_back(p.folder);
        }
        for (const std::string& base : bases) {
            w.shown.push_back(base);
            if (b == BrowserId::Firefox) {
                w.folders = {in(base, "cache2"), in(base, "startupCache")};
                continue;
            }
            for (const char* name :
                 {"Cache", "Code Cache", "GPUCache", "Service Worker\\CacheStorage",
                  "Service Worker\\ScriptCache"}) {
                w.folders.push_back(in(base, name));
            }
        }
        return w;
    }
    w.shown.push_back(f);
    switch (item) {
    case BrowserItem::Cookies:
        if (b == BrowserId::Firefox) {
            w.databases = {{DbKind::FirefoxCookies, in(f, "cookies.sqlite")}};
        } else {
            w.databases = {{DbKind::ChromiumCookies, in(f, "Network\\Cookies")},
                           {DbKind::ChromiumCookies, in(f, "Cookies")}};
        }
        break;
    case BrowserItem::History:
        if (b == BrowserId::Firefox) {
            // Never the file: places.sqlite holds the bookmarks.
            w.databases = {{DbKind::FirefoxPlaces, in(f, "places.sqlite")},
                           {DbKind::FirefoxForms, in(f, "formhistory.sqlite")}};
        } else {
            w.databases = {{DbKind::ChromiumHistory, in(f, "History")}};
            for (const char* name : {"History-journal", "Visited Links", "Top Sites",
                                     "Top Sites-journal", "Shortcuts", "Shortcuts-journal"}) {
                w.files.push_back(in(f, name));
            }
        }
        break;
    case BrowserItem::Session:
        if (b == BrowserId::Firefox) {
            w.files = {in(f, "sessionstore.jsonlz4")};
            w.folders = {in(f, "sessionstore-backups")};
        } else {
            w.folders = {in(f, "Sessions")};
            for (const char* name :
                 {"Current Session", "Current Tabs", "Last Session", "Last Tabs"}) {
                w.files.push_back(in(f, name));
            }
        }
        break;
    default:
        break;
    }
    return w;
}

bool BrowserCleaner::installed(BrowserId b) {
    return finder_.installed(b, platform_.folders());
}

void BrowserCleaner::red(const std::string& line) {
    appendLine(pane_, kErrorRed, line);
    pane_.SetColour(kProgressBlue);
}

bool BrowserCleaner::safe(const BrowserPlace& place) {
    const auto name = fs_.inspect(place.path);
    if ((name && name->link) || !finder_.ownPath(place.base, place.path)) {
        red("A link, not erased: " + place.path);
        return false;
    }
    return true;
}

std::uint64_t BrowserCleaner::emptyFolder(const BrowserPlace& place) {
    const auto st = fs_.stat(place.path);
    if (!st || !st->directory || !safe(place)) {
        return 0; // absent: nothing to erase
    }
    const WipeStats before = wiper_.stats();
    wiper_.WipeFolder(place.path, place.path);
    const WipeStats& after = wiper_.stats();
    if (after.itemsLeft > before.itemsLeft) {
        const std::uint64_t left = after.itemsLeft - before.itemsLeft;
        red("In use, not erased: " + std::to_string(left) +
            (left == 1 ? " item in " : " items in ") + place.path);
    }
    return after.filesDeleted - before.filesDeleted;
}

std::uint64_t BrowserCleaner::deleteFile(const BrowserPlace& place) {
    const auto st = fs_.stat(place.path);
    if (!st || st->directory || !safe(place)) {
        return 0;
    }
    if (PreviewCollector* preview = wiper_.collector()) {
        return preview->add({place.path, st->size, st->modified, {}, FoundKind::File, 1}) ? 1 : 0;
    }
    if (!fs_.deleteFile(place.path)) {
        red("In use, not erased: " + place.path);
        return 0;
    }
    bytes_ += st->size;
    return 1;
}

std::uint64_t BrowserCleaner::eraseDatabase(DbKind kind, const BrowserPlace& place,
                                            const KeepList& keep) {
    const auto st = fs_.stat(place.path);
    if (!st || st->directory || !safe(place)) {
        return 0;
    }
    PreviewCollector* const preview = wiper_.collector();
    // A preview runs the same deletions on a copy in memory: the file is
    // only read.
    const DbOutcome out = (preview ? countRows_ : eraseRows_)(place.path, kind, keep);
    switch (out.status) {
    case DbOutcome::Status::Erased:
        if (preview != nullptr && out.rows != 0) {
            preview->add({place.path, 0, st->modified, {}, FoundKind::Rows, out.rows});
        }
        return out.rows;
    case DbOutcome::Status::Busy:
        red("In use, not erased: " + place.path);
        break;
    case DbOutcome::Status::Damaged:
        red("Damaged, left as it was: " + place.path + " (" + out.detail + ")");
        break;
    case DbOutcome::Status::Failed:
        red("Not erased: " + place.path + " (" + out.detail + ")");
        break;
    }
    return 0;
}

void BrowserCleaner::eraseItem(BrowserId b, BrowserItem item,
                               const std::vector<BrowserProfile>& profiles,
                               const KeepList::Parsed& keep) {
    const std::string message = "Erasing " + std::string(nameOf(b).display) + " " + nameOf(item);
    PreviewCollector* const preview = wiper_.collector();
    try {
        if (preview != nullptr) {
            preview->setOption(std::string(nameOf(b).display) + " " + nameOf(item));
        }
        pane_.SetColour(kProgressBlue);
        std::vector<ItemWork> works;
        for (const BrowserProfile& p : profiles) {
            works.push_back(itemWork(b, item, p));
            for (const std::string& shown : works.back().shown) {
                pane_.Append("\r\nPath: " + shown);
            }
        }
        const size_t mark = preview ? preview->mark() : 0;
        if (preview == nullptr) {
            pane_.Append("\r\n" + message + " ...");
        }
        if (item == BrowserItem::Cookies && keep.bad) {
            // Erasing without the list would take what the user keeps.
            red("Not erased: \"" + *keep.bad +
                "\" in the list of sites to keep is not a site name");
            return;
        }
        std::uint64_t count = 0;
        for (const ItemWork& w : works) {
            for (const auto& [kind, place] : w.databases) {
                count += eraseDatabase(kind, place, keep.list);
            }
            for (const BrowserPlace& place : w.files) {
                count += deleteFile(place);
            }
            for (const BrowserPlace& place : w.folders) {
                count += emptyFolder(place);
            }
        }
        if (preview != nullptr) {
            // The item's own count, as the run reports it, and the bytes of its files.
            const std::uint64_t bytes = preview->tallySince(mark).bytes;
            std::string line = "Would erase " + std::to_string(count) + " " + unitOf(item);
            if (bytes != 0 || item == BrowserItem::Cache) {
                line += ", " + formatBytes(bytes);
            }
            appendLine(pane_, kFinishedGreen, line);
            return;
        }
        appendLine(pane_, kFinishedGreen,
                   "Finished " + message + " (" + std::to_string(count) + " " + unitOf(item) + ")");
    } catch (...) {
        red("Error in " + message + " ...");
    }
}

void BrowserCleaner::run(const std::function<void()>& between) {
    const KeepList::Parsed keep = KeepList::parse(options_.keepCookies());
    std::optional<BrowserFolders> folders;
    for (int i = 0; i < kBrowserCount; ++i) {
        const auto b = static_cast<BrowserId>(i);
        if (!options_.anyChecked(b) || wiper_.halted()) {
            continue;
        }
        std::vector<BrowserProfile> free;
        try {
            if (!folders) {
                folders = platform_.folders();
            }
            FoundProfiles found = finder_.find(b, *folders);
            if (!found.installed) {
                continue; // not installed: nothing to say
            }
            for (const std::string& problem : found.problems) {
                red(problem);
            }
            bool running = false;
            for (const BrowserProfile& p : found.profiles) {
                if (platform_.lockHeld(p.lockFile)) {
                    running = true;
                } else {
                    free.push_back(p);
                }
            }
            if (running) {
                red("Skipped " + std::string(nameOf(b).display) +
                    ": it is running. Close it and clean again.");
            }
        } catch (...) {
            red("Error in Erasing " + std::string(nameOf(b).display) + " ...");
            continue;
        }
        for (int j = 0; j < kBrowserItemCount; ++j) {
            const auto item = static_cast<BrowserItem>(j);
            if (!options_.checked(b, item) || free.empty() || wiper_.halted()) {
                continue;
            }
            eraseItem(b, item, free, keep);
            between();
        }
    }
}

} // namespace tidewell
