// A file over 4 GiB, streamed through archive, cipher and back without ever
// being held in memory or on disk. It takes minutes under the sanitizers, so
// it is kept out of the ordinary run; run it with
//   unit_tests --gtest_also_run_disabled_tests --gtest_filter=LargeFile.*
#include <gtest/gtest.h>

#include "filesecurity/archive/archive.h"
#include "filesecurity/cipher/cipher.h"
#include "filesecurity_fakes.h"

using namespace tidewell;
using namespace tidewell::testing_fs;

namespace {

constexpr std::uint64_t kBigSize = (4ull << 30) + 12345; // past every 32-bit size field

std::uint8_t patternAt(std::uint64_t i) {
    return static_cast<std::uint8_t>((i * 2654435761u) >> 7 ^ (i >> 20));
}

// The big file exists only as a generator going in and a checker coming out.
class BigFs : public MemoryFs {
public:
    struct Reader : filesecurity::InputFile {
        std::uint64_t pos = 0;
        std::size_t read(std::uint8_t* data, std::size_t size) override {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, kBigSize - pos));
            for (std::size_t i = 0; i < n; ++i)
                data[i] = patternAt(pos + i);
            pos += n;
            return n;
        }
    };
    struct Checker : filesecurity::OutputFile {
        BigFs& fs;
        explicit Checker(BigFs& f) : fs(f) {}
        void write(const std::uint8_t* data, std::size_t size) override {
            for (std::size_t i = 0; i < size; ++i) {
                if (data[i] != patternAt(fs.checked + i))
                    ++fs.mismatches;
            }
            fs.checked += size;
        }
        void stamp(std::int64_t, bool, bool) override {}
        void commit() override { fs.committed = true; }
    };
    std::uint64_t checked = 0, mismatches = 0;
    bool committed = false;

    filesecurity::FileInfo info(const std::string& path) override {
        auto i = MemoryFs::info(path);
        if (path == "/src/big.bin")
            i.size = kBigSize;
        return i;
    }
    std::unique_ptr<filesecurity::InputFile> openRead(const std::string& path) override {
        if (path == "/src/big.bin")
            return std::make_unique<Reader>();
        return MemoryFs::openRead(path);
    }
    std::unique_ptr<filesecurity::OutputFile> createFresh(const std::string& path) override {
        if (path.rfind("/out/big.bin.", 0) == 0) {
            MemoryFs::createFresh(path)->commit(); // the name the extraction renames
            return std::make_unique<Checker>(*this);
        }
        return MemoryFs::createFresh(path);
    }
};

struct DecryptorSink : cipher::ByteSink {
    cipher::Decryptor* d = nullptr;
    void write(const std::uint8_t* data, std::size_t size) override { d->write(data, size); }
};

TEST(LargeFile, DISABLED_Over4GiBSurvivesArchiveAndCipher) {
    BigFs fs;
    fs.addFolder("/src");
    fs.addFile("/src/big.bin", {});
    fs.addFile("/src/small.txt", bytesOf("after the big one"));
    archive::Extractor extractor(fs, "/out");
    cipher::Decryptor decryptor("pw", extractor);
    DecryptorSink toDecryptor;
    toDecryptor.d = &decryptor;
    cipher::Encryptor encryptor("pw", toDecryptor, {cipher::kMinMemoryKiB, cipher::kMinPasses, 1});
    struct ToEncryptor : cipher::ByteSink {
        cipher::Encryptor* e;
        void write(const std::uint8_t* data, std::size_t size) override { e->write(data, size); }
    } toEncryptor;
    toEncryptor.e = &encryptor;
    archive::packFolder(fs, "/src", toEncryptor);
    encryptor.finish();
    decryptor.finish();
    extractor.finish();
    EXPECT_EQ(fs.checked, kBigSize);
    EXPECT_EQ(fs.mismatches, 0u);
    EXPECT_TRUE(fs.committed);
    EXPECT_EQ(fs.file("/out/small.txt"), bytesOf("after the big one"));
}

} // namespace
