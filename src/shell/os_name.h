#pragma once
#include <cstdint>
#include <string>

namespace tidewell {

// What the system's version query returned. `ok` false means the query failed.
struct OsVersion {
    bool ok = false;
    std::uint32_t platform = 0; // 1: Windows 95 family, 2: NT family
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
};

// The text of lblOS: the classic table for old systems, named versions for
// current ones (Windows 10 and 11 share 10.0 and differ by build), empty for a
// version the table does not know, "Failed" when the query failed.
std::string osNameFor(const OsVersion& v);

} // namespace tidewell
