#include "popup/com_events_win32.h"

#include <oleauto.h>

#include "win32/unicode.h"
#include "win32/unique_com.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

ComPtr<DispatchSink> DispatchSink::create(REFIID eventInterface, Handler handler) {
    ComPtr<DispatchSink> sink;
    sink.Attach(new DispatchSink(eventInterface, std::move(handler)));
    return sink;
}

HRESULT STDMETHODCALLTYPE DispatchSink::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, eventInterface_)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchSink::AddRef() {
    return ++refs_;
}

ULONG STDMETHODCALLTYPE DispatchSink::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT STDMETHODCALLTYPE DispatchSink::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DispatchSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DispatchSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                               VARIANT* result, EXCEPINFO*, UINT*) {
    // Nothing may unwind into the browser; a failing handler is silent.
    try {
        ComPtr<DispatchSink> keepAlive(this);
        Handler handler = handler_;
        if (handler) {
            DISPPARAMS none{};
            handler(id, params != nullptr ? *params : none, result);
        }
    } catch (...) {
    }
    return S_OK;
}

EventConnection::EventConnection(IUnknown* source, REFIID eventInterface, IUnknown* sink) {
    if (source == nullptr) {
        checkHr(E_POINTER);
    }
    ComPtr<IConnectionPointContainer> container;
    checkHr(source->QueryInterface(IID_PPV_ARGS(&container)));
    ComPtr<IConnectionPoint> point;
    checkHr(container->FindConnectionPoint(eventInterface, &point));
    DWORD cookie = 0;
    checkHr(point->Advise(sink, &cookie));
    point_ = std::move(point);
    cookie_ = cookie;
}

EventConnection::EventConnection(EventConnection&& o) noexcept
    : point_(std::move(o.point_)), cookie_(o.cookie_) {
    o.cookie_ = 0;
}

EventConnection& EventConnection::operator=(EventConnection&& o) noexcept {
    if (this != &o) {
        disconnect();
        point_ = std::move(o.point_);
        cookie_ = o.cookie_;
        o.cookie_ = 0;
    }
    return *this;
}

void EventConnection::disconnect() noexcept {
    if (point_) {
        ComPtr<IConnectionPoint> point = std::move(point_);
        point->Unadvise(cookie_);
        cookie_ = 0;
    }
}

VARIANT* dispArgument(DISPPARAMS& params, UINT index) noexcept {
    if (params.rgvarg == nullptr || index >= params.cArgs) {
        return nullptr;
    }
    return &params.rgvarg[params.cArgs - 1 - index];
}

popup::EventValue toEventValue(const VARIANT* given) {
    if (given == nullptr) {
        return {};
    }
    UniqueVariant copy;
    if (FAILED(::VariantCopyInd(copy.put(), const_cast<VARIANT*>(given)))) {
        return {};
    }
    VARIANT& value = *copy.get();
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return {};
    case VT_BOOL:
        return value.boolVal != VARIANT_FALSE;
    case VT_BSTR:
        return value.bstrVal != nullptr
                   ? toUtf8(std::wstring_view(value.bstrVal, ::SysStringLen(value.bstrVal)))
                   : std::string();
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
    case VT_DECIMAL: {
        UniqueVariant d;
        if (SUCCEEDED(::VariantChangeType(d.put(), &value, 0, VT_R8))) {
            return d.get()->dblVal;
        }
        return {};
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* object = value.punkVal;
        if (object == nullptr) {
            return {};
        }
        object->AddRef();
        return popup::ObjectRef{
            std::shared_ptr<void>(object, [](void* p) { static_cast<IUnknown*>(p)->Release(); })};
    }
    default: {
        UniqueVariant n;
        if (SUCCEEDED(::VariantChangeType(n.put(), &value, 0, VT_I4))) {
            return static_cast<std::int32_t>(n.get()->lVal);
        }
        // Post data and other arrays: passed on as nothing.
        return {};
    }
    }
}

void setByRefBool(VARIANT* v, bool value) noexcept {
    if (v == nullptr) {
        return;
    }
    const VARIANT_BOOL b = value ? VARIANT_TRUE : VARIANT_FALSE;
    if (v->vt == (VT_BYREF | VT_BOOL) && v->pboolVal != nullptr) {
        *v->pboolVal = b;
    } else if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal != nullptr) {
        ::VariantClear(v->pvarVal);
        v->pvarVal->vt = VT_BOOL;
        v->pvarVal->boolVal = b;
    }
}

bool readBool(const VARIANT* v) {
    return popup::toBool(toEventValue(v));
}

std::int32_t readLong(const VARIANT* v) {
    return popup::toInt32(toEventValue(v));
}

bool sameObject(IUnknown* a, IUnknown* b) noexcept {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    ComPtr<IUnknown> ua, ub;
    if (FAILED(a->QueryInterface(IID_PPV_ARGS(&ua))) ||
        FAILED(b->QueryInterface(IID_PPV_ARGS(&ub)))) {
        return false;
    }
    return ua.Get() == ub.Get();
}

bool isDisconnected(HRESULT hr) noexcept {
    return hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED || hr == RPC_E_SERVER_DIED ||
           hr == RPC_E_SERVER_DIED_DNE || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
}

} // namespace tidewell::win32
