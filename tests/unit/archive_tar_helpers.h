#pragma once
// Hand-made tar.gz streams for the archive tests, hostile ones included.
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "filesecurity/archive/archive.h"
#include "filesecurity_fakes.h"

namespace tidewell::testing_fs {

struct RawEntry {
    RawEntry(std::string n, char t = '0', std::string d = "", std::string link = "")
        : name(std::move(n)), type(t), data(std::move(d)), linkTarget(std::move(link)) {}
    std::string name;
    char type;
    std::string data;
    std::string linkTarget;
    long long size = -1; // the header's size field, when not the data's
};

// One pax record: "<length> key=value\n", the length counting itself.
inline std::string paxRecord(const std::string& key, const std::string& value) {
    const std::size_t body = key.size() + value.size() + 3;
    std::size_t len = body + std::to_string(body).size();
    len = body + std::to_string(len).size();
    return std::to_string(len) + " " + key + "=" + value + "\n";
}

inline void octal(char* field, std::size_t width, unsigned long long v) {
    std::snprintf(field, width, "%0*llo", static_cast<int>(width - 1), v);
}

inline Bytes rawTar(const std::vector<RawEntry>& entries, bool endBlocks = true) {
    Bytes tar;
    for (const RawEntry& e : entries) {
        char h[512] = {};
        std::memcpy(h, e.name.data(), std::min<std::size_t>(100, e.name.size()));
        octal(h + 100, 8, 0644);
        octal(h + 124, 12, e.size >= 0 ? static_cast<unsigned long long>(e.size) : e.data.size());
        octal(h + 136, 12, 1600000000);
        h[156] = e.type;
        std::memcpy(h + 157, e.linkTarget.data(), std::min<std::size_t>(100, e.linkTarget.size()));
        std::memcpy(h + 257, "ustar", 6);
        h[263] = '0';
        h[264] = '0';
        std::memset(h + 148, ' ', 8);
        unsigned sum = 0;
        for (char c : h)
            sum += static_cast<unsigned char>(c);
        std::snprintf(h + 148, 8, "%06o", sum);
        tar.insert(tar.end(), h, h + 512);
        tar.insert(tar.end(), e.data.begin(), e.data.end());
        tar.resize(tar.size() + (512 - e.data.size() % 512) % 512, 0);
    }
    if (endBlocks)
        tar.resize(tar.size() + 1024, 0);
    return tar;
}

inline Bytes gzip(const Bytes& plain) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(plain.size())) + 64);
    z.next_in = const_cast<Bytef*>(plain.data());
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Extracts `stream` into `dest` in pieces of `piece` bytes, rolling back
// (and rethrowing) on any failure, as the engine does.
inline void extractStream(filesecurity::FileAccess& fs, const Bytes& stream,
                          const std::string& dest, std::size_t piece = 1000) {
    archive::Extractor x(fs, dest);
    try {
        for (std::size_t i = 0; i < stream.size(); i += piece)
            x.write(stream.data() + i, std::min(piece, stream.size() - i));
        x.finish();
    } catch (...) {
        x.rollback();
        throw;
    }
}

} // namespace tidewell::testing_fs
