#include "filesecurity/archive/gzip_stream.h"

#include <cstdlib>
#include <cstring>

namespace tidewell::archive::detail {

namespace {

constexpr std::size_t kAllocHeader = 16; // keeps the block's alignment
voidpf wipingAlloc(voidpf, uInt items, uInt size) {
    const std::size_t n = std::size_t{items} * size;
    auto* p = static_cast<std::uint8_t*>(std::malloc(n + kAllocHeader));
    if (p == nullptr)
        return Z_NULL;
    std::memcpy(p, &n, sizeof n);
    return p + kAllocHeader;
}
void wipingFree(voidpf, voidpf address) {
    auto* p = static_cast<std::uint8_t*>(address) - kAllocHeader;
    std::size_t n = 0;
    std::memcpy(&n, p, sizeof n);
    filesecurity::wipe(address, n);
    std::free(p);
}
} // namespace

void useWipingAlloc(z_stream& z) {
    z.zalloc = wipingAlloc;
    z.zfree = wipingFree;
    z.opaque = Z_NULL;
}

} // namespace tidewell::archive::detail
