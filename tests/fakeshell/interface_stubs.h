#pragma once
// Every method of the browser and collection interfaces, failing
// with E_NOTIMPL; the fakes override the few the program calls.
#include <windows.h>
#include <exdisp.h>

// One method, or a property's get and put, that is not implemented.
#define FAKE_NI(name, ...)                                                                         \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override {                                         \
        return E_NOTIMPL;                                                                          \
    }
#define FAKE_NI_PROP(name, type) FAKE_NI(get_##name, type*) FAKE_NI(put_##name, type)

namespace fakeshell {

// clang-format off
class WebBrowser2Stub : public IWebBrowser2 {
public:
    FAKE_NI(GoBack) FAKE_NI(GoForward) FAKE_NI(GoHome) FAKE_NI(GoSearch) FAKE_NI(Refresh)
    FAKE_NI(Stop) FAKE_NI(Quit) FAKE_NI(Refresh2, VARIANT*)
    FAKE_NI(Navigate, BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
    FAKE_NI(Navigate2, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
    FAKE_NI(get_Application, IDispatch**) FAKE_NI(get_Parent, IDispatch**)
    FAKE_NI(get_Container, IDispatch**) FAKE_NI(get_Document, IDispatch**)
    FAKE_NI(get_TopLevelContainer, VARIANT_BOOL*) FAKE_NI(get_Busy, VARIANT_BOOL*)
    FAKE_NI(get_Type, BSTR*) FAKE_NI(get_LocationName, BSTR*) FAKE_NI(get_LocationURL, BSTR*)
    FAKE_NI(get_Name, BSTR*) FAKE_NI(get_FullName, BSTR*) FAKE_NI(get_Path, BSTR*)
    FAKE_NI(get_HWND, SHANDLE_PTR*) FAKE_NI(get_ReadyState, READYSTATE*)
    FAKE_NI_PROP(Left, LONG) FAKE_NI_PROP(Top, LONG) FAKE_NI_PROP(Width, LONG)
    FAKE_NI_PROP(Height, LONG) FAKE_NI_PROP(StatusText, BSTR) FAKE_NI_PROP(ToolBar, int)
    FAKE_NI(ClientToWindow, int*, int*) FAKE_NI(PutProperty, BSTR, VARIANT)
    FAKE_NI(GetProperty, BSTR, VARIANT*) FAKE_NI(QueryStatusWB, OLECMDID, OLECMDF*)
    FAKE_NI(ExecWB, OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*)
    FAKE_NI(ShowBrowserBar, VARIANT*, VARIANT*, VARIANT*)
    FAKE_NI_PROP(Visible, VARIANT_BOOL) FAKE_NI_PROP(StatusBar, VARIANT_BOOL)
    FAKE_NI_PROP(MenuBar, VARIANT_BOOL) FAKE_NI_PROP(FullScreen, VARIANT_BOOL)
    FAKE_NI_PROP(Offline, VARIANT_BOOL) FAKE_NI_PROP(Silent, VARIANT_BOOL)
    FAKE_NI_PROP(RegisterAsBrowser, VARIANT_BOOL) FAKE_NI_PROP(RegisterAsDropTarget, VARIANT_BOOL)
    FAKE_NI_PROP(TheaterMode, VARIANT_BOOL) FAKE_NI_PROP(AddressBar, VARIANT_BOOL)
    FAKE_NI_PROP(Resizable, VARIANT_BOOL)
};

class ShellWindowsStub : public IShellWindows {
public:
    FAKE_NI(get_Count, LONG*) FAKE_NI(Item, VARIANT, IDispatch**) FAKE_NI(_NewEnum, IUnknown**)
    FAKE_NI(Register, IDispatch*, LONG, int, LONG*)
    FAKE_NI(RegisterPending, LONG, VARIANT*, VARIANT*, int, LONG*) FAKE_NI(Revoke, LONG)
    FAKE_NI(OnNavigate, LONG, VARIANT*) FAKE_NI(OnActivated, LONG, VARIANT_BOOL)
    FAKE_NI(FindWindowSW, VARIANT*, VARIANT*, int, LONG*, int, IDispatch**)
    FAKE_NI(OnCreated, LONG, IUnknown*) FAKE_NI(ProcessAttachDetach, VARIANT_BOOL)
};

// clang-format on

} // namespace fakeshell
