#include "filesecurity/archive/tar_format.h"

#include <algorithm>
#include <cstring>

#include "filesecurity/archive/archive.h"
#include "kernel/app_error.h"

namespace tidewell::archive::detail {

void damaged(const std::string& why) {
    throw AppError(kArchiveErrorNumber, "The archive is damaged: " + why + ".");
}

// ---- writing -----------------------------------------------------------------

namespace {

void putOctal(char* field, std::size_t width, std::uint64_t value) {
    // width includes the terminating NUL
    for (std::size_t i = width - 1; i-- > 0;) {
        field[i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
    field[width - 1] = '\0';
}

void putString(char* field, std::size_t width, const std::string& text) {
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

void setChecksum(std::array<char, kBlock>& h) {
    std::memset(h.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (char c : h)
        sum += static_cast<unsigned char>(c);
    putOctal(h.data() + 148, 7, sum);
    h[155] = ' ';
}

} // namespace

std::array<char, kBlock> ustarHeader(const std::string& name, const std::string& prefix,
                                     std::uint64_t size, std::uint64_t mtime, unsigned mode,
                                     char type) {
    std::array<char, kBlock> h{};
    putString(h.data(), 100, name);
    putOctal(h.data() + 100, 8, mode);
    putOctal(h.data() + 108, 8, 0);
    putOctal(h.data() + 116, 8, 0);
    putOctal(h.data() + 124, 12, size);
    putOctal(h.data() + 136, 12, mtime);
    h[156] = type;
    std::memcpy(h.data() + 257, "ustar", 6);
    h[263] = '0';
    h[264] = '0';
    putString(h.data() + 345, 155, prefix);
    setChecksum(h);
    return h;
}

std::string paxRecord(const std::string& key, const std::string& value) {
    // "<length> <key>=<value>\n", the length counting its own digits.
    std::size_t body = 1 + key.size() + 1 + value.size() + 1;
    std::size_t len = body + 1;
    while (std::to_string(len).size() + body != len)
        ++len;
    return std::to_string(len) + " " + key + "=" + value + "\n";
}

bool plainAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

void TarWriter::entry(const PackItem& item) {
    const filesecurity::FileInfo& i = item.info;
    std::string name = item.relative + (i.isFolder ? "/" : "");
    std::string pax;
    std::string ustarName, prefix;
    if (plainAscii(name) && name.size() <= 100) {
        ustarName = name;
    } else if (!plainAscii(name) || !splitName(name, prefix, ustarName)) {
        // The record carries the real name; the plain field a readable stand-in.
        pax += paxRecord("path", name);
        ustarName = asciiStandIn(name);
        prefix.clear();
    }
    std::uint64_t size = i.isFolder ? 0 : i.size;
    if (size > kOctal11Max)
        pax += paxRecord("size", std::to_string(size));
    std::uint64_t mtime = 0;
    if (i.modified >= 0 && static_cast<std::uint64_t>(i.modified) <= kOctal11Max) {
        mtime = static_cast<std::uint64_t>(i.modified);
    } else {
        pax += paxRecord("mtime", std::to_string(i.modified));
    }
    if (i.hidden)
        pax += paxRecord("SCHILY.fflags", "hidden");
    if (!pax.empty()) {
        auto ph = ustarHeader("PaxHeaders/" + ustarName.substr(0, 80), "", pax.size(), mtime,
                              0644, 'x');
        put(ph.data(), kBlock);
        put(pax.data(), pax.size());
        pad(pax.size());
    }
    unsigned mode = i.isFolder ? (i.readOnly ? 0555 : 0755) : (i.readOnly ? 0444 : 0644);
    auto h = ustarHeader(ustarName, prefix, size > kOctal11Max ? 0 : size, mtime, mode,
                         i.isFolder ? '5' : '0');
    put(h.data(), kBlock);
}

void TarWriter::pad(std::uint64_t size) {
    static const char zeros[kBlock] = {};
    std::size_t rest = static_cast<std::size_t>((kBlock - size % kBlock) % kBlock);
    put(zeros, rest);
}

void TarWriter::finish() {
    static const char zeros[2 * kBlock] = {};
    put(zeros, sizeof zeros);
    z_.finish();
}

bool TarWriter::splitName(const std::string& name, std::string& prefix, std::string& rest) {
    for (std::size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
        if (slash <= 155 && name.size() - slash - 1 <= 100 && slash + 1 < name.size()) {
            prefix = name.substr(0, slash);
            rest = name.substr(slash + 1);
            return true;
        }
    }
    return false;
}

std::string TarWriter::asciiStandIn(const std::string& name) {
    std::string s;
    for (char c : name)
        s += (c >= 0x20 && c < 0x7f) ? c : '_';
    return s.size() > 100 ? s.substr(s.size() - 100) : s;
}

// ---- reading -----------------------------------------------------------------

std::uint64_t parseNumber(const char* field, std::size_t width) {
    if (static_cast<unsigned char>(field[0]) == 0x80) {
        // base-256, as GNU tar writes sizes over 8 GiB
        std::uint64_t v = 0;
        for (std::size_t i = 1; i < width; ++i) {
            if (v >> 56)
                damaged("a number is too large");
            v = v << 8 | static_cast<unsigned char>(field[i]);
        }
        return v;
    }
    std::uint64_t v = 0;
    std::size_t i = 0;
    while (i < width && field[i] == ' ')
        ++i;
    for (; i < width && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (v >> 60)
            damaged("a number is too large");
        v = v * 8 + static_cast<std::uint64_t>(field[i] - '0');
    }
    return v;
}

bool checksumOk(const std::array<char, kBlock>& h) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(h[i]);
    }
    return parseNumber(h.data() + 148, 8) == sum;
}

std::string fieldText(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

} // namespace tidewell::archive::detail
