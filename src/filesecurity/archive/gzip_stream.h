#pragma once
// The gzip layer of the archive: a writer of stored deflate blocks, and zlib
// memory that is wiped when freed.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "filesecurity/archive/archive.h"
#include "filesecurity/archive/archive_format.h"
#include "filesecurity/secure_bytes.h"
#include "kernel/app_error.h"

namespace tidewell::archive::detail {

// zlib's window and pending output hold file contents: wiped when freed.
void useWipingAlloc(z_stream& z);

// The tar stream goes out as gzip made of stored deflate blocks, so that
// gzip and tar read it. Nothing is compressed: on this kind of machine,
// inflating cost more time than creating the files did (extraction was
// 1.5x slower than tar -x), and most bulky personal data (photos, video,
// office documents) is compressed already. Compressed streams, as earlier
// versions wrote them, are still read.
class GzipWriter {
public:
    explicit GzipWriter(filesecurity::ByteSink& out) : out_(out), buffer_(kIoSize) {
        useWipingAlloc(z_);
        if (deflateInit2(&z_, Z_NO_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK) {
            throw AppError(errors::OutOfMemory, "Out of memory");
        }
    }
    ~GzipWriter() {
        deflateEnd(&z_);
        filesecurity::wipe(buffer_.data(), buffer_.size());
    }
    GzipWriter(const GzipWriter&) = delete;
    GzipWriter& operator=(const GzipWriter&) = delete;

    void write(const std::uint8_t* data, std::size_t size) { run(data, size, Z_NO_FLUSH); }
    void finish() { run(nullptr, 0, Z_FINISH); }

private:
    void run(const std::uint8_t* data, std::size_t size, int flush) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = static_cast<uInt>(size);
        for (;;) {
            z_.next_out = buffer_.data();
            z_.avail_out = static_cast<uInt>(buffer_.size());
            int rc = deflate(&z_, flush);
            if (rc == Z_STREAM_ERROR)
                throw AppError(kArchiveErrorNumber, "Compression failed.");
            std::size_t n = buffer_.size() - z_.avail_out;
            if (n != 0)
                out_.write(buffer_.data(), n);
            if (flush == Z_FINISH ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0))
                break;
        }
    }
    filesecurity::ByteSink& out_;
    z_stream z_{};
    std::vector<std::uint8_t> buffer_;
};

} // namespace tidewell::archive::detail
