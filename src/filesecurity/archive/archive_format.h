#pragma once
// What the archive's parts share: the tar block, the sizes of the buffers and
// limits, and the two ways a run stops on what it read.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tidewell::archive::detail {

inline constexpr std::size_t kBlock = 512;
inline constexpr std::size_t kIoSize = 256 * 1024;
inline constexpr std::uint64_t kOctal11Max = 077777777777ull; // largest value of an 11-digit field
inline constexpr std::size_t kMaxMetaSize = 1 << 20;          // pax or long-name data we accept

// The stream is not a well-formed archive.
[[noreturn]] void damaged(const std::string& why);
// An entry that would write outside the destination, or over something it must not.
[[noreturn]] void refuse(const std::string& name, const std::string& why);

} // namespace tidewell::archive::detail
