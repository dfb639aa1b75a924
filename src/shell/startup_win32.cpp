#include "shell/startup_win32.h"

#include "tray/hook_protocol.h"
#include "win32/unicode.h"

namespace tidewell::win32 {

bool Win32StartupPorts::AnotherInstanceRunning() {
    instanceMutex_.reset(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutex));
    const DWORD error = ::GetLastError();
    if (!instanceMutex_) {
        // Denied: the object exists and belongs to a running copy.
        return error == ERROR_ACCESS_DENIED;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        instanceMutex_.reset();
        return true;
    }
    return false;
}

void Win32StartupPorts::ShowInformation(const std::string& title, const std::string& text) {
    ::MessageBoxW(nullptr, toUtf16(text).c_str(), toUtf16(title).c_str(),
                  MB_OK | MB_ICONINFORMATION);
}

std::string Win32StartupPorts::ReadWinIni(const std::string& section, const std::string& key,
                                          const std::string& defaultValue) {
    wchar_t buffer[256] = {};
    DWORD n = ::GetPrivateProfileStringW(toUtf16(section).c_str(), toUtf16(key).c_str(),
                                         toUtf16(defaultValue).c_str(), buffer, 255, L"WIN.INI");
    return toUtf8(std::wstring_view(buffer, n));
}

void Win32StartupPorts::WriteWinIni(const std::string& section, const std::string& key,
                                    const std::string& value) {
    ::WritePrivateProfileStringW(toUtf16(section).c_str(), toUtf16(key).c_str(),
                                 toUtf16(value).c_str(), L"WIN.INI");
}

std::string Win32StartupPorts::ProgramFolder() {
    return toUtf8(programFolder());
}


bool Win32InstanceHandOver::HandOver(const std::string& path) {
    constexpr int kTries = 50;
    constexpr DWORD kPauseMs = 100;
    constexpr UINT kAnswerMs = 5000;
    HWND target = ::FindWindowW(kMainWindowClass, nullptr);
    for (int i = 0; target == nullptr && i < kTries; ++i) {
        ::Sleep(kPauseMs);
        target = ::FindWindowW(kMainWindowClass, nullptr);
    }
    if (target == nullptr) {
        return false;
    }
    // The running copy may then come to the front.
    DWORD pid = 0;
    ::GetWindowThreadProcessId(target, &pid);
    ::AllowSetForegroundWindow(pid);
    COPYDATASTRUCT data{kHandOverTag, static_cast<DWORD>(path.size()),
                        const_cast<char*>(path.data())};
    DWORD_PTR answer = FALSE;
    return ::SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                 SMTO_ABORTIFHUNG, kAnswerMs, &answer) != 0 &&
           answer == TRUE;
}

CommandLine readCommandLine(const wchar_t* tail) {
    CommandLine command = parseCommandLine(tail != nullptr ? toUtf8(tail) : std::string());
    if (command.kind == CommandLine::Kind::OpenFile) {
        const std::wstring given = toUtf16(command.path);
        std::wstring full(::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr), L'\0');
        const DWORD n = full.empty()
                            ? 0
                            : ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()),
                                                 full.data(), nullptr);
        if (n == 0 || n >= full.size()) {
            return {};
        }
        full.resize(n);
        command.path = toUtf8(full);
    }
    return command;
}

} // namespace tidewell::win32
