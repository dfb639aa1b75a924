#pragma once
// The popup killer's part of the main window: the switch (check box and tray
// menu item), the tracker of browser windows and its list on the "Popup
// Killer" page.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "popup/ie_class_win32.h"
#include "popup/popup_switch.h"
#include "popup/shell_windows_win32.h"
#include "kernel/page_host_win32.h"
#include "win32/tab_page.h"

namespace tidewell {

class SettingsStore;

class PopupKillerPanel : private popup::PopupSwitchView {
public:
    // `listener` hears the tracker's events (the main window).
    PopupKillerPanel(PageHost& host, SettingsStore& store, popup::IEWindowsEvents& listener);
    ~PopupKillerPanel() override;

    // The "Popup Killer" page, as a child of `parent`.
    HWND createPage(HINSTANCE instance, HWND parent);
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

private:
    // PopupSwitchView
    int checkBoxValue() override;
    void setCheckBoxValue(int value) override;
    bool menuChecked() override;
    void setMenuChecked(bool checked) override;

    // The page: its list's columns, and the check box's clicks.
    class Page : public win32::TabPage {
    public:
        Page(PopupKillerPanel& panel, ErrorReporter& errors) : TabPage(errors), panel_(panel) {}

    protected:
        void onInit() override;
        void onCommand(int id, int code) override;

    private:
        PopupKillerPanel& panel_;
    };

    HWND page() const;
    HWND list() const;
    void fillList();
    // The list's rows as the tracker last gave them; the page shows them when made.
    void showRows();

    PageHost& host_;
    popup::IEWindowsEvents& listener_;
    // Before the tracker: its events may come until the tracker goes.
    Page page_{*this, host_.errors()};
    win32::Win32Input input_;
    popup::PopupKillerSwitch switch_;
    std::unique_ptr<win32::ShellWindowsTracker> tracker_;
    struct Row {
        std::wstring location, url, time;
        std::int32_t handle = 0;
    };
    std::vector<Row> rows_;
    int checkBox_ = BST_UNCHECKED;
    bool menuMark_ = false;
    bool refreshing_ = false;
    bool refreshAgain_ = false;
};

} // namespace tidewell
