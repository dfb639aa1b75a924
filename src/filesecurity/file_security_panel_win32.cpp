#include "filesecurity/file_security_panel_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include "filesecurity/archive/archive.h"
#include "filesecurity/cipher/cipher.h"
#include "filesecurity/secure_bytes.h"
#include "filesecurity/file_type.h"
#include "kernel/product_info.h"
#include "kernel/registry_win32.h"
#include "kernel/settings_store.h"
#include "filesecurity/file_security_ids.h"
#include "win32/common_dialogs.h"
#include "win32/message_pump.h"
#include "win32/module_path.h"
#include "win32/unicode.h"

namespace tidewell {

using namespace filesecurity;
using win32::toUtf16;
using win32::toUtf8;

namespace {

constexpr UINT_PTR kProgressTimer = 0x7F51;
constexpr UINT kProgressInterval = 10;
constexpr DWORD kPumpEveryMs = 25;
constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr COLORREF kPlainColour = RGB(0, 0, 0);
// The destination of a folder extraction while it runs: should the program
// end mid-way (killed, a crash, the power), the next start undoes it.
constexpr char kExtractingSection[] = "FileSecurity";
constexpr char kExtractingKey[] = "Extracting";

} // namespace

std::string normalizedPassword(const std::wstring& typed) {
    using NormalizeFn = int(WINAPI*)(int, LPCWSTR, int, LPWSTR, int);
    static const auto normalize = reinterpret_cast<NormalizeFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "NormalizeString")));
    std::wstring out;
    if (normalize != nullptr && !typed.empty()) {
        int n = normalize(1 /* NormalizationC */, typed.data(), static_cast<int>(typed.size()),
                          nullptr, 0);
        for (int attempt = 0; n > 0 && attempt < 4; ++attempt) {
            out.assign(static_cast<std::size_t>(n), L'\0');
            n = normalize(1, typed.data(), static_cast<int>(typed.size()), out.data(), n);
            if (n > 0) {
                out.resize(static_cast<std::size_t>(n));
                break;
            }
            if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
                break;
            n = -n;
        }
    }
    if (out.empty())
        out = typed;
    std::string utf8 = toUtf8(out);
    filesecurity::wipe(out.data(), out.size() * sizeof(wchar_t));
    return utf8;
}

FileSecurityPanel::FileSecurityPanel(PageHost& host, Registry& registry, SettingsStore& settings)
    : TabPage(host.errors()), host_(host), registry_(registry), settings_(settings),
      files_(makeFileAccess()) {}

HWND FileSecurityPanel::createPage(HINSTANCE instance, HWND parent) {
    return create(instance, IDD_PAGE_FILESECURITY, parent);
}

void FileSecurityPanel::onInit() {
    // Link look of the direction labels: colour and hand cursor from the
    // page, underline on the labels themselves.
    LOGFONTW lf{};
    HFONT base = reinterpret_cast<HFONT>(::SendMessageW(control(IDC_LBLENCRYPT), WM_GETFONT, 0, 0));
    if (base != nullptr && ::GetObjectW(base, sizeof lf, &lf) != 0) {
        lf.lfUnderline = TRUE;
        linkFont_.reset(::CreateFontIndirectW(&lf));
    }
    ::SendMessageW(control(IDC_PGB), PBM_SETRANGE32, 0, 100);
    ::SendMessageW(control(IDC_TXTPASSWORD), EM_SETLIMITTEXT, 1024, 0);
    ::SendMessageW(control(IDC_TXTREENTER), EM_SETLIMITTEXT, 1024, 0);
    // A page created after the load step shows what the model holds by now.
    if (modelReady_)
        applyModel();
}

FileSecurityPanel::~FileSecurityPanel() {
    if (hwnd() != nullptr) {
        ::KillTimer(hwnd(), kProgressTimer);
    }
}

void FileSecurityPanel::onCommand(int id, int code) {
    if (code != BN_CLICKED) { // STN_CLICKED is the same code
        return;
    }
    switch (id) {
    case IDC_LBLENCRYPT:
        lblEncrypt_Click();
        break;
    case IDC_LBLDECRYPT:
        lblDecrypt_Click();
        break;
    case IDC_LBLFILEORFOLDER:
        lblFileOrFolder_Click();
        break;
    case IDC_CMDBROWSEFILEFOLDER_0:
        cmdBrowseFileFolder_Click(0);
        break;
    case IDC_CMDBROWSEFILEFOLDER_1:
        cmdBrowseFileFolder_Click(1);
        break;
    case IDC_CMDENCRYPT:
        cmdEncrypt_Click();
        break;
    case IDC_CMDDECRYPT:
        cmdDecrypt_Click();
        break;
    default:
        break;
    }
}

bool FileSecurityPanel::onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) {
    switch (msg) {
    case WM_CTLCOLORSTATIC: {
        // The page's own brush (the tab's background), then the link colours.
        if (inColourQuery_) {
            return false;
        }
        inColourQuery_ = true;
        result = static_cast<INT_PTR>(::DefDlgProcW(hwnd(), msg, wp, lp));
        inColourQuery_ = false;
        int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        bool encrypt = model_.cmdEncryptEnabled;
        if (id == IDC_LBLENCRYPT || id == IDC_LBLDECRYPT) {
            bool isLink = (id == IDC_LBLDECRYPT) == encrypt;
            ::SetTextColor(reinterpret_cast<HDC>(wp), isLink ? kLinkColour : kPlainColour);
        } else if (id == IDC_LBLFILEORFOLDER) {
            ::SetTextColor(reinterpret_cast<HDC>(wp), kLinkColour);
        }
        return true;
    }
    case WM_SETCURSOR: {
        // A child asks its parent first: the labels that act as links get the hand.
        int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(wp));
        if (id != IDC_LBLENCRYPT && id != IDC_LBLDECRYPT && id != IDC_LBLFILEORFOLDER) {
            return false;
        }
        bool encrypt = model_.cmdEncryptEnabled;
        bool isLink = id == IDC_LBLFILEORFOLDER || (id == IDC_LBLDECRYPT) == encrypt;
        ::SetCursor(::LoadCursorW(nullptr, isLink ? IDC_HAND : IDC_ARROW));
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    }
    case WM_TIMER:
        if (wp != kProgressTimer) {
            return false;
        }
        tmrProgress_Timer();
        result = TRUE;
        return true;
    default:
        return false;
    }
}

HWND FileSecurityPanel::control(int id) const {
    return item(id);
}

std::string FileSecurityPanel::text(int id) const {
    HWND h = control(id);
    std::wstring w(static_cast<std::size_t>(::GetWindowTextLengthW(h)) + 1, L'\0');
    w.resize(static_cast<std::size_t>(::GetWindowTextW(h, w.data(), static_cast<int>(w.size()))));
    std::string text = toUtf8(w);
    filesecurity::wipe(w.data(), w.size() * sizeof(wchar_t)); // it may be a password
    return text;
}

void FileSecurityPanel::InitPanels() {
    std::wstring folder = win32::programFolder();
    try {
        win32::WinKeyCreator keys;
        const std::string program = programPath(toUtf8(folder));
        ensureFileType(registry_, keys, program);
        if (ensureUserFileType(registry_, keys, program))
            ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    } catch (const std::exception& e) {
        showError(e.what());
    }
    try {
        const std::string pending =
            settings_.GetSetting(kAppTitle, kExtractingSection, kExtractingKey, "");
        if (!pending.empty()) {
            archive::recoverInterrupted(*files_, pending);
            settings_.SaveSetting(kAppTitle, kExtractingSection, kExtractingKey, "");
        }
    } catch (const std::exception&) {
        // Left for the next start, or the next extraction there.
    }
    initPanel(model_);
    modelReady_ = true;
    applyModel();
}

void FileSecurityPanel::openForDecryption(const std::string& path) {
    if (model_.busy)
        return;
    readControls();
    if (auto problem = filesecurity::openForDecryption(model_, path, *files_, kAppTitle)) {
        show(*problem);
        return;
    }
    applyModel();
    host_.selectTab(PageId::FileSecurity);
    ::SendMessageW(host_.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(IDC_TXTPASSWORD)),
                   TRUE);
}

void FileSecurityPanel::readControls() {
    // Until the page exists the model is all there is.
    if (hwnd() == nullptr)
        return;
    model_.txtSource = text(IDC_TXTSOURCE);
    model_.txtDestination = text(IDC_TXTDESTINATION);
    // The copies they replace are wiped before they are freed.
    for (std::string* s : {&model_.txtPassword, &model_.txtReenter})
        filesecurity::wipe(s->data(), s->size());
    model_.txtPassword = text(IDC_TXTPASSWORD);
    model_.txtReenter = text(IDC_TXTREENTER);
}

void FileSecurityPanel::applyModel() {
    if (hwnd() == nullptr)
        return;
    auto set = [&](int id, const std::string& s) {
        std::wstring w = toUtf16(s);
        wchar_t current[512] = {};
        ::GetWindowTextW(control(id), current, 512);
        if (w != current)
            ::SetWindowTextW(control(id), w.c_str());
    };
    set(IDC_LBLFILEORFOLDER, model_.lblFileOrFolder);
    set(IDC_LBLSOURCEDESTINATION_0, model_.lblSourceDestination[0]);
    set(IDC_LBLSOURCEDESTINATION_1, model_.lblSourceDestination[1]);
    set(IDC_TXTSOURCE, model_.txtSource);
    set(IDC_TXTDESTINATION, model_.txtDestination);
    set(IDC_CMDENCRYPT, model_.cmdEncryptCaption);
    set(IDC_CMDDECRYPT, model_.cmdDecryptCaption);
    ::EnableWindow(control(IDC_CMDENCRYPT), model_.cmdEncryptEnabled);
    ::EnableWindow(control(IDC_CMDDECRYPT), model_.cmdDecryptEnabled);
    ::SendMessageW(control(IDC_PGB), PBM_SETPOS, static_cast<WPARAM>(model_.pgb), 0);
    styleDirectionLabels();
}

void FileSecurityPanel::styleDirectionLabels() {
    bool encrypt = model_.cmdEncryptEnabled;
    HFONT plain =
        reinterpret_cast<HFONT>(::SendMessageW(control(IDC_LBLFILEORFOLDER), WM_GETFONT, 0, 0));
    HFONT link = linkFont_ ? linkFont_.get() : plain;
    ::SendMessageW(control(IDC_LBLENCRYPT), WM_SETFONT,
                   reinterpret_cast<WPARAM>(encrypt ? plain : link), TRUE);
    ::SendMessageW(control(IDC_LBLDECRYPT), WM_SETFONT,
                   reinterpret_cast<WPARAM>(encrypt ? link : plain), TRUE);
    ::InvalidateRect(control(IDC_LBLENCRYPT), nullptr, TRUE);
    ::InvalidateRect(control(IDC_LBLDECRYPT), nullptr, TRUE);
}

void FileSecurityPanel::SelectDirection(Direction d) {
    if (model_.busy)
        return;
    readControls();
    filesecurity::SelectDirection(model_, d);
    applyModel();
}

void FileSecurityPanel::lblEncrypt_Click() {
    SelectDirection(Direction::Encrypt);
}
void FileSecurityPanel::lblDecrypt_Click() {
    SelectDirection(Direction::Decrypt);
}

void FileSecurityPanel::lblFileOrFolder_Click() {
    if (model_.busy)
        return;
    readControls();
    toggleMode(model_);
    applyModel();
}

void FileSecurityPanel::cmdBrowseFileFolder_Click(int index) {
    if (model_.busy)
        return;
    readControls();
    PickerRequest request = browseRequest(model_, index);
    std::string path;
    if (request.kind == PickerRequest::Kind::Folder) {
        path = PickFolder();
    } else {
        path = PickFile(request.kind == PickerRequest::Kind::OpenFile, request.filter);
    }
    // Cancelling a picker empties the field, as it always has.
    (index == 0 ? model_.txtSource : model_.txtDestination) = path;
    applyModel();
}

std::string FileSecurityPanel::PickFile(bool isSource, const std::string& filter) {
    win32::FileDialog dialog;
    dialog.save = !isSource;
    dialog.filter = toUtf16(dialogFilter(filter));
    dialog.flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    const auto file = win32::chooseFileName(host_.hwnd(), dialog);
    return file ? toUtf8(*file) : std::string();
}

std::string FileSecurityPanel::PickFolder() {
    const auto folder = win32::chooseFolderName(host_.hwnd());
    return folder ? folderPickerResult(toUtf8(*folder)) : std::string();
}

void FileSecurityPanel::show(const UserMessage& m) {
    ::MessageBoxW(host_.hwnd(), toUtf16(m.text).c_str(), toUtf16(m.title).c_str(),
                  MB_OK | static_cast<UINT>(m.icon));
}

void FileSecurityPanel::showError(const std::string& text) {
    show({text, kAppTitle, kIconCritical});
}

void FileSecurityPanel::cmdEncrypt_Click() {
    runCommand(true);
}
void FileSecurityPanel::cmdDecrypt_Click() {
    runCommand(false);
}

void FileSecurityPanel::tmrProgress_Timer() {
    if (!model_.busy)
        return;
    model_.pgb = progress_;
    ::SendMessageW(control(IDC_PGB), PBM_SETPOS, static_cast<WPARAM>(progress_), 0);
}

void FileSecurityPanel::runCommand(bool encryptButton) {
    if (model_.busy) {
        // The button reads "Cancel" while its operation runs.
        cancelRequested_ = true;
        return;
    }
    readControls();
    if (auto problem = checkPasswords(model_)) {
        show(*problem);
        return;
    }
    Operation op = operationFor(model_, encryptButton);
    Fields fields = fieldsOf(model_);
    filesecurity::wipe(fields.password.data(), fields.password.size());
    {
        HWND pw = control(IDC_TXTPASSWORD);
        std::wstring typed(static_cast<std::size_t>(::GetWindowTextLengthW(pw)) + 1, L'\0');
        typed.resize(static_cast<std::size_t>(
            ::GetWindowTextW(pw, typed.data(), static_cast<int>(typed.size()))));
        fields.password = normalizedPassword(typed);
        filesecurity::wipe(typed.data(), typed.size() * sizeof(wchar_t));
    }
    auto forgetPasswords = [&] {
        for (std::string* s : {&fields.password, &model_.txtPassword, &model_.txtReenter}) {
            filesecurity::wipe(s->data(), s->size());
            s->clear();
        }
    };
    if (auto problem = validate(op, fields, *files_, kAppTitle)) {
        forgetPasswords();
        show(*problem);
        ::SetFocus(control(IDC_CMDBROWSEFILEFOLDER_0));
        return;
    }

    beginOperation(model_, encryptButton);
    cancelRequested_ = false;
    progress_ = 0;
    applyModel();
    ::SetTimer(hwnd(), kProgressTimer, kProgressInterval, nullptr);
    DWORD lastPump = ::GetTickCount();
    std::string failure;
    const bool extracting = op == Operation::DecryptFolder;
    try {
        if (extracting)
            settings_.SaveSetting(kAppTitle, kExtractingSection, kExtractingKey,
                                  fields.destination);
        run(
            op, fields, *files_,
            [&](int percent) {
                progress_ = percent;
                DWORD now = ::GetTickCount();
                if (now - lastPump >= kPumpEveryMs) {
                    lastPump = now;
                    // Keep the window alive; a closing program cancels too.
                    if (!win32::pumpPendingMessages())
                        cancelRequested_ = true;
                }
                if (cancelRequested_)
                    throw AppError(kCancelledNumber, "Cancelled");
            },
            {},
            [this] {
                // The window stays live while the password's key is derived (up
                // to a second); Cancel, or the program ending, stops it there.
                if (!win32::pumpPendingMessages())
                    cancelRequested_ = true;
                return !cancelRequested_;
            });
        progress_ = 100;
        tmrProgress_Timer();
    } catch (const cipher::CipherError& e) {
        if (e.kind() != cipher::CipherError::Kind::Cancelled)
            failure = e.what();
    } catch (const AppError& e) {
        if (e.number() != kCancelledNumber)
            failure = e.description();
    } catch (const std::bad_alloc&) {
        failure = "Out of memory";
    } catch (const std::exception& e) {
        failure = e.what();
    }
    forgetPasswords();
    if (extracting) {
        try {
            settings_.SaveSetting(kAppTitle, kExtractingSection, kExtractingKey, "");
        } catch (const std::exception&) {
        }
    }
    ::KillTimer(hwnd(), kProgressTimer);
    endOperation(model_);
    applyModel();
    if (!failure.empty())
        showError(failure);
}

} // namespace tidewell
