// The encrypted stream: round trips at the chunk edges, and every way a file
// can be wrong (password, header, chunk order, length) refused with no output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "filesecurity/cipher/cipher.h"
#include "filesecurity_fakes.h"

using namespace tidewell;
using namespace tidewell::cipher;
using testing_fs::Bytes;
using testing_fs::patterned;
using testing_fs::VectorSink;

namespace {

const KdfParams kFastKdf{kMinMemoryKiB, kMinPasses, 1};
constexpr std::size_t kSealed = kChunkSize + kTagSize;

// A sink that lends its own memory, as the write-behind ring does.
class RoomySink : public VectorSink {
public:
    std::uint8_t* space(std::size_t size) override {
        room_.assign(size, 0xEE);
        return room_.data();
    }
    void filled(std::size_t size) override { write(room_.data(), size); }

private:
    Bytes room_;
};

// Writes `bytes` in pieces of `piece` bytes (0: at once), then finishes.
template <class Stream> void feed(Stream& s, const Bytes& bytes, std::size_t piece) {
    if (piece == 0)
        s.write(bytes.data(), bytes.size());
    for (std::size_t i = 0; piece != 0 && i < bytes.size(); i += piece)
        s.write(bytes.data() + i, std::min(piece, bytes.size() - i));
    s.finish();
}

Bytes encrypt(const Bytes& plain, const std::string& password = "correct horse",
              Aead aead = Aead::Aes256Gcm, std::size_t piece = 0) {
    VectorSink out;
    Encryptor e(password, out, kFastKdf, aead);
    feed(e, plain, piece);
    return out.bytes;
}

// Decrypts; on failure returns the kind and checks nothing was written.
struct Outcome {
    bool ok = false;
    CipherError::Kind kind{};
    Bytes plain;
};

Outcome decrypt(const Bytes& sealed, const std::string& password = "correct horse",
                std::size_t piece = 0, bool roomy = false) {
    Outcome o;
    RoomySink roomySink;
    VectorSink plainSink;
    VectorSink& out = roomy ? roomySink : plainSink;
    try {
        Decryptor d(password, out);
        feed(d, sealed, piece);
        o.ok = true;
    } catch (const CipherError& e) {
        o.kind = e.kind();
    }
    o.plain = out.bytes;
    return o;
}

TEST(Cipher, RoundTripsAtChunkEdgesWithBothCiphers) {
    for (Aead aead : {Aead::Aes256Gcm, Aead::ChaCha20Poly1305}) {
        for (std::size_t size : {std::size_t{0}, std::size_t{1}, kChunkSize - 1, kChunkSize,
                                 kChunkSize + 1, 2 * kChunkSize}) {
            if (aead == Aead::ChaCha20Poly1305 && size != 0 && size != kChunkSize + 1)
                continue;
            Bytes plain = patterned(size, static_cast<std::uint32_t>(size));
            // Small pieces go through the chunk buffer, one whole write
            // straight from the caller's memory: both must agree.
            for (auto [encPiece, decPiece] : {std::pair<std::size_t, std::size_t>{4096, 0},
                                              {0, 777},
                                              {kChunkSize + 1, kSealed + 3}}) {
                Bytes sealed = encrypt(plain, "pw", aead, encPiece);
                std::size_t chunks = size == 0 ? 1 : (size + kChunkSize - 1) / kChunkSize;
                EXPECT_EQ(sealed.size(), kHeaderSize + size + chunks * kTagSize) << size;
                Outcome o = decrypt(sealed, "pw", decPiece);
                ASSERT_TRUE(o.ok) << size << " " << encPiece << " " << decPiece;
                EXPECT_EQ(o.plain, plain) << size;
                EXPECT_EQ(parseHeader(sealed.data(), sealed.size()).aead, aead);
            }
        }
    }
    EXPECT_NE(encrypt(patterned(10)), encrypt(patterned(10))) << "a fresh salt and nonce each time";
}

Bytes chunk(const Bytes& sealed, std::size_t i) {
    auto begin = sealed.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + i * kSealed);
    auto end = std::min(begin + static_cast<std::ptrdiff_t>(kSealed), sealed.end());
    return Bytes(begin, end);
}

Bytes assemble(const Bytes& header, std::initializer_list<Bytes> chunks) {
    Bytes out(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(kHeaderSize));
    for (const Bytes& c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    return out;
}

// Every way a file can be wrong is refused, with no more output than the
// intact chunks before the damage.
TEST(Cipher, WrongPasswordsAndDamagedFilesAreRefused) {
    const Bytes s = encrypt(patterned(3 * kChunkSize + 100));
    const Bytes c0 = chunk(s, 0), c1 = chunk(s, 1), c2 = chunk(s, 2), c3 = chunk(s, 3);
    ASSERT_EQ(assemble(s, {c0, c1, c2, c3}), s);
    const Bytes other = encrypt(patterned(3 * kChunkSize + 100));
    struct Row {
        std::string name;
        Bytes bytes;
        std::size_t maxPlain = 0;
        std::string password = "correct horse";
        // The kind it is refused as; none: any kind.
        std::optional<CipherError::Kind> kind = CipherError::Kind::WrongPasswordOrDamaged;
    };
    std::vector<Row> rows;
    for (std::string wrong : {"correct horsE", "correct horse ", " correct horse", ""}) {
        rows.push_back({"password '" + wrong + "'", s, 0, wrong});
    }
    // One byte of every header field: magic, version, cipher, key function,
    // reserved, chunk size, the three key settings, salt, nonce, reserved, MAC.
    // The low bit keeps the key settings cheap or refused.
    for (std::size_t i :
         {0, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 43, 44, 59, 60, 63, 64, 95}) {
        Row r{"header byte " + std::to_string(i), s};
        r.bytes[i] ^= 0x01;
        r.kind.reset();
        rows.push_back(r);
    }
    // In the first chunk's data, in its tag, and in the short last chunk.
    for (std::size_t at :
         {kHeaderSize + 10, kHeaderSize + kChunkSize + 3, s.size() - 1, s.size() - 40}) {
        Row r{"payload byte " + std::to_string(at), s, (at - kHeaderSize) / kSealed * kChunkSize};
        r.bytes[at] ^= 0x80;
        rows.push_back(r);
    }
    for (std::size_t cut :
         {std::size_t{0}, std::size_t{7}, kHeaderSize - 1, kHeaderSize, kHeaderSize + kSealed,
          kHeaderSize + 3 * kSealed, kHeaderSize + kSealed + kSealed / 2, s.size() - 1}) {
        rows.push_back({"cut at " + std::to_string(cut),
                        Bytes(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(cut)),
                        3 * kChunkSize});
    }
    for (std::size_t extra : {std::size_t{1}, kTagSize, kSealed}) {
        Row r{"junk " + std::to_string(extra), s, 3 * kChunkSize + 100};
        r.bytes.insert(r.bytes.end(), extra, 0);
        r.kind.reset();
        rows.push_back(r);
    }
    Bytes twice = encrypt({}); // an empty file with a second empty last chunk
    twice.insert(twice.end(), twice.end() - kTagSize, twice.end());
    rows.push_back({"empty twice", twice, 0, "correct horse", std::nullopt});
    rows.push_back(
        {"not ours", patterned(500), 0, "correct horse", CipherError::Kind::NotEncrypted});
    // 0xFFFFFFFF KiB of memory: refused at once, not after allocating.
    Row absurd{"absurd memory", s, 0, "correct horse", CipherError::Kind::UnsupportedParameters};
    std::fill(absurd.bytes.begin() + 16, absurd.bytes.begin() + 20, 0xFF);
    rows.push_back(absurd);
    rows.push_back({"reordered", assemble(s, {c1, c0, c2, c3}), 3 * kChunkSize});
    rows.push_back({"duplicated", assemble(s, {c0, c0, c1, c2, c3}), 3 * kChunkSize});
    rows.push_back({"dropped", assemble(s, {c0, c1, c3}), 3 * kChunkSize});
    rows.push_back({"spliced", assemble(s, {c0, chunk(other, 1), c2, c3}), 3 * kChunkSize});
    rows.push_back({"other header", assemble(other, {c0, c1, c2, c3}), 3 * kChunkSize});
    for (const Row& row : rows) {
        for (bool roomy : {false, true}) {
            Outcome o = decrypt(row.bytes, row.password, 0, roomy);
            EXPECT_FALSE(o.ok) << row.name;
            EXPECT_LE(o.plain.size(), row.maxPlain) << row.name;
            if (row.kind) {
                EXPECT_EQ(o.kind, *row.kind) << row.name;
            }
        }
    }
}

// Weaker key settings than the floor are never written. A window thread is
// served while the key is derived (64 MiB over three passes takes far longer
// than the 5 ms between calls) and may stop it.
TEST(Cipher, KeyDerivationServesTheWindowThreadWhichMayStopIt) {
    VectorSink sealed;
    EXPECT_THROW(Encryptor("pw", sealed, KdfParams{kMinMemoryKiB / 2, 3, 1}), CipherError);
    EXPECT_THROW(Encryptor("pw", sealed, KdfParams{kMinMemoryKiB, 2, 1}), CipherError);
    // Four lanes, so that the derivation calls the yield and can be counted.
    const KdfParams fourLanes{kMinMemoryKiB, kMinPasses, 4};
    int calls = 0;
    EXPECT_THAT(
        [&] { Encryptor("pw", sealed, fourLanes, Aead::Aes256Gcm, [&] { return ++calls < 2; }); },
        ::testing::Throws<CipherError>(
            ::testing::Property(&CipherError::kind, CipherError::Kind::Cancelled)));
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(sealed.bytes.empty());
}

} // namespace
