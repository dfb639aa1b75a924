#pragma once

namespace tidewell {

// The main window's load handler brings the subsystems up in this fixed order.
// Each subsystem fills its own step; a failure skips the remaining steps (the
// caller's guard reports it and the window still opens).
class FormLoadSteps {
public:
    virtual ~FormLoadSteps() = default;
    virtual void setCaption() = 0;                    // 1 product and version
    virtual void setShowItemCaption() = 0;            // 2 tray menu's show item
    virtual void setWebSiteLabel() = 0;               // 3 company text of the version record
    virtual void installKeyboardHook() = 0;           // 4 Alt+Shift hook
    virtual void setUserLabel() = 0;                  // 5 "User " + computer name
    virtual void setOsLabel() = 0;                    // 6 GetOSName
    virtual void loadPopupKillerSwitch() = 0;         // 7
    virtual void createWindowTracker() = 0;           // 8 IEWin
    virtual void initPanels() = 0;                    // 9 file type, file-security panel
    virtual void applyDefaultThenStoredOptions() = 0; // 10 with bLoaded False
    virtual void loadAutoSuggest() = 0;               // 11
    virtual void loadHomePage() = 0;                  // 12
    virtual void setLoaded() = 0;                     // 13 bLoaded True
    virtual void addTrayIcon() = 0;                   // 14
    virtual void loadSchedule() = 0;                  // 15
    virtual void setStatusReady() = 0;                // 16 "Ready"
    virtual void startBanners() = 0;                  // 17
    virtual void markPopupKillerMenu() = 0;           // 18
};

void runFormLoad(FormLoadSteps& steps);

} // namespace tidewell
