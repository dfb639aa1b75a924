// Encryption benchmark: one operation per run, timed with the key derivation
// apart, so that bench/run-crypto can set it against cp, age, 7z and tar.
// Usage: crypto_bench kdf
//        crypto_bench encrypt|decrypt IN OUT
//        crypto_bench pack FOLDER OUT | unpack IN FOLDER
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

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

// The program's own code path; the key derivation ends where the first
// progress report comes (a single block later).
int timed(filesecurity::Operation op, const std::string& in, const std::string& out) {
    auto fs = filesecurity::makeFileAccess();
    auto t0 = Clock::now();
    double kdf = -1;
    filesecurity::run(op, {kPassword, in, out}, *fs, [&](int) {
        if (kdf < 0)
            kdf = since(t0);
    });
    double total = since(t0);
    std::printf("kdf_s=%.3f work_s=%.3f total_s=%.3f\n", kdf, total - kdf, total);
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
        using filesecurity::Operation;
        const std::pair<const char*, Operation> ops[] = {{"encrypt", Operation::EncryptSingleFile},
                                                         {"decrypt", Operation::DecryptSingleFile},
                                                         {"pack", Operation::EncryptFolder},
                                                         {"unpack", Operation::DecryptFolder}};
        for (const auto& [name, operation] : ops) {
            if (op == name && argc == 4)
                return timed(operation, argv[2], argv[3]);
        }
        std::fprintf(stderr, "usage: crypto_bench kdf | encrypt|decrypt IN OUT | pack FOLDER OUT | "
                             "unpack IN FOLDER\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crypto_bench: %s\n", e.what());
        return 1;
    }
}
