// The browser-window tracker against a scripted shell-window collection:
// order, duplicates, release of old sinks, failures and re-entrant shell
// events.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kernel/app_error.h"
#include "popup/window_tracker.h"

using namespace tidewell;
using namespace tidewell::popup;
using ::testing::ElementsAre;

namespace {

// A sink or a shell connection that counts its live instances in `live`.
struct Live : BrowserSink, EventBinding {
    Live(int& live, std::int32_t h) : live_(live), handle_(h) { ++live_; }
    ~Live() override { --live_; }
    std::int32_t IEHandle() const override { return handle_; }
    int& live_;
    std::int32_t handle_;
};

// The shell's window collection: each open() walks a snapshot of `windows`.
struct World : ShellWindowsSource {
    std::vector<std::int32_t> windows; // handles of the open browsers, in shell order
    int liveSinks = 0, maxLiveSinksWhileBuilding = 0, liveBindings = 0, opens = 0;
    bool failOpen = false;
    // Runs when the n-th sink of a walk is made (a browser call pumping messages).
    std::function<void(int walkIndex)> duringWalk = [](int) {};

    struct Session : ShellWindowsSession {
        explicit Session(World& w) : world(w), snapshot(w.windows) {}
        World& world;
        std::vector<std::int32_t> snapshot;
        std::size_t pos = 0;
        std::shared_ptr<BrowserSink> next() override {
            if (pos >= snapshot.size()) {
                return nullptr;
            }
            auto sink = std::make_shared<Live>(world.liveSinks, snapshot[pos++]);
            world.maxLiveSinksWhileBuilding =
                std::max(world.maxLiveSinksWhileBuilding, world.liveSinks);
            world.duringWalk(static_cast<int>(pos - 1));
            return sink;
        }
        std::unique_ptr<EventBinding> bindEvents() override {
            return std::make_unique<Live>(world.liveBindings, 0);
        }
    };
    std::unique_ptr<ShellWindowsSession> open() override {
        ++opens;
        if (failOpen) {
            throw AppError(-2147221164, "Class not registered");
        }
        return std::make_unique<Session>(*this);
    }
};

// The handles in list order, as "1 2 3".
std::string handles(const cIEWindows& t) {
    std::string out;
    for (const auto& s : t.NewEnum()) {
        out += (out.empty() ? "" : " ") + std::to_string(s->IEHandle());
    }
    return out;
}

// Each event with the list it saw, marked when it came during a rebuild.
struct Listener : IEWindowsEvents {
    cIEWindows* tracker = nullptr;
    std::vector<std::string> events;
    void IEWindowRegistered() override { record("registered"); }
    void IEWindowRevoked() override { record("revoked"); }
    void record(const std::string& what) {
        events.push_back(what + ": " + handles(*tracker) + (tracker->refreshing() ? " (!)" : ""));
    }
};

class Tracker : public ::testing::Test {
protected:
    World world;
    Listener listener;
    std::unique_ptr<cIEWindows> make() {
        auto t = std::make_unique<cIEWindows>(world, listener);
        listener.tracker = t.get();
        return t;
    }
};

// Shell order, duplicates dropped at once, old sinks released before new
// ones are made, and nothing left behind: no sink, connection or relay target.
TEST_F(Tracker, EveryShellEventRebuildsWithOneSinkPerHandleAndTheEndLeavesNothing) {
    world.windows = {1234, -5, 99, 1234};
    auto t = make();
    EXPECT_EQ(handles(*t), "1234 -5 99");
    EXPECT_EQ(world.liveSinks, 3);
    EXPECT_EQ(t->IE("-5")->IEHandle(), -5);
    world.maxLiveSinksWhileBuilding = 0;
    world.windows = {-5, 99, 4, 5};
    t->winShell_WindowRegistered(0);
    EXPECT_EQ(handles(*t), "-5 99 4 5");
    EXPECT_EQ(world.maxLiveSinksWhileBuilding, 4); // never old and new together
    EXPECT_EQ(world.liveBindings, 1);
    world.windows = {5};
    t->winShell_WindowRevoked(0);
    EXPECT_THAT(listener.events, ElementsAre("registered: -5 99 4 5", "revoked: 5"));
    EXPECT_EQ(eventTarget(), t.get());
    t.reset();
    EXPECT_EQ(world.liveBindings + world.liveSinks, 0);
    EXPECT_EQ(eventTarget(), nullptr);
    std::int32_t hwnd = 5;
    RelayIEEvent(kDownloadBegin, hwnd, {}); // a late browser event reaches nobody
}

TEST_F(Tracker, AShellThatCannotBeReachedGivesAnEmptyListAndNoError) {
    world.failOpen = true;
    std::unique_ptr<cIEWindows> t;
    ASSERT_NO_THROW(t = make());
    EXPECT_EQ(t->Count(), 0);
}

TEST_F(Tracker, EventsDuringAWalkNeverNestAndAreRaisedOnTheWholeList) {
    world.windows = {1, 2, 3};
    auto t = make();
    int depth = 0, maxDepth = 0, nestedCalls = 0;
    world.duringWalk = [&](int index) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (index == 1 && nestedCalls++ == 0) {
            // A window opens while the tracker is inside a call to a browser.
            world.windows.push_back(4);
            t->winShell_WindowRegistered(0);
            EXPECT_TRUE(t->refreshing());
            EXPECT_EQ(t->Count(), 0); // empty, never half-built
        }
        --depth;
    };
    const int opensBefore = world.opens;
    t->winShell_WindowRevoked(0);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(world.opens - opensBefore, 2); // one more walk, not a nested one
    EXPECT_EQ(handles(*t), "1 2 3 4");
    EXPECT_THAT(listener.events, ElementsAre("revoked: 1 2 3 4", "registered: 1 2 3 4"));
}

TEST_F(Tracker, AStormOfEventsEndsAfterABoundedNumberOfWalks) {
    world.windows = {1, 2};
    auto t = make();
    world.duringWalk = [&](int) { t->winShell_WindowRegistered(0); };
    const int opensBefore = world.opens;
    t->winShell_WindowRegistered(0);
    EXPECT_LE(world.opens - opensBefore, 8);
    EXPECT_FALSE(t->refreshing());
    EXPECT_EQ(t->Count(), 2);
}

} // namespace
