#pragma once
#include <array>
#include <string>

#include "kernel/settings_store.h"

namespace tidewell {

// The browsers the clean run knows beside the built-in one, in the order of
// the run and of the "Browsers" sub-tab.
enum class BrowserId { Edge, Chrome, Brave, Firefox, Opera };
inline constexpr int kBrowserCount = 5;
// What can be erased of each.
enum class BrowserItem { Cache, Cookies, History, Session };
inline constexpr int kBrowserItemCount = 4;

struct BrowserName {
    const char* key;     // in stored keys and on the sub-tab: "Chrome"
    const char* display; // in the pane: "Google Chrome"
};
inline constexpr std::array<BrowserName, kBrowserCount> kBrowserNames{{
    {"Edge", "Microsoft Edge"},
    {"Chrome", "Google Chrome"},
    {"Brave", "Brave"},
    {"Firefox", "Mozilla Firefox"},
    {"Opera", "Opera"},
}};
inline constexpr std::array<const char*, kBrowserItemCount> kBrowserItemNames{
    {"Cache", "Cookies", "History", "Session"}};

inline const BrowserName& nameOf(BrowserId b) {
    return kBrowserNames[static_cast<size_t>(b)];
}
inline const char* nameOf(BrowserItem i) {
    return kBrowserItemNames[static_cast<size_t>(i)];
}

inline constexpr const char* kBrowsersSection = "Browsers";
inline constexpr const char* kKeepCookiesKey = "KeepCookies";

// The "Browsers" sub-tab's boxes and keep list, stored under the program's
// title the moment they change. Nothing is stored until the user changes
// something, and every box starts unchecked, so a scheduled run of an older
// installation does what it did.
class BrowserOptions {
public:
    explicit BrowserOptions(SettingsStore& store) : store_(store) {}

    // Reads every key; only "1" checks a box.
    void load();
    bool checked(BrowserId b, BrowserItem i) const { return boxes_[index(b, i)]; }
    bool anyChecked(BrowserId b) const;
    // Stores the box at once (a user's click).
    void setChecked(BrowserId b, BrowserItem i, bool on);
    const std::string& keepCookies() const { return keep_; }
    // Stores the text as typed, at once.
    void setKeepCookies(const std::string& text);

    // "Chrome Cookies"
    static std::string keyName(BrowserId b, BrowserItem i);

private:
    static size_t index(BrowserId b, BrowserItem i) {
        return static_cast<size_t>(b) * kBrowserItemCount + static_cast<size_t>(i);
    }
    SettingsStore& store_;
    std::array<bool, kBrowserCount * kBrowserItemCount> boxes_{};
    std::string keep_;
};

} // namespace tidewell
