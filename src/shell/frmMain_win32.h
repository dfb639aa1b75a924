#pragma once
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "kernel/page_host_win32.h"
#include "kernel/product_info.h"
#include "kernel/registry.h"
#include "kernel/report_error.h"
#include "kernel/settings_store.h"
#include "kernel/status_pane_win32.h"
#include "popup/ie_events.h"
#include "shell/form_load.h"
#include "tray/hook_protocol.h"
#include "tray/tray_icon_win32.h"
#include "win32/dialog.h"
#include "win32/tab_page.h"
#include "win32/unique_handle.h"

namespace tidewell {

class CleaningPanel;
class PopupKillerPanel;
class FileSecurityPanel;
class SchedulePage;

// Why an unload was asked for, by the classic numbers.
enum UnloadMode : int {
    vbFormControlMenu = 0, // close box or system menu
    vbFormCode = 1,        // the program itself (Exit button, tray menu)
    vbAppWindows = 2,      // Windows is ending the session
    vbAppTaskManager = 3,
};

// Everything the main window needs from outside; owned by the caller.
struct frmMainServices {
    HINSTANCE instance = nullptr;
    ProductInfo product;
    SettingsStore* settings = nullptr;
    Registry* registry = nullptr;
    ErrorReporter* errors = nullptr;
};

// The one main window: six tabbed pages, the status pane and labels, and the
// owner of every long-lived object of the program. Each page is a dialog of
// its subsystem and sees the window only as its PageHost.
class frmMain : public win32::Dialog,
                private PageHost,
                private FormLoadSteps,
                private popup::IEWindowsEvents {
public:
    explicit frmMain(frmMainServices services);
    ~frmMain() override;

    // Creates the window (running Form_Load to completion) and shows it,
    // unless the program starts in the notification area.
    void Show(bool visible = true);
    // A .cfy file to offer for decryption on the "File Security" page.
    void openForDecryption(const std::string& path);
    // Asks for an unload; returns false when Form_QueryUnload cancelled it.
    bool Unload(UnloadMode mode);

    HWND hwnd() const noexcept override { return Dialog::hwnd(); }
    HWND page(PageId id) const noexcept { return pages_[static_cast<size_t>(id)]; }
    int selectedTab() const noexcept;
    void selectTab(int index);
    const ProductInfo& product() const noexcept { return services_.product; }

    // Handlers, by the names the rest of the program knows them.
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload(bool& Cancel, int UnloadMode);
    void Form_Unload();
    void Form_Terminate();
    void cmdClose_Click();

    static void registerWindowClass(HINSTANCE instance);

protected:
    INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // PageHost.
    void selectTab(PageId page) override { selectTab(static_cast<int>(page)); }
    StatusPane& rtfMessage() noexcept override { return rtfMessage_; }
    StatusLabel& lblStatus() noexcept override { return lblStatus_; }
    bool& bLoaded() noexcept override { return bLoaded_; }
    HMENU trayMenu() const noexcept override;
    ErrorReporter& errors() noexcept override { return *services_.errors; }

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
    // The "Main" page's status pane, in the place its template keeps for it.
    void createStatusPane();
    // The page of a tab, created on first use.
    HWND ensurePage(PageId id);
    void startBanner(PageId id);
    void Form_MouseUp(WPARAM wp, LPARAM lp);
    void showFromTray();
    void mnuShow_Click();
    void mnuAbout_Click();
    void mnuUnloadPelliver_Click();
    void openWebSite(const std::string& suffix);
    // IEWin's two list events.
    void IEWindowRegistered() override;
    void IEWindowRevoked() override;
    void layoutPage(PageId id);
    // A path another copy handed over: checked here, opened once the sender
    // has its answer.
    bool onCopyData(const COPYDATASTRUCT& data);
    void openHandedOverFile();
    void onCommand(WPARAM wp, LPARAM lp);
    LRESULT onNotify(NMHDR& header);
    bool preTranslate(MSG& msg);
    template <typename F> void guarded(F&& work) {
        runGuarded(*services_.errors, std::forward<F>(work));
    }

    // The "Main" page: the clean-run buttons, help, the web site and Exit.
    class MainPage : public win32::TabPage {
    public:
        explicit MainPage(frmMain& owner) : TabPage(*owner.services_.errors), owner_(owner) {}

    protected:
        void onCommand(int id, int code) override;

    private:
        frmMain& owner_;
    };

    frmMainServices services_;
    bool bLoaded_ = false;
    std::unique_ptr<MainPage> mainPage_;
    std::unique_ptr<SchedulePage> schedule_;
    std::unique_ptr<CleaningPanel> cleaning_;
    std::unique_ptr<PopupKillerPanel> popupKiller_;
    std::unique_ptr<FileSecurityPanel> fileSecurity_;
    std::array<HWND, kPageCount> pages_{};
    win32::RichEditStatusPane rtfMessage_;
    win32::WindowStatusLabel lblStatus_;
    std::unique_ptr<TrayIcon> tray_;
    bool unloading_ = false;
    bool bannersStarted_ = false;
    std::string handedOver_;
};

} // namespace tidewell
