#include "win32/win32_error.h"

#include "win32/unicode.h"
#include "win32/unique_handle.h"

namespace tidewell::win32 {

std::string systemMessage(DWORD code) {
    UniqueLocalMem<wchar_t*> buffer;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0,
                               nullptr);
    std::wstring text;
    if (n != 0 && buffer) {
        text.assign(buffer.get(), n);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "Unknown error " + std::to_string(code);
    }
    return toUtf8(text);
}

AppError win32Error(DWORD code) {
    return AppError(static_cast<long>(static_cast<LONG>(code)), systemMessage(code));
}

void throwWin32Error(DWORD code) {
    throw win32Error(code);
}

void throwLastError() {
    throwWin32Error(::GetLastError());
}

void checkHr(HRESULT hr) {
    if (FAILED(hr)) {
        throw AppError(static_cast<long>(hr), systemMessage(static_cast<DWORD>(hr)));
    }
}

} // namespace tidewell::win32
