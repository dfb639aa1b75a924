#include "filesecurity/archive/writer_lanes.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "filesecurity/archive/archive.h"
#include "filesecurity/archive/archive_format.h"
#include "filesecurity/archive/journal.h"
#include "filesecurity/sync.h"
#include "kernel/app_error.h"

namespace tidewell::archive::detail {

using filesecurity::CondVar;
using filesecurity::FileAccess;
using filesecurity::FileInfo;
using filesecurity::Mutex;

// One thread that writes extracted files, in the order given, each under a
// temporary name beside its own (see Extractor::finish for how they take
// their names).
class WriterLane {
public:
    WriterLane(FileAccess& fs, std::atomic<bool>& anyFailed)
        : fs_(fs), anyFailed_(anyFailed), thread_([this] { run(); }) {}
    ~WriterLane() { stop(); }
    WriterLane(const WriterLane&) = delete;
    WriterLane& operator=(const WriterLane&) = delete;

    void begin(std::string staged, std::string real, std::string name, std::int64_t mtime,
               bool readOnly, bool hidden) {
        Job& job = add(Job::Begin);
        job.path = std::move(staged);
        job.real = std::move(real);
        job.name = std::move(name);
        job.mtime = mtime;
        job.readOnly = readOnly;
        job.hidden = hidden;
    }
    void data(const std::uint8_t* p, std::size_t n) {
        // Small pieces join the last one: fewer, larger writes.
        if (pending_.empty() || pending_.back().kind != Job::Data ||
            pending_.back().bytes.size() + n > kJoinLimit) {
            Job& job = add(Job::Data);
            if (!spare_.empty()) {
                // Reused: fresh memory from the system costs a page fault
                // and a cleared page per 4 KiB, more than the copy itself.
                job.bytes = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        filesecurity::appendWiping(pending_.back().bytes, p, n);
        pendingBytes_ += n;
        if (pendingBytes_ >= kBatchBytes)
            handOver();
    }
    void end() {
        add(Job::End);
        if (pending_.size() >= kBatchJobs)
            handOver();
    }
    // Waits until every file is written.
    void drain() {
        handOver();
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
    }
    // Once drained or stopped.
    std::exception_ptr error() const { return error_; }
    // Stops at once; what was not written yet is dropped.
    void stop() noexcept {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
        wipeJobs(pending_);
        wipeJobs(queue_);
    }
    std::uint64_t written = 0; // valid once drained or stopped

private:
    // Jobs go over in batches: one hand-over (and at most one wake-up) per
    // batch instead of three per file.
    static constexpr std::size_t kBatchBytes = 1 << 20;
    static constexpr std::size_t kBatchJobs = 256;
    static constexpr std::size_t kQueueLimit = 8 << 20;
    static constexpr std::size_t kJoinLimit = 256 << 10;
    struct Job {
        enum Kind { Begin, Data, End } kind = Begin;
        std::string path, real, name;
        std::int64_t mtime = 0;
        bool readOnly = false, hidden = false;
        std::vector<std::uint8_t> bytes;
    };
    using Jobs = std::deque<Job>;

    Job& add(Job::Kind kind) {
        pending_.emplace_back();
        pending_.back().kind = kind;
        return pending_.back();
    }
    static void wipeJobs(Jobs& jobs) noexcept {
        for (Job& j : jobs)
            filesecurity::wipe(j.bytes.data(), j.bytes.size());
        jobs.clear();
    }
    void handOver() {
        if (pending_.empty())
            return;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || queued_ < kQueueLimit; });
        if (stopped_) {
            if (error_)
                std::rethrow_exception(error_);
            throw AppError(kArchiveErrorNumber, "The extraction was stopped.");
        }
        for (Job& j : pending_)
            queue_.push_back(std::move(j));
        pending_.clear();
        queued_ += pendingBytes_;
        pendingBytes_ = 0;
        for (auto& b : returned_)
            spare_.push_back(std::move(b));
        returned_.clear();
        changed_.notify_all();
    }
    void run() {
        Jobs batch;
        std::vector<std::vector<std::uint8_t>> used;
        for (;;) {
            std::size_t bytes = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || closing_ || !queue_.empty(); });
                if (stopped_ || queue_.empty())
                    break;
                batch.swap(queue_);
            }
            try {
                for (Job& job : batch) {
                    handle(job);
                    bytes += job.bytes.size();
                    filesecurity::wipe(job.bytes.data(), job.bytes.size());
                    if (job.bytes.capacity() != 0 && used.size() < kSpareLimit) {
                        job.bytes.clear();
                        used.push_back(std::move(job.bytes));
                    }
                }
                batch.clear();
            } catch (...) {
                wipeJobs(batch);
                std::lock_guard lock(mutex_);
                error_ = std::current_exception();
                stopped_ = true;
                anyFailed_ = true;
                changed_.notify_all();
                break;
            }
            std::lock_guard lock(mutex_);
            queued_ -= std::min(queued_, bytes);
            for (auto& b : used)
                returned_.push_back(std::move(b));
            used.clear();
            changed_.notify_all();
        }
        file_.reset(); // an unfinished file goes
    }
    static constexpr std::size_t kSpareLimit = 64;
    void handle(Job& job) {
        switch (job.kind) {
        case Job::Begin: {
            // What the file will replace is checked now, so that a run that
            // cannot finish stops before anything of the user's is touched.
            FileInfo existing = fs_.info(job.real);
            if (existing.isLink || existing.isFolder)
                refuse(job.name, "a folder or link of that name is in the way");
            if (existing.readOnly)
                refuse(job.name, "a read-only file of that name is in the way");
            file_ = fs_.createFresh(job.path);
            if (!file_)
                refuse(job.name, "its temporary name is taken");
            file_->stamp(job.mtime, job.readOnly, job.hidden);
            break;
        }
        case Job::Data:
            file_->write(job.bytes.data(), job.bytes.size());
            break;
        case Job::End:
            file_->commit();
            file_.reset();
            ++written;
            break;
        }
    }

    FileAccess& fs_;
    std::atomic<bool>& anyFailed_;
    // The extracting thread's side, no lock needed.
    Jobs pending_;
    std::size_t pendingBytes_ = 0;
    std::vector<std::vector<std::uint8_t>> spare_;
    // Shared with the writing thread.
    Mutex mutex_;
    CondVar changed_;
    Jobs queue_;
    std::size_t queued_ = 0;                          // bytes handed over, not yet written
    std::vector<std::vector<std::uint8_t>> returned_; // emptied buffers, for reuse
    bool closing_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
    std::unique_ptr<filesecurity::OutputFile> file_; // the writing thread's
    std::thread thread_;                             // last: starts once the rest is ready
};

FileWriter::FileWriter(FileAccess& fs, std::string runId) : fs_(fs), runId_(std::move(runId)) {
    for (std::size_t i = 0; i < kLanes; ++i)
        lanes_.push_back(std::make_unique<WriterLane>(fs, anyFailed_));
}

FileWriter::~FileWriter() = default;

void FileWriter::begin(std::string path, std::string name, std::int64_t mtime, bool readOnly,
                       bool hidden) {
    if (anyFailed_)
        throwFirstError();
    // Names the file system takes for one file go to one lane.
    std::string key = fs_.nameKey(path);
    current_ = lanes_[std::hash<std::string>{}(key) % kLanes].get();
    std::string staged = stagedName(path, runId_, files.size());
    files.push_back({path, staged, key});
    current_->begin(std::move(staged), std::move(path), std::move(name), mtime, readOnly, hidden);
}

void FileWriter::data(const std::uint8_t* p, std::size_t n) {
    current_->data(p, n);
}

void FileWriter::end() {
    current_->end();
}

void FileWriter::drain() {
    for (auto& lane : lanes_)
        lane->drain();
    if (anyFailed_)
        throwFirstError();
}

void FileWriter::stop() noexcept {
    for (auto& lane : lanes_)
        lane->stop();
}

std::uint64_t FileWriter::written() const {
    std::uint64_t n = 0;
    for (auto& lane : lanes_)
        n += lane->written;
    return n;
}

void FileWriter::throwFirstError() {
    stop();
    for (auto& lane : lanes_) {
        if (auto e = lane->error())
            std::rethrow_exception(e);
    }
    throw AppError(kArchiveErrorNumber, "The extraction was stopped.");
}

} // namespace tidewell::archive::detail
