#pragma once
#include <cstdint>
#include <string>

namespace tidewell {

// The icon's fixed record values.
inline constexpr std::uint32_t kTrayIconId = 1;
inline constexpr std::uint32_t kTrayIconFlags = 7;           // message, icon and tip
inline constexpr std::uint32_t kTrayCallbackMessage = 0x205; // arrives as a right-button-up
inline constexpr std::uint32_t kTrayDeleteCallback = 1;

// Mouse messages that reach the window through the icon's callback.
inline constexpr std::uint32_t kIconDoubleClick = 0x203;
inline constexpr std::uint32_t kIconRightButtonUp = 0x205;

// The tip cut to fit a field of `capacity` characters with its terminator,
// so the shell never reads past the field.
std::u16string fitTip(const std::u16string& tip, std::size_t capacity);

enum class TrayAction { None, ShowWindow, ShowMenu };

// Decodes a right-button-up that reached the main window. The icon's callback
// carries the icon id in wParam and the mouse message in lParam's low word. A
// real right click inside the visible window carries instead the client
// coordinates of the point where it happened, so `lParamIsMessagePoint` (the
// message's own position, in client coordinates, equals lParam) marks it as
// real and it is never taken for the icon's.
TrayAction decodeTrayCallback(std::uintptr_t wParam, std::uintptr_t lParam, bool windowVisible,
                              bool lParamIsMessagePoint);

// The hide rule for Alt+Shift: a window qualifies when its title is not
// blank and the whole title in capitals (blanks kept) is neither
// "SYSTEM AGENT COM WINDOW" nor "PROGRAM MANAGER".
bool qualifiesForHiding(const std::string& utf8Title);

// Recognises Alt+Shift pressed on its own: both modifiers down together with
// no other key involved, reported when the combination is released (so that
// Alt+Shift+Tab and the like never count). A plain struct, so that the hook
// library can keep it in memory shared by every process it is loaded into.
struct AltShiftDetector {
    enum Key : std::uint8_t { Alt, Shift, Other };
    bool altDown;
    bool shiftDown;
    bool bothSeen;
    bool spoiled;
    // Feeds one key event; true when the combination completed.
    bool onKey(Key key, bool down, bool repeat);
};

} // namespace tidewell
