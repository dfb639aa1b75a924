#pragma once
// Password encryption of one byte stream: Argon2id key, HKDF subkeys, an
// authenticated header and 64 KiB chunks of an AEAD. The layout is described
// byte by byte in docs/encrypted-file-format.md.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "filesecurity/secure_bytes.h"

namespace tidewell::cipher {

// The streams write to the file-security byte sinks and wipe what they free.
using filesecurity::ByteSink;
using filesecurity::wipe;
using filesecurity::appendWiping;

enum class Aead : std::uint8_t { Aes256Gcm = 1, ChaCha20Poly1305 = 2 };

struct KdfParams {
    std::uint32_t memoryKiB = 256 * 1024;
    std::uint32_t passes = 3;
    std::uint32_t lanes = 4;
};

// The weakest parameters ever written or accepted, and the most expensive
// ones a file may ask of us before we allocate anything.
inline constexpr std::uint32_t kMinMemoryKiB = 64 * 1024;
inline constexpr std::uint32_t kMinPasses = 3;
inline constexpr std::uint64_t kMaxMemoryKiB = 4ull * 1024 * 1024;
inline constexpr std::uint32_t kMaxPasses = 16;
inline constexpr std::uint32_t kMaxLanes = 16;

inline constexpr std::size_t kChunkSize = 64 * 1024;
inline constexpr std::size_t kTagSize = 16;
inline constexpr std::size_t kHeaderFieldsSize = 64;
inline constexpr std::size_t kHeaderSize = kHeaderFieldsSize + 32; // fields + HMAC-SHA-256

// Why a stream was refused. The text is what the user sees.
class CipherError : public std::runtime_error {
public:
    enum class Kind {
        WrongPasswordOrDamaged,
        NotEncrypted,
        UnsupportedParameters,
        Crypto,
        Cancelled
    };
    CipherError(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

inline constexpr const char* kWrongPasswordText = "Wrong password, or the file is damaged.";

// A password as UTF-8 bytes in a buffer that is wiped when it goes.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::string_view text);
    explicit SecretBytes(std::size_t size) : bytes_(size) {}
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    SecretBytes(SecretBytes&& other) noexcept = default;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    ~SecretBytes();
    std::uint8_t* data() noexcept { return bytes_.data(); }
    const std::uint8_t* data() const noexcept { return bytes_.data(); }
    std::size_t size() const noexcept { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Makes libgcrypt ready; safe to call more than once.
void initialiseCrypto();

// Called every few milliseconds while a password's key is being derived on
// worker threads (up to a second), so that a window's thread can go on
// serving its messages meanwhile. Returning false stops the derivation: it
// throws CipherError (Cancelled). Empty: the caller's thread just waits.
using KeyDerivationYield = std::function<bool()>;

// Push-style encryptor: feed plaintext, then finish(). Output goes to `out`
// as it is produced; nothing is written before the first write() or finish().
class Encryptor {
public:
    Encryptor(std::string_view password, ByteSink& out, KdfParams params = {},
              Aead aead = Aead::Aes256Gcm, const KeyDerivationYield& yield = {});
    ~Encryptor();
    Encryptor(const Encryptor&) = delete;
    Encryptor& operator=(const Encryptor&) = delete;
    void write(const std::uint8_t* data, std::size_t size);
    void finish();

private:
    struct State;
    std::unique_ptr<State> s_;
};

// Push-style decryptor: feed the encrypted stream, then finish(). Plaintext
// reaches `out` one authenticated chunk at a time; the header (and so the
// password) is checked before anything is written. A stream that ends early,
// has chunks moved or repeated, or carries extra bytes fails at the chunk
// concerned or at finish().
class Decryptor {
public:
    Decryptor(std::string_view password, ByteSink& out, const KeyDerivationYield& yield = {});
    ~Decryptor();
    Decryptor(const Decryptor&) = delete;
    Decryptor& operator=(const Decryptor&) = delete;
    void write(const std::uint8_t* data, std::size_t size);
    void finish();
    // Starts over on the same stream (a second pass) with a new sink; the key
    // derived from the header is kept, so the password costs nothing again.
    void restart(ByteSink& out);

private:
    struct State;
    std::unique_ptr<State> s_;
};

// Reads the parameters of a header without checking it (for tools and tests).
struct HeaderInfo {
    std::uint8_t version = 0;
    Aead aead = Aead::Aes256Gcm;
    std::uint32_t chunkSize = 0;
    KdfParams kdf;
};
HeaderInfo parseHeader(const std::uint8_t* header, std::size_t size);

} // namespace tidewell::cipher
