#include "cleaning/file_system_win32.h"

#include <shlobj.h>

#include <algorithm>

#include "kernel/app_error.h"
#include "win32/link_safe.h"
#include "win32/message_pump.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

namespace {

DirEntry entryFrom(const std::wstring& name, DWORD attributes, DWORD sizeHigh, DWORD sizeLow,
                   const FILETIME& written) {
    DirEntry e;
    e.modified = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    e.name = toUtf8(name);
    e.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    e.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    e.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    e.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    e.size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    return e;
}

// The file itself opened for writing: never through a link, and never a file
// with other names, whose data those names would lose too. A read-only file
// is made writable through its own handle.
UniqueFile openForOverwriting(const std::string& path) {
    const std::wstring w = extendedPath(path);
    OpenedEntry e = openEntry(w, FILE_WRITE_ATTRIBUTES);
    if (!e.file && !e.link) {
        throwWin32Error(e.error);
    }
    if (e.link) {
        throw AppError(ERROR_CANT_ACCESS_FILE,
                       "\"" + path + "\" is a link; nothing was written through it.");
    }
    if (e.info.nNumberOfLinks > 1) {
        throw AppError(ERROR_CANT_ACCESS_FILE, hardLinksText(path, e.info.nNumberOfLinks));
    }
    if ((e.info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes =
            e.info.dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (basic.FileAttributes == 0) {
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        ::SetFileInformationByHandle(e.file.get(), FileBasicInfo, &basic, sizeof(basic));
    }
    OpenedEntry w2 = openEntry(w, GENERIC_WRITE);
    if (!w2.file) {
        throwWin32Error(w2.link ? ERROR_CANT_ACCESS_FILE : w2.error);
    }
    return std::move(w2.file);
}

void writeAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr)) {
            throwLastError();
        }
        data += written;
        size -= written;
    }
}

} // namespace

std::optional<DirEntry> Win32FileSystem::stat(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(extendedPath(path).c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return entryFrom(L"", data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                     data.ftLastWriteTime);
}

std::vector<DirEntry> Win32FileSystem::list(const std::string& folder) {
    std::wstring pattern = extendedPath(folder);
    if (pattern.empty() || pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    std::vector<DirEntry> entries;
    if (!find) {
        const DWORD error = ::GetLastError();
        // An empty drive root has not even "." to list.
        if (error == ERROR_FILE_NOT_FOUND) {
            auto st = stat(folder);
            if (st && st->directory) {
                return entries;
            }
        }
        throwWin32Error(error);
    }
    do {
        const std::wstring_view name(data.cFileName);
        if (name == L"." || name == L"..") {
            continue;
        }
        entries.push_back(entryFrom(data.cFileName, data.dwFileAttributes, data.nFileSizeHigh,
                                    data.nFileSizeLow, data.ftLastWriteTime));
    } while (::FindNextFileW(find.get(), &data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        throwWin32Error(error);
    }
    return entries;
}

std::optional<NameInfo> Win32FileSystem::inspect(const std::string& path) {
    const OpenedEntry e = openEntry(extendedPath(path), 0);
    if (!e.file && !e.link) {
        if (e.error == ERROR_FILE_NOT_FOUND || e.error == ERROR_PATH_NOT_FOUND) {
            return std::nullopt;
        }
        throwWin32Error(e.error);
    }
    NameInfo info;
    info.link = e.link;
    info.hardLinks = e.file ? e.info.nNumberOfLinks : 1;
    return info;
}

std::string Win32FileSystem::finalPath(const std::string& path) {
    // The deepest part of the path that exists is resolved; the rest, which
    // names nothing yet, is kept as written.
    std::string head = path;
    std::string tail;
    for (;;) {
        const std::wstring resolved = finalPathOf(extendedPath(head));
        if (!resolved.empty()) {
            return toUtf8(resolved) + tail;
        }
        const size_t slash = head.find_last_of('\\');
        if (slash == std::string::npos || slash + 1 >= head.size() || slash < 3) {
            return path;
        }
        tail = head.substr(slash) + tail;
        head = head.substr(0, slash);
    }
}

bool Win32FileSystem::deleteFile(const std::string& path) {
    return deleteEntry(extendedPath(path)) == 0;
}

void Win32FileSystem::deleteFileOrThrow(const std::string& path) {
    if (const DWORD error = deleteEntry(extendedPath(path)); error != 0) {
        throwWin32Error(error);
    }
}

bool Win32FileSystem::removeFolder(const std::string& path) {
    return deleteEntry(extendedPath(path)) == 0;
}

void Win32FileSystem::overwriteInPlace(const std::string& path, const std::string& pattern) {
    UniqueFile file = openForOverwriting(path);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        throwLastError();
    }
    std::string block;
    while (!pattern.empty() && block.size() < (64u << 10)) {
        block += pattern;
    }
    auto remaining = static_cast<std::uint64_t>(size.QuadPart);
    while (remaining > 0 && !block.empty()) {
        const size_t n = static_cast<size_t>(std::min<std::uint64_t>(remaining, block.size()));
        writeAll(file.get(), block.data(), n);
        remaining -= n;
    }
    if (!::FlushFileBuffers(file.get())) {
        throwLastError();
    }
}

void Win32FileSystem::writeFile(const std::string& path, const std::string& contents) {
    UniqueFile file = openForOverwriting(path);
    if (!::SetEndOfFile(file.get())) {
        throwLastError();
    }
    writeAll(file.get(), contents.data(), contents.size());
    if (!::FlushFileBuffers(file.get())) {
        throwLastError();
    }
}

std::string GetSpecialFolder(HWND owner, int folderId) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(owner, buffer, folderId, FALSE)) {
        return {};
    }
    return toUtf8(buffer);
}

ThrottledPump::ThrottledPump(unsigned intervalMs) {
    LARGE_INTEGER f{};
    ::QueryPerformanceFrequency(&f);
    frequency_ = f.QuadPart > 0 ? f.QuadPart : 1;
    intervalTicks_ = frequency_ * static_cast<LONGLONG>(intervalMs) / 1000;
}

double ThrottledPump::maxGapMs() const noexcept {
    return static_cast<double>(maxGap_) * 1000.0 / static_cast<double>(frequency_);
}

bool ThrottledPump::operator()() {
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    if (now.QuadPart - last_ >= intervalTicks_) {
        if (last_ != 0 && now.QuadPart - last_ > maxGap_) {
            maxGap_ = now.QuadPart - last_;
        }
        const bool goOn = pumpPendingMessages();
        ::QueryPerformanceCounter(&now);
        last_ = now.QuadPart;
        return goOn;
    }
    return true;
}

} // namespace tidewell::win32
