#include "win32/window_text.h"

#include "win32/unicode.h"

namespace tidewell::win32 {

std::string windowText(HWND hwnd) {
    int n = ::GetWindowTextLengthW(hwnd);
    if (n <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = ::GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(n < 0 ? 0 : n));
    return toUtf8(text);
}

void setWindowText(HWND hwnd, const std::string& text) {
    ::SetWindowTextW(hwnd, toUtf16(text).c_str());
}

} // namespace tidewell::win32
