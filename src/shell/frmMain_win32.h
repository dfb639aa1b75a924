#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "kernel/product_info.h"
#include "kernel/registry.h"
#include "kernel/report_error.h"
#include "kernel/settings_store.h"
#include "kernel/status_pane_win32.h"
#include "popup/ie_events.h"
#include "schedule/schedule_panel_win32.h"
#include "shell/form_load.h"
#include "tray/hook_protocol.h"
#include "tray/tray_icon_win32.h"
#include "win32/dialog.h"
#include "win32/unique_handle.h"

namespace tidewell {

class CleaningPanel;
class PopupKillerPanel;
class FileSecurityPanel;

// Why an unload was asked for, by the classic numbers.
enum UnloadMode : int {
    vbFormControlMenu = 0, // close box or system menu
    vbFormCode = 1,        // the program itself (Exit button, tray menu)
    vbAppWindows = 2,      // Windows is ending the session
    vbAppTaskManager = 3,
};

inline constexpr int kTabCount = 6;

// Everything the main window needs from outside; owned by the caller.
struct frmMainServices {
    HINSTANCE instance = nullptr;
    ProductInfo product;
    SettingsStore* settings = nullptr;
    Registry* registry = nullptr;
    ErrorReporter* errors = nullptr;
};

// The one main window: six tabbed pages, the status pane and labels, and the
// owner of every long-lived object of the program.
class frmMain : public win32::Dialog, private FormLoadSteps, private popup::IEWindowsEvents {
public:
    explicit frmMain(frmMainServices services);
    ~frmMain() override;

    // Creates the window (running Form_Load to completion) and shows it.
    void Show();
    // Asks for an unload; returns false when Form_QueryUnload cancelled it.
    bool Unload(UnloadMode mode);

    // Members other subsystems use.
    bool bLoaded = false;
    StatusPane& rtfMessage() noexcept { return rtfMessage_; }
    StatusLabel& lblStatus() noexcept { return lblStatus_; }
    HWND page(int index) const noexcept { return pages_[static_cast<size_t>(index)]; }
    int selectedTab() const noexcept;
    void selectTab(int index);
    const ProductInfo& product() const noexcept { return services_.product; }
    HMENU trayMenu() const noexcept;

    // Handlers, by the names the rest of the program knows them.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload(bool& Cancel, int UnloadMode);
    void Form_Unload();
    void Form_Terminate();
    void cmdClose_Click();

    static void registerWindowClass(HINSTANCE instance);

    // Subsystems hook their controls here: a command (BN_CLICKED, EN_CHANGE,
    // ...) or a notification from any control of the window or its pages.
    using CommandHandler = std::function<void(int code)>;
    using NotifyHandler = std::function<LRESULT(NMHDR& header)>;
    void onCommandFrom(int id, CommandHandler handler);
    void onNotifyFrom(int id, NotifyHandler handler);

protected:
    INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // Load steps.
    void setCaption() override;
    void setShowItemCaption() override;
    void setWebSiteLabel() override;
    void installKeyboardHook() override;
    void setUserLabel() override;
    void setOsLabel() override;
    void loadPopupKillerSwitch() override;
    void createWindowTracker() override;
    void initPanels() override;
    void applyDefaultThenStoredOptions() override;
    void loadAutoSuggest() override;
    void loadHomePage() override;
    void setLoaded() override;
    void addTrayIcon() override;
    void loadSchedule() override;
    void setStatusReady() override;
    void startBanners() override;
    void markPopupKillerMenu() override;

    void createPages();
    void wireSchedule();
    void wireTrayAndInfo();
    void Form_MouseUp(WPARAM wp, LPARAM lp);
    void showFromTray();
    void mnuShow_Click();
    void mnuAbout_Click();
    void mnuUnloadPelliver_Click();
    void wireCleaning();
    // The popup killer: its page, switch and tracker; IEWin's two list events.
    void wirePopupKiller();
    void IEWindowRegistered() override;
    void IEWindowRevoked() override;
    void wireFileSecurity();
    void createOptionSubTabs();
    void selectOptionSubTab(int index);
    void layoutPages();
    void onCommand(int id, int code);
    LRESULT onNotify(NMHDR& header);
    bool preTranslate(MSG& msg);
    template <typename F> void guarded(F&& work) {
        runGuarded(*services_.errors, std::forward<F>(work));
    }

    class Page;
    frmMainServices services_;
    std::array<std::unique_ptr<Page>, kTabCount> pageDialogs_;
    std::unique_ptr<win32::SchedulePanelWin32> schedule_;
    std::unique_ptr<CleaningPanel> cleaning_;
    std::unique_ptr<PopupKillerPanel> popupKiller_;
    std::unique_ptr<FileSecurityPanel> fileSecurity_;
    std::array<HWND, kTabCount> pages_{};
    win32::RichEditStatusPane rtfMessage_;
    win32::WindowStatusLabel lblStatus_;
    std::unique_ptr<TrayIcon> tray_;
    std::map<int, CommandHandler> commandHandlers_;
    std::map<int, NotifyHandler> notifyHandlers_;
    bool unloading_ = false;
};

} // namespace tidewell
