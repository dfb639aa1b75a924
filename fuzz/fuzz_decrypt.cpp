// Fuzz target: the decryptor. Bit 0 of the first byte chooses the mode:
// raw bytes as a whole file (header checks, which refuse before any key
// work), or the rest appended to a genuine header so that chunk framing and
// authentication are reached without paying for the key each time.
#include <cstdint>
#include <cstring>
#include <vector>

#include "filesecurity/cipher/cipher.h"
#include "fuzz_seeds.h"

using namespace tidewell::cipher;

namespace {
struct Discard : ByteSink {
    std::size_t total = 0;
    void write(const std::uint8_t*, std::size_t size) override { total += size; }
};

const std::vector<std::uint8_t>& genuine() {
    static const std::vector<std::uint8_t> sample = [] {
        struct Keep : ByteSink {
            std::vector<std::uint8_t> bytes;
            void write(const std::uint8_t* d, std::size_t n) override {
                bytes.insert(bytes.end(), d, d + n);
            }
        } out;
        Encryptor e("fuzz", out, KdfParams{kMinMemoryKiB, kMinPasses, 1});
        std::vector<std::uint8_t> plain(kChunkSize + 100, 0x5A);
        e.write(plain.data(), plain.size());
        e.finish();
        return out.bytes;
    }();
    return sample;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static Discard sink;
    static Decryptor keyed("fuzz", sink); // keeps the key of the genuine header
    static bool primed = [] {
        keyed.write(genuine().data(), kHeaderSize);
        return true;
    }();
    (void)primed;
    try {
        if ((data[0] & 1) == 0) {
            parseHeader(data + 1, size - 1);
        } else {
            keyed.restart(sink);
            keyed.write(genuine().data(), kHeaderSize);
            keyed.write(data + 1, size - 1);
            keyed.finish();
        }
    } catch (const CipherError&) {
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> tidewellFuzzSeeds() {
    const auto& g = genuine();
    std::vector<std::uint8_t> header(g.begin(), g.begin() + kHeaderSize),
        body(g.begin() + kHeaderSize, g.end());
    header.insert(header.begin(), 0);
    body.insert(body.begin(), 1);
    return {header, body};
}
