#include "filesecurity/cipher/cipher.h"

#include <gcrypt.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace tidewell::cipher {

namespace {

constexpr std::uint8_t kMagic[8] = {'T', 'W', 'C', 'F', 'Y', '\r', '\n', 0x1A};
constexpr std::uint8_t kVersion = 1;
constexpr std::uint8_t kKdfArgon2id = 1;
constexpr std::size_t kKeySize = 32;
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kNonceSize = 16;
constexpr std::size_t kMacSize = 32;
constexpr std::size_t kSealedChunk = kChunkSize + kTagSize;

// Header field offsets; see docs/encrypted-file-format.md.
enum : std::size_t {
    kOffVersion = 8,
    kOffAead = 9,
    kOffKdf = 10,
    kOffReserved1 = 11,
    kOffChunk = 12,
    kOffMemory = 16,
    kOffPasses = 20,
    kOffLanes = 24,
    kOffSalt = 28,
    kOffNonce = 44,
    kOffReserved2 = 60,
    kOffMac = 64,
};

[[noreturn]] void fail(CipherError::Kind kind, const std::string& text) {
    throw CipherError(kind, text);
}
[[noreturn]] void damaged() {
    fail(CipherError::Kind::WrongPasswordOrDamaged, kWrongPasswordText);
}

void check(gcry_error_t err, const char* what) {
    if (err != 0) {
        fail(CipherError::Kind::Crypto, std::string(what) + ": " + gcry_strerror(err));
    }
}

void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t getU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void hmacSha256(const std::uint8_t* key, std::size_t keySize, const std::uint8_t* data,
                std::size_t size, const std::uint8_t* data2, std::size_t size2,
                std::uint8_t out[kMacSize]) {
    gcry_md_hd_t md = nullptr;
    check(gcry_md_open(&md, GCRY_MD_SHA256, GCRY_MD_FLAG_HMAC | GCRY_MD_FLAG_SECURE), "HMAC");
    struct Closer {
        gcry_md_hd_t h;
        ~Closer() { gcry_md_close(h); }
    } closer{md};
    check(gcry_md_setkey(md, key, keySize), "HMAC key");
    gcry_md_write(md, data, size);
    if (size2 != 0)
        gcry_md_write(md, data2, size2);
    std::memcpy(out, gcry_md_read(md, GCRY_MD_SHA256), kMacSize);
}

// HKDF-SHA-256 (RFC 5869) for one 32-byte output block.
void hkdf(const SecretBytes& ikm, const std::uint8_t* salt, std::size_t saltSize,
          std::string_view info, std::uint8_t out[kKeySize]) {
    SecretBytes prk(kMacSize);
    hmacSha256(salt, saltSize, ikm.data(), ikm.size(), nullptr, 0, prk.data());
    std::vector<std::uint8_t> t(info.begin(), info.end());
    t.push_back(1);
    hmacSha256(prk.data(), prk.size(), t.data(), t.size(), nullptr, 0, out);
}

HeaderInfo readFields(const std::uint8_t* h) {
    if (std::memcmp(h, kMagic, sizeof kMagic) != 0) {
        fail(CipherError::Kind::NotEncrypted, "The file is not an encrypted file of this program.");
    }
    HeaderInfo info;
    info.version = h[kOffVersion];
    if (info.version != kVersion) {
        fail(CipherError::Kind::UnsupportedParameters,
             "The file was encrypted by a newer version of this program.");
    }
    std::uint8_t aead = h[kOffAead];
    if (aead != static_cast<std::uint8_t>(Aead::Aes256Gcm) &&
        aead != static_cast<std::uint8_t>(Aead::ChaCha20Poly1305)) {
        damaged();
    }
    info.aead = static_cast<Aead>(aead);
    info.chunkSize = getU32(h + kOffChunk);
    info.kdf.memoryKiB = getU32(h + kOffMemory);
    info.kdf.passes = getU32(h + kOffPasses);
    info.kdf.lanes = getU32(h + kOffLanes);
    bool reservedZero = h[kOffReserved1] == 0 && std::all_of(h + kOffReserved2, h + kOffMac,
                                                             [](std::uint8_t b) { return b == 0; });
    if (h[kOffKdf] != kKdfArgon2id || info.chunkSize != kChunkSize || !reservedZero)
        damaged();
    return info;
}

void validateKdf(const KdfParams& p) {
    // Refused before any allocation: a hostile header must not make us reserve
    // gigabytes or spin for minutes.
    if (p.memoryKiB < kMinMemoryKiB || p.memoryKiB > kMaxMemoryKiB || p.passes < kMinPasses ||
        p.passes > kMaxPasses || p.lanes < 1 || p.lanes > kMaxLanes ||
        p.memoryKiB < 8ull * p.lanes) {
        fail(CipherError::Kind::UnsupportedParameters,
             "The file asks for key settings this program does not accept; it is damaged or not "
             "ours.");
    }
}

SecretBytes deriveMaster(const SecretBytes& password, const std::uint8_t* salt,
                         const KdfParams& p, const KeyDerivationYield& yield) {
    validateKdf(p);
    // Never encrypted with an empty password, so it cannot be the right one.
    if (password.size() == 0)
        damaged();
    SecretBytes master(kKeySize);
    unsigned long params[4] = {kKeySize, p.passes, p.memoryKiB, p.lanes};
    gcry_kdf_hd_t hd = nullptr;
    check(gcry_kdf_open(&hd, GCRY_KDF_ARGON2, GCRY_KDF_ARGON2ID, params, 4, password.data(),
                        password.size(), salt, kSaltSize, nullptr, 0, nullptr, 0),
          "Argon2id");
    // The lanes are independent within each pass: run them on all cores and
    // join before returning, so the key costs wall time once, not p times.
    struct Lanes {
        explicit Lanes(const KeyDerivationYield& y) : yield(y) {}
        const KeyDerivationYield& yield;
        std::vector<std::thread> running;
        std::atomic<std::size_t> finished{0};
        bool stopped = false;
        static int dispatch(void* self, gcry_kdf_job_fn_t job, void* priv) {
            auto* lanes = static_cast<Lanes*>(self);
            try {
                lanes->running.emplace_back([lanes, job, priv] {
                    job(priv);
                    ++lanes->finished;
                });
            } catch (...) {
                job(priv); // no thread to be had: do it here
            }
            return 0;
        }
        static int waitAll(void* self) {
            auto* lanes = static_cast<Lanes*>(self);
            // The caller's thread may be a window's: let it serve its messages.
            if (lanes->yield) {
                while (lanes->finished.load() < lanes->running.size()) {
                    // Asked to stop (a cancel, the program ending): this
                    // slice's lanes end, and the derivation stops after it.
                    if (!lanes->stopped && !lanes->yield())
                        lanes->stopped = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
            for (auto& t : lanes->running)
                t.join();
            lanes->running.clear();
            lanes->finished = 0;
            return lanes->stopped ? -1 : 0;
        }
    } lanes(yield);
    const gcry_kdf_thread_ops_t ops{&lanes, &Lanes::dispatch, &Lanes::waitAll};
    gcry_error_t err = gcry_kdf_compute(hd, p.lanes > 1 ? &ops : nullptr);
    if (lanes.stopped) {
        gcry_kdf_close(hd);
        fail(CipherError::Kind::Cancelled, "Cancelled");
    }
    if (err == 0)
        err = gcry_kdf_final(hd, master.size(), master.data());
    gcry_kdf_close(hd);
    check(err, "Argon2id");
    return master;
}

// The two subkeys of one file and its header MAC.
struct FileKeys {
    SecretBytes headerKey{kKeySize};
    SecretBytes payloadKey{kKeySize};
};

FileKeys deriveKeys(const SecretBytes& master, const std::uint8_t* nonce) {
    FileKeys k;
    hkdf(master, nonce, kNonceSize, "tidewell header mac v1", k.headerKey.data());
    hkdf(master, nonce, kNonceSize, "tidewell payload v1", k.payloadKey.data());
    return k;
}

// One AEAD context for a whole stream; each chunk gets the nonce
// counter (11 bytes, big-endian) + last-chunk flag.
class ChunkCipher {
public:
    ChunkCipher(Aead aead, const SecretBytes& key, const std::uint8_t* headerMac) {
        int algo = aead == Aead::Aes256Gcm ? GCRY_CIPHER_AES256 : GCRY_CIPHER_CHACHA20;
        int mode = aead == Aead::Aes256Gcm ? GCRY_CIPHER_MODE_GCM : GCRY_CIPHER_MODE_POLY1305;
        check(gcry_cipher_open(&h_, algo, mode, GCRY_CIPHER_SECURE), "cipher");
        check(gcry_cipher_setkey(h_, key.data(), key.size()), "cipher key");
        std::memcpy(ad_, headerMac, kMacSize);
    }
    ~ChunkCipher() { gcry_cipher_close(h_); }
    ChunkCipher(const ChunkCipher&) = delete;
    ChunkCipher& operator=(const ChunkCipher&) = delete;

    // Encrypts `size` bytes from `in` to `out` (the same buffer or another).
    void seal(std::uint64_t counter, bool last, const std::uint8_t* in, std::uint8_t* out,
              std::size_t size, std::uint8_t* tag) {
        start(counter, last);
        if (size != 0)
            check(
                gcry_cipher_encrypt(h_, out, size, in == out ? nullptr : in, in == out ? 0 : size),
                "encrypt");
        check(gcry_cipher_gettag(h_, tag, kTagSize), "tag");
    }
    // Decrypts `size` bytes from `in` to `out`; false when the chunk does not
    // authenticate (`out` then holds garbage and must not be used).
    bool open(std::uint64_t counter, bool last, const std::uint8_t* in, std::uint8_t* out,
              std::size_t size, const std::uint8_t* tag) {
        start(counter, last);
        if (size != 0)
            check(
                gcry_cipher_decrypt(h_, out, size, in == out ? nullptr : in, in == out ? 0 : size),
                "decrypt");
        return gcry_cipher_checktag(h_, tag, kTagSize) == 0;
    }

private:
    void start(std::uint64_t counter, bool last) {
        std::uint8_t iv[12] = {};
        for (int i = 0; i < 8; ++i)
            iv[10 - i] = static_cast<std::uint8_t>(counter >> (8 * i));
        iv[11] = last ? 1 : 0;
        check(gcry_cipher_reset(h_), "cipher reset");
        check(gcry_cipher_setiv(h_, iv, sizeof iv), "cipher nonce");
        check(gcry_cipher_authenticate(h_, ad_, kMacSize), "cipher data");
        // Each chunk is one call, so it is always the final one of its nonce.
        gcry_cipher_final(h_);
    }
    gcry_cipher_hd_t h_ = nullptr;
    std::uint8_t ad_[kMacSize];
};

} // namespace

SecretBytes::SecretBytes(std::string_view text) : bytes_(text.begin(), text.end()) {}
SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        wipe(bytes_.data(), bytes_.size());
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}
SecretBytes::~SecretBytes() {
    wipe(bytes_.data(), bytes_.size());
}

void initialiseCrypto() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (gcry_check_version("1.10.0") == nullptr) {
            fail(CipherError::Kind::Crypto, "The encryption library is too old.");
        }
        // Keys live in ordinary memory that we wipe ourselves; a locked pool
        // needs privileges a normal user lacks.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

HeaderInfo parseHeader(const std::uint8_t* header, std::size_t size) {
    if (size < kHeaderSize)
        damaged();
    return readFields(header);
}

// ---- Encryptor ---------------------------------------------------------------

struct Encryptor::State {
    ByteSink* out = nullptr;
    std::unique_ptr<ChunkCipher> cipher;
    std::vector<std::uint8_t> buffer; // one chunk + room for its tag
    std::size_t filled = 0;
    std::uint64_t counter = 0;
    bool finished = false;
};

Encryptor::Encryptor(std::string_view password, ByteSink& out, KdfParams params, Aead aead,
                     const KeyDerivationYield& yield)
    : s_(std::make_unique<State>()) {
    initialiseCrypto();
    validateKdf(params);
    if (password.empty())
        fail(CipherError::Kind::Crypto, "A password is needed.");
    s_->out = &out;
    std::uint8_t header[kHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    header[kOffVersion] = kVersion;
    header[kOffAead] = static_cast<std::uint8_t>(aead);
    header[kOffKdf] = kKdfArgon2id;
    putU32(header + kOffChunk, static_cast<std::uint32_t>(kChunkSize));
    putU32(header + kOffMemory, params.memoryKiB);
    putU32(header + kOffPasses, params.passes);
    putU32(header + kOffLanes, params.lanes);
    gcry_randomize(header + kOffSalt, kSaltSize, GCRY_STRONG_RANDOM);
    gcry_randomize(header + kOffNonce, kNonceSize, GCRY_STRONG_RANDOM);

    SecretBytes pw(password);
    SecretBytes master = deriveMaster(pw, header + kOffSalt, params, yield);
    FileKeys keys = deriveKeys(master, header + kOffNonce);
    hmacSha256(keys.headerKey.data(), keys.headerKey.size(), header, kHeaderFieldsSize, nullptr, 0,
               header + kOffMac);
    s_->cipher = std::make_unique<ChunkCipher>(aead, keys.payloadKey, header + kOffMac);
    s_->buffer.resize(kSealedChunk);
    out.write(header, kHeaderSize);
}

Encryptor::~Encryptor() {
    if (s_)
        wipe(s_->buffer.data(), s_->buffer.size());
}

namespace {

// Cuts a stream into units (a chunk, or a sealed chunk) and hands each whole
// unit to `emit` once more bytes follow it, since only the last unit is
// sealed as last. Units come straight from the caller's memory where they
// can; the rest waits in `buffer`, `filled` bytes of it used.
template <typename Emit>
void feedUnits(const std::uint8_t* data, std::size_t size, std::size_t unit, std::uint8_t* buffer,
               std::size_t& filled, Emit&& emit) {
    while (size != 0) {
        if (filled == unit) {
            emit(buffer);
            filled = 0;
        }
        if (filled == 0 && size > unit) {
            emit(data);
            data += unit;
            size -= unit;
            continue;
        }
        std::size_t n = std::min(size, unit - filled);
        std::memcpy(buffer + filled, data, n);
        filled += n;
        data += n;
        size -= n;
    }
}

// Seals one chunk from `in` straight into the sink's own memory when it has
// some, else through `buffer`.
void sealChunk(ChunkCipher& cipher, ByteSink& out, std::uint64_t counter, bool last,
               const std::uint8_t* in, std::size_t size, std::uint8_t* buffer) {
    std::uint8_t* room = out.space(size + kTagSize);
    std::uint8_t* target = room != nullptr ? room : buffer;
    cipher.seal(counter, last, in, target, size, target + size);
    if (room != nullptr) {
        out.filled(size + kTagSize);
    } else {
        out.write(target, size + kTagSize);
    }
}

} // namespace

void Encryptor::write(const std::uint8_t* data, std::size_t size) {
    State& s = *s_;
    feedUnits(data, size, kChunkSize, s.buffer.data(), s.filled, [&](const std::uint8_t* in) {
        sealChunk(*s.cipher, *s.out, s.counter++, false, in, kChunkSize, s.buffer.data());
    });
}

void Encryptor::finish() {
    State& s = *s_;
    if (s.finished)
        return;
    sealChunk(*s.cipher, *s.out, s.counter++, true, s.buffer.data(), s.filled, s.buffer.data());
    s.finished = true;
}

// ---- Decryptor ---------------------------------------------------------------

namespace {

// Opens one sealed chunk (its tag right after it) into the sink's own memory
// when it has some, else into `buffer`; only authenticated plaintext is
// handed on.
void openChunk(ChunkCipher& cipher, ByteSink& out, std::uint64_t counter, bool last,
               const std::uint8_t* in, std::size_t size, std::uint8_t* buffer) {
    std::uint8_t* room = out.space(size);
    std::uint8_t* target = room != nullptr ? room : buffer;
    if (!cipher.open(counter, last, in, target, size, in + size))
        damaged();
    if (room != nullptr) {
        out.filled(size);
    } else {
        out.write(target, size);
    }
}

} // namespace

struct Decryptor::State {
    ByteSink* out = nullptr;
    SecretBytes password;
    KeyDerivationYield yield;
    std::uint8_t header[kHeaderSize] = {};
    std::size_t headerFilled = 0;
    // Keys of the last header that authenticated, for restart().
    std::uint8_t knownHeader[kHeaderSize] = {};
    std::unique_ptr<ChunkCipher> cipher;
    std::vector<std::uint8_t> buffer; // up to one sealed chunk, opened once more bytes follow
    std::size_t filled = 0;
    std::uint64_t counter = 0;
    bool finished = false;
};

Decryptor::Decryptor(std::string_view password, ByteSink& out, const KeyDerivationYield& yield)
    : s_(std::make_unique<State>()) {
    initialiseCrypto();
    s_->out = &out;
    s_->password = SecretBytes(password);
    s_->yield = yield;
    s_->buffer.resize(kSealedChunk);
}

Decryptor::~Decryptor() {
    if (s_)
        wipe(s_->buffer.data(), s_->buffer.size());
}

void Decryptor::restart(ByteSink& out) {
    s_->out = &out;
    s_->headerFilled = 0;
    s_->filled = 0;
    s_->counter = 0;
    s_->finished = false;
}

void Decryptor::write(const std::uint8_t* data, std::size_t size) {
    State& s = *s_;
    if (s.finished)
        damaged();
    if (size == 0)
        return;
    if (s.headerFilled < kHeaderSize) {
        std::size_t n = std::min(size, kHeaderSize - s.headerFilled);
        std::memcpy(s.header + s.headerFilled, data, n);
        s.headerFilled += n;
        data += n;
        size -= n;
        if (s.headerFilled < kHeaderSize)
            return;
        if (s.cipher && std::memcmp(s.header, s.knownHeader, kHeaderSize) == 0) {
            // Same stream again: reuse the derived keys.
        } else {
            HeaderInfo info = readFields(s.header);
            SecretBytes master = deriveMaster(s.password, s.header + kOffSalt, info.kdf, s.yield);
            FileKeys keys = deriveKeys(master, s.header + kOffNonce);
            std::uint8_t mac[kMacSize];
            hmacSha256(keys.headerKey.data(), keys.headerKey.size(), s.header, kHeaderFieldsSize,
                       nullptr, 0, mac);
            // Constant-time compare: the MAC decides everything that follows.
            std::uint8_t diff = 0;
            for (std::size_t i = 0; i < kMacSize; ++i)
                diff |= static_cast<std::uint8_t>(mac[i] ^ s.header[kOffMac + i]);
            if (diff != 0)
                damaged();
            s.cipher =
                std::make_unique<ChunkCipher>(info.aead, keys.payloadKey, s.header + kOffMac);
            std::memcpy(s.knownHeader, s.header, kHeaderSize);
        }
    }
    feedUnits(data, size, kSealedChunk, s.buffer.data(), s.filled, [&](const std::uint8_t* in) {
        openChunk(*s.cipher, *s.out, s.counter++, false, in, kChunkSize, s.buffer.data());
    });
}

void Decryptor::finish() {
    State& s = *s_;
    if (s.finished)
        return;
    if (s.headerFilled < kHeaderSize || !s.cipher || s.filled < kTagSize ||
        s.filled > kSealedChunk) {
        damaged();
    }
    std::size_t size = s.filled - kTagSize;
    // An empty last chunk only stands for an empty input.
    if (size == 0 && s.counter != 0)
        damaged();
    openChunk(*s.cipher, *s.out, s.counter, true, s.buffer.data(), size, s.buffer.data());
    s.finished = true;
}

} // namespace tidewell::cipher
