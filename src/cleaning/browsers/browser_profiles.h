#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cleaning/file_system.h"
#include "settings/browser_options.h"

namespace tidewell {

// The user's folders the browsers keep their profiles in.
struct BrowserFolders {
    std::string localAppData;   // C:\Users\x\AppData\Local
    std::string roamingAppData; // C:\Users\x\AppData\Roaming
    std::string userProfile;    // C:\Users\x: no profile may lie outside it
};

// One profile of a browser.
struct BrowserProfile {
    std::string folder;      // cookies, history and sessions
    std::string cacheFolder; // the cache (the same folder, or its local twin)
    std::string lockFile;    // held open while the browser runs
};

struct FoundProfiles {
    bool installed = false; // the browser's data folder exists
    std::vector<BrowserProfile> profiles;
    std::vector<std::string> problems; // red lines: what was not followed, and why
};

// A folder of the Chromium family that is a profile: "Default", "Profile N"
// or "Guest Profile".
bool isChromiumProfileName(const std::string& name);

// One [ProfileN] section of Firefox's profiles.ini.
struct IniProfile {
    std::string path;
    bool relative = true;
};
struct ProfilesIni {
    bool damaged = false; // not an ini file at all: nothing in it is followed
    std::vector<IniProfile> profiles;
    std::vector<std::string> badSections; // sections without a usable Path/IsRelative
};
ProfilesIni parseProfilesIni(const std::string& text);

// Where Firefox's profile lies, or nothing when it would lie outside the
// user's folders (an absolute path elsewhere, "..", a drive-relative path).
struct FirefoxPlace {
    std::string folder;
    std::string name; // its local twin under Local\Mozilla\Firefox\Profiles
};
std::optional<FirefoxPlace> firefoxProfilePlace(const IniProfile& p, const BrowserFolders& f);

// Looks at the folders only: no process is asked. `readText` gives a small
// file's text (profiles.ini), or nothing.
class ProfileFinder {
public:
    using ReadText = std::function<std::optional<std::string>(const std::string& path)>;
    ProfileFinder(FileSystem& fs, ReadText readText) : fs_(fs), readText_(std::move(readText)) {}

    FoundProfiles find(BrowserId b, const BrowserFolders& f);
    bool installed(BrowserId b, const BrowserFolders& f);

    // Whether `path` is what it names: no link on the way below `base`.
    bool ownPath(const std::string& base, const std::string& path);

private:
    bool isFolder(const std::string& path);
    bool isPlainFile(const std::string& path);
    FoundProfiles findChromium(const std::string& userData, bool single,
                               const std::string& localTwin);
    FoundProfiles findFirefox(const BrowserFolders& f);

    FileSystem& fs_;
    ReadText readText_;
};

// Where each browser keeps its data, under the user's folders.
std::string browserDataFolder(BrowserId b, const BrowserFolders& f);

} // namespace tidewell
