#include "popup/popup_switch.h"

#include "kernel/settings_store.h"

namespace tidewell::popup {

bool storedSwitchIsOn(const std::string& stored) {
    return stored != "0";
}

void PopupKillerSwitch::store(const char* value) noexcept {
    // The store reports nothing to the switch: the flag and the controls
    // follow the user's choice even when it cannot be remembered.
    try {
        store_.SaveSetting(kAppTitle, kSwitchSection, kSwitchKey, value);
    } catch (...) {
    }
}

void PopupKillerSwitch::chkPopupKillerActivate_Click() {
    if (view_.checkBoxValue() == 1) {
        store("1");
        flags_.gPopupKillerActive = true;
        view_.setMenuChecked(true);
    } else {
        store("0");
        flags_.gPopupKillerActive = false;
        view_.setMenuChecked(false);
    }
}

void PopupKillerSwitch::mnuPoupKiller_Click() {
    if (view_.menuChecked()) {
        store("0");
        flags_.gPopupKillerActive = false;
        setCheckBox(0);
    } else {
        store("1");
        flags_.gPopupKillerActive = true;
        setCheckBox(1);
    }
}

void PopupKillerSwitch::loadAtStartup() {
    std::string stored = "1";
    try {
        stored = store_.GetSetting(kAppTitle, kSwitchSection, kSwitchKey, "1");
    } catch (...) {
        // An unreadable store counts as nothing stored.
    }
    if (!storedSwitchIsOn(stored)) {
        setCheckBox(0);
        flags_.gPopupKillerActive = false;
    } else {
        setCheckBox(1);
        flags_.gPopupKillerActive = true;
    }
}

void PopupKillerSwitch::markMenuAtEndOfLoad() {
    view_.setMenuChecked(view_.checkBoxValue() != 0);
}

void PopupKillerSwitch::setCheckBox(int value) {
    if (view_.checkBoxValue() != value) {
        view_.setCheckBoxValue(value);
        chkPopupKillerActivate_Click();
    }
}

} // namespace tidewell::popup
