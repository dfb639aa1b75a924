#include "win32/module_path.h"

#include <windows.h>

namespace tidewell::win32 {

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        return {};
    }
    path.resize(slash);
    if (path.size() == 2 && path[1] == L':') {
        path += L'\\';
    }
    return path;
}

} // namespace tidewell::win32
