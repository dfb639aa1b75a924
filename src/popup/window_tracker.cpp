#include "popup/window_tracker.h"

#include "kernel/app_error.h"

namespace tidewell::popup {

namespace {
// A window set that keeps changing while it is being walked gets a few more
// walks, never an endless loop; the next shell event starts a fresh one.
constexpr int kMaxWalksPerRefresh = 8;
} // namespace

std::string windowKey(std::int32_t handle) {
    return std::to_string(handle);
}

cIEWindows::cIEWindows(ShellWindowsSource& source, IEWindowsEvents& listener)
    : source_(source), listener_(listener) {
    setEventTarget(this);
    RefreshList();
}

cIEWindows::~cIEWindows() {
    // Sinks first (they unadvise from their browsers), then the shell connection.
    Collection old;
    old.swap(mCol_);
    index_.clear();
    old.clear();
    winShell_.reset();
    if (eventTarget() == this) {
        setEventTarget(nullptr);
    }
}

std::shared_ptr<BrowserSink> cIEWindows::IE(std::int32_t position) const {
    if (position < 1 || position > Count()) {
        throw AppError(9, "Subscript out of range");
    }
    return mCol_[static_cast<std::size_t>(position - 1)].second;
}

std::shared_ptr<BrowserSink> cIEWindows::IE(const std::string& key) const {
    auto it = index_.find(key);
    if (it == index_.end()) {
        throw AppError(errors::InvalidArgument, "Invalid procedure call or argument");
    }
    return mCol_[it->second].second;
}

std::vector<std::shared_ptr<BrowserSink>> cIEWindows::NewEnum() const {
    std::vector<std::shared_ptr<BrowserSink>> sinks;
    sinks.reserve(mCol_.size());
    for (const auto& entry : mCol_) {
        sinks.push_back(entry.second);
    }
    return sinks;
}

void cIEWindows::Add(Collection& col, std::unordered_map<std::string, std::size_t>& index,
                     std::shared_ptr<BrowserSink> sink) {
    if (!sink) {
        return;
    }
    std::string key = windowKey(sink->IEHandle());
    // The first browser seen with a handle keeps its sink; a duplicate is
    // dropped (and detaches) here.
    if (index.emplace(key, col.size()).second) {
        col.emplace_back(std::move(key), std::move(sink));
    }
}

void cIEWindows::rebuildOnce() {
    ++rebuilds_;
    // Old sinks go first, so that no browser ever has two; meanwhile the
    // collection is empty, never half-built.
    {
        Collection old;
        old.swap(mCol_);
        index_.clear();
    }
    Collection next;
    std::unordered_map<std::string, std::size_t> nextIndex;
    std::unique_ptr<EventBinding> binding;
    try {
        std::unique_ptr<ShellWindowsSession> session = source_.open();
        while (std::shared_ptr<BrowserSink> sink = session->next()) {
            Add(next, nextIndex, std::move(sink));
        }
        binding = session->bindEvents();
    } catch (...) {
        // No failure of the tracker reaches the user: what was walked is kept.
    }
    mCol_ = std::move(next);
    index_ = std::move(nextIndex);
    if (binding) {
        winShell_ = std::move(binding);
    }
}

void cIEWindows::RefreshList() {
    if (bRefreshing_) {
        // Entered again through the message loop: the running rebuild walks
        // once more when it is done instead of nesting.
        rebuildAgain_ = true;
        return;
    }
    bRefreshing_ = true;
    int walks = 0;
    do {
        rebuildAgain_ = false;
        rebuildOnce();
    } while (rebuildAgain_ && ++walks < kMaxWalksPerRefresh);
    rebuildAgain_ = false;
    bRefreshing_ = false;
    // Shell events that came in meanwhile are raised now that the list is
    // whole; while the listener runs, a nested change only queues.
    if (!raising_) {
        raisePendingChanges();
    }
}

void cIEWindows::shellChanged(Change change) {
    pendingChanges_.push_back(change);
    RefreshList();
}

void cIEWindows::raisePendingChanges() {
    raising_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{raising_};
    while (!pendingChanges_.empty()) {
        const Change change = pendingChanges_.front();
        pendingChanges_.pop_front();
        if (change == Change::Registered) {
            listener_.IEWindowRegistered();
        } else {
            listener_.IEWindowRevoked();
        }
    }
}

void cIEWindows::winShell_WindowRegistered(std::int32_t) {
    shellChanged(Change::Registered);
}

void cIEWindows::winShell_WindowRevoked(std::int32_t) {
    shellChanged(Change::Revoked);
}

void cIEWindows::RaiseIEEvent(std::int32_t code, std::int32_t& hwnd,
                              std::vector<EventValue>& array) {
    popup::RaiseIEEvent(listener_, code, hwnd, array);
}

} // namespace tidewell::popup
