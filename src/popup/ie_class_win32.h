#pragma once
// IE_Class: the sink on one browser window. It forwards the browser's and its
// document's events to the tracker and refuses new-window requests while the
// popup killer is on.
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>

#include <cstdint>

#include "popup/com_events_win32.h"
#include "popup/popup_rules.h"
#include "popup/window_tracker.h"

namespace tidewell::win32 {

// Key state and the tone, from the machine.
class Win32Input : public popup::InputPort {
public:
    std::int16_t asyncKeyState(int virtualKey) override;
    void beep(unsigned hertz, unsigned milliseconds) override;
};

class IE_Class : public popup::BrowserSink {
public:
    IE_Class(popup::InputPort& input, popup::PopupFlags& flags) noexcept
        : input_(input), flags_(flags) {}
    ~IE_Class() override;
    IE_Class(const IE_Class&) = delete;
    IE_Class& operator=(const IE_Class&) = delete;

    bool EnableForward() const noexcept { return nav_.EnableForward; }
    bool EnableBack() const noexcept { return nav_.EnableBack; }
    // Takes on a browser; every step is tolerant of failure.
    void IEctl(IWebBrowser2* IncomeIE);
    IWebBrowser2* IEctl() const noexcept { return IE_.Get(); }
    std::int32_t IEHandle() const override { return handle_; }

    // The browser's process or proxy was gone when the sink took it on.
    bool browserGone() const noexcept { return gone_; }
    bool browserEventsBound() const noexcept { return browserConnection_.connected(); }
    bool documentEventsBound() const noexcept { return documentConnection_.connected(); }

private:
    void onBrowserEvent(DISPID id, DISPPARAMS& params, VARIANT* result);
    void onDocumentEvent(DISPID id, DISPPARAMS& params, VARIANT* result);
    void IE_BeforeNavigate2(DISPPARAMS& params);
    void IE_CommandStateChange(DISPPARAMS& params);
    void IE_DocumentComplete(DISPPARAMS& params);
    void IE_NavigateComplete2(DISPPARAMS& params);
    void IE_NewWindow2(DISPPARAMS& params);
    bool IEDoc_oncontextmenu();
    void IEDoc_mouse(bool down);
    void relay(std::int32_t code, DISPPARAMS& params, UINT count);

    popup::InputPort& input_;
    popup::PopupFlags& flags_;
    ComPtr<IWebBrowser2> IE_;
    ComPtr<IHTMLDocument2> IEDoc_;
    ComPtr<DispatchSink> browserSink_;
    ComPtr<DispatchSink> documentSink_;
    EventConnection browserConnection_;
    EventConnection documentConnection_;
    std::int32_t handle_ = 0;
    bool gone_ = false;
    popup::NavigationState nav_;
    popup::MouseButtons buttons_;
};

} // namespace tidewell::win32
