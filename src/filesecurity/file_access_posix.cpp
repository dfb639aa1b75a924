// The POSIX adapter: native tests, the fuzz targets and the native benchmark.
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>

#include "filesecurity/file_access.h"
#include "kernel/app_error.h"

namespace tidewell::filesecurity {
namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    int e = errno;
    throw AppError(e, what + ": " + std::strerror(e));
}

FileInfo fromStat(const struct stat& st) {
    FileInfo i;
    i.exists = true;
    i.isLink = S_ISLNK(st.st_mode);
    i.isFolder = S_ISDIR(st.st_mode);
    i.size = static_cast<std::uint64_t>(st.st_size);
    i.modified = st.st_mtime;
    i.readOnly = (st.st_mode & S_IWUSR) == 0;
    return i;
}

class PosixInput : public InputFile {
public:
    explicit PosixInput(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)) {
        if (fd_ < 0)
            throwErrno(path);
    }
    ~PosixInput() override { ::close(fd_); }
    std::size_t read(std::uint8_t* data, std::size_t size) override {
        for (;;) {
            ssize_t n = ::read(fd_, data, size);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR)
                throwErrno("read");
        }
    }

private:
    int fd_;
};

class PosixOutput : public OutputFile {
public:
    PosixOutput(const std::string& path, bool fresh) : path_(path) {
        if (fresh) {
            temp_ = path;
            fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (fd_ < 0 && errno != EEXIST)
                throwErrno(path);
            created_ = fd_ >= 0;
            return;
        }
        std::random_device rd;
        for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
            temp_ = path + ".~tw" + std::to_string(rd() % 1000000u) + ".tmp";
            fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd_ < 0 && errno != EEXIST)
                throwErrno(path);
        }
        if (fd_ < 0)
            throwErrno(path);
        created_ = true;
    }
    ~PosixOutput() override {
        if (fd_ >= 0)
            ::close(fd_);
        if (created_ && !committed_)
            ::unlink(temp_.c_str());
    }
    bool open() const { return created_; }
    void write(const std::uint8_t* data, std::size_t size) override {
        while (size != 0) {
            ssize_t n = ::write(fd_, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throwErrno(path_);
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    void stamp(std::int64_t modified, bool readOnly, bool) override {
        modified_ = modified;
        readOnly_ = readOnly;
    }
    void commit() override {
        if (modified_) {
            struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*modified_), 0}};
            ::futimens(fd_, times);
        }
        bool modeOk = (temp_ == path_ && !readOnly_) || ::fchmod(fd_, readOnly_ ? 0444 : 0644) == 0;
        if (!modeOk || ::close(fd_) != 0) {
            fd_ = -1;
            throwErrno(path_);
        }
        fd_ = -1;
        struct stat st {};
        if (temp_ != path_ && ::lstat(path_.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
            errno = EACCES; // a read-only file is one the user protected
            throwErrno(path_);
        }
        if (temp_ != path_ && ::rename(temp_.c_str(), path_.c_str()) != 0)
            throwErrno(path_);
        committed_ = true;
    }

private:
    std::string path_;
    std::string temp_;
    int fd_ = -1;
    bool created_ = false;
    bool committed_ = false;
    std::optional<std::int64_t> modified_;
    bool readOnly_ = false;
};

class PosixLog : public LogFile {
public:
    explicit PosixLog(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600)),
          path_(path) {
        if (fd_ < 0)
            throwErrno(path);
    }
    ~PosixLog() override { ::close(fd_); }
    void append(const std::string& text) override {
        if (::write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throwErrno(path_);
    }

private:
    int fd_;
    std::string path_;
};

class PosixFileAccess : public FileAccess {
public:
    std::unique_ptr<LogFile> createLog(const std::string& path) override {
        return std::make_unique<PosixLog>(path);
    }
    FileInfo info(const std::string& path) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return {};
        FileInfo i = fromStat(st);
        std::string name = path.substr(path.find_last_of('/') + 1);
        i.hidden = !name.empty() && name[0] == '.';
        return i;
    }
    std::vector<FolderEntry> list(const std::string& folder) override {
        DIR* d = ::opendir(folder.c_str());
        if (d == nullptr)
            throwErrno(folder);
        std::vector<FolderEntry> out;
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            out.push_back({name, info(join(folder, name))});
        }
        ::closedir(d);
        return out;
    }
    std::unique_ptr<InputFile> openRead(const std::string& path) override {
        return std::make_unique<PosixInput>(path);
    }
    std::unique_ptr<OutputFile> createReplacing(const std::string& path) override {
        return std::make_unique<PosixOutput>(path, false);
    }
    std::unique_ptr<OutputFile> createFresh(const std::string& path) override {
        auto out = std::make_unique<PosixOutput>(path, true);
        if (!out->open())
            return nullptr;
        return out;
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        struct stat sa {
        }, sb{};
        return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
               sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    void createFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
            throwErrno(path);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            throw AppError(errors::InvalidArgument, "Not a folder: " + path);
        }
    }
    void setTimeAndAttributes(const std::string& path, std::int64_t modified, bool readOnly,
                              bool) override {
        struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(modified), 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::chmod(path.c_str(), readOnly ? 0444 : 0644);
        }
    }
    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && ::rmdir(path.c_str()) != 0)
            throwErrno(path);
    }
    void rename(const std::string& from, const std::string& to) override {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
            throwErrno(from);
    }
    std::string join(const std::string& folder, const std::string& name) override {
        if (!folder.empty() && folder.back() == '/')
            return folder + name;
        return folder + "/" + name;
    }
};

} // namespace

std::unique_ptr<FileAccess> makeFileAccess() {
    return std::make_unique<PosixFileAccess>();
}

} // namespace tidewell::filesecurity
#endif
