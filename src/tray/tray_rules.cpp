#include "tray/tray_rules.h"

#include <cctype>

namespace tidewell {

std::u16string fitTip(const std::u16string& tip, std::size_t capacity) {
    if (capacity == 0) {
        return {};
    }
    return tip.size() < capacity ? tip : tip.substr(0, capacity - 1);
}

TrayAction decodeTrayCallback(std::uintptr_t wParam, std::uintptr_t lParam, bool windowVisible,
                              bool lParamIsMessagePoint) {
    if (wParam != kTrayIconId || (windowVisible && lParamIsMessagePoint)) {
        return TrayAction::None;
    }
    switch (lParam & 0xFFFF) {
    case kIconDoubleClick:
        return TrayAction::ShowWindow;
    case kIconRightButtonUp:
        return TrayAction::ShowMenu;
    default:
        return TrayAction::None;
    }
}

bool qualifiesForHiding(const std::string& title) {
    std::size_t first = title.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    std::string upper;
    upper.reserve(title.size());
    for (char c : title) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper != "SYSTEM AGENT COM WINDOW" && upper != "PROGRAM MANAGER";
}

bool AltShiftDetector::onKey(Key key, bool down, bool repeat) {
    if (down) {
        if (repeat) {
            return false;
        }
        if (key == Other) {
            // Another key while a modifier is held spoils the combination.
            if (altDown || shiftDown) {
                spoiled = true;
            }
            return false;
        }
        if (!altDown && !shiftDown) {
            bothSeen = false;
            spoiled = false;
        }
        (key == Alt ? altDown : shiftDown) = true;
        if (altDown && shiftDown) {
            bothSeen = true;
        }
        return false;
    }
    if (key == Other) {
        return false;
    }
    const bool wasBoth = altDown && shiftDown;
    (key == Alt ? altDown : shiftDown) = false;
    // Fire as the pair comes apart, once.
    if (wasBoth && bothSeen && !spoiled) {
        bothSeen = false;
        return true;
    }
    return false;
}

} // namespace tidewell
