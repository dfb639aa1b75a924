// Plaintext never reaches freed memory: every heap block freed while a file
// or folder is encrypted and decrypted is searched for the files' contents.
// Needs AddressSanitizer's allocator hooks (the native build).
#if defined(__SANITIZE_ADDRESS__)
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "filesecurity/engine.h"

// AddressSanitizer's allocator interface (GCC ships no header for it).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                              void (*)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void*);
}

namespace {

using namespace tidewell;
using namespace tidewell::filesecurity;

constexpr char kMarker[] = "plaintext-marker-6f1e93c2a7d54b08";
std::atomic<bool> watching{false};
std::atomic<int> plaintextFreed{0};

void onAlloc(const volatile void*, std::size_t) {}
void onFree(const volatile void* block) {
    if (!watching || block == nullptr)
        return;
    const void* p = const_cast<const void*>(block);
    if (::memmem(p, __sanitizer_get_allocated_size(p), kMarker, sizeof kMarker - 1) != nullptr)
        ++plaintextFreed;
}

class PlaintextInMemory : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool hooked = __sanitizer_install_malloc_and_free_hooks(onAlloc, onFree) != 0;
        ASSERT_TRUE(hooked);
        char pattern[] = "/tmp/tidewell-wipe-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    static void writeFile(const std::string& path, std::size_t size) {
        std::string data;
        while (data.size() < size)
            data += std::string(kMarker) + " " + std::to_string(data.size()) + "\n";
        std::ofstream(path, std::ios::binary) << data;
    }
    static std::string readFile(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    // Runs `op` while watching the frees.
    void watched(Operation op, const std::string& from, const std::string& to) {
        auto fs = makeFileAccess();
        watching = true;
        run(op, {"pw", from, to}, *fs, {}, {cipher::kMinMemoryKiB, cipher::kMinPasses, 1});
        watching = false;
    }
    std::string root_;
};

TEST_F(PlaintextInMemory, NoBlockIsFreedStillHoldingAFilesContents) {
    // Small files travel whole; the large one grows buffers piece by piece.
    std::filesystem::create_directories(root_ + "/src/sub");
    writeFile(root_ + "/src/small.txt", 100);
    writeFile(root_ + "/src/sub/large.txt", 3 << 20);
    writeFile(root_ + "/single.txt", 300 << 10);

    watched(Operation::EncryptFolder, root_ + "/src", root_ + "/src.cfy");
    watched(Operation::DecryptFolder, root_ + "/src.cfy", root_ + "/back");
    watched(Operation::EncryptSingleFile, root_ + "/single.txt", root_ + "/single.cfy");
    watched(Operation::DecryptSingleFile, root_ + "/single.cfy", root_ + "/single.back");
    EXPECT_EQ(plaintextFreed, 0);

    EXPECT_EQ(readFile(root_ + "/back/sub/large.txt"), readFile(root_ + "/src/sub/large.txt"));
    EXPECT_EQ(readFile(root_ + "/back/small.txt"), readFile(root_ + "/src/small.txt"));
    EXPECT_EQ(readFile(root_ + "/single.back"), readFile(root_ + "/single.txt"));
}

} // namespace
#endif
