// Encryption benchmark: one operation per run, timed with the key derivation
// apart, so that bench/run-crypto can set it against cp, age, 7z and tar.
// Usage: crypto_bench kdf
//        crypto_bench encrypt|decrypt IN OUT
//        crypto_bench pack FOLDER OUT | unpack IN FOLDER
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "filesecurity/archive/archive.h"
#include "filesecurity/cipher/cipher.h"
#include "filesecurity/engine.h"
#include "filesecurity/file_access.h"

using namespace tidewell;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

const char* kPassword = "benchmark password";

int streamFile(bool encrypt, const std::string& in, const std::string& out) {
    auto fs = filesecurity::makeFileAccess();
    auto input = fs->openRead(in);
    auto output = fs->createReplacing(out);
    std::vector<std::uint8_t> buffer(1 << 20);
    auto t0 = Clock::now();
    double kdf = 0;
    std::uint64_t bytes = 0;
    if (encrypt) {
        cipher::Encryptor e(kPassword, *output);
        kdf = since(t0);
        while (std::size_t n = input->read(buffer.data(), buffer.size())) {
            e.write(buffer.data(), n);
            bytes += n;
        }
        e.finish();
    } else {
        cipher::Decryptor d(kPassword, *output);
        std::size_t n = input->read(buffer.data(), cipher::kHeaderSize);
        d.write(buffer.data(), n); // the header: key derivation happens here
        kdf = since(t0);
        bytes += n;
        while ((n = input->read(buffer.data(), buffer.size())) != 0) {
            d.write(buffer.data(), n);
            bytes += n;
        }
        d.finish();
    }
    output->commit();
    double total = since(t0);
    std::printf("kdf_s=%.3f stream_s=%.3f bytes=%llu\n", kdf, total - kdf,
                static_cast<unsigned long long>(bytes));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::string op = argc > 1 ? argv[1] : "";
        if (op == "kdf") {
            struct Null : cipher::ByteSink {
                void write(const std::uint8_t*, std::size_t) override {}
            } sink;
            cipher::initialiseCrypto();
            auto t0 = Clock::now();
            cipher::Encryptor e(kPassword, sink);
            std::printf("kdf_s=%.3f (Argon2id %u MiB, t=%u, p=%u)\n", since(t0),
                        cipher::KdfParams{}.memoryKiB / 1024, cipher::KdfParams{}.passes,
                        cipher::KdfParams{}.lanes);
            return 0;
        }
        if ((op == "encrypt" || op == "decrypt") && argc == 4)
            return streamFile(op == "encrypt", argv[2], argv[3]);
        if ((op == "pack" || op == "unpack") && argc == 4) {
            auto fs = filesecurity::makeFileAccess();
            auto t0 = Clock::now();
            filesecurity::run(op == "pack" ? filesecurity::Operation::EncryptFolder
                                           : filesecurity::Operation::DecryptFolder,
                              {kPassword, argv[2], argv[3]}, *fs);
            std::printf("total_s=%.3f\n", since(t0));
            return 0;
        }
        std::fprintf(stderr, "usage: crypto_bench kdf | encrypt|decrypt IN OUT | pack FOLDER OUT | "
                             "unpack IN FOLDER\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crypto_bench: %s\n", e.what());
        return 1;
    }
}
