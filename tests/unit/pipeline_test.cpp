// Reading ahead and writing behind: every byte arrives once and in order
// whatever the piece sizes, errors surface on the caller's thread after the
// bytes that came before them, and giving up half-way never hangs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

#include "filesecurity/pipeline.h"
#include "filesecurity_fakes.h"
#include "kernel/app_error.h"

using namespace tidewell;
using namespace tidewell::filesecurity;
using testing_fs::Bytes;
using testing_fs::patterned;
using testing_fs::VectorSink;

namespace {

// Hands out its bytes in uneven pieces, then fails if asked to.
class UnevenInput : public InputFile {
public:
    UnevenInput(Bytes bytes, bool failAtEnd) : bytes_(std::move(bytes)), failAtEnd_(failAtEnd) {}
    std::size_t read(std::uint8_t* data, std::size_t size) override {
        if (pos_ == bytes_.size()) {
            if (failAtEnd_)
                throw AppError(23, "Data error (cyclic redundancy check).");
            return 0;
        }
        std::size_t n = std::min({size, bytes_.size() - pos_, 1 + (pos_ * 7) % 13});
        std::memcpy(data, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    Bytes bytes_;
    bool failAtEnd_;
    std::size_t pos_ = 0;
};

// Everything up to the end, or up to an error that then propagates.
void readAll(ReadAhead& ahead, Bytes& out) {
    const std::uint8_t* data = nullptr;
    while (std::size_t n = ahead.next(data))
        out.insert(out.end(), data, data + n);
}

// Fails on the write that would take it past `limit` bytes.
struct FailingSink : cipher::ByteSink {
    explicit FailingSink(std::size_t most) : limit(most) {}
    void write(const std::uint8_t*, std::size_t size) override {
        if (received + size > limit)
            throw AppError(112, "There is not enough space on the disk.");
        received += size;
    }
    std::size_t limit;
    std::atomic<std::size_t> received{0};
};

auto failsWith(long number) {
    return ::testing::Throws<AppError>(::testing::Property(&AppError::number, number));
}

// Giving up half-way must not hang with the reader blocked on a full ring.
TEST(ReadAhead, DeliversEveryByteInOrderThenTheReadErrorAndMayBeGivenUp) {
    const Bytes data = patterned(30011);
    for (std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
        UnevenInput in(data, false);
        ReadAhead ahead(in, block, 2);
        Bytes got;
        readAll(ahead, got);
        EXPECT_EQ(got, data) << block;
    }
    UnevenInput failing(data, true);
    ReadAhead ahead(failing, 1000, 3);
    Bytes got;
    EXPECT_THAT([&] { readAll(ahead, got); }, failsWith(23));
    EXPECT_EQ(got, data) << "the bytes read before the error come first";
    UnevenInput large(patterned(1 << 20), false);
    ReadAhead abandoned(large, 100, 2);
    const std::uint8_t* p = nullptr;
    EXPECT_GT(abandoned.next(p), 0u);
}

TEST(WriteBehind, BytesReachTheTargetInOrderOnlyWhenFinishedAndErrorsReachTheCaller) {
    const Bytes data = patterned(50001);
    VectorSink target;
    WriteBehind behind(target, true, 5, 3);
    // Copied pieces and pieces filled in place, mixed.
    for (std::size_t i = 0; i < data.size();) {
        std::size_t n = std::min<std::size_t>(1 + i % 17, data.size() - i);
        std::uint8_t* room = (i % 3 == 0) ? behind.space(n) : nullptr;
        if (room != nullptr) {
            std::memcpy(room, data.data() + i, n);
            behind.filled(n);
        } else {
            behind.write(data.data() + i, n);
        }
        i += n;
    }
    EXPECT_EQ(behind.space(6), nullptr) << "more than a block has no room";
    behind.finish();
    EXPECT_EQ(target.bytes, data);
    {
        WriteBehind unfinished(target, true, 1 << 20, 2);
        unfinished.write(data.data(), data.size()); // stays in the unfinished block
    }
    EXPECT_EQ(target.bytes, data) << "without finish what was pending is dropped";
    FailingSink full(10000);
    WriteBehind failing(full, false, 1024, 2);
    EXPECT_THAT(
        [&] {
            for (int round = 0; round < 100; ++round)
                failing.write(data.data(), data.size());
            failing.finish();
        },
        failsWith(112));
    EXPECT_LE(full.received.load(), 10000u);
}

} // namespace
