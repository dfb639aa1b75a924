#pragma once
// Reading ahead and writing behind on threads of their own, so that a large
// file's reads, its encryption and its writes overlap instead of adding up.
// The blocks may hold plaintext: they are wiped before they are freed.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "filesecurity/file_access.h"
#include "filesecurity/secure_bytes.h"
#include "filesecurity/sync.h"

namespace tidewell::filesecurity {

// Blocks change threads (a wake-up each, so not too many); system calls are
// smaller, as larger writes measured slower here.
inline constexpr std::size_t kPipeBlockSize = 1 << 20;
inline constexpr std::size_t kPipeDepth = 4;
inline constexpr std::size_t kPipeIoSize = 256 << 10;

// A ring of equal blocks handed from one thread to another in order.
class BlockRing {
public:
    // `secret`: the blocks may hold plaintext, wiped when released.
    BlockRing(std::size_t blockSize, std::size_t depth, bool secret = true);
    ~BlockRing();
    BlockRing(const BlockRing&) = delete;
    BlockRing& operator=(const BlockRing&) = delete;

    // Producer: a free block to fill (nullptr once stopped), then hand it on.
    std::uint8_t* acquireFree();
    void publish(std::size_t size);
    // Producer: no more blocks; `error` (if any) reaches the consumer after
    // the blocks published before it.
    void close(std::exception_ptr error = nullptr);

    // Consumer: the next filled block and its size; false at the end (after
    // rethrowing the producer's error, if it had one). The block stays
    // valid until release().
    bool acquireFilled(std::uint8_t*& data, std::size_t& size);
    void release();

    // Either side: give up; the other side's waits return at once.
    void stop();
    std::size_t blockSize() const noexcept { return blockSize_; }

private:
    struct Block {
        std::vector<std::uint8_t> bytes;
        std::size_t size = 0;
    };
    std::vector<Block> blocks_;
    std::size_t blockSize_;
    bool secret_;
    std::size_t head_ = 0;   // the oldest filled (or held) block
    std::size_t filled_ = 0; // published, including the one the consumer holds
    bool closed_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
    Mutex mutex_;
    CondVar changed_;
};

// Reads a file ahead on a thread of its own.
class ReadAhead {
public:
    explicit ReadAhead(InputFile& in, std::size_t blockSize = kPipeBlockSize,
                       std::size_t depth = kPipeDepth);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    // The next block of the file; 0 at its end. Valid until the next call.
    // A read error is thrown here, after the blocks read before it.
    std::size_t next(const std::uint8_t*& data);

private:
    BlockRing ring_;
    bool holding_ = false;
    std::thread thread_;
};

// A sink that hands its bytes to a thread that writes them to `target`.
class WriteBehind : public ByteSink {
public:
    // `secret`: what passes may be plaintext (wiped after writing).
    explicit WriteBehind(ByteSink& target, bool secret = true,
                         std::size_t blockSize = kPipeBlockSize, std::size_t depth = kPipeDepth);
    // Without finish() (a failure or a cancel), what was not written yet is
    // dropped.
    ~WriteBehind() override;
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;
    // Throws the writer's error as soon as it is known.
    void write(const std::uint8_t* data, std::size_t size) override;
    // Room in the current block (one not larger than a block).
    std::uint8_t* space(std::size_t size) override;
    void filled(std::size_t size) override;
    // Waits until everything reached the target; throws the writer's error.
    void finish();

private:
    void handOver();
    void acquire();
    BlockRing ring_;
    std::uint8_t* block_ = nullptr;
    std::size_t used_ = 0;
    std::exception_ptr error_;
    Mutex errorMutex_;
    std::thread thread_;
};

} // namespace tidewell::filesecurity
