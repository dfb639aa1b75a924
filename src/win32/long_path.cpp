#include "win32/long_path.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "win32/unicode.h"

namespace tidewell::win32 {

namespace {

bool hasPrefix(const std::wstring& w) {
    return w.rfind(L"\\\\?\\", 0) == 0 || w.rfind(L"\\\\.\\", 0) == 0;
}

std::wstring withPrefix(std::wstring w) {
    if (hasPrefix(w))
        return w;
    if (w.size() >= 3 && w[1] == L':' && w[2] == L'\\')
        return L"\\\\?\\" + w;
    if (w.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + w.substr(2);
    return w;
}

// Needs the system's own resolution: relative, or with "." / ".." parts.
bool needsResolving(const std::wstring& w) {
    bool full = (w.size() >= 3 && w[1] == L':' && w[2] == L'\\') || w.rfind(L"\\\\", 0) == 0;
    if (!full || w.find(L'/') != std::wstring::npos)
        return true;
    std::size_t start = 0;
    while (start <= w.size()) {
        std::size_t end = w.find(L'\\', start);
        if (end == std::wstring::npos)
            end = w.size();
        std::wstring part = w.substr(start, end - start);
        if (part == L"." || part == L"..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::wstring extendedPath(const std::string& path) {
    std::wstring w = toUtf16(path);
    if (!hasPrefix(w))
        std::replace(w.begin(), w.end(), L'/', L'\\');
    return withPrefix(std::move(w));
}

std::wstring extendedFullPath(const std::string& path) {
    std::wstring w = toUtf16(path);
    if (hasPrefix(w) || w.empty())
        return w;
    if (needsResolving(w)) {
        DWORD n = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
        if (n != 0) {
            std::vector<wchar_t> full(n);
            n = ::GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
            if (n != 0 && n < full.size())
                w.assign(full.data(), n);
        }
    }
    return withPrefix(std::move(w));
}

} // namespace tidewell::win32
