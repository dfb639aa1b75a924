#include "win32/link_safe.h"

#include <vector>

namespace tidewell::win32 {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Name-surrogate reparse points (symbolic links, junctions, mount points)
// stand for another name; other tags (cloud placeholders, deduplicated
// files) are ordinary files. Wine reports no tag for its directory links.
bool isNameSurrogate(DWORD attributes, DWORD tag) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (tag == 0 || IsReparseTagNameSurrogate(tag));
}

std::wstring finalPathOfHandle(HANDLE file) {
    std::vector<wchar_t> buffer(512);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = ::GetFinalPathNameByHandleW(file, buffer.data(),
                                                    static_cast<DWORD>(buffer.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return std::wstring(buffer.data(), n);
        }
        buffer.resize(n + 1);
    }
    return {};
}

std::wstring keptNameOf(HANDLE file) {
    std::vector<std::uint8_t> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(file, FileNameInfo, info,
                                        static_cast<DWORD>(buffer.size()))) {
        return {};
    }
    return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring parentOf(const std::wstring& path, std::wstring& leaf) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        leaf = path;
        return {};
    }
    leaf = path.substr(slash + 1);
    std::wstring parent = path.substr(0, slash);
    // "\\?\C:" names the device, "\\?\C:\" the root folder.
    if (!parent.empty() && parent.back() == L':') {
        parent += L'\\';
    }
    return parent;
}

// The final path of the folder that holds entries being deleted one by one.
// A wipe asks for the same folder thousands of times in a row.
std::wstring finalPathOfFolder(const std::wstring& folder) {
    thread_local std::wstring lastFolder;
    thread_local std::wstring lastFinal;
    if (!lastFinal.empty() && folder == lastFolder) {
        return lastFinal;
    }
    UniqueFile dir(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!dir) {
        return {};
    }
    lastFolder = folder;
    lastFinal = finalPathOfHandle(dir.get());
    return lastFinal;
}

std::wstring joined(const std::wstring& folder, const std::wstring& leaf) {
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + leaf;
    }
    return folder + L'\\' + leaf;
}

// Whether the object behind `file` is the one that `path` names in its
// folder, and not a link's target somewhere else.
bool carriesName(HANDLE file, const std::wstring& path) {
    std::wstring leaf;
    const std::wstring parent = parentOf(path, leaf);
    if (parent.empty()) {
        return false;
    }
    const std::wstring opened = finalPathOfHandle(file);
    const std::wstring folder = opened.empty() ? std::wstring() : finalPathOfFolder(parent);
    if (folder.empty()) {
        // Wine gives no final path beyond MAX_PATH: compare the names the
        // file system keeps (volume-relative, links resolved there too).
        UniqueFile dir(::CreateFileW(parent.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        const std::wstring kept = keptNameOf(file);
        const std::wstring keptFolder = dir ? keptNameOf(dir.get()) : std::wstring();
        return !kept.empty() && !keptFolder.empty() && sameText(kept, joined(keptFolder, leaf));
    }
    if (sameText(opened, joined(folder, leaf))) {
        return true;
    }
    // A short 8.3 spelling of the name: compare its long form.
    if (leaf.find(L'~') != std::wstring::npos) {
        std::vector<wchar_t> longPath(32768);
        const DWORD n = ::GetLongPathNameW(path.c_str(), longPath.data(),
                                           static_cast<DWORD>(longPath.size()));
        if (n > 0 && n < longPath.size()) {
            std::wstring longLeaf;
            parentOf(std::wstring(longPath.data(), n), longLeaf);
            return sameText(opened, joined(folder, longLeaf));
        }
    }
    return false;
}

} // namespace

OpenedEntry openEntry(const std::wstring& path, DWORD access) {
    OpenedEntry e;
    e.file.reset(::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!e.file) {
        e.error = ::GetLastError();
        return e;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandle(e.file.get(), &e.info) ||
        !::GetFileInformationByHandleEx(e.file.get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
        e.error = ::GetLastError();
        e.file.reset();
        return e;
    }
    if (isNameSurrogate(tag.FileAttributes, tag.ReparseTag)) {
        e.link = true;
        e.openedAsItself = true;
    } else if (!carriesName(e.file.get(), path)) {
        // Opened through a link the platform did not flag: this handle is
        // the target's, and nothing may be done through it.
        e.link = true;
        e.file.reset();
        e.error = ERROR_CANT_ACCESS_FILE;
    }
    return e;
}

DWORD deleteEntry(const std::wstring& path) {
    OpenedEntry e = openEntry(path, DELETE | FILE_WRITE_ATTRIBUTES);
    if (!e.file && e.error == ERROR_ACCESS_DENIED) {
        // No right to change attributes: a plain delete may still be allowed.
        e = openEntry(path, DELETE);
    }
    if (!e.file) {
        return e.error;
    }
    const DWORD attributes = e.info.dwFileAttributes;
    // A link's attributes are never touched; a read-only file is deleted too.
    const bool clearReadOnly = !e.link && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    FILE_BASIC_INFO basic{};
    if (clearReadOnly) {
        basic.FileAttributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (basic.FileAttributes == 0) {
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        ::SetFileInformationByHandle(e.file.get(), FileBasicInfo, &basic, sizeof(basic));
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (::SetFileInformationByHandle(e.file.get(), FileDispositionInfo, &disposition,
                                     sizeof(disposition))) {
        return 0;
    }
    const DWORD error = ::GetLastError();
    if (clearReadOnly) {
        basic.FileAttributes = attributes;
        ::SetFileInformationByHandle(e.file.get(), FileBasicInfo, &basic, sizeof(basic));
    }
    return error;
}

std::wstring finalPathOf(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return {};
    }
    std::wstring p = finalPathOfHandle(file.get());
    if (p.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\\\" + p.substr(8);
    }
    if (p.rfind(L"\\\\?\\", 0) == 0) {
        return p.substr(4);
    }
    return p;
}

} // namespace tidewell::win32
