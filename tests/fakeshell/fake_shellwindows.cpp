// A stand-in for the shell's window collection, loaded in-process in place
// of the real class: fake browsers with fake HTML documents whose events the
// tests fire through window messages (see fake_shell_protocol.h). It serves
// only what the program calls. Test code only; nothing of it ships.
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake_shell_protocol.h"
#include "interface_stubs.h"

namespace fakeshell {
namespace {

constexpr IID kHTMLDocumentEvents = {
    0x3050f260, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

// clang-format off
#define FAKE_REFCOUNT                                                                              \
public:                                                                                            \
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }                                  \
    ULONG STDMETHODCALLTYPE Release() override {                                                   \
        const ULONG n = --refs_;                                                                   \
        if (n == 0) delete this;                                                                   \
        return n;                                                                                  \
    }                                                                                              \
private:                                                                                           \
    ULONG refs_ = 1;

#define FAKE_NO_TYPEINFO                                                                           \
public:                                                                                            \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }          \
    FAKE_NI(GetTypeInfo, UINT, LCID, ITypeInfo**)                                                  \
    FAKE_NI(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)                                 \
    FAKE_NI(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
// clang-format on

// QueryInterface of a fake: `self` for IUnknown and `iids`, `container` for
// its own interface.
template <typename T>
HRESULT query(T* self, IConnectionPointContainer* container, REFIID riid, void** pp,
              std::initializer_list<IID> iids) {
    *pp = nullptr;
    for (const IID& iid : iids) {
        if (IsEqualIID(riid, iid) || IsEqualIID(riid, IID_IUnknown)) {
            *pp = self;
        }
    }
    if (container != nullptr && IsEqualIID(riid, IID_IConnectionPointContainer)) {
        *pp = container;
    }
    if (*pp == nullptr) {
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*pp)->AddRef();
    return S_OK;
}

class ConnectionPoint final : public IConnectionPoint {
    FAKE_REFCOUNT
public:
    explicit ConnectionPoint(std::shared_ptr<const bool> dead) : dead_(std::move(dead)) {}
    size_t size() const { return sinks_.size(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IConnectionPoint*>(this), nullptr, riid, pp,
                     {IID_IConnectionPoint});
    }
    FAKE_NI(GetConnectionInterface, IID*)
    FAKE_NI(GetConnectionPointContainer, IConnectionPointContainer**)
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (*dead_) {
            return RPC_E_DISCONNECTED;
        }
        IDispatch* disp = nullptr;
        if (sink == nullptr ||
            FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        *cookie = next_++;
        sinks_[*cookie] = disp;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        auto it = sinks_.find(cookie);
        if (it == sinks_.end()) {
            return CONNECT_E_NOCONNECTION;
        }
        IDispatch* disp = it->second;
        sinks_.erase(it);
        disp->Release();
        // A dead browser cannot answer; the sink is let go all the same.
        return *dead_ ? RPC_E_DISCONNECTED : S_OK;
    }
    FAKE_NI(EnumConnections, IEnumConnections**)

    // Calls every sink with the arguments in declaration order; returns how many.
    int fire(DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
        std::vector<IDispatch*> sinks;
        for (auto& [cookie, disp] : sinks_) {
            disp->AddRef();
            sinks.push_back(disp);
        }
        for (IDispatch* disp : sinks) {
            disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                         nullptr, nullptr);
            disp->Release();
        }
        return static_cast<int>(sinks.size());
    }

private:
    ~ConnectionPoint() {
        for (auto& [cookie, disp] : sinks_) {
            disp->Release();
        }
    }
    std::shared_ptr<const bool> dead_;
    std::map<DWORD, IDispatch*> sinks_;
    DWORD next_ = 1;
};

// The container side of a fake: one connection point for its one event
// interface, unreachable once the object is dead.
class EventSource : public IConnectionPointContainer {
public:
    ConnectionPoint& events() { return *events_; }
    FAKE_NI(EnumConnectionPoints, IEnumConnectionPoints**)
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override {
        *pp = nullptr;
        if (*dead_) {
            return RPC_E_DISCONNECTED;
        }
        if (!IsEqualIID(riid, iid_)) {
            return CONNECT_E_NOCONNECTION;
        }
        *pp = events_;
        events_->AddRef();
        return S_OK;
    }

protected:
    EventSource(REFIID iid, std::shared_ptr<bool> dead)
        : iid_(iid), dead_(std::move(dead)), events_(new ConnectionPoint(dead_)) {}
    ~EventSource() { events_->Release(); }
    IID iid_;
    std::shared_ptr<bool> dead_;
    ConnectionPoint* events_;
};

// The program asks an HTML document only for its events, through the
// container; the interface itself it never calls, so the IDispatch face
// answers for it.
class FakeDocument final : public IDispatch, public EventSource {
    FAKE_REFCOUNT
    FAKE_NO_TYPEINFO
public:
    explicit FakeDocument(std::shared_ptr<bool> dead)
        : EventSource(kHTMLDocumentEvents, std::move(dead)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IDispatch*>(this), this, riid, pp,
                     {IID_IDispatch, __uuidof(IHTMLDocument2)});
    }
};

class FakeBrowser final : public WebBrowser2Stub, public EventSource {
    FAKE_REFCOUNT
    FAKE_NO_TYPEINFO
public:
    FakeBrowser(int id, LONG_PTR handle, LPARAM flags)
        : EventSource(DIID_DWebBrowserEvents2, std::make_shared<bool>(false)), id_(id),
          handle_(handle), flags_(flags),
          document_((flags & kNoDocument) ? nullptr : new FakeDocument(dead_)) {}
    int id() const { return id_; }
    void kill() { *dead_ = true; }
    long stops() const { return stops_; }
    FakeDocument* document() { return document_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IWebBrowser2*>(this), this, riid, pp,
                     {IID_IDispatch, IID_IWebBrowser, IID_IWebBrowserApp, IID_IWebBrowser2});
    }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* p) override {
        if (*dead_) {
            return RPC_E_DISCONNECTED;
        }
        *p = handle_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR* p) override {
        return text(p, L"Fake page " + std::to_wstring(id_));
    }
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* p) override {
        return text(p, L"http://fake.example/" + std::to_wstring(id_));
    }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** p) override {
        *p = *dead_ ? nullptr : document_;
        if (*p != nullptr) {
            (*p)->AddRef();
        }
        return *dead_ ? RPC_E_DISCONNECTED : *p != nullptr ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GoForward() override {
        return *dead_ ? RPC_E_DISCONNECTED : (flags_ & kForwardPage) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID cmd, OLECMDEXECOPT option, VARIANT*,
                                     VARIANT*) override {
        if (!*dead_ && cmd == OLECMDID_STOPDOWNLOAD && option == OLECMDEXECOPT_DONTPROMPTUSER) {
            ++stops_;
        }
        return *dead_ ? RPC_E_DISCONNECTED : S_OK;
    }

private:
    ~FakeBrowser() {
        if (document_ != nullptr) {
            document_->Release();
        }
    }
    HRESULT text(BSTR* p, const std::wstring& value) {
        if (*dead_) {
            return RPC_E_DISCONNECTED;
        }
        *p = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        return S_OK;
    }
    int id_;
    LONG_PTR handle_;
    LPARAM flags_;
    long stops_ = 0;
    FakeDocument* document_;
};

class FakeEnum final : public IEnumVARIANT {
    FAKE_REFCOUNT
public:
    explicit FakeEnum(std::vector<IDispatch*> items) : items_(std::move(items)) {
        for (IDispatch* d : items_) {
            d->AddRef();
        }
    }
    FAKE_NI(Skip, ULONG)
    FAKE_NI(Reset)
    FAKE_NI(Clone, IEnumVARIANT**)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IEnumVARIANT*>(this), nullptr, riid, pp, {IID_IEnumVARIANT});
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
            ::VariantInit(&out[n]);
            out[n].vt = VT_DISPATCH;
            out[n].pdispVal = items_[pos_];
            items_[pos_]->AddRef();
        }
        if (fetched != nullptr) {
            *fetched = n;
        }
        return n == count ? S_OK : S_FALSE;
    }

private:
    ~FakeEnum() {
        for (IDispatch* d : items_) {
            d->Release();
        }
    }
    std::vector<IDispatch*> items_;
    size_t pos_ = 0;
};

// The collection, with the browsers the tests opened; it lives as long as
// the process.
class FakeShellWindows final : public ShellWindowsStub, public EventSource {
    FAKE_REFCOUNT
    FAKE_NO_TYPEINFO
public:
    FakeShellWindows() : EventSource(DIID_DShellWindowsEvents, std::make_shared<bool>(false)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IShellWindows*>(this), this, riid, pp,
                     {IID_IDispatch, IID_IShellWindows});
    }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** pp) override {
        *pp = static_cast<IEnumVARIANT*>(
            new FakeEnum(std::vector<IDispatch*>(browsers.begin(), browsers.end())));
        return S_OK;
    }
    std::vector<FakeBrowser*> browsers;
    int nextId = 1;
};

FakeShellWindows& world() {
    static FakeShellWindows* shell = new FakeShellWindows;
    return *shell;
}

// An empty VARIANT of type `vt`; a null BSTR is the empty string.
VARIANT var(VARTYPE vt) {
    VARIANT v{};
    v.vt = vt;
    return v;
}

VARIANT byRefVariant(VARIANT* inner) {
    VARIANT v = var(VT_BYREF | VT_VARIANT);
    v.pvarVal = inner;
    return v;
}

// WindowRegistered or WindowRevoked for browser `id`.
void announce(DISPID event, int id) {
    VARIANT cookie = var(VT_I4);
    cookie.lVal = id;
    world().events().fire(event, {cookie});
}

// Fires an event whose last argument is Cancel; returns it (1/0), or -1
// with no sink connected.
LRESULT fireCancellable(FakeBrowser& b, DISPID id, std::vector<VARIANT> args) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    args.push_back(var(VT_BYREF | VT_BOOL));
    args.back().pboolVal = &cancel;
    if (b.events().fire(id, std::move(args)) == 0) {
        return -1;
    }
    return cancel != VARIANT_FALSE ? 1 : 0;
}

LRESULT fireNewWindow2(FakeBrowser& b) {
    IDispatch* offered = nullptr;
    VARIANT ppDisp = var(VT_BYREF | VT_DISPATCH);
    ppDisp.ppdispVal = &offered;
    return fireCancellable(b, DISPID_NEWWINDOW2, {ppDisp});
}

LRESULT fireBeforeNavigate2(FakeBrowser& b) {
    VARIANT url = var(VT_BSTR), flags = var(VT_I4), frame = var(VT_BSTR), post = var(VT_EMPTY),
            headers = var(VT_BSTR), disp = var(VT_DISPATCH);
    url.bstrVal = ::SysAllocString(L"http://fake.example/next");
    disp.pdispVal = static_cast<IWebBrowser2*>(&b);
    const LRESULT cancel =
        fireCancellable(b, DISPID_BEFORENAVIGATE2,
                        {disp, byRefVariant(&url), byRefVariant(&flags), byRefVariant(&frame),
                         byRefVariant(&post), byRefVariant(&headers)});
    ::VariantClear(&url);
    return cancel;
}

// For a frame, the object that completed is some other one than the browser.
LRESULT fireDocumentComplete(FakeBrowser& b, bool topLevel) {
    VARIANT disp = var(VT_DISPATCH);
    disp.pdispVal = topLevel ? static_cast<IDispatch*>(static_cast<IWebBrowser2*>(&b))
                             : static_cast<IDispatch*>(static_cast<IShellWindows*>(&world()));
    VARIANT url = var(VT_BSTR);
    return b.events().fire(DISPID_DOCUMENTCOMPLETE, {disp, byRefVariant(&url)});
}

LRESULT fireDocument(FakeBrowser& b, DISPID id) {
    VARIANT result = var(VT_EMPTY);
    if (b.document() == nullptr || b.document()->events().fire(id, {}, &result) == 0) {
        return -1;
    }
    const LRESULT answer = (result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) ? 0 : 1;
    ::VariantClear(&result);
    return answer;
}

LRESULT control(UINT msg, WPARAM wp, LPARAM lp) {
    auto& all = world().browsers;
    if (msg == kOpen) {
        auto* b = new FakeBrowser(world().nextId++, static_cast<LONG_PTR>(wp), lp);
        all.push_back(b);
        if ((lp & kQuiet) == 0) {
            announce(DISPID_WINDOWREGISTERED, b->id());
        }
        return b->id();
    }
    if (msg == kReset) {
        for (FakeBrowser* b : all) {
            b->Release();
        }
        all.clear();
        return 1;
    }
    auto it = std::find_if(all.begin(), all.end(),
                           [&](FakeBrowser* b) { return b->id() == static_cast<int>(wp); });
    if (it == all.end()) {
        return -2;
    }
    FakeBrowser* b = *it;
    b->AddRef(); // alive through the events, whatever the sinks do
    LRESULT result = 1;
    switch (msg) {
    case kClose:
        all.erase(it);
        b->Release();
        announce(DISPID_WINDOWREVOKED, b->id());
        break;
    case kKill:
        b->kill();
        break;
    case kNewWindow2:
        result = fireNewWindow2(*b);
        break;
    case kBeforeNavigate2:
        result = fireBeforeNavigate2(*b);
        break;
    case kCommandStateChange: {
        VARIANT command = var(VT_I4), enable = var(VT_BOOL);
        command.lVal = static_cast<SHORT>(LOWORD(lp));
        enable.boolVal = HIWORD(lp) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        result = b->events().fire(DISPID_COMMANDSTATECHANGE, {command, enable});
        break;
    }
    case kDocumentComplete:
        result = fireDocumentComplete(*b, lp != 0);
        break;
    case kDocumentEvent:
        result = fireDocument(*b, static_cast<DISPID>(lp));
        break;
    case kConnections:
        result = static_cast<LRESULT>(b->events().size() +
                                      100 * (b->document() ? b->document()->events().size() : 0));
        break;
    case kStopCount:
        result = b->stops();
        break;
    }
    b->Release();
    return result;
}

LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= kOpen && msg <= kReset) {
        try {
            return control(msg, wp, lp);
        } catch (...) {
            return -4;
        }
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void ensureControlWindow() {
    static HWND window = nullptr;
    if (window != nullptr) {
        return;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = controlProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kControlClass;
    ::RegisterClassW(&wc);
    // Hidden top-level, so that another process can find it by class.
    window = ::CreateWindowExW(WS_EX_TOOLWINDOW, kControlClass, L"fake shell", WS_POPUP, 0, 0, 0, 0,
                               nullptr, nullptr, wc.hInstance, nullptr);
}

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IClassFactory*>(this), nullptr, riid, pp, {IID_IClassFactory});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** pp) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        ensureControlWindow();
        return static_cast<IShellWindows*>(&world())->QueryInterface(riid, pp);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory gFactory;

} // namespace
} // namespace fakeshell

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** pp) {
    if (!IsEqualCLSID(clsid, CLSID_ShellWindows)) {
        *pp = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    fakeshell::ensureControlWindow();
    return fakeshell::gFactory.QueryInterface(riid, pp);
}

// Stays loaded: the tests' state lives here for the whole process.
extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}
