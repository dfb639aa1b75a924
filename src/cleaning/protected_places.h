#pragma once
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/file_system.h"

namespace tidewell {

// The user's own folders that a clean-run target may hold or be.
enum class UserFolder {
    Documents,
    Desktop,
    Downloads,
    Pictures,
    Music,
    Videos,
    Favorites,
    RoamingAppData,
    LocalAppData,
    LocalAppDataLow,
    StartMenu,
    Profile,
};

// The machine's and the user's known folders as the platform names them, in
// any spelling; empty text where the platform knows none.
struct KnownFolders {
    std::string windows;
    std::vector<std::string> programs; // Program Files, Program Files (x86)
    std::string programData;
    std::string profiles; // the folder that holds every profile
    std::string profile;  // the current user's
    std::vector<std::pair<UserFolder, std::string>> user;
};

// The lexical normal form of a full path, for comparisons: "\\?\" and
// "\\?\UNC\" prefixes dropped, "/" as "\", "." and ".." resolved (never above
// the root), no trailing separator but a root's; a bare "C:" is "C:\".
// Nothing for an empty, relative or drive-relative path.
std::optional<std::string> normalPath(const std::string& path);

// Places no command may ever empty, and the folders a clean-run target may
// empty. Every comparison is made on final forms (links resolved, short
// names expanded, through FileSystem::finalPath), so no spelling slips past.
class ProtectedPlaces {
public:
    using KnownFoldersFn = std::function<KnownFolders()>;
    ProtectedPlaces(FileSystem& fs, KnownFoldersFn known) : fs_(fs), known_(std::move(known)) {}

    // Why `folder` may never be emptied ("it is the root of a drive", ...),
    // or nothing when it may: drive and share roots, the Windows folder, its
    // contents (but its Temp) and every folder above it, the programs'
    // folders with their contents, ProgramData, the profiles' folder, any
    // profile, and every folder that holds one of these.
    std::optional<std::string> whyNeverEmptied(const std::string& folder);

    // Whether a clean-run target whose own folder is `own` (Documents for
    // "My Documents", none for Temp) may empty `folder`: never when it is a
    // protected place, or is or holds another known folder of the user.
    bool targetMayEmpty(const std::string& folder, std::optional<UserFolder> own);

private:
    std::optional<std::string> whyNeverEmptied(const std::string& folder,
                                               const KnownFolders& known);
    std::optional<std::string> finalForm(const std::string& path);

    FileSystem& fs_;
    KnownFoldersFn known_;
};

} // namespace tidewell
