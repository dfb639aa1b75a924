#include "popup/ie_class_win32.h"

#include <exdispid.h>
#include <mshtmdid.h>

#include <vector>

namespace tidewell::win32 {

namespace {
// HTMLDocumentEvents; the import library does not carry it.
constexpr IID kHTMLDocumentEvents = {
    0x3050f260, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
constexpr DISPID kOnMouseDown = DISPID_HTMLDOCUMENTEVENTS_ONMOUSEDOWN;
constexpr DISPID kOnMouseUp = DISPID_HTMLDOCUMENTEVENTS_ONMOUSEUP;
constexpr DISPID kOnContextMenu = DISPID_HTMLDOCUMENTEVENTS_ONCONTEXTMENU;
} // namespace

std::int16_t Win32Input::asyncKeyState(int virtualKey) {
    return ::GetAsyncKeyState(virtualKey);
}

void Win32Input::beep(unsigned hertz, unsigned milliseconds) {
    ::Beep(static_cast<DWORD>(hertz), static_cast<DWORD>(milliseconds));
}

IE_Class::~IE_Class() {
    // Calls that race the unadvise find nobody home.
    if (browserSink_) {
        browserSink_->detach();
    }
    if (documentSink_) {
        documentSink_->detach();
    }
    documentConnection_.disconnect();
    browserConnection_.disconnect();
}

void IE_Class::IEctl(IWebBrowser2* IncomeIE) {
    if (IncomeIE == nullptr) {
        return;
    }
    // 1. The browser and its events.
    IE_ = IncomeIE;
    try {
        browserSink_ = DispatchSink::create(
            DIID_DWebBrowserEvents2,
            [this](DISPID id, DISPPARAMS& p, VARIANT* r) { onBrowserEvent(id, p, r); });
        browserConnection_ =
            EventConnection(IE_.Get(), DIID_DWebBrowserEvents2, browserSink_.Get());
    } catch (...) {
    }
    // 2. Its top-level window. A browser that is gone is not taken on.
    SHANDLE_PTR hwnd = 0;
    const HRESULT hr = IE_->get_HWND(&hwnd);
    if (isDisconnected(hr)) {
        gone_ = true;
        browserConnection_.disconnect();
        return;
    }
    if (SUCCEEDED(hr)) {
        handle_ = static_cast<std::int32_t>(hwnd);
    }
    // 3. The current document, if it is an HTML one.
    try {
        ComPtr<IDispatch> document;
        if (SUCCEEDED(IE_->get_Document(&document)) && document &&
            SUCCEEDED(document.As(&IEDoc_))) {
            documentSink_ = DispatchSink::create(
                kHTMLDocumentEvents,
                [this](DISPID id, DISPPARAMS& p, VARIANT* r) { onDocumentEvent(id, p, r); });
            documentConnection_ =
                EventConnection(IEDoc_.Get(), kHTMLDocumentEvents, documentSink_.Get());
        }
    } catch (...) {
        IEDoc_.Reset();
    }
    // 4-6. The forward probe: whether the browser has a forward page.
    popup::beginForwardProbe(flags_);
    const bool probed = SUCCEEDED(IE_->GoForward());
    if (popup::endForwardProbe(flags_, nav_, probed)) {
        IE_->ExecWB(OLECMDID_STOPDOWNLOAD, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, nullptr);
    }
}

void IE_Class::relay(std::int32_t code, DISPPARAMS& params, UINT count) {
    std::vector<popup::EventValue> args;
    args.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        args.push_back(toEventValue(dispArgument(params, i)));
    }
    popup::RelayIEEvent(code, handle_, args);
}

void IE_Class::onBrowserEvent(DISPID id, DISPPARAMS& params, VARIANT*) {
    switch (id) {
    case DISPID_BEFORENAVIGATE2:
        IE_BeforeNavigate2(params);
        break;
    case DISPID_COMMANDSTATECHANGE:
        IE_CommandStateChange(params);
        break;
    case DISPID_DOCUMENTCOMPLETE:
        IE_DocumentComplete(params);
        break;
    case DISPID_DOWNLOADBEGIN:
        relay(popup::kDownloadBegin, params, 0);
        break;
    case DISPID_DOWNLOADCOMPLETE:
        relay(popup::kDownloadComplete, params, 0);
        break;
    case DISPID_NAVIGATECOMPLETE2:
        IE_NavigateComplete2(params);
        break;
    case DISPID_NEWWINDOW2:
        IE_NewWindow2(params);
        break;
    default:
        break;
    }
}

void IE_Class::onDocumentEvent(DISPID id, DISPPARAMS&, VARIANT* result) {
    switch (id) {
    case kOnContextMenu: {
        const bool allowed = IEDoc_oncontextmenu();
        if (result != nullptr) {
            ::VariantClear(result);
            result->vt = VT_BOOL;
            result->boolVal = allowed ? VARIANT_TRUE : VARIANT_FALSE;
        }
        break;
    }
    case kOnMouseDown:
        IEDoc_mouse(true);
        break;
    case kOnMouseUp:
        IEDoc_mouse(false);
        break;
    default:
        break;
    }
}

void IE_Class::IE_BeforeNavigate2(DISPPARAMS& params) {
    try {
        relay(popup::kNavigationBegin, params, 7);
    } catch (...) {
        // The one-shot cancel below must happen even if a listener failed.
    }
    if (popup::takeCancelNextNavigation(flags_)) {
        setByRefBool(dispArgument(params, 6), true);
    }
}

void IE_Class::IE_CommandStateChange(DISPPARAMS& params) {
    nav_.commandStateChange(readLong(dispArgument(params, 0)), readBool(dispArgument(params, 1)));
    relay(popup::kCommandStateChange, params, 2);
}

void IE_Class::IE_DocumentComplete(DISPPARAMS& params) {
    // Frames finish too; only the top-level document counts.
    VARIANT* disp = dispArgument(params, 0);
    IUnknown* object = nullptr;
    if (disp != nullptr) {
        if (disp->vt == VT_DISPATCH || disp->vt == VT_UNKNOWN) {
            object = disp->punkVal;
        } else if ((disp->vt == (VT_BYREF | VT_DISPATCH) || disp->vt == (VT_BYREF | VT_UNKNOWN)) &&
                   disp->ppunkVal != nullptr) {
            object = *disp->ppunkVal;
        }
    }
    if (sameObject(object, IE_.Get())) {
        relay(popup::kDocumentComplete, params, 2);
    }
}

void IE_Class::IE_NavigateComplete2(DISPPARAMS& params) {
    relay(popup::kNavigationComplete, params, 2);
}

void IE_Class::IE_NewWindow2(DISPPARAMS& params) {
    // ppDisp (argument 0) is left alone: no window is offered in its place.
    if (popup::IE_NewWindow2(input_, flags_)) {
        setByRefBool(dispArgument(params, 1), true);
    }
}

bool IE_Class::IEDoc_oncontextmenu() {
    try {
        DISPPARAMS none{};
        relay(popup::kContextMenu, none, 0);
    } catch (...) {
    }
    return popup::contextMenuAllowed(flags_);
}

void IE_Class::IEDoc_mouse(bool down) {
    POINT pt{};
    ::GetCursorPos(&pt);
    ::ScreenToClient(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle_)), &pt);
    const std::int16_t button = down ? buttons_.onMouseDown(input_) : buttons_.onMouseUp();
    const std::int16_t modifier = popup::mouseModifier(input_);
    const std::vector<popup::EventValue> args{std::int32_t{button}, std::int32_t{modifier},
                                              static_cast<double>(static_cast<float>(pt.x)),
                                              static_cast<double>(static_cast<float>(pt.y))};
    popup::RelayIEEvent(down ? popup::kMouseDown : popup::kMouseUp, handle_, args);
}

} // namespace tidewell::win32
