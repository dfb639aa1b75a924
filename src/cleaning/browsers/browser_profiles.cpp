#include "cleaning/browsers/browser_profiles.h"

#include <algorithm>

#include "cleaning/protected_places.h"
#include "cleaning/wipe.h"

namespace tidewell {

namespace {

bool isDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) {
        return "";
    }
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

std::string lowered(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

// `inner` lies strictly inside `outer` (both full paths, compared without case).
bool inside(const std::string& inner, const std::string& outer) {
    const auto i = normalPath(inner);
    const auto o = normalPath(outer);
    if (!i || !o) {
        return false;
    }
    const std::string a = lowered(*i);
    std::string b = lowered(*o);
    if (b.back() != '\\') {
        b += '\\';
    }
    return a.size() > b.size() && a.compare(0, b.size(), b) == 0;
}

} // namespace

bool isChromiumProfileName(const std::string& name) {
    return name == "Default" || name == "Guest Profile" ||
           (name.rfind("Profile ", 0) == 0 && isDigits(name.substr(8)));
}

std::string browserDataFolder(BrowserId b, const BrowserFolders& f) {
    switch (b) {
    case BrowserId::Edge:
        return joinPath(f.localAppData, "Microsoft\\Edge\\User Data");
    case BrowserId::Chrome:
        return joinPath(f.localAppData, "Google\\Chrome\\User Data");
    case BrowserId::Brave:
        return joinPath(f.localAppData, "BraveSoftware\\Brave-Browser\\User Data");
    case BrowserId::Firefox:
        return joinPath(f.roamingAppData, "Mozilla\\Firefox");
    case BrowserId::Opera:
        return joinPath(f.roamingAppData, "Opera Software\\Opera Stable");
    }
    return {};
}

ProfilesIni parseProfilesIni(const std::string& text) {
    ProfilesIni ini;
    std::string section;
    struct Entry {
        std::string name;
        std::optional<std::string> path, relative;
    };
    std::vector<Entry> sections;
    size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.find('\0') != std::string::npos) {
            ini.damaged = true;
            return ini;
        }
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                ini.damaged = true;
                return ini;
            }
            section = line.substr(1, line.size() - 2);
            if (section.rfind("Profile", 0) == 0 && isDigits(section.substr(7))) {
                sections.push_back({section, {}, {}});
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            ini.damaged = true;
            return ini;
        }
        if (!sections.empty() && sections.back().name == section) {
            const std::string key = trimmed(line.substr(0, eq));
            const std::string value = trimmed(line.substr(eq + 1));
            if (key == "Path") {
                sections.back().path = value;
            } else if (key == "IsRelative") {
                sections.back().relative = value;
            }
        }
    }
    for (const Entry& e : sections) {
        if (!e.path || e.path->empty() || !e.relative ||
            (*e.relative != "0" && *e.relative != "1")) {
            ini.badSections.push_back(e.name);
            continue;
        }
        ini.profiles.push_back({*e.path, *e.relative == "1"});
    }
    return ini;
}

std::optional<FirefoxPlace> firefoxProfilePlace(const IniProfile& p, const BrowserFolders& f) {
    std::string path = p.path;
    std::replace(path.begin(), path.end(), '/', '\\');
    std::string full;
    if (p.relative) {
        // Plain names only: no root, no drive, no climbing out.
        if (path.find(':') != std::string::npos || path.front() == '\\') {
            return std::nullopt;
        }
        size_t start = 0;
        while (start <= path.size()) {
            const size_t end = std::min(path.find('\\', start), path.size());
            const std::string part = path.substr(start, end - start);
            if (part.empty() || part == "." || part == "..") {
                return std::nullopt;
            }
            start = end + 1;
        }
        full = joinPath(browserDataFolder(BrowserId::Firefox, f), path);
    } else {
        const auto w = wipeablePath(path);
        if (!w) {
            return std::nullopt;
        }
        full = *w;
        if (!inside(full, f.userProfile)) {
            return std::nullopt;
        }
    }
    const size_t slash = full.find_last_of('\\');
    return FirefoxPlace{full, full.substr(slash + 1)};
}

bool ProfileFinder::isFolder(const std::string& path) {
    const auto st = fs_.stat(path);
    return st && st->directory && !st->reparsePoint;
}

bool ProfileFinder::isPlainFile(const std::string& path) {
    const auto st = fs_.stat(path);
    return st && !st->directory;
}

bool ProfileFinder::ownPath(const std::string& base, const std::string& path) {
    // Links above the profile (a redirected AppData) are the user's choice;
    // one inside it would lead the clean elsewhere.
    const auto ownBase = normalPath(base);
    const auto own = normalPath(path);
    if (!ownBase || !own) {
        return false;
    }
    std::string rest;
    if (lowered(*own) != lowered(*ownBase)) {
        if (!inside(*own, *ownBase)) {
            return false;
        }
        rest = own->substr(ownBase->size());
        if (!rest.empty() && rest.front() == '\\') {
            rest.erase(0, 1);
        }
    }
    const auto finalBase = normalPath(fs_.finalPath(*ownBase));
    const auto finalOwn = normalPath(fs_.finalPath(*own));
    if (!finalBase || !finalOwn) {
        return false;
    }
    return lowered(*finalOwn) == lowered(rest.empty() ? *finalBase : joinPath(*finalBase, rest));
}

bool ProfileFinder::installed(BrowserId b, const BrowserFolders& f) {
    return find(b, f).installed;
}

FoundProfiles ProfileFinder::findChromium(const std::string& userData, bool single,
                                          const std::string& localTwin) {
    FoundProfiles found;
    found.installed = isFolder(userData);
    if (!found.installed) {
        return found;
    }
    const std::string lock = joinPath(userData, "lockfile");
    if (single) {
        if (isPlainFile(joinPath(userData, "Preferences"))) {
            found.profiles.push_back({userData, localTwin, lock});
        }
        return found;
    }
    std::vector<std::string> names;
    try {
        for (const DirEntry& e : fs_.list(userData)) {
            // A profile reached through a link is not this user's to clean.
            if (e.directory && !e.reparsePoint && isChromiumProfileName(e.name) &&
                isPlainFile(joinPath(joinPath(userData, e.name), "Preferences"))) {
                names.push_back(e.name);
            }
        }
    } catch (...) {
        return found; // unreadable: nothing to clean
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        const std::string folder = joinPath(userData, n);
        found.profiles.push_back({folder, folder, lock});
    }
    return found;
}

FoundProfiles ProfileFinder::findFirefox(const BrowserFolders& f) {
    FoundProfiles found;
    const std::string root = browserDataFolder(BrowserId::Firefox, f);
    found.installed = isFolder(root);
    const std::string iniPath = joinPath(root, "profiles.ini");
    if (!found.installed || !isPlainFile(iniPath)) {
        return found;
    }
    // Read as itself: a link there is not followed.
    const std::optional<std::string> text = readText_(iniPath);
    if (!text) {
        found.problems.push_back("Skipped Mozilla Firefox: its profiles.ini cannot be read: " +
                                 iniPath);
        return found;
    }
    const ProfilesIni ini = parseProfilesIni(*text);
    if (ini.damaged) {
        found.problems.push_back("Skipped Mozilla Firefox: its profiles.ini is damaged: " +
                                 iniPath);
        return found;
    }
    for (const std::string& s : ini.badSections) {
        found.problems.push_back("Skipped a Mozilla Firefox profile: [" + s +
                                 "] of profiles.ini names no usable path");
    }
    const std::string localProfiles = joinPath(f.localAppData, "Mozilla\\Firefox\\Profiles");
    for (const IniProfile& p : ini.profiles) {
        const auto place = firefoxProfilePlace(p, f);
        // No link inside the user's folders may lead a listed profile elsewhere.
        const std::string base = p.relative ? root : f.userProfile;
        if (!place || (isFolder(place->folder) && !ownPath(base, place->folder))) {
            found.problems.push_back(
                "Skipped a Mozilla Firefox profile outside your user folders: " + p.path);
            continue;
        }
        if (!isFolder(place->folder)) {
            continue; // listed but gone: nothing to clean
        }
        found.profiles.push_back({place->folder, joinPath(localProfiles, place->name),
                                  joinPath(place->folder, "parent.lock")});
    }
    return found;
}

FoundProfiles ProfileFinder::find(BrowserId b, const BrowserFolders& f) {
    // A folder the shell could not give would make every path relative.
    if (!wipeablePath(f.localAppData) || !wipeablePath(f.roamingAppData) ||
        !wipeablePath(f.userProfile)) {
        return {};
    }
    switch (b) {
    case BrowserId::Firefox:
        return findFirefox(f);
    case BrowserId::Opera:
        return findChromium(browserDataFolder(b, f), true,
                            joinPath(f.localAppData, "Opera Software\\Opera Stable"));
    default:
        return findChromium(browserDataFolder(b, f), false, {});
    }
}

} // namespace tidewell
