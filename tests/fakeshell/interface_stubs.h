#pragma once
// Every method of the browser, document and collection interfaces, failing
// with E_NOTIMPL; the fakes override the few the program calls.
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>

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

class HTMLDocument2Stub : public IHTMLDocument2 {
public:
    FAKE_NI(get_Script, IDispatch**) FAKE_NI(get_all, IHTMLElementCollection**)
    FAKE_NI(get_images, IHTMLElementCollection**) FAKE_NI(get_applets, IHTMLElementCollection**)
    FAKE_NI(get_links, IHTMLElementCollection**) FAKE_NI(get_forms, IHTMLElementCollection**)
    FAKE_NI(get_anchors, IHTMLElementCollection**) FAKE_NI(get_scripts, IHTMLElementCollection**)
    FAKE_NI(get_embeds, IHTMLElementCollection**) FAKE_NI(get_plugins, IHTMLElementCollection**)
    FAKE_NI(get_body, IHTMLElement**) FAKE_NI(get_activeElement, IHTMLElement**)
    FAKE_NI(get_selection, IHTMLSelectionObject**) FAKE_NI(get_frames, IHTMLFramesCollection2**)
    FAKE_NI(get_location, IHTMLLocation**) FAKE_NI(get_parentWindow, IHTMLWindow2**)
    FAKE_NI(get_styleSheets, IHTMLStyleSheetsCollection**)
    FAKE_NI(get_readyState, BSTR*) FAKE_NI(get_referrer, BSTR*) FAKE_NI(get_lastModified, BSTR*)
    FAKE_NI(get_mimeType, BSTR*) FAKE_NI(get_fileSize, BSTR*) FAKE_NI(get_fileCreatedDate, BSTR*)
    FAKE_NI(get_fileModifiedDate, BSTR*) FAKE_NI(get_fileUpdatedDate, BSTR*)
    FAKE_NI(get_security, BSTR*) FAKE_NI(get_protocol, BSTR*) FAKE_NI(get_nameProp, BSTR*)
    FAKE_NI(toString, BSTR*)
    FAKE_NI_PROP(title, BSTR) FAKE_NI_PROP(designMode, BSTR) FAKE_NI_PROP(URL, BSTR)
    FAKE_NI_PROP(domain, BSTR) FAKE_NI_PROP(cookie, BSTR) FAKE_NI_PROP(charset, BSTR)
    FAKE_NI_PROP(defaultCharset, BSTR) FAKE_NI_PROP(expando, VARIANT_BOOL)
    FAKE_NI_PROP(alinkColor, VARIANT) FAKE_NI_PROP(bgColor, VARIANT) FAKE_NI_PROP(fgColor, VARIANT)
    FAKE_NI_PROP(linkColor, VARIANT) FAKE_NI_PROP(vlinkColor, VARIANT)
    FAKE_NI_PROP(onhelp, VARIANT) FAKE_NI_PROP(onclick, VARIANT) FAKE_NI_PROP(ondblclick, VARIANT)
    FAKE_NI_PROP(onkeyup, VARIANT) FAKE_NI_PROP(onkeydown, VARIANT)
    FAKE_NI_PROP(onkeypress, VARIANT) FAKE_NI_PROP(onmouseup, VARIANT)
    FAKE_NI_PROP(onmousedown, VARIANT) FAKE_NI_PROP(onmousemove, VARIANT)
    FAKE_NI_PROP(onmouseout, VARIANT) FAKE_NI_PROP(onmouseover, VARIANT)
    FAKE_NI_PROP(onreadystatechange, VARIANT) FAKE_NI_PROP(onafterupdate, VARIANT)
    FAKE_NI_PROP(onrowexit, VARIANT) FAKE_NI_PROP(onrowenter, VARIANT)
    FAKE_NI_PROP(ondragstart, VARIANT) FAKE_NI_PROP(onselectstart, VARIANT)
    FAKE_NI_PROP(onbeforeupdate, VARIANT) FAKE_NI_PROP(onerrorupdate, VARIANT)
    FAKE_NI(write, SAFEARRAY*) FAKE_NI(writeln, SAFEARRAY*) FAKE_NI(close) FAKE_NI(clear)
    FAKE_NI(open, BSTR, VARIANT, VARIANT, VARIANT, IDispatch**)
    FAKE_NI(queryCommandSupported, BSTR, VARIANT_BOOL*)
    FAKE_NI(queryCommandEnabled, BSTR, VARIANT_BOOL*)
    FAKE_NI(queryCommandState, BSTR, VARIANT_BOOL*)
    FAKE_NI(queryCommandIndeterm, BSTR, VARIANT_BOOL*) FAKE_NI(queryCommandText, BSTR, BSTR*)
    FAKE_NI(queryCommandValue, BSTR, VARIANT*)
    FAKE_NI(execCommand, BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*)
    FAKE_NI(execCommandShowHelp, BSTR, VARIANT_BOOL*) FAKE_NI(createElement, BSTR, IHTMLElement**)
    FAKE_NI(elementFromPoint, LONG, LONG, IHTMLElement**)
    FAKE_NI(createStyleSheet, BSTR, LONG, IHTMLStyleSheet**)
};
// clang-format on

} // namespace fakeshell
