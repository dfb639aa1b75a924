#include "popup/popup_rules.h"

namespace tidewell::popup {

PopupFlags& popupFlags() noexcept {
    static PopupFlags flags;
    return flags;
}

bool IE_NewWindow2(InputPort& input, const PopupFlags& flags) {
    if (input.asyncKeyState(kVkControl) != 0) {
        // Read again so that a press already served does not let the next one through.
        (void)input.asyncKeyState(kVkControl);
        return false;
    }
    if (flags.gPopupKillerActive) {
        input.beep(kToneHz, kToneMs);
        return true;
    }
    return false;
}

std::int16_t mouseModifier(InputPort& input) {
    std::int16_t modifier = 0;
    if (input.asyncKeyState(kVkShift) != 0) {
        modifier = 1;
    }
    if (input.asyncKeyState(kVkControl) != 0) {
        modifier = 2;
    }
    if (input.asyncKeyState(kVkMenu) != 0) {
        modifier = 4;
    }
    return modifier;
}

std::int16_t MouseButtons::onMouseDown(InputPort& input) {
    const auto state = static_cast<std::uint16_t>(input.asyncKeyState(kVkLButton));
    if ((state & 0x8000u) != 0) {
        bLeftDown = true;
        return 1;
    }
    bRightDown = true;
    return 2;
}

std::int16_t MouseButtons::onMouseUp() {
    if (bLeftDown) {
        bLeftDown = false;
        return 1;
    }
    bRightDown = false;
    return 2;
}

void NavigationState::commandStateChange(std::int32_t command, bool enable) {
    if (command == kCommandNavigateForward) {
        EnableForward = enable;
    } else if (command == kCommandNavigateBack) {
        EnableBack = enable;
    }
}

void beginForwardProbe(PopupFlags& flags) {
    flags.gCancelNextNavigation = true;
}

bool endForwardProbe(PopupFlags& flags, NavigationState& state, bool probeSucceeded) {
    if (!probeSucceeded) {
        state.EnableForward = false;
        flags.gCancelNextNavigation = false;
        return false;
    }
    return true;
}

bool takeCancelNextNavigation(PopupFlags& flags) {
    if (flags.gCancelNextNavigation) {
        flags.gCancelNextNavigation = false;
        return true;
    }
    return false;
}

bool contextMenuAllowed(PopupFlags& flags) {
    const bool allowed = !flags.gCancelNextNavigation;
    flags.gCancelNextNavigation = false;
    return allowed;
}

} // namespace tidewell::popup
