#include "filesecurity/pipeline.h"

#include <algorithm>
#include <cstring>

#include "kernel/app_error.h"

namespace tidewell::filesecurity {

BlockRing::BlockRing(std::size_t blockSize, std::size_t depth, bool secret)
    : blocks_(std::max<std::size_t>(depth, 1)), blockSize_(blockSize), secret_(secret) {
    for (Block& b : blocks_)
        b.bytes.resize(blockSize);
}

BlockRing::~BlockRing() {
    for (Block& b : blocks_)
        wipe(b.bytes.data(), b.bytes.size());
}

std::uint8_t* BlockRing::acquireFree() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || filled_ < blocks_.size(); });
    if (stopped_)
        return nullptr;
    return blocks_[(head_ + filled_) % blocks_.size()].bytes.data();
}

void BlockRing::publish(std::size_t size) {
    std::lock_guard lock(mutex_);
    blocks_[(head_ + filled_) % blocks_.size()].size = size;
    ++filled_;
    changed_.notify_all();
}

void BlockRing::close(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    closed_ = true;
    error_ = std::move(error);
    changed_.notify_all();
}

bool BlockRing::acquireFilled(std::uint8_t*& data, std::size_t& size) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || filled_ != 0 || closed_; });
    if (stopped_)
        return false;
    if (filled_ != 0) {
        Block& b = blocks_[head_];
        data = b.bytes.data();
        size = b.size;
        return true;
    }
    if (error_)
        std::rethrow_exception(error_);
    return false;
}

void BlockRing::release() {
    std::lock_guard lock(mutex_);
    Block& b = blocks_[head_];
    if (secret_)
        wipe(b.bytes.data(), b.size);
    b.size = 0;
    head_ = (head_ + 1) % blocks_.size();
    --filled_;
    changed_.notify_all();
}

void BlockRing::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
}

// ---- ReadAhead -----------------------------------------------------------------

ReadAhead::ReadAhead(InputFile& in, std::size_t blockSize, std::size_t depth)
    : ring_(blockSize, depth) {
    thread_ = std::thread([this, &in] {
        while (std::uint8_t* block = ring_.acquireFree()) {
            // Whole blocks, so that the consumer sees few, large pieces.
            std::size_t got = 0;
            try {
                while (got < ring_.blockSize()) {
                    std::size_t n =
                        in.read(block + got, std::min(kPipeIoSize, ring_.blockSize() - got));
                    if (n == 0)
                        break;
                    got += n;
                }
            } catch (...) {
                // What was read before the error still goes first.
                if (got != 0)
                    ring_.publish(got);
                ring_.close(std::current_exception());
                return;
            }
            if (got == 0) {
                ring_.close();
                return;
            }
            ring_.publish(got);
        }
    });
}

ReadAhead::~ReadAhead() {
    ring_.stop();
    thread_.join();
}

std::size_t ReadAhead::next(const std::uint8_t*& data) {
    if (holding_) {
        ring_.release();
        holding_ = false;
    }
    std::uint8_t* block = nullptr;
    std::size_t size = 0;
    if (!ring_.acquireFilled(block, size))
        return 0;
    holding_ = true;
    data = block;
    return size;
}

// ---- WriteBehind ---------------------------------------------------------------

WriteBehind::WriteBehind(ByteSink& target, bool secret, std::size_t blockSize,
                         std::size_t depth)
    : ring_(blockSize, depth, secret) {
    thread_ = std::thread([this, &target] {
        try {
            std::uint8_t* block = nullptr;
            std::size_t size = 0;
            while (ring_.acquireFilled(block, size)) {
                for (std::size_t at = 0; at < size; at += kPipeIoSize)
                    target.write(block + at, std::min(kPipeIoSize, size - at));
                ring_.release();
            }
        } catch (...) {
            {
                std::lock_guard lock(errorMutex_);
                error_ = std::current_exception();
            }
            ring_.stop();
        }
    });
}

WriteBehind::~WriteBehind() {
    if (thread_.joinable()) {
        ring_.stop();
        thread_.join();
    }
}

void WriteBehind::acquire() {
    block_ = ring_.acquireFree();
    if (block_ == nullptr) {
        std::lock_guard lock(errorMutex_);
        if (error_)
            std::rethrow_exception(error_);
        throw AppError(errors::InvalidArgument, "The file is no longer being written.");
    }
    used_ = 0;
}

void WriteBehind::write(const std::uint8_t* data, std::size_t size) {
    while (size != 0) {
        if (block_ == nullptr)
            acquire();
        std::size_t n = std::min(size, ring_.blockSize() - used_);
        std::memcpy(block_ + used_, data, n);
        used_ += n;
        data += n;
        size -= n;
        if (used_ == ring_.blockSize())
            handOver();
    }
}

std::uint8_t* WriteBehind::space(std::size_t size) {
    if (size > ring_.blockSize())
        return nullptr;
    if (block_ != nullptr && used_ + size > ring_.blockSize())
        handOver();
    if (block_ == nullptr)
        acquire();
    return block_ + used_;
}

void WriteBehind::filled(std::size_t size) {
    used_ += size;
    if (used_ == ring_.blockSize())
        handOver();
}

void WriteBehind::handOver() {
    ring_.publish(used_);
    block_ = nullptr;
    used_ = 0;
}

void WriteBehind::finish() {
    if (block_ != nullptr && used_ != 0)
        handOver();
    block_ = nullptr;
    ring_.close();
    thread_.join();
    std::lock_guard lock(errorMutex_);
    if (error_)
        std::rethrow_exception(error_);
}

} // namespace tidewell::filesecurity
