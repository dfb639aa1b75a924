#include "filesecurity/engine.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "filesecurity/archive/archive.h"
#include "filesecurity/cipher/cipher.h"
#include "filesecurity/pipeline.h"
#include "kernel/app_error.h"

namespace tidewell::filesecurity {

namespace {

// Whole sealed chunks: blocks of encrypted output are filled to the brim.
constexpr std::size_t kSealedBlock = 16 * (cipher::kChunkSize + cipher::kTagSize);

UserMessage info(std::string text, std::string title) {
    return {std::move(text), std::move(title), kIconInformation};
}

bool hasWildcard(const std::string& path) {
    return path.find_first_of("*?") != std::string::npos;
}

// Lower-case ASCII, one kind of separator, no trailing separator: enough to
// see that one typed path lies inside another.
std::string comparable(std::string path) {
    for (char& c : path) {
        c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    while (path.size() > 1 && path.back() == '\\')
        path.pop_back();
    return path;
}

bool inside(const std::string& path, const std::string& folder) {
    std::string p = comparable(path), f = comparable(folder);
    return p == f || (p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '\\');
}

class NullSink : public ByteSink {
public:
    void write(const std::uint8_t*, std::size_t) override {}
};

class EncryptorSink : public ByteSink {
public:
    explicit EncryptorSink(cipher::Encryptor& e) : e_(e) {}
    void write(const std::uint8_t* data, std::size_t size) override { e_.write(data, size); }

private:
    cipher::Encryptor& e_;
};

// Turns bytes into percent. It is called for every block so that the
// caller can keep the window alive and notice a cancel.
class PercentMeter {
public:
    PercentMeter(const PercentProgress& progress, std::uint64_t total)
        : progress_(progress), total_(total) {}
    void at(std::uint64_t done) {
        if (!progress_)
            return;
        int percent =
            total_ == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total_));
        progress_(percent);
    }

private:
    const PercentProgress& progress_;
    std::uint64_t total_;
};

// Feeds a whole file to `consume` as it is read ahead, reporting progress
// from `base`.
template <typename F>
void readAll(InputFile& in, PercentMeter& meter, std::uint64_t base, F&& consume) {
    ReadAhead ahead(in);
    std::uint64_t done = base;
    const std::uint8_t* data = nullptr;
    while (std::size_t n = ahead.next(data)) {
        consume(data, n);
        done += n;
        meter.at(done);
    }
}

} // namespace

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

std::optional<UserMessage> validate(Operation op, const Fields& f, FileAccess& fs,
                                    const std::string& appTitle) {
    const bool encrypt = op == Operation::EncryptSingleFile || op == Operation::EncryptFolder;
    const bool folder = op == Operation::EncryptFolder || op == Operation::DecryptFolder;
    if (encrypt) {
        if (isBlank(f.source))
            return info("Source folder can not be blank.", "Invalid Source");
        if (isBlank(f.destination))
            return info("Specify destination file.", "Invalid Destination File");
    } else {
        if (isBlank(f.source))
            return info("Source file can not be blank.", appTitle);
        if (isBlank(f.destination)) {
            return info(folder ? "Destination folder can not be blank."
                               : "Destination file can not be blank.",
                        appTitle);
        }
        FileInfo src = fs.info(f.source);
        if (!src.exists || src.isFolder)
            return info("Source file not found.", appTitle);
    }
    const std::string destTitle = encrypt ? "Invalid Destination File" : appTitle;
    if (hasWildcard(f.destination)) {
        return info("The destination name can not contain * or ?.", destTitle);
    }
    FileInfo dst = fs.info(f.destination);
    if (op == Operation::EncryptFolder) {
        FileInfo src = fs.info(f.source);
        if (!src.exists || !src.isFolder)
            return info("Source folder not found.", "Invalid Source");
        if (inside(f.destination, f.source)) {
            return info("The destination file can not be inside the source folder.", destTitle);
        }
    }
    if (!folder && dst.exists && fs.sameFile(f.source, f.destination)) {
        return info("The destination is the source file itself. Choose another destination file.",
                    destTitle);
    }
    if (op != Operation::DecryptFolder && dst.exists && dst.isFolder) {
        return info("The destination is a folder. Choose a file name.", destTitle);
    }
    if (op == Operation::DecryptFolder && dst.exists && (!dst.isFolder || dst.isLink)) {
        return info("The destination is not a folder. Choose a folder.", destTitle);
    }
    return std::nullopt;
}

void run(Operation op, const Fields& f, FileAccess& fs, const PercentProgress& progress,
         const cipher::KdfParams& kdf, const cipher::KeyDerivationYield& yield) {
    switch (op) {
    case Operation::EncryptSingleFile: {
        PercentMeter meter(progress, fs.info(f.source).size);
        auto in = fs.openRead(f.source); // a missing source fails before any output exists
        auto out = fs.createReplacing(f.destination);
        WriteBehind behind(*out, false, kSealedBlock);
        cipher::Encryptor enc(f.password, behind, kdf, cipher::Aead::Aes256Gcm, yield);
        meter.at(0); // the key is ready
        readAll(*in, meter, 0, [&](const std::uint8_t* p, std::size_t n) { enc.write(p, n); });
        enc.finish();
        behind.finish();
        out->commit();
        break;
    }
    case Operation::DecryptSingleFile: {
        PercentMeter meter(progress, fs.info(f.source).size);
        auto in = fs.openRead(f.source);
        auto out = fs.createReplacing(f.destination);
        WriteBehind behind(*out);
        cipher::Decryptor dec(f.password, behind, yield);
        readAll(*in, meter, 0, [&](const std::uint8_t* p, std::size_t n) { dec.write(p, n); });
        dec.finish();
        behind.finish();
        out->commit();
        break;
    }
    case Operation::EncryptFolder: {
        auto out = fs.createReplacing(f.destination);
        WriteBehind behind(*out, false, kSealedBlock);
        cipher::Encryptor enc(f.password, behind, kdf, cipher::Aead::Aes256Gcm, yield);
        if (progress)
            progress(0); // the key is ready
        EncryptorSink sink(enc);
        // The archive streams straight into the cipher: no plain copy of
        // the folder ever reaches the disk.
        archive::packFolder(fs, f.source, sink, [&](std::uint64_t done, std::uint64_t total) {
            if (progress)
                progress(total == 0 ? 100 : static_cast<int>(done * 100 / total));
        });
        enc.finish();
        behind.finish();
        out->commit();
        break;
    }
    case Operation::DecryptFolder: {
        // First pass: authenticate the whole file, writing nothing, so that a
        // wrong password or a damaged file leaves the destination untouched.
        std::uint64_t size = fs.info(f.source).size;
        PercentMeter meter(progress, 2 * size);
        NullSink discard;
        cipher::Decryptor dec(f.password, discard, yield);
        readAll(*fs.openRead(f.source), meter, 0,
                [&](const std::uint8_t* p, std::size_t n) { dec.write(p, n); });
        dec.finish();
        // Second pass: the decrypted stream goes straight into extraction.
        archive::Extractor extractor(fs, f.destination);
        try {
            dec.restart(extractor);
            readAll(*fs.openRead(f.source), meter, size,
                    [&](const std::uint8_t* p, std::size_t n) { dec.write(p, n); });
            dec.finish();
            extractor.finish();
        } catch (...) {
            extractor.rollback();
            throw;
        }
        break;
    }
    }
}

} // namespace tidewell::filesecurity
