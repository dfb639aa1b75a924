#pragma once
// The tar layer of the archive: pax-extended ustar headers, written for a
// packed entry and read back by the extractor.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "filesecurity/archive/archive_format.h"
#include "filesecurity/archive/gzip_stream.h"
#include "filesecurity/file_access.h"

namespace tidewell::archive::detail {

struct PackItem {
    std::string relative; // '/'-separated
    std::string path;     // on disk
    filesecurity::FileInfo info;
};

// Writing.
std::array<char, kBlock> ustarHeader(const std::string& name, const std::string& prefix,
                                     std::uint64_t size, std::uint64_t mtime, unsigned mode,
                                     char type);
std::string paxRecord(const std::string& key, const std::string& value);
bool plainAscii(const std::string& s);

// The entries of a folder as a tar stream in gzip.
class TarWriter {
public:
    explicit TarWriter(filesecurity::ByteSink& out) : z_(out) {}

    void entry(const PackItem& item);
    void data(const std::uint8_t* p, std::size_t n) { z_.write(p, n); }
    void pad(std::uint64_t size);
    void finish();

private:
    void put(const char* p, std::size_t n) {
        z_.write(reinterpret_cast<const std::uint8_t*>(p), n);
    }
    static bool splitName(const std::string& name, std::string& prefix, std::string& rest);
    static std::string asciiStandIn(const std::string& name);
    GzipWriter z_;
};

// Reading.
std::uint64_t parseNumber(const char* field, std::size_t width);
bool checksumOk(const std::array<char, kBlock>& h);
std::string fieldText(const char* field, std::size_t width);

} // namespace tidewell::archive::detail
