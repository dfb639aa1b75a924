#pragma once
#include <string>
#include <vector>

namespace tidewell {

// The application name used for every section but "Settings".
inline constexpr const char* kAppTitle = "Tidewell";

// Per-user text settings addressed by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or `defaultValue` when the entry is absent.
    virtual std::string GetSetting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& defaultValue) = 0;
    // Stores the text, creating whatever is missing. Throws AppError on failure.
    virtual void SaveSetting(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

// Registry path (under HKEY_CURRENT_USER) of a section, where the classic
// runtime kept it, so that an earlier installation's settings carry over:
// "Software\VB and VBA Program Settings\<application>\<section>". A backslash
// in the application name nests keys; empty components (a drive root's
// trailing backslash, doubled separators) are dropped so the name round-trips
// to the same key. Throws AppError 5 for an empty application or section.
std::string settingsKeyPath(const std::string& application, const std::string& section);

// The path components of a backslash-separated key path, empty ones dropped.
std::vector<std::string> keyPathComponents(const std::string& path);

} // namespace tidewell
