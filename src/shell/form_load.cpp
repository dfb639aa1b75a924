#include "shell/form_load.h"

namespace tidewell {

void runFormLoad(FormLoadSteps& s) {
    s.setCaption();
    s.setShowItemCaption();
    s.setWebSiteLabel();
    s.installKeyboardHook();
    s.setUserLabel();
    s.setOsLabel();
    s.loadPopupKillerSwitch();
    s.createWindowTracker();
    s.initPanels();
    s.applyDefaultThenStoredOptions();
    s.loadAutoSuggest();
    s.loadHomePage();
    s.setLoaded();
    s.addTrayIcon();
    s.loadSchedule();
    s.setStatusReady();
    s.startBanners();
    s.markPopupKillerMenu();
}

} // namespace tidewell
