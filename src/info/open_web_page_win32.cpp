#include "info/open_web_page_win32.h"

#include <shellapi.h>

#include "info/web_page.h"
#include "kernel/app_error.h"
#include "win32/link_safe.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/win32_error.h"

namespace tidewell::GenFunc {

namespace {
void message(HWND owner, const std::string& text, const wchar_t* title, UINT icon) {
    ::MessageBoxW(owner, win32::toUtf16(text).c_str(), title, MB_OK | icon);
}

class ProbeFile {
public:
    explicit ProbeFile(std::wstring path) : path_(std::move(path)) {
        // A probe left by an earlier run goes first; a link of that name
        // stays, and then no probe is made: never written through.
        win32::deleteEntry(path_);
        win32::UniqueFile file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!file) {
            win32::throwLastError();
        }
        created_ = true;
        DWORD written = 0;
        if (!::WriteFile(file.get(), kProbeContent, sizeof(kProbeContent) - 1, &written, nullptr)) {
            win32::throwLastError();
        }
    }
    ProbeFile(const ProbeFile&) = delete;
    ProbeFile& operator=(const ProbeFile&) = delete;
    ~ProbeFile() {
        if (created_) {
            win32::deleteEntry(path_);
        }
    }
    const std::wstring& path() const noexcept { return path_; }

private:
    std::wstring path_;
    bool created_ = false;
};
} // namespace

void OpenWebPage(HWND owner, const std::string& address, const std::string& extension) {
    wchar_t temp[256] = {};
    const DWORD n = ::GetTempPathW(255, temp);
    if (n == 0 || n > 255) {
        message(owner, "Can not create file.", L"OpenWith", MB_ICONINFORMATION);
        return;
    }
    try {
        ProbeFile probe(
            win32::toUtf16(probeFilePath(win32::toUtf8(std::wstring_view(temp, n)), extension)));
        wchar_t found[MAX_PATH + 1] = {};
        const auto found_rc =
            reinterpret_cast<INT_PTR>(::FindExecutableW(probe.path().c_str(), nullptr, found));
        if (found_rc <= 32) {
            message(owner, "Could not find associated application", L"Browser Not Found",
                    MB_ICONEXCLAMATION);
            return;
        }
        const std::wstring program = win32::toUtf16(programFromAssociation(win32::toUtf8(found)));
        const std::wstring argument = win32::toUtf16(quotedAddressArgument(address));
        const auto opened = reinterpret_cast<INT_PTR>(::ShellExecuteW(
            owner, L"open", program.c_str(), argument.c_str(), nullptr, SW_SHOWNOACTIVATE));
        if (opened <= 32) {
            message(owner, "Page not Opened", L"URL Failed", MB_ICONEXCLAMATION);
        }
    } catch (...) {
        const CaughtError e = describeCurrentException();
        message(owner, std::to_string(e.number) + ": " + e.description, L"OpenWith",
                MB_ICONINFORMATION);
    }
}

} // namespace tidewell::GenFunc
