#include "filesecurity/secure_bytes.h"

#include <algorithm>
#include <cstring>

namespace tidewell::filesecurity {

void appendWiping(std::vector<std::uint8_t>& v, const std::uint8_t* data, std::size_t size) {
    if (v.capacity() - v.size() < size) {
        std::vector<std::uint8_t> grown;
        grown.reserve(std::max(v.size() + size, v.capacity() * 2));
        grown.assign(v.begin(), v.end());
        wipe(v.data(), v.size());
        v.swap(grown);
    }
    v.insert(v.end(), data, data + size);
}

void wipe(void* data, std::size_t size) noexcept {
    if (size == 0)
        return;
    std::memset(data, 0, size);
    // The barrier tells the compiler the zeros are read, so the memset stays
    // even when the buffer is freed right after (a byte loop through a
    // volatile pointer did the same at a tenth of the speed).
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

} // namespace tidewell::filesecurity
