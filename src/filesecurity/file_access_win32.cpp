// The Win32 adapter of the file-security port: W functions throughout, links
// and junctions seen as reparse points and never followed.
#include <windows.h>

#include <cstring>
#include <optional>

#include "filesecurity/file_access.h"
#include "kernel/app_error.h"
#include "win32/link_safe.h"
#include "win32/long_path.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"
#include "win32/win32_error.h"

namespace tidewell::filesecurity {
namespace {

// Every path goes to the system in its "\\?\" form: no MAX_PATH limit.
std::wstring wide(const std::string& path) {
    return win32::extendedFullPath(path);
}
using win32::UniqueFile;

constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;

std::int64_t toUnix(const FILETIME& ft) {
    std::int64_t t = static_cast<std::int64_t>(static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 |
                                               ft.dwLowDateTime);
    return (t - kUnixEpochAsFileTime) / 10000000;
}

LARGE_INTEGER toFileTime(std::int64_t unixSeconds) {
    LARGE_INTEGER li;
    li.QuadPart = unixSeconds * 10000000 + kUnixEpochAsFileTime;
    return li;
}

// `tag`: the reparse tag, when the attributes name a reparse point. Only
// links (symbolic links, junctions: tags that stand for another name) are
// links; other reparse points, such as cloud placeholders and deduplicated
// files, hold the user's data and are packed like any file. No tag at all
// (Wine gives none for its links) counts as a link.
FileInfo fromAttributes(DWORD attrs, DWORD tag, DWORD sizeHigh, DWORD sizeLow,
                        const FILETIME& written) {
    FileInfo i;
    i.exists = true;
    i.isFolder = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
    i.isLink = (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
               (tag == 0 || IsReparseTagNameSurrogate(tag));
    i.size = static_cast<std::uint64_t>(sizeHigh) << 32 | sizeLow;
    i.modified = toUnix(written);
    i.readOnly = (attrs & FILE_ATTRIBUTE_READONLY) != 0;
    i.hidden = (attrs & FILE_ATTRIBUTE_HIDDEN) != 0;
    return i;
}

[[noreturn]] void throwFor(const std::string& path) {
    AppError e = win32::win32Error(::GetLastError());
    throw AppError(e.number(), e.description() + " (" + path + ")");
}

// Wine resolves a name it does not flag as a link to the link's target for
// deleting and renaming: such a name is left alone, and the run says so.
[[noreturn]] void refuseLink(const std::string& path) {
    throw AppError(static_cast<long>(ERROR_CANT_ACCESS_FILE),
                   path + " is a link; nothing was written through it.");
}

bool isLinkEntry(const std::wstring& path) {
    return win32::openEntry(path, 0).link;
}

class Win32Input : public InputFile {
public:
    explicit Win32Input(const std::string& path)
        : h_(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
        if (!h_)
            throwFor(path);
    }
    std::size_t read(std::uint8_t* data, std::size_t size) override {
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!::ReadFile(h_.get(), data, want, &got, nullptr))
            win32::throwLastError();
        return got;
    }

private:
    UniqueFile h_;
};

class Win32Output : public OutputFile {
public:
    Win32Output(const std::string& path, bool fresh) : path_(wide(path)), pathText_(path) {
        if (fresh) {
            temp_ = path_;
            h_.reset(::CreateFileW(temp_.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!h_ && ::GetLastError() != ERROR_FILE_EXISTS &&
                ::GetLastError() != ERROR_ALREADY_EXISTS) {
                throwFor(path);
            }
            created_ = static_cast<bool>(h_);
            if (created_)
                deletePending_ = setDeleteOnClose(true);
            return;
        }
        // Beside the destination, so that the final rename stays on one volume.
        for (int attempt = 0; attempt < 16 && !h_; ++attempt) {
            wchar_t suffix[32];
            ::swprintf(suffix, 32, L".~tw%08lx.tmp",
                       static_cast<unsigned long>(::GetTickCount() * 2654435761u + attempt));
            temp_ = path_ + suffix;
            h_.reset(::CreateFileW(temp_.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED,
                                   nullptr));
            if (!h_ && ::GetLastError() != ERROR_FILE_EXISTS)
                throwFor(path);
        }
        if (!h_)
            throwFor(path);
        created_ = true;
        // The system deletes it when its handle closes, also should this
        // process be killed: no half-decrypted file stays behind. Cleared
        // just before the rename.
        deletePending_ = setDeleteOnClose(true);
    }
    bool open() const { return created_; }
    ~Win32Output() override {
        wipe(buffer_.data(), buffer_.size());
        if (created_ && !committed_) {
            const bool deletedOnClose = deletePending_;
            h_.reset();
            if (!deletedOnClose)
                win32::deleteEntry(temp_);
        }
    }
    // Small pieces are gathered into one system call (cheaper, under Wine
    // above all); large ones, as the write-behind ring hands them over, go
    // straight through. The buffer grows with the file, so a small file
    // costs no more memory than its size.
    void write(const std::uint8_t* data, std::size_t size) override {
        if (buffer_.size() + size > kBufferSize)
            flush();
        if (buffer_.empty() && size >= kDirectSize) {
            writeThrough(data, size);
            return;
        }
        appendWiping(buffer_, data, size);
    }
    void stamp(std::int64_t modified, bool readOnly, bool hidden) override {
        modified_ = modified;
        attributes_ =
            (readOnly ? FILE_ATTRIBUTE_READONLY : 0) | (hidden ? FILE_ATTRIBUTE_HIDDEN : 0);
    }
    void commit() override {
        flush();
        FILE_BASIC_INFO basic{};
        if (modified_)
            basic.LastWriteTime = toFileTime(*modified_);
        basic.FileAttributes = attributes_ != 0 ? attributes_ : FILE_ATTRIBUTE_NORMAL;
        if (!::SetFileInformationByHandle(h_.get(), FileBasicInfo, &basic, sizeof basic))
            throwFor(pathText_);
        DWORD existing =
            temp_ != path_ ? ::GetFileAttributesW(path_.c_str()) : INVALID_FILE_ATTRIBUTES;
        bool replacing = existing != INVALID_FILE_ATTRIBUTES;
        // Replacing by name would replace what an unflagged link points to.
        if (replacing && isLinkEntry(path_))
            refuseLink(pathText_);
        // A read-only file is one the user protected: never replace it (Wine
        // would, Windows would not).
        if (replacing && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            throwFor(pathText_);
        }
        // Replacing a file the user already had: make sure the new one is on
        // disk before the old one goes.
        if (replacing && !::FlushFileBuffers(h_.get()))
            throwFor(pathText_);
        if (deletePending_ && !setDeleteOnClose(false))
            throwFor(pathText_);
        deletePending_ = false;
        h_.reset();
        if (temp_ != path_ && !::MoveFileExW(temp_.c_str(), path_.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            throwFor(pathText_);
        }
        committed_ = true;
    }

private:
    bool setDeleteOnClose(bool yes) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = yes ? TRUE : FALSE;
        return ::SetFileInformationByHandle(h_.get(), FileDispositionInfo, &disposition,
                                            sizeof disposition) != FALSE;
    }
    static constexpr std::size_t kBufferSize = 256 << 10;
    static constexpr std::size_t kDirectSize = 64 << 10;
    void flush() {
        if (buffer_.empty())
            return;
        writeThrough(buffer_.data(), buffer_.size());
        wipe(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    void writeThrough(const std::uint8_t* data, std::size_t size) {
        while (size != 0) {
            DWORD put = 0;
            DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            if (!::WriteFile(h_.get(), data, want, &put, nullptr))
                throwFor(pathText_);
            data += put;
            size -= put;
        }
    }
    std::vector<std::uint8_t> buffer_; // may hold plaintext: wiped as it is written

    std::wstring path_, temp_;
    std::string pathText_;
    UniqueFile h_;
    bool created_ = false;
    bool committed_ = false;
    bool deletePending_ = false; // removed by the system when closed
    std::optional<std::int64_t> modified_;
    DWORD attributes_ = 0;
};

class Win32Log : public LogFile {
public:
    explicit Win32Log(const std::string& path)
        : h_(::CreateFileW(wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr)),
          path_(path) {
        if (!h_)
            throwFor(path);
    }
    // Unbuffered: once written, a line survives the process.
    void append(const std::string& text) override {
        DWORD put = 0;
        if (!::WriteFile(h_.get(), text.data(), static_cast<DWORD>(text.size()), &put, nullptr) ||
            put != text.size())
            throwFor(path_);
    }

private:
    UniqueFile h_;
    std::string path_;
};

bool fileId(const std::string& path, BY_HANDLE_FILE_INFORMATION& out) {
    UniqueFile h(::CreateFileW(wide(path).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h && ::GetFileInformationByHandle(h.get(), &out);
}

class Win32FileAccess : public FileAccess {
public:
    FileInfo info(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA d{};
        std::wstring w = wide(path);
        if (!::GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &d))
            return {};
        // The tag comes with a search; when that fails, the entry counts as
        // a link: never followed.
        DWORD tag = IO_REPARSE_TAG_SYMLINK;
        if (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            WIN32_FIND_DATAW fd{};
            win32::UniqueFind find(::FindFirstFileW(w.c_str(), &fd));
            if (find)
                tag = fd.dwReserved0;
        }
        FileInfo i = fromAttributes(d.dwFileAttributes, tag, d.nFileSizeHigh, d.nFileSizeLow,
                                    d.ftLastWriteTime);
        // A file link the platform does not flag (Wine's) shows itself only
        // by where it leads; folder links are always flagged.
        if (!i.isLink && !i.isFolder && isLinkEntry(w))
            i.isLink = true;
        return i;
    }
    std::vector<FolderEntry> list(const std::string& folder) override {
        std::vector<FolderEntry> out;
        WIN32_FIND_DATAW fd{};
        win32::UniqueFind find(::FindFirstFileExW(wide(join(folder, "*")).c_str(), FindExInfoBasic,
                                                  &fd, FindExSearchNameMatch, nullptr,
                                                  FIND_FIRST_EX_LARGE_FETCH));
        if (!find) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND)
                return out;
            throwFor(folder);
        }
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            out.push_back(
                {win32::toUtf8(name), fromAttributes(fd.dwFileAttributes, fd.dwReserved0,
                                                     fd.nFileSizeHigh, fd.nFileSizeLow,
                                                     fd.ftLastWriteTime)});
        } while (::FindNextFileW(find.get(), &fd));
        if (::GetLastError() != ERROR_NO_MORE_FILES)
            throwFor(folder);
        return out;
    }
    std::unique_ptr<InputFile> openRead(const std::string& path) override {
        return std::make_unique<Win32Input>(path);
    }
    std::unique_ptr<OutputFile> createReplacing(const std::string& path) override {
        return std::make_unique<Win32Output>(path, false);
    }
    std::unique_ptr<OutputFile> createFresh(const std::string& path) override {
        auto out = std::make_unique<Win32Output>(path, true);
        if (!out->open())
            return nullptr;
        return out;
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        BY_HANDLE_FILE_INFORMATION ia{}, ib{};
        return fileId(a, ia) && fileId(b, ib) &&
               ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
               ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    }
    void createFolder(const std::string& path) override {
        if (::CreateDirectoryW(wide(path).c_str(), nullptr))
            return;
        DWORD err = ::GetLastError();
        FileInfo i = info(path);
        if (err != ERROR_ALREADY_EXISTS || !i.isFolder || i.isLink) {
            ::SetLastError(err == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : err);
            throwFor(path);
        }
    }
    void setTimeAndAttributes(const std::string& path, std::int64_t modified, bool readOnly,
                              bool hidden) override {
        win32::OpenedEntry e = win32::openEntry(wide(path), FILE_WRITE_ATTRIBUTES);
        const UniqueFile& h = e.file;
        if (!h || e.link)
            return; // times of a folder are a nicety, not worth failing for
        FILE_BASIC_INFO basic{};
        if (::GetFileInformationByHandleEx(h.get(), FileBasicInfo, &basic, sizeof basic)) {
            basic.LastWriteTime = toFileTime(modified);
            DWORD keep = basic.FileAttributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
            basic.FileAttributes = keep | (readOnly ? FILE_ATTRIBUTE_READONLY : 0) |
                                   (hidden ? FILE_ATTRIBUTE_HIDDEN : 0);
            ::SetFileInformationByHandle(h.get(), FileBasicInfo, &basic, sizeof basic);
        }
    }
    void remove(const std::string& path) override {
        if (DWORD error = win32::deleteEntry(wide(path))) {
            if (error == ERROR_CANT_ACCESS_FILE)
                refuseLink(path);
            ::SetLastError(error);
            throwFor(path);
        }
    }
    void rename(const std::string& from, const std::string& to) override {
        const std::wstring w = wide(from);
        if (isLinkEntry(w))
            refuseLink(from);
        if (!::MoveFileExW(w.c_str(), wide(to).c_str(), 0))
            throwFor(from);
    }
    std::unique_ptr<LogFile> createLog(const std::string& path) override {
        return std::make_unique<Win32Log>(path);
    }
    std::string join(const std::string& folder, const std::string& name) override {
        if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
            return folder + name;
        return folder + "\\" + name;
    }
    // Windows matches names by their upper case, letter by letter and the
    // same in every locale: "\xc3\x84.txt" and "\xc3\xa4.txt" are one file.
    std::string nameKey(const std::string& path) override {
        const std::wstring w = win32::toUtf16(path);
        std::wstring upper(w.size(), L'\0');
        const int size = static_cast<int>(w.size());
        if (w.empty() || ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, w.data(), size,
                                         upper.data(), size, nullptr, nullptr, 0) != size)
            return FileAccess::nameKey(path);
        return win32::toUtf8(upper);
    }
};

} // namespace

std::unique_ptr<FileAccess> makeFileAccess() {
    return std::make_unique<Win32FileAccess>();
}

} // namespace tidewell::filesecurity
