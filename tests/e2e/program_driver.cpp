#include "program_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include "fake_shell_install.h"
#include "shell/resource.h"
#include "win32/unicode.h"

namespace tidewell::e2e {

ProgramProcess::ProgramProcess(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    // Started in its own folder, with its output going nowhere.
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    win32::UniqueFile nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                        0, nullptr));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul.get();
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         folder.c_str(), &si, &pi)) {
        ::CloseHandle(pi.hThread);
        process_.reset(pi.hProcess);
        pid_ = pi.dwProcessId;
    }
}

ProgramProcess::~ProgramProcess() {
    if (running()) {
        ::TerminateProcess(process_.get(), 99);
        ::WaitForSingleObject(process_.get(), 10000);
    }
}

bool ProgramProcess::running() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

long ProgramProcess::waitExit(std::chrono::milliseconds limit) {
    DWORD code = 0;
    const bool ended =
        process_ &&
        ::WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(process_.get(), &code);
    return ended ? static_cast<long>(code) : -1;
}

HWND ProgramProcess::findWindow(const wchar_t* className, bool visibleOnly) const {
    return fakeshell::findProcessWindow(pid_, className, visibleOnly);
}

HWND ProgramProcess::waitMainWindow(std::chrono::milliseconds limit) const {
    HWND found = nullptr;
    waitFor([&] { return (found = findWindow(L"TidewellMain", true)) != nullptr; }, limit);
    return found;
}

std::string text(HWND hwnd) {
    wchar_t buffer[1024] = {};
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    return win32::toUtf8(buffer);
}

HWND findControl(HWND mainWindow, int id) {
    if (HWND direct = ::GetDlgItem(mainWindow, id)) {
        return direct;
    }
    // Controls of the tab pages live one level down.
    for (HWND child = ::GetWindow(mainWindow, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (HWND inPage = ::GetDlgItem(child, id)) {
            return inPage;
        }
    }
    return nullptr;
}

std::string controlText(HWND mainWindow, int id) {
    return text(findControl(mainWindow, id));
}

void chooseTab(HWND mainWindow, int index) {
    // Focusing a tab of a plain tab strip selects it, as a click would.
    ::SendMessageW(::GetDlgItem(mainWindow, IDC_TABMAIN), TCM_SETCURFOCUS, index, 0);
}

void click(HWND button) {
    // What a click delivers: the parent hears BN_CLICKED from the button.
    ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
}

// Wine shows notification icons as child windows of its own tray window
// (or as top-level ones, should a tray of the desktop take them).
std::vector<HWND> trayIcons() {
    std::vector<HWND> icons;
    HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
    for (HWND child = ::FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr);
         child != nullptr; child = ::FindWindowExW(tray, child, L"__winex11_tray_icon", nullptr)) {
        if (::IsWindowVisible(child)) {
            icons.push_back(child);
        }
    }
    return icons;
}

long exitWithButton(ProgramProcess& process, HWND mainWindow) {
    click(findControl(mainWindow, IDC_CMDCLOSE));
    return process.waitExit();
}

LRESULT sendWithBuffer(HWND hwnd, UINT msg, WPARAM wp, void* buffer, size_t size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    win32::UniqueHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    void* remote = process
                       ? ::VirtualAllocEx(process.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE)
                       : nullptr;
    if (remote == nullptr) {
        return 0;
    }
    ::WriteProcessMemory(process.get(), remote, buffer, size, nullptr);
    LRESULT result = ::SendMessageW(hwnd, msg, wp, reinterpret_cast<LPARAM>(remote));
    ::ReadProcessMemory(process.get(), remote, buffer, size, nullptr);
    ::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return result;
}

bool chooseFolder(const ProgramProcess& process, const std::string& folder) {
    // The selection is taken once the dialog has filled its tree.
    HWND dialog = nullptr;
    if (!waitFor([&] {
            dialog = findMessageBox(process);
            HWND tree =
                dialog ? ::FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr) : nullptr;
            return tree != nullptr && ::SendMessageW(tree, TVM_GETCOUNT, 0, 0) > 0;
        })) {
        return false;
    }
    std::wstring target = win32::toUtf16(folder);
    target.push_back(L'\0');
    sendWithBuffer(dialog, BFFM_SETSELECTIONW, TRUE, target.data(),
                   target.size() * sizeof(wchar_t));
    return ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) != FALSE;
}

HWND findMessageBox(const ProgramProcess& process) {
    return process.findWindow(L"#32770", true);
}

HWND waitMessageBox(const ProgramProcess& process, const char* title) {
    HWND box = nullptr;
    const bool found = waitFor([&] {
        box = findMessageBox(process);
        return box != nullptr && (title == nullptr || text(box) == title);
    });
    return found ? box : nullptr;
}

bool answerMessageBox(const ProgramProcess& process, HWND box, int button) {
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return waitFor([&] { return findMessageBox(process) == nullptr; });
}

std::string messageBoxText(HWND box) {
    return text(::GetDlgItem(box, 0xFFFF));
}

} // namespace tidewell::e2e
