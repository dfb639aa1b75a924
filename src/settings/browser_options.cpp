#include "settings/browser_options.h"

namespace tidewell {

std::string BrowserOptions::keyName(BrowserId b, BrowserItem i) {
    return std::string(nameOf(b).key) + " " + nameOf(i);
}

void BrowserOptions::load() {
    for (int b = 0; b < kBrowserCount; ++b) {
        for (int i = 0; i < kBrowserItemCount; ++i) {
            const auto id = static_cast<BrowserId>(b);
            const auto item = static_cast<BrowserItem>(i);
            // Anything but "1" (damaged, absent) leaves the box unchecked:
            // these keys are new, so no message box for them.
            boxes_[index(id, item)] =
                store_.GetSetting(kAppTitle, kBrowsersSection, keyName(id, item), "0") == "1";
        }
    }
    keep_ = store_.GetSetting(kAppTitle, kBrowsersSection, kKeepCookiesKey, "");
}

bool BrowserOptions::anyChecked(BrowserId b) const {
    for (int i = 0; i < kBrowserItemCount; ++i) {
        if (checked(b, static_cast<BrowserItem>(i))) {
            return true;
        }
    }
    return false;
}

void BrowserOptions::setChecked(BrowserId b, BrowserItem i, bool on) {
    boxes_[index(b, i)] = on;
    store_.SaveSetting(kAppTitle, kBrowsersSection, keyName(b, i), on ? "1" : "0");
}

void BrowserOptions::setKeepCookies(const std::string& text) {
    keep_ = text;
    store_.SaveSetting(kAppTitle, kBrowsersSection, kKeepCookiesKey, text);
}

} // namespace tidewell
