#include "cleaning/cleaning_panel_win32.h"

#include <commdlg.h>

#include "shell/frmMain_win32.h"
#include "shell/page_ids.h"
#include "shell/resource.h"
#include "win32/common_dialogs.h"
#include "win32/message_pump.h"
#include "win32/module_path.h"
#include "win32/unicode.h"
#include "win32/win32_error.h"
#include "win32/window_text.h"

namespace tidewell {

using win32::toUtf16;
using win32::toUtf8;

namespace {
constexpr int kOptionsPage = 1;
} // namespace

CleaningPanel::CleaningPanel(frmMain& form, CleanRunSchedule& schedule, SettingsStore& store,
                             Registry& registry, ErrorReporter& errors)
    : form_(form), errors_(errors), platform_(form.hwnd()),
      wiper_(fs_, form.rtfMessage(),
             [this] {
                 if (!pump_()) {
                     wiper_.stop(); // Exit was chosen during the wipe
                 }
             }),
      targets_(form.rtfMessage(), form.lblStatus(), platform_, wiper_, fs_, errors),
      tweaks_(registry, store, win32::readUserString),
      options_(*this, store, toUtf8(win32::programFolder()), form.bLoaded),
      run_(*this, schedule, form.rtfMessage(), form.lblStatus(), targets_, platform_, tweaks_,
           errors, activity_),
      advanced_(form.rtfMessage(), fs_, store, targets_, *this, activity_,
                toUtf8(win32::programFolder())) {}

CleaningPanel::~CleaningPanel() = default;

HWND CleaningPanel::optionsPage() const {
    return form_.page(kOptionsPage);
}

std::wstring CleaningPanel::caption() const {
    wchar_t text[256] = {};
    ::GetWindowTextW(form_.hwnd(), text, 255);
    return text;
}

void CleaningPanel::wire() {
    auto onClick = [this](int id, auto handler) {
        form_.onCommandFrom(id, [handler](int code) {
            if (code == BN_CLICKED) {
                handler();
            }
        });
    };
    onClick(IDC_CMDBASICCLEAN, [this] { cmdBasicClean_Click(); });
    onClick(IDC_CMDCLEANREBOT, [this] { cmdCleanRebot_Click(); });
    for (int i = 0; i < kOptionCount; ++i) {
        onClick(IDC_CHKSETTINGS_0 + i, [this, i] { options_.chkSettings_Click(i); });
    }
    onClick(IDC_CMDDEFAULTSETTINGS, [this] { options_.cmdDefaultSettings_Click(); });
    onClick(IDC_CHKWEBADDRESS, [this] {
        tweaks_.chkWebAddress_Click(::IsDlgButtonChecked(optionsPage(), IDC_CHKWEBADDRESS) ==
                                    BST_CHECKED);
    });
    onClick(IDC_CMDHOMEPAGE, [this] {
        tweaks_.cmdHomePage_Click(
            win32::windowText(::GetDlgItem(optionsPage(), IDC_TXTHOMEPAGEURL)));
    });
    onClick(IDC_CMDBROWSEFILE, [this] { advanced_.cmdBrowseFile_Click(); });
    onClick(IDC_CMDBROWSEFOLDERTODELETE, [this] { advanced_.cmdBrowseFolderToDelete_Click(); });
}

void CleaningPanel::applyDefaultThenStoredOptions() {
    form_.bLoaded = false;
    options_.cmdDefaultSettings_Click();
    // A stored option that is not a number stops only the restore, with its
    // message; the rest of the start-up still runs.
    runGuarded(errors_, [this] { options_.LoadOptions(); });
}

void CleaningPanel::loadAutoSuggest() {
    const bool checked = tweaks_.autoSuggestBoxChecked();
    HWND box = ::GetDlgItem(optionsPage(), IDC_CHKWEBADDRESS);
    const bool was = ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (was != checked) {
        // As a click would: the box's state goes to the registry.
        tweaks_.chkWebAddress_Click(checked);
    }
}

void CleaningPanel::loadHomePage() {
    win32::setWindowText(::GetDlgItem(optionsPage(), IDC_TXTHOMEPAGEURL), tweaks_.loadHomePage());
}

void CleaningPanel::cmdBasicClean_Click() {
    run_.cmdBasicClean_Click();
}

void CleaningPanel::cmdCleanRebot_Click() {
    run_.cmdCleanRebot_Click(
        [this](const std::string& text) {
            return ::MessageBoxW(form_.hwnd(), toUtf16(text).c_str(), caption().c_str(),
                                 MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
        },
        logOff_);
}

// ---- OptionBoxes -------------------------------------------------------------

int CleaningPanel::value(int index) {
    const LRESULT state =
        ::SendDlgItemMessageW(optionsPage(), IDC_CHKSETTINGS_0 + index, BM_GETCHECK, 0, 0);
    return state == BST_CHECKED ? vbChecked : state == BST_INDETERMINATE ? vbGrayed : vbUnchecked;
}

void CleaningPanel::setValue(int index, int v) {
    const WPARAM state = v == vbChecked  ? BST_CHECKED
                         : v == vbGrayed ? BST_INDETERMINATE
                                         : BST_UNCHECKED;
    ::SendDlgItemMessageW(optionsPage(), IDC_CHKSETTINGS_0 + index, BM_SETCHECK, state, 0);
}

// ---- CleanRunWindow ----------------------------------------------------------

void CleaningPanel::bringForward() {
    // A run started by the schedule while the window sits in the tray shows it.
    ::ShowWindow(form_.hwnd(), SW_SHOWNORMAL);
    form_.selectTab(0);
    ::ShowWindow(form_.hwnd(), SW_SHOW);
    ::ShowWindow(form_.hwnd(), SW_SHOWNORMAL);
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
    const auto file = win32::chooseFileName(form_.hwnd(), dialog);
    return file ? std::optional(toUtf8(*file)) : std::nullopt;
}

std::optional<std::string> CleaningPanel::chooseFolder(const std::string& title) {
    const auto folder = win32::chooseFolderName(form_.hwnd(), toUtf16(title));
    return folder ? std::optional(toUtf8(*folder)) : std::nullopt;
}

bool CleaningPanel::askYesNo(const std::string& text, const std::string& title) {
    return ::MessageBoxW(form_.hwnd(), toUtf16(text).c_str(), toUtf16(title).c_str(),
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CleaningPanel::showWarning(const std::string& text, const std::string& title) {
    ::MessageBoxW(form_.hwnd(), toUtf16(text).c_str(), toUtf16(title).c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
}

void CleaningPanel::showFailure(const std::string& description) {
    ::MessageBoxW(form_.hwnd(), toUtf16(description).c_str(), caption().c_str(),
                  MB_OK | MB_ICONSTOP);
}

void CleaningPanel::selectMainTab() {
    form_.selectTab(0);
}

} // namespace tidewell
