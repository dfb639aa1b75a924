#include "cleaning/cleaning_panel_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include "cleaning/cleaning_ids.h"
#include "cleaning/preview_details_win32.h"
#include "win32/common_dialogs.h"
#include "win32/message_pump.h"
#include "win32/module_path.h"
#include "win32/unicode.h"
#include "win32/win32_error.h"
#include "win32/window_text.h"

namespace tidewell {

using win32::toUtf16;
using win32::toUtf8;

CleaningPanel::CleaningPanel(PageHost& host, CleanRunSchedule& schedule, SettingsStore& store,
                             Registry& registry, ErrorReporter& errors)
    : host_(host), errors_(errors), platform_(host.hwnd()),
      wiper_(fs_, host.rtfMessage(),
             [this] {
                 if (!pump_()) {
                     wiper_.stop(); // Exit was chosen during the wipe
                 }
             }),
      targets_(host.rtfMessage(), host.lblStatus(), platform_, wiper_, fs_, errors),
      tweaks_(registry, store, win32::readUserString),
      options_(*this, store, toUtf8(win32::programFolder()), host.bLoaded()),
      browserOptions_(store),
      browsers_(fs_, wiper_, host.rtfMessage(), browserPlatform_, browserOptions_),
      run_(*this, schedule, host.rtfMessage(), host.lblStatus(), targets_, platform_, tweaks_,
           errors, activity_, &browsers_),
      advanced_(host.rtfMessage(), fs_, store, targets_, *this, activity_,
                toUtf8(win32::programFolder())) {}

CleaningPanel::~CleaningPanel() = default;

HWND CleaningPanel::createOptionsPage(HINSTANCE instance, HWND parent) {
    return optionsPage_.create(instance, IDD_PAGE_OPTIONS, parent);
}

HWND CleaningPanel::createAdvancedPage(HINSTANCE instance, HWND parent) {
    return advancedPage_.create(instance, IDD_PAGE_ADVANCED, parent);
}

HWND CleaningPanel::optionsPage() const {
    return optionsPage_.hwnd();
}

std::wstring CleaningPanel::caption() const {
    wchar_t text[256] = {};
    ::GetWindowTextW(host_.hwnd(), text, 255);
    return text;
}

// ---- The pages ----------------------------------------------------------------

void CleaningPanel::OptionsPage::onInit() {
    HWND tab = item(IDC_TABOPTIONS);
    // The strip clips its overlapping siblings (the check boxes on it); the
    // frame around the page must not be one of them, or the strip vanishes.
    ::SetWindowPos(item(IDC_FMSETTINGS), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const wchar_t* captions[] = {L"Windows", L"Internet", L"Browsers"};
    for (int i = 0; i < 3; ++i) {
        TCITEMW ti{};
        ti.mask = TCIF_TEXT;
        ti.pszText = const_cast<wchar_t*>(captions[i]);
        ::SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti));
    }
    selectSubTab(0);
    panel_.showOptions();
}

void CleaningPanel::OptionsPage::selectSubTab(int index) {
    ::SendMessageW(item(IDC_TABOPTIONS), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (int option : kWindowsOptionIndexes) {
        ::ShowWindow(item(IDC_CHKSETTINGS_0 + option), index == 0 ? SW_SHOW : SW_HIDE);
    }
    for (int option : kInternetOptionIndexes) {
        ::ShowWindow(item(IDC_CHKSETTINGS_0 + option), index == 1 ? SW_SHOW : SW_HIDE);
    }
    ::ShowWindow(item(IDC_CHKWEBADDRESS), index == 1 ? SW_SHOW : SW_HIDE);
    for (int id = IDC_BROWSERBOX_0; id < IDC_BROWSERBOX_0 + kBrowserCount * kBrowserItemCount;
         ++id) {
        ::ShowWindow(item(id), index == 2 ? SW_SHOW : SW_HIDE);
    }
    for (int id = IDC_BROWSERNAME_0; id < IDC_BROWSERNAME_0 + kBrowserCount; ++id) {
        ::ShowWindow(item(id), index == 2 ? SW_SHOW : SW_HIDE);
    }
    ::ShowWindow(item(IDC_LBLKEEPCOOKIES), index == 2 ? SW_SHOW : SW_HIDE);
    ::ShowWindow(item(IDC_TXTKEEPCOOKIES), index == 2 ? SW_SHOW : SW_HIDE);
}

LRESULT CleaningPanel::OptionsPage::onNotify(NMHDR& header) {
    if (header.idFrom == IDC_TABOPTIONS && header.code == TCN_SELCHANGE) {
        selectSubTab(static_cast<int>(::SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
    }
    return 0;
}

void CleaningPanel::OptionsPage::onCommand(int id, int code) {
    CleaningPanel& p = panel_;
    if (id == IDC_TXTKEEPCOOKIES && code == EN_CHANGE) {
        // Typed text is stored at once; the text start-up puts there is not.
        const std::string text = win32::windowText(item(IDC_TXTKEEPCOOKIES));
        if (p.host_.bLoaded() && text != p.browserOptions_.keepCookies()) {
            p.browserOptions_.setKeepCookies(text);
        }
        return;
    }
    if (code != BN_CLICKED) {
        return;
    }
    if (id >= IDC_BROWSERBOX_0 && id < IDC_BROWSERBOX_0 + kBrowserCount * kBrowserItemCount) {
        const int n = id - IDC_BROWSERBOX_0;
        p.browserOptions_.setChecked(static_cast<BrowserId>(n / kBrowserItemCount),
                                     static_cast<BrowserItem>(n % kBrowserItemCount),
                                     ::IsDlgButtonChecked(hwnd(), id) == BST_CHECKED);
        return;
    }
    if (id >= IDC_CHKSETTINGS_0 && id < IDC_CHKSETTINGS_0 + kOptionCount) {
        p.options_.chkSettings_Click(id - IDC_CHKSETTINGS_0);
        return;
    }
    switch (id) {
    case IDC_CMDDEFAULTSETTINGS:
        p.options_.cmdDefaultSettings_Click();
        break;
    case IDC_CHKWEBADDRESS:
        p.tweaks_.chkWebAddress_Click(::IsDlgButtonChecked(hwnd(), IDC_CHKWEBADDRESS) ==
                                      BST_CHECKED);
        break;
    case IDC_CMDHOMEPAGE:
        p.tweaks_.cmdHomePage_Click(win32::windowText(item(IDC_TXTHOMEPAGEURL)));
        break;
    default:
        break;
    }
}

void CleaningPanel::AdvancedPage::onCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return;
    }
    if (id == IDC_CMDBROWSEFILE) {
        panel_.advanced_.cmdBrowseFile_Click();
    } else if (id == IDC_CMDBROWSEFOLDERTODELETE) {
        panel_.advanced_.cmdBrowseFolderToDelete_Click();
    }
}

// ---- Load steps and the run -------------------------------------------------------

void CleaningPanel::applyDefaultThenStoredOptions() {
    host_.bLoaded() = false;
    options_.cmdDefaultSettings_Click();
    // A stored option that is not a number stops only the restore, with its
    // message; the rest of the start-up still runs.
    runGuarded(errors_, [this] { options_.LoadOptions(); });
    browserOptions_.load();
}

void CleaningPanel::showOptions() {
    HWND page = optionsPage();
    for (int i = 0; i < kOptionCount; ++i) {
        setValue(i, boxes_[static_cast<size_t>(i)]);
    }
    ::CheckDlgButton(page, IDC_CHKWEBADDRESS, webAddress_ ? BST_CHECKED : BST_UNCHECKED);
    win32::setWindowText(::GetDlgItem(page, IDC_TXTHOMEPAGEURL), homePage_);
    for (int b = 0; b < kBrowserCount; ++b) {
        const auto id = static_cast<BrowserId>(b);
        // A browser that is not installed keeps its boxes, greyed.
        const bool installed = browsers_.installed(id);
        HWND name = ::GetDlgItem(page, IDC_BROWSERNAME_0 + b);
        win32::setWindowText(name, std::string(nameOf(id).key) + (installed ? "" : " (not found)"));
        ::EnableWindow(name, installed ? TRUE : FALSE);
        for (int i = 0; i < kBrowserItemCount; ++i) {
            HWND box = ::GetDlgItem(page, IDC_BROWSERBOX_0 + b * kBrowserItemCount + i);
            ::SendMessageW(box, BM_SETCHECK,
                           browserOptions_.checked(id, static_cast<BrowserItem>(i)) ? BST_CHECKED
                                                                                    : BST_UNCHECKED,
                           0);
            ::EnableWindow(box, installed ? TRUE : FALSE);
        }
    }
    win32::setWindowText(::GetDlgItem(page, IDC_TXTKEEPCOOKIES), browserOptions_.keepCookies());
}

void CleaningPanel::loadAutoSuggest() {
    const bool checked = tweaks_.autoSuggestBoxChecked();
    const bool was = optionsPage() != nullptr
                         ? ::IsDlgButtonChecked(optionsPage(), IDC_CHKWEBADDRESS) == BST_CHECKED
                         : webAddress_;
    webAddress_ = checked;
    ::CheckDlgButton(optionsPage(), IDC_CHKWEBADDRESS, checked ? BST_CHECKED : BST_UNCHECKED);
    if (was != checked) {
        // As a click would: the box's state goes to the registry.
        tweaks_.chkWebAddress_Click(checked);
    }
}

void CleaningPanel::loadHomePage() {
    homePage_ = tweaks_.loadHomePage();
    win32::setWindowText(::GetDlgItem(optionsPage(), IDC_TXTHOMEPAGEURL), homePage_);
}

void CleaningPanel::cmdBasicClean_Click() {
    run_.cmdBasicClean_Click();
}

void CleaningPanel::cmdPreview_Click() {
    if (run_.previewing()) {
        run_.cmdPreview_Click(); // "Stop"
        return;
    }
    if (activity_.busy()) {
        return; // a clean run or another command is running
    }
    win32::setWindowText(previewButton_, "Stop");
    struct Caption {
        HWND button;
        ~Caption() { win32::setWindowText(button, "&Preview"); }
    } caption{previewButton_};
    if (run_.cmdPreview_Click()) {
        ::EnableWindow(detailsButton_, TRUE);
    }
}

void CleaningPanel::cmdDetails_Click() {
    if (activity_.busy()) {
        return;
    }
    win32::PreviewDetails details(run_.previewItems());
    // The module whose resources made the main window holds the list's template.
    details.show(reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(host_.hwnd(), GWLP_HINSTANCE)),
                 host_.hwnd());
}

void CleaningPanel::cmdCleanRebot_Click() {
    run_.cmdCleanRebot_Click(
        [this](const std::string& text) {
            return ::MessageBoxW(host_.hwnd(), toUtf16(text).c_str(), caption().c_str(),
                                 MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
        },
        logOff_);
}

// ---- OptionBoxes -------------------------------------------------------------

int CleaningPanel::value(int index) {
    if (optionsPage() == nullptr) {
        return boxes_[static_cast<size_t>(index)];
    }
    const LRESULT state =
        ::SendDlgItemMessageW(optionsPage(), IDC_CHKSETTINGS_0 + index, BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? vbChecked : state == BST_INDETERMINATE ? vbGrayed : vbUnchecked;
}

void CleaningPanel::setValue(int index, int v) {
    boxes_[static_cast<size_t>(index)] = v;
    const WPARAM state = v == vbChecked  ? BST_CHECKED
                         : v == vbGrayed ? BST_INDETERMINATE
                                         : BST_UNCHECKED;
    ::SendDlgItemMessageW(optionsPage(), IDC_CHKSETTINGS_0 + index, BM_SETCHECK, state, 0);
}

// ---- CleanRunWindow ----------------------------------------------------------

void CleaningPanel::bringForward() {
    // A run started by the schedule while the window sits in the tray shows it.
    ::ShowWindow(host_.hwnd(), SW_SHOWNORMAL);
    host_.selectTab(PageId::Main);
    ::ShowWindow(host_.hwnd(), SW_SHOW);
    ::ShowWindow(host_.hwnd(), SW_SHOWNORMAL);
}

void CleaningPanel::yield() {
    if (!win32::pumpPendingMessages()) {
        wiper_.stop();
    }
}

// ---- AdvancedDialogs ---------------------------------------------------------

std::optional<std::string> CleaningPanel::chooseFile(const std::string& initialFolder) {
    win32::FileDialog dialog;
    dialog.filter = std::wstring(L"All (*.*)\0*.*\0", 14);
    dialog.initialFolder = toUtf16(initialFolder);
    dialog.flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    const auto file = win32::chooseFileName(host_.hwnd(), dialog);
    return file ? std::optional(toUtf8(*file)) : std::nullopt;
}

std::optional<std::string> CleaningPanel::chooseFolder(const std::string& title) {
    const auto folder = win32::chooseFolderName(host_.hwnd(), toUtf16(title));
    return folder ? std::optional(toUtf8(*folder)) : std::nullopt;
}

bool CleaningPanel::askYesNo(const std::string& text, const std::string& title) {
    return ::MessageBoxW(host_.hwnd(), toUtf16(text).c_str(), toUtf16(title).c_str(),
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CleaningPanel::showWarning(const std::string& text, const std::string& title) {
    ::MessageBoxW(host_.hwnd(), toUtf16(text).c_str(), toUtf16(title).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
}

void CleaningPanel::showFailure(const std::string& description) {
    ::MessageBoxW(host_.hwnd(), toUtf16(description).c_str(), caption().c_str(),
                  MB_OK | MB_ICONSTOP);
}

void CleaningPanel::selectMainTab() {
    host_.selectTab(PageId::Main);
}

} // namespace tidewell
