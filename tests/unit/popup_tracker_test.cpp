// The browser-window tracker against a scripted shell-window collection:
// keys, order, duplicates, release of old sinks, failures and re-entrant
// shell events.
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

namespace {

struct World {
    std::vector<std::int32_t> windows; // handles of the open browsers, in shell order
    int liveSinks = 0;
    int maxLiveSinksWhileBuilding = 0;
    int liveBindings = 0;
    int opens = 0;
    bool failOpen = false;
    // Runs when the n-th sink of a walk is made (a browser call pumping messages).
    std::function<void(int walkIndex)> duringWalk;
};

// A double that counts its live instances in `live`.
template <class Base> class Counted : public Base {
public:
    explicit Counted(int& live) : live_(live) { ++live_; }
    ~Counted() override { --live_; }

private:
    int& live_;
};

class FakeSink : public Counted<BrowserSink> {
public:
    FakeSink(World& w, std::int32_t h) : Counted(w.liveSinks), handle_(h) {}
    std::int32_t IEHandle() const override { return handle_; }

private:
    std::int32_t handle_;
};

class FakeSession : public ShellWindowsSession {
public:
    explicit FakeSession(World& w) : world_(w), snapshot_(w.windows) {}
    std::shared_ptr<BrowserSink> next() override {
        if (pos_ >= snapshot_.size()) {
            return nullptr;
        }
        const int index = static_cast<int>(pos_);
        auto sink = std::make_shared<FakeSink>(world_, snapshot_[pos_++]);
        world_.maxLiveSinksWhileBuilding =
            std::max(world_.maxLiveSinksWhileBuilding, world_.liveSinks);
        if (world_.duringWalk) {
            world_.duringWalk(index);
        }
        return sink;
    }
    std::unique_ptr<EventBinding> bindEvents() override {
        return std::make_unique<Counted<EventBinding>>(world_.liveBindings);
    }

private:
    World& world_;
    std::vector<std::int32_t> snapshot_;
    std::size_t pos_ = 0;
};

struct FakeSource : ShellWindowsSource {
    World& world;
    explicit FakeSource(World& w) : world(w) {}
    std::unique_ptr<ShellWindowsSession> open() override {
        ++world.opens;
        if (world.failOpen) {
            throw AppError(-2147221164, "Class not registered");
        }
        return std::make_unique<FakeSession>(world);
    }
};

auto failsWith(long number) {
    return ::testing::Throws<AppError>(::testing::Property(&AppError::number, number));
}

std::vector<std::int32_t> handles(const cIEWindows& t) {
    std::vector<std::int32_t> out;
    for (const auto& s : t.NewEnum()) {
        out.push_back(s->IEHandle());
    }
    return out;
}

class Listener : public IEWindowsEvents {
public:
    cIEWindows* tracker = nullptr;
    std::vector<std::string> events;
    std::vector<std::vector<std::int32_t>> seen; // the list each event saw
    bool refreshingSeen = false;
    std::function<void()> onEvent;
    void IEWindowRegistered() override { record("registered"); }
    void IEWindowRevoked() override { record("revoked"); }

private:
    void record(const char* what) {
        events.push_back(what);
        if (tracker != nullptr) {
            seen.push_back(handles(*tracker));
            refreshingSeen = refreshingSeen || tracker->refreshing();
        }
        if (onEvent) {
            onEvent();
        }
    }
};

class Tracker : public ::testing::Test {
protected:
    World world;
    FakeSource source{world};
    Listener listener;
    std::unique_ptr<cIEWindows> make() {
        auto t = std::make_unique<cIEWindows>(source, listener);
        listener.tracker = t.get();
        return t;
    }
};

TEST_F(Tracker, KeysAreDecimalHandlesInShellOrderAndDuplicatesAreDropped) {
    world.windows = {1234, -5, 99, 1234, 7};
    auto t = make();
    EXPECT_EQ(t->Count(), 4);
    EXPECT_EQ(handles(*t), (std::vector<std::int32_t>{1234, -5, 99, 7}));
    EXPECT_EQ(world.liveSinks, 4); // the duplicate's sink was released at once
    EXPECT_EQ(t->IE("1234")->IEHandle(), 1234);
    EXPECT_EQ(t->IE("-5")->IEHandle(), -5);
    EXPECT_EQ(t->IE(3)->IEHandle(), 99);
    EXPECT_EQ(listItemKey(-5), "-5K");
    EXPECT_THAT([&] { t->IE("0099"); }, failsWith(errors::InvalidArgument)) << "keys are exact";
    EXPECT_THAT([&] { t->IE(0); }, failsWith(9)) << "positions count from 1";
    EXPECT_THAT([&] { t->IE(5); }, failsWith(9));
    EXPECT_EQ(world.liveBindings, 1);
    EXPECT_EQ(eventTarget(), t.get());
    t.reset();
    EXPECT_EQ(eventTarget(), nullptr);
    EXPECT_EQ(world.liveBindings, 0);
    EXPECT_EQ(world.liveSinks, 0);
}

TEST_F(Tracker, EveryShellEventRebuildsReleasingOldSinksFirst) {
    world.windows = {1, 2, 3};
    auto t = make();
    world.maxLiveSinksWhileBuilding = 0;
    world.windows = {2, 3, 4, 5};
    t->winShell_WindowRegistered(0);
    EXPECT_EQ(handles(*t), (std::vector<std::int32_t>{2, 3, 4, 5}));
    EXPECT_EQ(world.liveSinks, 4);
    EXPECT_EQ(world.maxLiveSinksWhileBuilding, 4); // never old and new together
    EXPECT_EQ(world.liveBindings, 1);
    world.windows = {5};
    t->winShell_WindowRevoked(0);
    EXPECT_EQ(handles(*t), (std::vector<std::int32_t>{5}));
    EXPECT_EQ(listener.events, (std::vector<std::string>{"registered", "revoked"}));
    EXPECT_EQ(listener.seen, (std::vector<std::vector<std::int32_t>>{{2, 3, 4, 5}, {5}}));
    EXPECT_FALSE(listener.refreshingSeen);
}

TEST_F(Tracker, AShellThatCannotBeReachedGivesAnEmptyListAndNoError) {
    world.failOpen = true;
    std::unique_ptr<cIEWindows> t;
    ASSERT_NO_THROW(t = make());
    EXPECT_EQ(t->Count(), 0);
    world.failOpen = false;
    world.windows = {8};
    t->winShell_WindowRegistered(0);
    EXPECT_EQ(handles(*t), std::vector<std::int32_t>{8});
    // A later failure empties the list but keeps the old connection.
    world.failOpen = true;
    t->winShell_WindowRevoked(0);
    EXPECT_EQ(t->Count(), 0);
    EXPECT_EQ(world.liveBindings, 1);
    EXPECT_EQ(world.liveSinks, 0);
}

TEST_F(Tracker, EventsDuringAWalkNeverNestAndAreRaisedOnTheWholeList) {
    world.windows = {1, 2, 3};
    auto t = make();
    int depth = 0, maxDepth = 0;
    int nestedCalls = 0;
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
    EXPECT_EQ(handles(*t), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(listener.events, (std::vector<std::string>{"revoked", "registered"}));
    for (const auto& list : listener.seen) {
        EXPECT_EQ(list, (std::vector<std::int32_t>{1, 2, 3, 4}));
    }
    EXPECT_FALSE(listener.refreshingSeen);
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
