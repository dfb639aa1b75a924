#pragma once
// Event plumbing for browser objects: a dispatch sink that hands each call to
// a C++ handler (an exception barrier), and a connection that unadvises when
// it ends.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <cstdint>
#include <functional>
#include <string>

#include "popup/ie_events.h"
#include "win32/com.h"

namespace tidewell::win32 {

class DispatchSink final : public IDispatch {
public:
    using Handler = std::function<void(DISPID, DISPPARAMS&, VARIANT* result)>;
    // A new sink with one reference, owned by the returned pointer.
    static ComPtr<DispatchSink> create(REFIID eventInterface, Handler handler);

    // Later calls are ignored: the owner is going away.
    void detach() noexcept { handler_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override;

private:
    DispatchSink(REFIID eventInterface, Handler handler)
        : eventInterface_(eventInterface), handler_(std::move(handler)) {}
    ~DispatchSink() = default;
    IID eventInterface_;
    Handler handler_;
    ULONG refs_ = 1;
};

// One Advise on a connection point; Unadvise when destroyed. The outcome of
// Unadvise is ignored: the source may already be gone.
class EventConnection {
public:
    EventConnection() = default;
    // Throws AppError with the HRESULT when the source cannot be connected.
    EventConnection(IUnknown* source, REFIID eventInterface, IUnknown* sink);
    EventConnection(EventConnection&& o) noexcept;
    EventConnection& operator=(EventConnection&& o) noexcept;
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;
    ~EventConnection() { disconnect(); }
    void disconnect() noexcept;
    bool connected() const noexcept { return point_ != nullptr; }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// Argument `index` in declaration order (the array holds them last first);
// nullptr when the caller passed fewer.
VARIANT* dispArgument(DISPPARAMS& params, UINT index) noexcept;
// A copy of a browser's argument in the core's terms (references followed).
popup::EventValue toEventValue(const VARIANT* v);
// Writes through a by-reference Boolean (VT_BOOL or VARIANT).
void setByRefBool(VARIANT* v, bool value) noexcept;
bool readBool(const VARIANT* v);
std::int32_t readLong(const VARIANT* v);
// Same COM object (compared by their IUnknown).
bool sameObject(IUnknown* a, IUnknown* b) noexcept;
// HRESULTs that mean the object's process or proxy is gone.
bool isDisconnected(HRESULT hr) noexcept;

} // namespace tidewell::win32
