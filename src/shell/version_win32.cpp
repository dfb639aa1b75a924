#include "shell/version_win32.h"

#include <cstdio>
#include <string>
#include <vector>

#include "win32/unicode.h"

namespace tidewell::win32 {

namespace {
std::wstring modulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool queryString(std::vector<BYTE>& block, const wchar_t* lang, const wchar_t* field,
                 std::string& out) {
    std::wstring sub = std::wstring(L"\\StringFileInfo\\") + lang + L"\\" + field;
    void* data = nullptr;
    UINT len = 0;
    if (::VerQueryValueW(block.data(), sub.c_str(), &data, &len) && data != nullptr && len > 0) {
        const auto* text = static_cast<const wchar_t*>(data);
        std::wstring value(text, len);
        while (!value.empty() && value.back() == L'\0') {
            value.pop_back();
        }
        out = toUtf8(value);
        return true;
    }
    return false;
}
} // namespace

ProductInfo readProductInfo(HMODULE module) {
    ProductInfo info = builtInProductInfo();
    const std::wstring path = modulePath(module);
    if (path.empty()) {
        return info;
    }
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) {
        return info;
    }
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
        return info;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLen = 0;
    if (::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLen) &&
        fixed != nullptr && fixedLen >= sizeof(VS_FIXEDFILEINFO)) {
        info.major = HIWORD(fixed->dwFileVersionMS);
        info.minor = LOWORD(fixed->dwFileVersionMS);
    }
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* tr = nullptr;
    UINT trLen = 0;
    wchar_t lang[16] = L"040904b0";
    if (::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr),
                         &trLen) &&
        tr != nullptr && trLen >= sizeof(Translation)) {
        std::swprintf(lang, 16, L"%04x%04x", tr->language, tr->codePage);
    }
    queryString(block, lang, L"ProductName", info.productName);
    queryString(block, lang, L"CompanyName", info.companyName);
    queryString(block, lang, L"LegalCopyright", info.legalCopyright);
    return info;
}

} // namespace tidewell::win32
