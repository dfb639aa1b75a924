#include "settings/browser_tweaks.h"

#include <algorithm>
#include <cctype>

namespace tidewell {

void BrowserTweaks::cmdHomePage_Click(const std::string& homePage) {
    registry_.SetUserValue(kIeMainKey, "Start Page", homePage, RegistryType::String);
    store_.SaveSetting(kAppTitle, "HomePage", "StartPage", homePage);
}

std::string BrowserTweaks::loadHomePage() {
    const std::string homePage =
        store_.GetSetting(kAppTitle, "HomePage", "StartPage", kDefaultStartPage);
    // A page a web site set since the last start does not last.
    registry_.SetUserValue(kIeMainKey, "Start Page", homePage, RegistryType::String);
    return homePage;
}

void BrowserTweaks::chkWebAddress_Click(bool checked) {
    registry_.SetUserValue(kAutoCompleteKey, "AutoSuggest", checked ? "no" : "yes",
                           RegistryType::String);
}

bool BrowserTweaks::autoSuggestBoxChecked() {
    std::string value =
        readUserValue_ ? readUserValue_(kAutoCompleteKey, "AutoSuggest").value_or("") : "";
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return value != "yes";
}

void BrowserTweaks::disableScriptDebugger() {
    registry_.SetUserValue(kIeMainKey, "Disable Script Debugger", "yes", RegistryType::String);
}

void BrowserTweaks::disableScriptErrorNotification() {
    registry_.SetUserValue(kIeMainKey, "Disable Script DebuggerX", "yes", RegistryType::String);
}

} // namespace tidewell
