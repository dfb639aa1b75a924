#include "cleaning/file_system_win32.h"

#include <shlobj.h>

#include <algorithm>

#include "shell/app_error.h"
#include "win32/message_pump.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

namespace {

DirEntry entryFrom(const std::wstring& name, DWORD attributes, DWORD sizeHigh, DWORD sizeLow) {
    DirEntry e;
    e.name = toUtf8(name);
    e.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    e.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    e.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    e.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    e.size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    return e;
}

// Clears the read-only bit for a forced deletion; returns the old attributes
// so that a file that stays gets them back.
DWORD makeWritable(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    // A link's attributes are left alone: changing them might reach its target.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        ::SetFileAttributesW(path.c_str(),
                             attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return attributes;
}

void restoreAttributes(const std::wstring& path, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetFileAttributesW(path.c_str(), attributes);
    }
}

UniqueFile openForWriting(const std::wstring& path, DWORD disposition) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throwLastError();
    }
    return file;
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
    return entryFrom(L"", data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
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
                                    data.nFileSizeLow));
    } while (::FindNextFileW(find.get(), &data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        throwWin32Error(error);
    }
    return entries;
}

bool Win32FileSystem::deleteFile(const std::string& path) {
    const std::wstring w = extendedPath(path);
    const DWORD attributes = makeWritable(w);
    if (::DeleteFileW(w.c_str())) {
        return true;
    }
    restoreAttributes(w, attributes);
    return false;
}

void Win32FileSystem::deleteFileOrThrow(const std::string& path) {
    const std::wstring w = extendedPath(path);
    const DWORD attributes = makeWritable(w);
    if (!::DeleteFileW(w.c_str())) {
        const DWORD error = ::GetLastError();
        restoreAttributes(w, attributes);
        throwWin32Error(error);
    }
}

bool Win32FileSystem::removeFolder(const std::string& path) {
    const std::wstring w = extendedPath(path);
    const DWORD attributes = makeWritable(w);
    if (::RemoveDirectoryW(w.c_str())) {
        return true;
    }
    restoreAttributes(w, attributes);
    return false;
}

void Win32FileSystem::overwriteInPlace(const std::string& path, const std::string& pattern) {
    const std::wstring w = extendedPath(path);
    makeWritable(w);
    UniqueFile file = openForWriting(w, OPEN_EXISTING);
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
    const std::wstring w = extendedPath(path);
    makeWritable(w);
    UniqueFile file = openForWriting(w, CREATE_ALWAYS);
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
