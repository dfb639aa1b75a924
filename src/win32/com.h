#pragma once
// COM ownership: Microsoft::WRL::ComPtr for interface pointers, and a scope
// for the apartment of the user-interface thread.
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

namespace tidewell::win32 {

using Microsoft::WRL::ComPtr;

// Single-threaded apartment for the lifetime of the scope.
class ComApartment {
public:
    ComApartment() noexcept : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }
    HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

} // namespace tidewell::win32
