#pragma once
// cIEWindows: keeps one sink on every open browser window, rebuilt from the
// shell's window collection whenever a window registers or is revoked, and
// republishes the sinks' events to one listener (the main window).
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "popup/ie_events.h"

namespace tidewell::popup {

// What the tracker needs of a window sink.
class BrowserSink {
public:
    virtual ~BrowserSink() = default;
    // The browser's top-level window handle, recorded when the sink took it on.
    virtual std::int32_t IEHandle() const = 0;
};

// An event connection; it ends when the object is destroyed.
class EventBinding {
public:
    virtual ~EventBinding() = default;
};

// One walk over a freshly created shell-window collection.
class ShellWindowsSession {
public:
    virtual ~ShellWindowsSession() = default;
    // Wraps the next browser of the collection in a new sink (errors inside
    // the sink are its own business); nullptr at the end. Browsers that are
    // gone are skipped.
    virtual std::shared_ptr<BrowserSink> next() = 0;
    // Connects this collection's WindowRegistered/WindowRevoked to the tracker.
    virtual std::unique_ptr<EventBinding> bindEvents() = 0;
};

class ShellWindowsSource {
public:
    virtual ~ShellWindowsSource() = default;
    // Throws when the collection cannot be created.
    virtual std::unique_ptr<ShellWindowsSession> open() = 0;
};

// Key of a sink: the decimal text of its window handle.
std::string windowKey(std::int32_t handle);

class cIEWindows : public IEEventTarget {
public:
    // Becomes the relay's one tracker and builds the first list at once.
    cIEWindows(ShellWindowsSource& source, IEWindowsEvents& listener);
    ~cIEWindows() override;
    cIEWindows(const cIEWindows&) = delete;
    cIEWindows& operator=(const cIEWindows&) = delete;

    // By 1-based position or by key; a missing entry throws AppError 9 / 5.
    std::shared_ptr<BrowserSink> IE(std::int32_t position) const;
    std::shared_ptr<BrowserSink> IE(const std::string& key) const;
    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(mCol_.size()); }
    // The sinks in insertion order. A copy: a rebuild during the caller's
    // walk cannot pull entries from under it.
    std::vector<std::shared_ptr<BrowserSink>> NewEnum() const;

    // The shell-window events (the cookie is not used).
    void winShell_WindowRegistered(std::int32_t lCookie);
    void winShell_WindowRevoked(std::int32_t lCookie);

    void RaiseIEEvent(std::int32_t code, std::int32_t& hwnd,
                      std::vector<EventValue>& array) override;

    bool refreshing() const noexcept { return bRefreshing_; }
    // How many walks of the collection have run (for tests and the benchmark).
    std::uint64_t rebuildCount() const noexcept { return rebuilds_; }

    void RefreshList();

private:
    using Collection = std::vector<std::pair<std::string, std::shared_ptr<BrowserSink>>>;
    enum class Change { Registered, Revoked };
    void shellChanged(Change change);
    void rebuildOnce();
    static void Add(Collection& col, std::unordered_map<std::string, std::size_t>& index,
                    std::shared_ptr<BrowserSink> sink);
    void raisePendingChanges();

    ShellWindowsSource& source_;
    IEWindowsEvents& listener_;
    Collection mCol_;
    std::unordered_map<std::string, std::size_t> index_;
    std::unique_ptr<EventBinding> winShell_;
    bool bRefreshing_ = false;
    bool rebuildAgain_ = false;
    bool raising_ = false;
    std::deque<Change> pendingChanges_;
    std::uint64_t rebuilds_ = 0;
};

} // namespace tidewell::popup
