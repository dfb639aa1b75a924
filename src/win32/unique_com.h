#pragma once
// Owners of the COM allocator's memory, beside the handle owners: memory from
// CoTaskMemAlloc, strings from SysAllocString, and VARIANTs.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "win32/unique_handle.h"

namespace tidewell::win32 {

namespace detail {
inline void coTaskMemFree(void* p) noexcept {
    ::CoTaskMemFree(p);
}
inline void sysFreeString(BSTR s) noexcept {
    ::SysFreeString(s);
}
} // namespace detail

// What a shell or COM call hands back for the caller to free (an item id
// list, a known folder's path).
template <typename T> using UniqueCoTaskMem = UniqueAny<NullInvalidTraits<T, detail::coTaskMemFree>>;
using UniqueBstr = UniqueAny<NullInvalidTraits<BSTR, detail::sysFreeString>>;

// A VARIANT that is cleared when it goes; put() clears what it holds first.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&v_); }
    ~UniqueVariant() { ::VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

} // namespace tidewell::win32
