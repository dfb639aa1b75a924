#include "shell/frmMain_win32.h"

#include <commctrl.h>
#include <richedit.h>
#include <uxtheme.h>

#include "cleaning/cleaning_panel_win32.h"
#include "filesecurity/file_security_panel_win32.h"
#include "info/frmAbout_win32.h"
#include "info/open_web_page_win32.h"
#include "popup/popup_panel_win32.h"
#include "shell/banner_win32.h"
#include "shell/os_win32.h"
#include "shell/resource.h"
#include "shell/startup.h"
#include "tray/mshook_win32.h"
#include "win32/error_report.h"
#include "win32/message_pump.h"
#include "win32/unicode.h"
#include "win32/win32_error.h"
#include "win32/window_text.h"

namespace tidewell {

using win32::setWindowText;
using win32::toUtf16;

namespace {
struct TabDef {
    const wchar_t* caption;
    int templateId;
};
// "&&" shows one ampersand: the tab control draws mnemonic prefixes.
constexpr std::array<TabDef, kTabCount> kTabs{{
    {L"Main", IDD_PAGE_MAIN},
    {L"Options && Settings", IDD_PAGE_OPTIONS},
    {L"Schedule", IDD_PAGE_SCHEDULE},
    {L"Advanced", IDD_PAGE_ADVANCED},
    {L"Popup Killer", IDD_PAGE_POPUP},
    {L"File Security", IDD_PAGE_FILESECURITY},
}};
constexpr int kBannerSpeed = 20;
constexpr UINT kCreateTrackerMessage = WM_APP + 2;
} // namespace

// A tab page: a child dialog whose control messages go to the main window.
class frmMain::Page : public win32::Dialog {
public:
    explicit Page(frmMain& owner) : owner_(owner) {}

protected:
    INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
        case WM_INITDIALOG:
            ::EnableThemeDialogTexture(hwnd(), ETDT_ENABLETAB);
            return FALSE;
        case WM_COMMAND:
            owner_.onCommand(LOWORD(wp), HIWORD(wp));
            return TRUE;
        case WM_NOTIFY: {
            LRESULT r = owner_.onNotify(*reinterpret_cast<NMHDR*>(lp));
            ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, r);
            return TRUE;
        }
        default:
            return FALSE;
        }
    }

private:
    frmMain& owner_;
};

frmMain::frmMain(frmMainServices services) : services_(std::move(services)) {}

frmMain::~frmMain() = default;

void frmMain::registerWindowClass(HINSTANCE instance) {
    // The main dialog gets a class of its own so that it can be found (tray
    // restore, tests) without relying on its caption.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        win32::throwLastError();
    }
    win32::registerBannerClass(instance);
}

void frmMain::Show() {
    if (hwnd() == nullptr) {
        createModeless(services_.instance, IDD_MAIN, nullptr);
        win32::registerModeless(hwnd(), [this](MSG& m) { return preTranslate(m); });
    }
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::UpdateWindow(hwnd());
}

void frmMain::onCommandFrom(int id, CommandHandler handler) {
    commandHandlers_[id] = std::move(handler);
}

void frmMain::onNotifyFrom(int id, NotifyHandler handler) {
    notifyHandlers_[id] = std::move(handler);
}

HMENU frmMain::trayMenu() const noexcept {
    return tray_ ? tray_->menu() : nullptr;
}

int frmMain::selectedTab() const noexcept {
    return static_cast<int>(::SendDlgItemMessageW(hwnd(), IDC_TABMAIN, TCM_GETCURSEL, 0, 0));
}

void frmMain::selectTab(int index) {
    if (index < 0 || index >= kTabCount) {
        return;
    }
    ::SendDlgItemMessageW(hwnd(), IDC_TABMAIN, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (int i = 0; i < kTabCount; ++i) {
        ::ShowWindow(pages_[static_cast<size_t>(i)], i == index ? SW_SHOW : SW_HIDE);
    }
}

void frmMain::createPages() {
    HWND tab = item(IDC_TABMAIN);
    for (int i = 0; i < kTabCount; ++i) {
        TCITEMW ti{};
        ti.mask = TCIF_TEXT;
        ti.pszText = const_cast<wchar_t*>(kTabs[static_cast<size_t>(i)].caption);
        ::SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti));
    }
    for (int i = 0; i < kTabCount; ++i) {
        auto& page = pageDialogs_[static_cast<size_t>(i)];
        page = std::make_unique<Page>(*this);
        pages_[static_cast<size_t>(i)] = page->createModeless(
            services_.instance, kTabs[static_cast<size_t>(i)].templateId, hwnd());
    }
    layoutPages();
    rtfMessage_.attach(::GetDlgItem(pages_[0], IDC_RTFMESSAGE));
    lblStatus_.attach(item(IDC_LBLSTATUS));
    ::SendMessageW(rtfMessage_.hwnd(), EM_SETBKGNDCOLOR, 0, RGB(255, 255, 255));
    createOptionSubTabs();
    wireSchedule();
    wireTrayAndInfo();
    wireCleaning();
    wireFileSecurity();
    wirePopupKiller();
    selectTab(0);
}

void frmMain::wireFileSecurity() {
    fileSecurity_ =
        std::make_unique<FileSecurityPanel>(*this, *services_.registry, *services_.settings);
}

void frmMain::wirePopupKiller() {
    popupKiller_ = std::make_unique<PopupKillerPanel>(*this, *services_.settings,
                                                      static_cast<popup::IEWindowsEvents&>(*this));
    popupKiller_->wire();
}

void frmMain::IEWindowRegistered() {
    popupKiller_->RefreshIEWindowList();
}

void frmMain::IEWindowRevoked() {
    popupKiller_->RefreshIEWindowList();
}

void frmMain::wireCleaning() {
    cleaning_ = std::make_unique<CleaningPanel>(*this, *schedule_, *services_.settings,
                                                *services_.registry, *services_.errors);
    cleaning_->wire();
}

void frmMain::wireTrayAndInfo() {
    // The window's own icon, also the tray's.
    tray_ = std::make_unique<TrayIcon>(services_.instance, hwnd(), IDI_APP,
                                       productVersionText(services_.product));

    auto clicked = [this](int id, void (frmMain::*handler)()) {
        onCommandFrom(id, [this, handler](int code) {
            if (code == BN_CLICKED) {
                (this->*handler)();
            }
        });
    };
    clicked(ID_MNUSHOW, &frmMain::mnuShow_Click);
    clicked(ID_MNUABOUT, &frmMain::mnuAbout_Click);
    clicked(ID_MNUUNLOADPELLIVER, &frmMain::mnuUnloadPelliver_Click);
    const std::string site = services_.product.companyName;
    onCommandFrom(IDC_CMDHELP, [this](int code) {
        if (code == BN_CLICKED) {
            GenFunc::OpenWebPage(
                hwnd(), win32::windowText(::GetDlgItem(pages_[0], IDC_LBLWEBSITE)) + "/help.html",
                "htm");
        }
    });
    auto openSite = [this](int code) {
        if (code == BN_CLICKED) { // STN_CLICKED has the same value
            GenFunc::OpenWebPage(hwnd(), win32::windowText(::GetDlgItem(pages_[0], IDC_LBLWEBSITE)),
                                 "htm");
        }
    };
    onCommandFrom(IDC_LBLWEBSITE, openSite);
    onCommandFrom(IDC_CMDUPGRADE, openSite);
}

void frmMain::showFromTray() {
    ::ShowWindow(hwnd(), SW_SHOW);
    ::ShowWindow(hwnd(), SW_RESTORE);
    ::SetForegroundWindow(hwnd());
}

void frmMain::mnuShow_Click() {
    showFromTray();
}

void frmMain::mnuAbout_Click() {
    frmAbout about(services_.product);
    about.ShowModal(services_.instance, hwnd());
}

void frmMain::mnuUnloadPelliver_Click() {
    tray_->remove();
    Unload(vbFormCode);
}

void frmMain::Form_MouseUp(WPARAM wp, LPARAM lp) {
    if (tray_) {
        tray_->mouseUp(wp, lp, [this] { showFromTray(); });
    }
}

void frmMain::wireSchedule() {
    win32::SchedulePanelWin32::Services services;
    services.page = pages_[2];
    services.store = services_.settings;
    services.errors = services_.errors;
    services.windowCaption = [this] { return win32::windowText(hwnd()); };
    // A scheduled run is exactly a click on "Basic Clean".
    services.runClean = [this] { onCommand(IDC_CMDBASICCLEAN, BN_CLICKED); };
    schedule_ = std::make_unique<win32::SchedulePanelWin32>(std::move(services));
    auto on = [this](int id, int code, void (win32::SchedulePanelWin32::*handler)()) {
        onCommandFrom(id, [this, code, handler](int got) {
            if (got == code) {
                (schedule_.get()->*handler)();
            }
        });
    };
    using P = win32::SchedulePanelWin32;
    on(IDC_CMBDAYS, CBN_SELCHANGE, &P::cmbDays_Click);
    on(IDC_TXTHOURS, EN_CHANGE, &P::txtHours_Change);
    on(IDC_CMDAPPLY, BN_CLICKED, &P::cmdApply_Click);
    on(IDC_CMDCANCEL, BN_CLICKED, &P::cmdCancel_Click);
    on(IDC_CMDDEFAULTSCHEDULE, BN_CLICKED, &P::cmdDefaultSchedule_Click);
    onNotifyFrom(IDC_DTPSCHEDULEDATE, [this](NMHDR& h) -> LRESULT {
        if (h.code == DTN_DATETIMECHANGE) {
            schedule_->datePickerChanged();
        }
        return 0;
    });
    onNotifyFrom(IDC_DTPSCHEDULETIME, [this](NMHDR& h) -> LRESULT {
        if (h.code == DTN_DATETIMECHANGE) {
            schedule_->timePickerChanged();
        }
        return 0;
    });
}

void frmMain::createOptionSubTabs() {
    HWND tab = ::GetDlgItem(pages_[1], IDC_TABOPTIONS);
    // The strip clips its overlapping siblings (the check boxes on it); the
    // frame around the page must not be one of them, or the strip vanishes.
    ::SetWindowPos(::GetDlgItem(pages_[1], IDC_FMSETTINGS), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const wchar_t* captions[] = {L"Windows", L"Internet"};
    for (int i = 0; i < 2; ++i) {
        TCITEMW ti{};
        ti.mask = TCIF_TEXT;
        ti.pszText = const_cast<wchar_t*>(captions[i]);
        ::SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti));
    }
    onNotifyFrom(IDC_TABOPTIONS, [this](NMHDR& header) -> LRESULT {
        if (header.code == TCN_SELCHANGE) {
            selectOptionSubTab(
                static_cast<int>(::SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
        }
        return 0;
    });
    selectOptionSubTab(0);
}

void frmMain::selectOptionSubTab(int index) {
    HWND page = pages_[1];
    ::SendDlgItemMessageW(page, IDC_TABOPTIONS, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (int option : kWindowsOptionIndexes) {
        ::ShowWindow(::GetDlgItem(page, IDC_CHKSETTINGS_0 + option),
                     index == 0 ? SW_SHOW : SW_HIDE);
    }
    for (int option : kInternetOptionIndexes) {
        ::ShowWindow(::GetDlgItem(page, IDC_CHKSETTINGS_0 + option),
                     index == 1 ? SW_SHOW : SW_HIDE);
    }
    ::ShowWindow(::GetDlgItem(page, IDC_CHKWEBADDRESS), index == 1 ? SW_SHOW : SW_HIDE);
}

void frmMain::layoutPages() {
    HWND tab = item(IDC_TABMAIN);
    RECT rc;
    ::GetWindowRect(tab, &rc);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    ::SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
    // Each page sits right after the tab control in the z-order, so that Tab
    // moves from the tab strip into the page; the strip clips its siblings.
    HWND after = tab;
    for (HWND page : pages_) {
        ::SetWindowPos(page, after, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOACTIVATE);
        after = page;
    }
}

bool frmMain::preTranslate(MSG& msg) {
    // Ctrl+Tab / Ctrl+Shift+Tab and Ctrl+PgDn / Ctrl+PgUp move between tabs.
    if (msg.message != WM_KEYDOWN || (::GetKeyState(VK_CONTROL) & 0x8000) == 0) {
        return false;
    }
    int step = 0;
    if (msg.wParam == VK_TAB) {
        step = (::GetKeyState(VK_SHIFT) & 0x8000) != 0 ? -1 : 1;
    } else if (msg.wParam == VK_NEXT) {
        step = 1;
    } else if (msg.wParam == VK_PRIOR) {
        step = -1;
    }
    if (step == 0) {
        return false;
    }
    selectTab((selectedTab() + step + kTabCount) % kTabCount);
    ::SetFocus(item(IDC_TABMAIN));
    return true;
}

void frmMain::onCommand(int id, int code) {
    auto it = commandHandlers_.find(id);
    if (it != commandHandlers_.end()) {
        // Copy: a handler may replace itself.
        CommandHandler handler = it->second;
        guarded([&] { handler(code); });
    }
}

LRESULT frmMain::onNotify(NMHDR& header) {
    if (header.idFrom == IDC_TABMAIN && header.code == TCN_SELCHANGE) {
        selectTab(selectedTab());
        return 0;
    }
    auto it = notifyHandlers_.find(static_cast<int>(header.idFrom));
    if (it != notifyHandlers_.end()) {
        NotifyHandler handler = it->second;
        LRESULT result = 0;
        guarded([&] { result = handler(header); });
        return result;
    }
    return 0;
}

INT_PTR frmMain::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        createPages();
        onCommandFrom(IDC_CMDCLOSE, [this](int code) {
            if (code == BN_CLICKED) {
                cmdClose_Click();
            }
        });
        guarded([this] { Form_Load(); });
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) {
            guarded([this] { Form_Activate(); });
        }
        return FALSE;
    case WM_COMMAND:
        onCommand(LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_NOTIFY: {
        LRESULT r = onNotify(*reinterpret_cast<NMHDR*>(lp));
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, r);
        return TRUE;
    }
    case WM_CLOSE:
        Unload(vbFormControlMenu);
        return TRUE;
    case WM_RBUTTONUP:
        guarded([&] { Form_MouseUp(wp, lp); });
        return TRUE;
    case WM_QUERYENDSESSION:
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ENDSESSION:
        if (wp) {
            Unload(vbAppWindows);
        }
        return TRUE;
    case WM_DESTROY:
        guarded([this] { Form_Terminate(); });
        return FALSE;
    case kCreateTrackerMessage:
        guarded([this] { popupKiller_->createWindowTracker(); });
        return TRUE;
    default:
        return tray_ && tray_->handleMessage(msg) ? TRUE : FALSE;
    }
}

bool frmMain::Unload(UnloadMode mode) {
    if (unloading_) {
        return true;
    }
    bool cancel = false;
    guarded([&] { Form_QueryUnload(cancel, mode); });
    if (cancel) {
        return false;
    }
    unloading_ = true;
    guarded([this] { Form_Unload(); });
    return true;
}

// ---- Load ------------------------------------------------------------------

void frmMain::Form_Load() {
    runFormLoad(*this);
}

void frmMain::setCaption() {
    setWindowText(hwnd(), productVersionText(services_.product));
}

void frmMain::setShowItemCaption() {
    tray_->loadMenu(productVersionText(services_.product));
}

void frmMain::setWebSiteLabel() {
    setWindowText(::GetDlgItem(pages_[0], IDC_LBLWEBSITE), services_.product.companyName);
}

void frmMain::installKeyboardHook() {
    MSHook::InitKeyboardHook(hwnd());
}

void frmMain::setUserLabel() {
    wchar_t name[256] = {};
    DWORD size = 255;
    const bool read = ::GetComputerNameW(name, &size) != 0;
    setWindowText(item(IDC_LBLUSER),
                  userLabelText(read, read ? win32::toUtf8(std::wstring_view(name, size)) : ""));
}

void frmMain::setOsLabel() {
    setWindowText(item(IDC_LBLOS), GetOSName());
}

void frmMain::loadPopupKillerSwitch() {
    popupKiller_->loadPopupKillerSwitch();
}

void frmMain::createWindowTracker() {
    // Reaching the shell's window list is a round trip to another process
    // (60-120 ms under Wine); it is made as soon as the window is up.
    ::PostMessageW(hwnd(), kCreateTrackerMessage, 0, 0);
}

void frmMain::initPanels() {
    // The .cfy type check and the file-security panel's start state.
    fileSecurity_->InitPanels();
}

void frmMain::applyDefaultThenStoredOptions() {
    // bLoaded False, cmdDefaultSettings_Click, LoadOptions.
    cleaning_->applyDefaultThenStoredOptions();
}

void frmMain::loadAutoSuggest() {
    cleaning_->loadAutoSuggest();
}

void frmMain::loadHomePage() {
    cleaning_->loadHomePage();
}

void frmMain::setLoaded() {
    bLoaded = true;
}

void frmMain::addTrayIcon() {
    tray_->add();
}

void frmMain::loadSchedule() {
    schedule_->prepareAtStartup();
}

void frmMain::setStatusReady() {
    lblStatus_.SetText(kStatusReady);
}

void frmMain::startBanners() {
    const struct {
        int page;
        int id;
        const char* title;
    } banners[] = {
        {5, IDC_BANNER_FILESECURITY, "File Security"},
        {0, IDC_BANNER_MAIN, "Varnholt"},
        {4, IDC_BANNER_POPUP, "Popup Killer"},
    };
    for (const auto& b : banners) {
        HWND banner = ::GetDlgItem(pages_[static_cast<size_t>(b.page)], b.id);
        win32::setBannerSpeed(banner, kBannerSpeed);
        setWindowText(banner, bannerText(services_.product, b.title));
    }
}

void frmMain::markPopupKillerMenu() {
    popupKiller_->markPopupKillerMenu();
}

// ---- Lifecycle -------------------------------------------------------------

void frmMain::Form_Activate() {
    ::ShowWindow(::GetDlgItem(pages_[0], IDC_CMDCLOSE), SW_SHOW);
}

void frmMain::Form_QueryUnload(bool& Cancel, int UnloadMode) {
    if (UnloadMode == vbFormControlMenu) {
        // The close box only hides the window; the program goes on in the tray.
        addTrayIcon();
        ::ShowWindow(hwnd(), SW_MINIMIZE);
        ::ShowWindow(hwnd(), SW_HIDE);
        Cancel = true;
    }
}

void frmMain::Form_Unload() {
    // Settings are stored when they change: nothing to save here.
    if (tray_) {
        tray_->remove();
    }
    MSHook::ReleaseKeyboardHook();
    ::PostQuitMessage(0);
    ::DestroyWindow(hwnd());
}

void frmMain::Form_Terminate() {
    if (tray_) {
        tray_->remove();
    }
}

void frmMain::cmdClose_Click() {
    Unload(vbFormCode);
}

} // namespace tidewell
