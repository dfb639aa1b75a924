#pragma once
// The popup killer's on/off switch: the check box on the "Popup Killer" page
// and the tray menu item always agree, set the process-wide flag and store
// the choice under "PopupKiller"/"IsActive".
#include <string>

#include "popup/popup_rules.h"

namespace tidewell {
class SettingsStore;
}

namespace tidewell::popup {

inline constexpr const char* kSwitchSection = "PopupKiller";
inline constexpr const char* kSwitchKey = "IsActive";

// The two controls of the switch as the window shows them.
class PopupSwitchView {
public:
    virtual ~PopupSwitchView() = default;
    // 1 checked, 0 unchecked, 2 greyed.
    virtual int checkBoxValue() = 0;
    // Sets the value only; the switch runs the click handler itself.
    virtual void setCheckBoxValue(int value) = 0;
    virtual bool menuChecked() = 0;
    virtual void setMenuChecked(bool checked) = 0;
};

// "0" stored means off; any other text, none included, means on.
bool storedSwitchIsOn(const std::string& stored);

class PopupKillerSwitch {
public:
    PopupKillerSwitch(SettingsStore& store, PopupSwitchView& view, PopupFlags& flags) noexcept
        : store_(store), view_(view), flags_(flags) {}

    void chkPopupKillerActivate_Click();
    void mnuPoupKiller_Click();
    // Load step: read the stored choice and set the check box and the flag.
    void loadAtStartup();
    // Last load step: the menu mark follows the check box.
    void markMenuAtEndOfLoad();

private:
    // A check box announces every change of its value, whoever made it.
    void setCheckBox(int value);
    void store(const char* value) noexcept;

    SettingsStore& store_;
    PopupSwitchView& view_;
    PopupFlags& flags_;
};

} // namespace tidewell::popup
