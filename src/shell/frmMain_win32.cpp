#include "shell/frmMain_win32.h"

#include <commctrl.h>
#include <richedit.h>

#include <utility>

#include "cleaning/cleaning_panel_win32.h"
#include "filesecurity/file_security_panel_win32.h"
#include "info/frmAbout_win32.h"
#include "info/open_web_page_win32.h"
#include "popup/popup_panel_win32.h"
#include "schedule/schedule_page_win32.h"
#include "shell/banner_win32.h"
#include "shell/command_line.h"
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
// By PageId; "&&" shows one ampersand: the tab control draws mnemonic prefixes.
constexpr std::array<const wchar_t*, kPageCount> kTabCaptions{
    L"Main", L"Options && Settings", L"Schedule", L"Advanced", L"Popup Killer", L"File Security",
};
constexpr int kBannerSpeed = 20;
constexpr UINT kCreateTrackerMessage = WM_APP + 2;
constexpr UINT kOpenHandedOverMessage = WM_APP + 3;
} // namespace

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
    // No class icons: the window gets its own once it is painted (see Show).
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        win32::throwLastError();
    }
    win32::registerBannerClass(instance);
}

void frmMain::Show(bool visible) {
    if (hwnd() == nullptr) {
        createModeless(services_.instance, IDD_MAIN, nullptr);
        win32::registerModeless(hwnd(), [this](MSG& m) { return preTranslate(m); });
    }
    if (visible) {
        ::ShowWindow(hwnd(), SW_SHOWNORMAL);
        ::UpdateWindow(hwnd());
    }
    if (rtfMessage_.hwnd() == nullptr) {
        createStatusPane();
    }
    if (::SendMessageW(hwnd(), WM_GETICON, ICON_SMALL, 0) == 0) {
        // Both sizes from the resource's own images (the small one is also
        // the tray's), after the first paint: under Wine each costs the start
        // a conversion for the window manager.
        for (const auto& [which, metric] :
             {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
            const int size = ::GetSystemMetrics(metric);
            ::SendMessageW(
                hwnd(), WM_SETICON, which,
                reinterpret_cast<LPARAM>(::LoadImageW(services_.instance, MAKEINTRESOURCEW(IDI_APP),
                                                      IMAGE_ICON, size, size, LR_SHARED)));
        }
    }
}

void frmMain::createStatusPane() {
    // The rich edit and its library cost the start about 10 ms under Wine:
    // they come after the first paint, which shows an empty box in their
    // place. Nothing writes to the pane before (user input waits for the
    // message loop).
    static win32::UniqueModule richEdit(
        ::LoadLibraryExW(L"riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    HWND main = page(PageId::Main);
    HWND space = ::GetDlgItem(main, IDC_RTFMESSAGE_SPACE);
    RECT rc{};
    ::GetWindowRect(space, &rc);
    ::MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rc), 2);
    HWND pane = ::CreateWindowExW(WS_EX_NOPARENTNOTIFY, L"RichEdit20W", L"",
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP |
                                      ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_SAVESEL,
                                  rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, main,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_RTFMESSAGE)),
                                  services_.instance, nullptr);
    if (pane == nullptr) {
        win32::throwLastError();
    }
    // The place's position in the tab order, and the page's font.
    ::SetWindowPos(pane, space, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageW(pane, WM_SETFONT, static_cast<WPARAM>(::SendMessageW(main, WM_GETFONT, 0, 0)),
                   FALSE);
    ::DestroyWindow(space);
    rtfMessage_.attach(pane);
    ::SendMessageW(pane, EM_SETBKGNDCOLOR, 0, RGB(255, 255, 255));
}

void frmMain::openForDecryption(const std::string& path) {
    guarded([&] { fileSecurity_->openForDecryption(path); });
}

bool frmMain::onCopyData(const COPYDATASTRUCT& data) {
    // Another process wrote this: a path, and nothing else, or it is ignored.
    auto path = decodeHandOver(data.dwData, data.lpData, data.cbData);
    if (!path || unloading_) {
        return false;
    }
    handedOver_ = std::move(*path);
    ::PostMessageW(hwnd(), kOpenHandedOverMessage, 0, 0);
    return true;
}

void frmMain::openHandedOverFile() {
    if (handedOver_.empty()) {
        return;
    }
    const std::string path = std::move(handedOver_);
    handedOver_.clear();
    showFromTray();
    fileSecurity_->openForDecryption(path);
}

HMENU frmMain::trayMenu() const noexcept {
    return tray_ ? tray_->menu() : nullptr;
}

int frmMain::selectedTab() const noexcept {
    return static_cast<int>(::SendDlgItemMessageW(hwnd(), IDC_TABMAIN, TCM_GETCURSEL, 0, 0));
}

void frmMain::selectTab(int index) {
    if (index < 0 || index >= kPageCount) {
        return;
    }
    ensurePage(static_cast<PageId>(index));
    ::SendDlgItemMessageW(hwnd(), IDC_TABMAIN, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (int i = 0; i < kPageCount; ++i) {
        ::ShowWindow(pages_[static_cast<size_t>(i)], i == index ? SW_SHOW : SW_HIDE);
    }
}

void frmMain::createPages() {
    HWND tab = item(IDC_TABMAIN);
    for (int i = 0; i < kPageCount; ++i) {
        TCITEMW ti{};
        ti.mask = TCIF_TEXT;
        ti.pszText = const_cast<wchar_t*>(kTabCaptions[static_cast<size_t>(i)]);
        ::SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti));
    }
    HINSTANCE instance = services_.instance;
    PageHost& host = *this;

    mainPage_ = std::make_unique<MainPage>(*this);
    pages_[static_cast<size_t>(PageId::Main)] = mainPage_->create(instance, IDD_PAGE_MAIN, hwnd());
    lblStatus_.attach(item(IDC_LBLSTATUS));

    // The other pages are made when their tab is first chosen; until then the
    // load steps fill the panels' models, which the pages show when made.
    // A scheduled run is exactly a click on "Basic Clean".
    schedule_ = std::make_unique<SchedulePage>(
        *services_.settings, *services_.errors, [this] { return win32::windowText(hwnd()); },
        [this] { guarded([this] { cleaning_->cmdBasicClean_Click(); }); });

    // The window's own icon, also the tray's.
    tray_ = std::make_unique<TrayIcon>(instance, hwnd(), productVersionText(services_.product));

    cleaning_ = std::make_unique<CleaningPanel>(host, schedule_->panel(), *services_.settings,
                                                *services_.registry, *services_.errors);
    cleaning_->attachPreviewButtons(::GetDlgItem(page(PageId::Main), IDC_CMDPREVIEW),
                                    ::GetDlgItem(page(PageId::Main), IDC_CMDDETAILS));
    fileSecurity_ =
        std::make_unique<FileSecurityPanel>(host, *services_.registry, *services_.settings);
    popupKiller_ = std::make_unique<PopupKillerPanel>(host, *services_.settings,
                                                      static_cast<popup::IEWindowsEvents&>(*this));

    layoutPage(PageId::Main);
    selectTab(PageId::Main);
}

HWND frmMain::ensurePage(PageId id) {
    HWND& slot = pages_[static_cast<size_t>(id)];
    if (slot != nullptr || hwnd() == nullptr) {
        return slot;
    }
    HINSTANCE instance = services_.instance;
    switch (id) {
    case PageId::Options:
        slot = cleaning_->createOptionsPage(instance, hwnd());
        break;
    case PageId::Schedule:
        slot = schedule_->create(instance, hwnd());
        break;
    case PageId::Advanced:
        slot = cleaning_->createAdvancedPage(instance, hwnd());
        break;
    case PageId::Popup:
        slot = popupKiller_->createPage(instance, hwnd());
        break;
    case PageId::FileSecurity:
        slot = fileSecurity_->createPage(instance, hwnd());
        break;
    case PageId::Main:
        break;
    }
    if (slot != nullptr) {
        layoutPage(id);
        if (bannersStarted_) {
            startBanner(id);
        }
    }
    return slot;
}

void frmMain::IEWindowRegistered() {
    popupKiller_->RefreshIEWindowList();
}

void frmMain::IEWindowRevoked() {
    popupKiller_->RefreshIEWindowList();
}

void frmMain::MainPage::onCommand(int id, int code) {
    if (code != BN_CLICKED) { // STN_CLICKED has the same value
        return;
    }
    switch (id) {
    case IDC_CMDBASICCLEAN:
        owner_.cleaning_->cmdBasicClean_Click();
        break;
    case IDC_CMDCLEANREBOT:
        owner_.cleaning_->cmdCleanRebot_Click();
        break;
    case IDC_CMDPREVIEW:
        owner_.cleaning_->cmdPreview_Click();
        break;
    case IDC_CMDDETAILS:
        owner_.cleaning_->cmdDetails_Click();
        break;
    case IDC_CMDHELP:
        owner_.openWebSite("/help.html");
        break;
    case IDC_LBLWEBSITE:
    case IDC_CMDUPGRADE:
        owner_.openWebSite("");
        break;
    case IDC_CMDCLOSE:
        owner_.cmdClose_Click();
        break;
    default:
        break;
    }
}

void frmMain::openWebSite(const std::string& suffix) {
    GenFunc::OpenWebPage(
        hwnd(), win32::windowText(::GetDlgItem(page(PageId::Main), IDC_LBLWEBSITE)) + suffix,
        "htm");
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

void frmMain::layoutPage(PageId id) {
    HWND tab = item(IDC_TABMAIN);
    RECT rc;
    ::GetWindowRect(tab, &rc);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    ::SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
    // The pages sit right after the tab control in the z-order, in tab order
    // (a page created later takes its place among them), so that Tab moves
    // from the tab strip into the page; the strip clips its siblings.
    HWND after = tab;
    for (int i = 0; i < static_cast<int>(id); ++i) {
        if (HWND earlier = pages_[static_cast<size_t>(i)]) {
            after = earlier;
        }
    }
    ::SetWindowPos(page(id), after, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOACTIVATE);
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
    selectTab((selectedTab() + step + kPageCount) % kPageCount);
    ::SetFocus(item(IDC_TABMAIN));
    return true;
}

void frmMain::onCommand(WPARAM wp, LPARAM lp) {
    const int id = LOWORD(wp);
    const int code = HIWORD(wp);
    if (code == 0) { // the tray menu's items
        switch (id) {
        case ID_MNUSHOW:
            guarded([this] { mnuShow_Click(); });
            return;
        case ID_MNUPOUPKILLER:
            guarded([this] { popupKiller_->mnuPoupKiller_Click(); });
            return;
        case ID_MNUABOUT:
            guarded([this] { mnuAbout_Click(); });
            return;
        case ID_MNUUNLOADPELLIVER:
            guarded([this] { mnuUnloadPelliver_Click(); });
            return;
        default:
            break;
        }
    }
    // A command the dialog manager sent here for a page's control (its
    // default button, say) goes to that page.
    for (HWND page : pages_) {
        if (page != nullptr && ::GetDlgItem(page, id) != nullptr) {
            ::SendMessageW(page, WM_COMMAND, wp, lp);
            return;
        }
    }
}

LRESULT frmMain::onNotify(NMHDR& header) {
    if (header.idFrom == IDC_TABMAIN && header.code == TCN_SELCHANGE) {
        selectTab(selectedTab());
    }
    return 0;
}

INT_PTR frmMain::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        createPages();
        guarded([this] { Form_Load(); });
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) {
            guarded([this] { Form_Activate(); });
        }
        return FALSE;
    case WM_COMMAND:
        onCommand(wp, lp);
        return TRUE;
    case WM_NOTIFY: {
        LRESULT r = onNotify(*reinterpret_cast<NMHDR*>(lp));
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, r);
        return TRUE;
    }
    case WM_CLOSE:
        // Only the flagged request ends the program; any other close hides it.
        Unload(wp == kExitRequest ? vbFormCode : vbFormControlMenu);
        return TRUE;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        const bool taken = data != nullptr && onCopyData(*data);
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, taken ? TRUE : FALSE);
        return TRUE;
    }
    case kOpenHandedOverMessage:
        guarded([this] { openHandedOverFile(); });
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
    setWindowText(::GetDlgItem(page(PageId::Main), IDC_LBLWEBSITE), services_.product.companyName);
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
    bLoaded_ = true;
}

void frmMain::addTrayIcon() {
    tray_->add();
}

void frmMain::loadSchedule() {
    schedule_->panel().prepareAtStartup();
}

void frmMain::setStatusReady() {
    lblStatus_.SetText(kStatusReady);
}

void frmMain::startBanners() {
    // A page not created yet gets its banner when it is.
    bannersStarted_ = true;
    for (PageId id : {PageId::FileSecurity, PageId::Main, PageId::Popup}) {
        startBanner(id);
    }
}

void frmMain::startBanner(PageId id) {
    const struct {
        PageId page;
        int id;
        const char* title;
    } banners[] = {
        {PageId::FileSecurity, IDC_BANNER_FILESECURITY, "File Security"},
        {PageId::Main, IDC_BANNER_MAIN, "Varnholt"},
        {PageId::Popup, IDC_BANNER_POPUP, "Popup Killer"},
    };
    for (const auto& b : banners) {
        if (b.page != id || page(id) == nullptr) {
            continue;
        }
        HWND banner = ::GetDlgItem(page(b.page), b.id);
        win32::setBannerSpeed(banner, kBannerSpeed);
        setWindowText(banner, bannerText(services_.product, b.title));
    }
}

void frmMain::markPopupKillerMenu() {
    popupKiller_->markPopupKillerMenu();
}

// ---- Lifecycle -------------------------------------------------------------

void frmMain::Form_Activate() {
    ::ShowWindow(::GetDlgItem(page(PageId::Main), IDC_CMDCLOSE), SW_SHOW);
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
