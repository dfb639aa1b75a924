// A stand-in for the shell's window collection, loaded in-process in place
// of the real class: fake browsers (with fake HTML documents) whose events
// the tests fire through window messages (see fake_shell_protocol.h). It serves
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
#include <vector>

#include "fake_shell_protocol.h"
#include "interface_stubs.h"

namespace fakeshell {
namespace {

constexpr IID kHTMLDocumentEvents = {
    0x3050f260, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

// clang-format off
// The fakes live as long as the process (a closed browser is only taken off
// the list), so their references are not counted.
#define FAKE_IMMORTAL                                                                              \
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }                                        \
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

#define FAKE_NO_TYPEINFO                                                                           \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }          \
    FAKE_NI(GetTypeInfo, UINT, LCID, ITypeInfo**)                                                  \
    FAKE_NI(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)                                 \
    FAKE_NI(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
// clang-format on

// QueryInterface of a fake: `self` for IUnknown and `iids`, `container` for
// IConnectionPointContainer.
HRESULT query(IUnknown* self, IUnknown* container, REFIID riid, void** pp,
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
    return *pp != nullptr ? S_OK : E_NOINTERFACE;
}

// An object's one event interface: the container and its connection point in
// one, unreachable once the object is dead.
class EventSource : public IConnectionPointContainer, public IConnectionPoint {
public:
    EventSource(REFIID iid, const bool* dead) : iid_(iid), dead_(dead) {}
    IUnknown* container() { return static_cast<IConnectionPointContainer*>(this); }
    std::map<DWORD, IDispatch*> sinks;

    FAKE_NI(EnumConnectionPoints, IEnumConnectionPoints**)
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override {
        *pp = !*dead_ && IsEqualIID(riid, iid_) ? this : nullptr;
        return *dead_ ? RPC_E_DISCONNECTED : *pp != nullptr ? S_OK : CONNECT_E_NOCONNECTION;
    }
    FAKE_NI(GetConnectionInterface, IID*)
    FAKE_NI(GetConnectionPointContainer, IConnectionPointContainer**)
    FAKE_NI(EnumConnections, IEnumConnections**)
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        IDispatch* disp = nullptr;
        if (*dead_) {
            return RPC_E_DISCONNECTED;
        }
        if (sink == nullptr || FAILED(sink->QueryInterface(IID_PPV_ARGS(&disp)))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        *cookie = next_++;
        sinks[*cookie] = disp;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        auto it = sinks.find(cookie);
        if (it == sinks.end()) {
            return CONNECT_E_NOCONNECTION;
        }
        it->second->Release();
        sinks.erase(it);
        // A dead browser cannot answer; the sink is let go all the same.
        return *dead_ ? RPC_E_DISCONNECTED : S_OK;
    }

    // Calls every sink with the arguments in declaration order; returns how
    // many. A sink unadvised meanwhile is kept alive until its call is done.
    int fire(DISPID id, std::vector<VARIANT> args) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
        std::vector<IDispatch*> called;
        for (auto& [cookie, disp] : sinks) {
            disp->AddRef();
            called.push_back(disp);
        }
        for (IDispatch* disp : called) {
            disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                         nullptr, nullptr);
            disp->Release();
        }
        return static_cast<int>(called.size());
    }

private:
    IID iid_;
    const bool* dead_;
    DWORD next_ = 1;
};

// The program asks an HTML document only for its events; the document
// interface it never calls, so the IDispatch face answers for it.
class FakeDocument final : public IDispatch, public EventSource {
public:
    explicit FakeDocument(const bool* dead) : EventSource(kHTMLDocumentEvents, dead) {}
    FAKE_IMMORTAL
    FAKE_NO_TYPEINFO
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IDispatch*>(this), container(), riid, pp,
                     {IID_IDispatch, __uuidof(IHTMLDocument2)});
    }
};

class FakeBrowser final : public WebBrowser2Stub, public EventSource {
public:
    FakeBrowser(int number, LONG_PTR handle, LPARAM flags)
        : EventSource(DIID_DWebBrowserEvents2, &dead), id(number), handle_(handle), flags_(flags) {}
    FAKE_IMMORTAL
    FAKE_NO_TYPEINFO
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IWebBrowser2*>(this), container(), riid, pp,
                     {IID_IDispatch, IID_IWebBrowser, IID_IWebBrowserApp, IID_IWebBrowser2});
    }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* p) override {
        *p = handle_;
        return dead ? RPC_E_DISCONNECTED : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** p) override {
        *p = dead || (flags_ & kNoDocument) != 0 ? nullptr : &document;
        return dead ? RPC_E_DISCONNECTED : *p != nullptr ? S_OK : E_FAIL;
    }
    bool dead = false;
    const int id;
    FakeDocument document{&dead};

private:
    LONG_PTR handle_;
    LPARAM flags_;
};

// One walk over the browsers open when it was made.
class FakeEnum final : public IEnumVARIANT {
public:
    explicit FakeEnum(std::vector<FakeBrowser*> items) : items_(std::move(items)) {}
    FAKE_IMMORTAL
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(this, nullptr, riid, pp, {IID_IEnumVARIANT});
    }
    FAKE_NI(Skip, ULONG)
    FAKE_NI(Reset)
    FAKE_NI(Clone, IEnumVARIANT**)
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
            ::VariantInit(&out[n]);
            out[n].vt = VT_DISPATCH;
            out[n].pdispVal = items_[pos_];
        }
        if (fetched != nullptr) {
            *fetched = n;
        }
        return n == count ? S_OK : S_FALSE;
    }

private:
    std::vector<FakeBrowser*> items_;
    size_t pos_ = 0;
};

const bool kNeverDead = false;

class FakeShellWindows final : public ShellWindowsStub, public EventSource {
public:
    FakeShellWindows() : EventSource(DIID_DShellWindowsEvents, &kNeverDead) {}
    FAKE_IMMORTAL
    FAKE_NO_TYPEINFO
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(static_cast<IShellWindows*>(this), container(), riid, pp,
                     {IID_IDispatch, IID_IShellWindows});
    }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** pp) override {
        *pp = new FakeEnum(browsers);
        return S_OK;
    }
    std::vector<FakeBrowser*> browsers;
    int nextId = 1;
};

FakeShellWindows& world() {
    static FakeShellWindows* shell = new FakeShellWindows;
    return *shell;
}

// An empty VARIANT of type `vt`.
VARIANT var(VARTYPE vt) {
    VARIANT v{};
    v.vt = vt;
    return v;
}

// WindowRegistered or WindowRevoked for browser `id`.
LRESULT announce(DISPID event, int id) {
    VARIANT cookie = var(VT_I4);
    cookie.lVal = id;
    world().fire(event, {cookie});
    return id;
}

// Fires NewWindow2; returns its Cancel (1/0), or -1 with no sink connected.
LRESULT fireNewWindow2(FakeBrowser& b) {
    IDispatch* offered = nullptr;
    VARIANT ppDisp = var(VT_BYREF | VT_DISPATCH);
    ppDisp.ppdispVal = &offered;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT cancelArg = var(VT_BYREF | VT_BOOL);
    cancelArg.pboolVal = &cancel;
    if (b.fire(DISPID_NEWWINDOW2, {ppDisp, cancelArg}) == 0) {
        return -1;
    }
    return cancel != VARIANT_FALSE ? 1 : 0;
}

LRESULT control(UINT msg, WPARAM wp, LPARAM lp) {
    auto& all = world().browsers;
    if (msg == kOpen) {
        all.push_back(new FakeBrowser(world().nextId++, static_cast<LONG_PTR>(wp), lp));
        return (lp & kQuiet) != 0 ? all.back()->id
                                  : announce(DISPID_WINDOWREGISTERED, all.back()->id);
    }
    if (msg == kReset) {
        all.clear();
        return 1;
    }
    auto it = std::find_if(all.begin(), all.end(),
                           [&](FakeBrowser* b) { return b->id == static_cast<int>(wp); });
    if (it == all.end()) {
        return -2;
    }
    FakeBrowser& b = **it;
    switch (msg) {
    case kClose:
        all.erase(it);
        announce(DISPID_WINDOWREVOKED, b.id);
        return 1;
    case kKill:
        b.dead = true;
        return 1;
    case kNewWindow2:
        return fireNewWindow2(b);
    case kConnections:
        return static_cast<LRESULT>(b.sinks.size() + 100 * b.document.sinks.size());
    default:
        return -3;
    }
}

LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= kOpen && msg <= kReset) {
        return control(msg, wp, lp);
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
    FAKE_IMMORTAL
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** pp) override {
        return query(this, nullptr, riid, pp, {IID_IClassFactory});
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** pp) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return world().QueryInterface(riid, pp);
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
