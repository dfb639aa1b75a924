#include "cleaning/protected_places.h"

#include <cctype>

namespace tidewell {

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string folded(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// Whether `outer` is `inner` or one of the folders above it. Both are
// normal forms folded to one case.
bool holdsOrIs(const std::string& outer, const std::string& inner) {
    if (inner.size() < outer.size() || inner.compare(0, outer.size(), outer) != 0) {
        return false;
    }
    return inner.size() == outer.size() || outer.back() == '\\' || inner[outer.size()] == '\\';
}

bool isRoot(const std::string& p) {
    if (p.size() == 3 && p[1] == ':') {
        return true;
    }
    // "\\server", "\\server\share", "\\?\Volume{...}" and the like.
    if (p.rfind("\\\\", 0) == 0) {
        size_t parts = 0;
        for (size_t i = 2; i < p.size(); ++i) {
            if (p[i] == '\\') {
                ++parts;
            }
        }
        return parts <= 1;
    }
    return false;
}

} // namespace

std::optional<std::string> normalPath(const std::string& path) {
    std::string p = path;
    for (char& c : p) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (p.rfind("\\\\?\\UNC\\", 0) == 0 || p.rfind("\\\\.\\UNC\\", 0) == 0) {
        p = "\\\\" + p.substr(8);
    } else if ((p.rfind("\\\\?\\", 0) == 0 || p.rfind("\\\\.\\", 0) == 0) && p.size() >= 6 &&
               p[5] == ':') {
        p = p.substr(4);
    }
    std::string root;
    size_t start = 0;
    if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
        if (p.size() > 2 && !isSeparator(p[2])) {
            return std::nullopt; // "C:x" is relative to that drive's current folder
        }
        root = p.substr(0, 2) + "\\";
        start = 3;
    } else if (p.size() > 2 && p[0] == '\\' && p[1] == '\\' && !isSeparator(p[2])) {
        // The server (or device) and the share are the root of what follows.
        size_t end = p.find('\\', 2);
        if (end != std::string::npos) {
            end = p.find('\\', end + 1);
        }
        root = p.substr(0, end);
        start = end == std::string::npos ? p.size() : end + 1;
    } else {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    while (start < p.size()) {
        size_t end = start;
        while (end < p.size() && p[end] != '\\') {
            ++end;
        }
        std::string part = p.substr(start, end - start);
        // Windows drops trailing dots and blanks of a name when it opens it.
        while (!part.empty() && part != "." && part != ".." &&
               (part.back() == '.' || part.back() == ' ')) {
            part.pop_back();
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = root;
    for (const std::string& part : parts) {
        if (!out.empty() && out.back() != '\\') {
            out += '\\';
        }
        out += part;
    }
    return out;
}

std::optional<std::string> ProtectedPlaces::finalForm(const std::string& path) {
    const auto lexical = normalPath(path);
    if (!lexical) {
        return std::nullopt;
    }
    const auto resolved = normalPath(fs_.finalPath(*lexical));
    return folded(resolved ? *resolved : *lexical);
}

std::optional<std::string> ProtectedPlaces::whyNeverEmptied(const std::string& folder) {
    return whyNeverEmptied(folder, known_());
}

std::optional<std::string> ProtectedPlaces::whyNeverEmptied(const std::string& folder,
                                                            const KnownFolders& known) {
    const auto f = finalForm(folder);
    if (!f) {
        return std::nullopt; // not a full path: the wipe refuses it itself
    }
    if (isRoot(*f)) {
        return (*f)[1] == ':' ? "it is the root of a drive" : "it is the root of a network share";
    }
    struct Place {
        std::string path;
        const char* what;
        bool contentsToo;
    };
    std::vector<Place> places;
    places.push_back({known.windows, "the Windows folder", true});
    for (const std::string& p : known.programs) {
        places.push_back({p, "a folder of installed programs", true});
    }
    places.push_back({known.programData, "the programs' shared data folder", false});
    places.push_back({known.profiles, "the folder of the user profiles", false});
    places.push_back({known.profile, "a user's profile folder", false});
    for (const Place& place : places) {
        const auto p = place.path.empty() ? std::nullopt : finalForm(place.path);
        if (!p || isRoot(*p)) {
            continue;
        }
        if (*f == *p) {
            return std::string("it is ") + place.what;
        }
        if (holdsOrIs(*f, *p)) {
            return std::string("it holds ") + place.what;
        }
        // Windows' own Temp is a temporary folder like any other.
        if (place.contentsToo && holdsOrIs(*p, *f) && !holdsOrIs(*p + "\\temp", *f)) {
            return std::string("it is inside ") + place.what;
        }
    }
    if (const auto profiles = known.profiles.empty() ? std::nullopt : finalForm(known.profiles)) {
        const size_t slash = f->find_last_of('\\');
        if (slash != std::string::npos && f->substr(0, slash) == *profiles) {
            return std::string("it is a user's profile folder");
        }
    }
    return std::nullopt;
}

bool ProtectedPlaces::targetMayEmpty(const std::string& folder, std::optional<UserFolder> own) {
    const KnownFolders known = known_();
    if (whyNeverEmptied(folder, known)) {
        return false;
    }
    const auto f = finalForm(folder);
    if (!f) {
        return true; // the wipe refuses what is not a full path, in red
    }
    for (const auto& [kind, path] : known.user) {
        if (kind == own || path.empty()) {
            continue;
        }
        if (const auto p = finalForm(path); p && holdsOrIs(*f, *p)) {
            return false;
        }
    }
    return true;
}

} // namespace tidewell
