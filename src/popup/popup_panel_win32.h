#pragma once
// The popup killer's part of the main window: the switch (check box and tray
// menu item), the tracker of browser windows and its list on the "Popup
// Killer" page.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "popup/ie_class_win32.h"
#include "popup/popup_switch.h"
#include "popup/shell_windows_win32.h"

namespace tidewell {

class frmMain;
class SettingsStore;

class PopupKillerPanel : private popup::PopupSwitchView {
public:
    // `listener` hears the tracker's events (the main window).
    PopupKillerPanel(frmMain& form, SettingsStore& store, popup::IEWindowsEvents& listener);
    ~PopupKillerPanel() override;

    // Columns of the list and the handlers of the check box and the menu item.
    void wire();
    // Load steps: the stored switch, the tracker, the menu's check mark.
    void loadPopupKillerSwitch();
    void createWindowTracker();
    void markPopupKillerMenu();

    void chkPopupKillerActivate_Click() { switch_.chkPopupKillerActivate_Click(); }
    void mnuPoupKiller_Click() { switch_.mnuPoupKiller_Click(); }
    // Refills the list from the tracker; failures leave a cell empty.
    void RefreshIEWindowList() noexcept;

    // The tracker, once created.
    popup::cIEWindows* IEWin() noexcept { return tracker_ ? &tracker_->IEWin() : nullptr; }
    // The tray reads the mark here when it has no menu of its own yet.
    bool menuMark() const noexcept { return menuMark_; }
    // Row of a list key ("1234K"), or -1.
    int findItem(const std::string& key) const;

private:
    // PopupSwitchView
    int checkBoxValue() override;
    void setCheckBoxValue(int value) override;
    bool menuChecked() override;
    void setMenuChecked(bool checked) override;

    HWND page() const;
    HWND list() const;
    void fillList();

    frmMain& form_;
    popup::IEWindowsEvents& listener_;
    win32::Win32Input input_;
    popup::PopupKillerSwitch switch_;
    std::unique_ptr<win32::ShellWindowsTracker> tracker_;
    std::vector<std::string> itemKeys_;
    bool menuMark_ = false;
    bool refreshing_ = false;
    bool refreshAgain_ = false;
};

} // namespace tidewell
