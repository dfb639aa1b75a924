#pragma once
#include <functional>
#include <optional>
#include <string>

#include "kernel/registry.h"
#include "kernel/settings_store.h"

namespace tidewell {

inline constexpr const char* kIeMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr const char* kAutoCompleteKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoComplete";
inline constexpr const char* kDefaultStartPage = "about:blank";

// The browser values the program writes, all per user as text.
class BrowserTweaks {
public:
    // Reads a current-user registry value; nothing when absent.
    using UserValueReader =
        std::function<std::optional<std::string>(const std::string& key, const std::string& name)>;

    BrowserTweaks(Registry& registry, SettingsStore& store, UserValueReader readUserValue)
        : registry_(registry), store_(store), readUserValue_(std::move(readUserValue)) {}

    // "Set Home Page": the text as typed, to the browser and to the store.
    void cmdHomePage_Click(const std::string& homePage);
    // Start-up: the stored home page (default about:blank), imposed again on
    // the browser. Returns the text for txtHomePageURL.
    std::string loadHomePage();
    // The auto-complete box: checked means inline auto-suggest off.
    void chkWebAddress_Click(bool checked);
    // Start-up state of that box: cleared only when the user's own
    // "AutoSuggest" reads "yes".
    bool autoSuggestBoxChecked();
    // Clean-run steps of options 14 and 15.
    void disableScriptDebugger();
    void disableScriptErrorNotification();

private:
    Registry& registry_;
    SettingsStore& store_;
    UserValueReader readUserValue_;
};

} // namespace tidewell
