#pragma once
// Byte streams that may carry plaintext: where they go, and how their
// buffers are cleared before the memory is given back.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tidewell::filesecurity {

// Where a stream's output goes (the next stage, or a file).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const std::uint8_t* data, std::size_t size) = 0;
    // Optional, to save a copy: room for `size` bytes that the caller fills
    // and hands over with filled(size); nullptr when the sink has none.
    virtual std::uint8_t* space(std::size_t /*size*/) { return nullptr; }
    virtual void filled(std::size_t) {}
};

// Wipes memory in a way the optimiser keeps.
void wipe(void* data, std::size_t size) noexcept;

// Appends to `v`; should it have to grow, its old storage (which may hold
// plaintext) is wiped before it is freed.
void appendWiping(std::vector<std::uint8_t>& v, const std::uint8_t* data, std::size_t size);

} // namespace tidewell::filesecurity
