#pragma once
// The popup killer's decisions, free of any window system: the new-window
// rule, the mouse button and modifier rules, the navigation state kept from
// CommandStateChange, and the one-shot flag of the forward probe.
#include <cstdint>

namespace tidewell::popup {

inline constexpr int kVkLButton = 0x01;
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkMenu = 0x12; // Alt

inline constexpr unsigned kToneHz = 950;
inline constexpr unsigned kToneMs = 150;

// Commands of CommandStateChange.
inline constexpr std::int32_t kCommandNavigateForward = 1;
inline constexpr std::int32_t kCommandNavigateBack = 2;

// What the rules read from the machine and the one sound they make.
class InputPort {
public:
    virtual ~InputPort() = default;
    // GetAsyncKeyState: top bit = down now, low bit = pressed since last query.
    virtual std::int16_t asyncKeyState(int virtualKey) = 0;
    virtual void beep(unsigned hertz, unsigned milliseconds) = 0;
};

// The two process-wide flags. Only the user-interface thread touches them.
struct PopupFlags {
    // On: new-window requests are refused. Written by the switch only.
    bool gPopupKillerActive = false;
    // One-shot: cancels the next navigation, or else the next context menu.
    bool gCancelNextNavigation = false;
};

// The process's one set of flags.
PopupFlags& popupFlags() noexcept;

// NewWindow2: returns whether the request is to be cancelled. Ctrl held (or
// pressed since the last query) always lets the window open; its state is
// read a second time to consume the "pressed since" bit.
bool IE_NewWindow2(InputPort& input, const PopupFlags& flags);

// Shift 1, Ctrl 2, Alt 4: a single value, the last held key of that order wins.
std::int16_t mouseModifier(InputPort& input);

// Which button a document mouse-down saw, so that the matching mouse-up
// reports the same one.
struct MouseButtons {
    bool bLeftDown = false;
    bool bRightDown = false;
    std::int16_t onMouseDown(InputPort& input);
    std::int16_t onMouseUp();
};

// Back/forward availability as the browser last reported it.
struct NavigationState {
    bool EnableBack = false;
    bool EnableForward = false;
    void commandStateChange(std::int32_t command, bool enable);
};

// The forward probe made when a sink takes on its browser: the flag is set
// before GoForward so that the navigation the probe starts gets cancelled.
void beginForwardProbe(PopupFlags& flags);
// After GoForward; returns whether the browser is to be told to stop downloading.
bool endForwardProbe(PopupFlags& flags, NavigationState& state, bool probeSucceeded);

// BeforeNavigate2, after forwarding: whether to cancel this navigation.
bool takeCancelNextNavigation(PopupFlags& flags);
// oncontextmenu: whether the browser may show its menu.
bool contextMenuAllowed(PopupFlags& flags);

} // namespace tidewell::popup
