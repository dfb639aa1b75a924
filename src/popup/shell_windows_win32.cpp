#include "popup/shell_windows_win32.h"

#include <exdisp.h>
#include <exdispid.h>

#include "win32/unique_com.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

namespace {
class ShellBinding : public popup::EventBinding {
public:
    ShellBinding(ComPtr<DispatchSink> sink, EventConnection connection)
        : sink_(std::move(sink)), connection_(std::move(connection)) {}
    ~ShellBinding() override {
        sink_->detach();
        connection_.disconnect();
    }

private:
    ComPtr<DispatchSink> sink_;
    EventConnection connection_;
};
} // namespace

class ShellWindowsTracker::Session : public popup::ShellWindowsSession {
public:
    Session(ShellWindowsTracker& owner, ComPtr<IShellWindows> windows, ComPtr<IEnumVARIANT> items)
        : owner_(owner), windows_(std::move(windows)), items_(std::move(items)) {}

    std::shared_ptr<popup::BrowserSink> next() override {
        for (;;) {
            ComPtr<IWebBrowser2> browser;
            {
                UniqueVariant item;
                ULONG fetched = 0;
                if (items_->Next(1, item.put(), &fetched) != S_OK || fetched == 0) {
                    return nullptr;
                }
                const VARIANT& v = *item.get();
                if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal != nullptr) {
                    v.punkVal->QueryInterface(IID_PPV_ARGS(&browser));
                }
            }
            if (!browser) {
                continue; // not a browser window
            }
            auto sink = std::make_shared<IE_Class>(owner_.input_, owner_.flags_);
            sink->IEctl(browser.Get());
            if (sink->browserGone()) {
                continue; // its process ended: no sink, no row
            }
            return sink;
        }
    }

    std::unique_ptr<popup::EventBinding> bindEvents() override {
        ShellWindowsTracker* owner = &owner_;
        ComPtr<DispatchSink> sink = DispatchSink::create(
            DIID_DShellWindowsEvents,
            [owner](DISPID id, DISPPARAMS&, VARIANT*) { owner->shellEvent(id); });
        EventConnection connection(windows_.Get(), DIID_DShellWindowsEvents, sink.Get());
        return std::make_unique<ShellBinding>(std::move(sink), std::move(connection));
    }

private:
    ShellWindowsTracker& owner_;
    ComPtr<IShellWindows> windows_;
    ComPtr<IEnumVARIANT> items_;
};

ShellWindowsTracker::ShellWindowsTracker(popup::IEWindowsEvents& listener, popup::InputPort& input,
                                         popup::PopupFlags& flags)
    : input_(input), flags_(flags) {
    tracker_ = std::make_unique<popup::cIEWindows>(static_cast<popup::ShellWindowsSource&>(*this),
                                                   listener);
    if (missedWhileStarting_) {
        missedWhileStarting_ = false;
        tracker_->RefreshList();
    }
}

ShellWindowsTracker::~ShellWindowsTracker() {
    // Releasing the sinks may pump messages: a late shell event must not
    // start a rebuild of a tracker that is going away.
    closing_ = true;
    tracker_.reset();
}

std::unique_ptr<popup::ShellWindowsSession> ShellWindowsTracker::open() {
    ComPtr<IShellWindows> windows;
    checkHr(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&windows)));
    ComPtr<IUnknown> enumerator;
    checkHr(windows->_NewEnum(&enumerator));
    if (!enumerator) {
        checkHr(E_POINTER);
    }
    ComPtr<IEnumVARIANT> items;
    checkHr(enumerator.As(&items));
    return std::make_unique<Session>(*this, std::move(windows), std::move(items));
}

void ShellWindowsTracker::shellEvent(DISPID id) {
    if (id != DISPID_WINDOWREGISTERED && id != DISPID_WINDOWREVOKED) {
        return;
    }
    if (closing_) {
        return;
    }
    if (!tracker_) {
        missedWhileStarting_ = true;
        return;
    }
    if (id == DISPID_WINDOWREGISTERED) {
        tracker_->winShell_WindowRegistered(0);
    } else {
        tracker_->winShell_WindowRevoked(0);
    }
}

} // namespace tidewell::win32
