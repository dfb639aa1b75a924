// The popup killer's pure parts: the new-window decision, the mouse rules,
// the forward probe's one-shot flag, the switch and the relay's arrays.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "kernel/app_error.h"
#include "memory_store.h"
#include "popup/ie_events.h"
#include "popup/popup_rules.h"
#include "popup/popup_switch.h"
#include "popup_fakes.h"

using namespace tidewell;
using namespace tidewell::popup;
using testing_popup::FakeInput;
using testing_popup::RecordingListener;

namespace {

constexpr std::int16_t kDown = static_cast<std::int16_t>(0x8000);
constexpr std::int16_t kPressedSince = 1;

TEST(PopupDecision, CancelsWithOneToneOnlyWhenActiveAndCtrlUp) {
    using Beeps = std::vector<std::pair<unsigned, unsigned>>;
    const struct Row {
        const char* name;
        bool active;
        int key; // the one key held
        std::int16_t state;
        bool cancels;
        std::size_t ctrlReads; // a held Ctrl is read again to consume its "pressed since" bit
    } rows[] = {
        {"active", true, 0, 0, true, 1},
        {"off", false, 0, 0, false, 1},
        {"Ctrl down", true, 0x11, kDown, false, 2},
        {"Ctrl pressed since", true, 0x11, kPressedSince, false, 2},
        {"Ctrl down and pressed since", true, 0x11, static_cast<std::int16_t>(kDown | 1), false, 2},
        {"Shift is no Ctrl", true, 0x10, kDown, true, 1},
        {"Alt is no Ctrl", true, 0x12, kDown, true, 1},
    };
    for (const Row& row : rows) {
        PopupFlags flags;
        flags.gPopupKillerActive = row.active;
        FakeInput input;
        input.state[row.key] = row.state;
        EXPECT_EQ(IE_NewWindow2(input, flags), row.cancels) << row.name;
        EXPECT_EQ(input.reads, std::vector<int>(row.ctrlReads, 0x11)) << row.name;
        EXPECT_EQ(input.beeps, (row.cancels ? Beeps{{950u, 150u}} : Beeps{})) << row.name;
    }
}

TEST(PopupMouse, ModifierIsOneValueAltOverCtrlOverShift) {
    struct Case {
        bool shift, ctrl, alt;
        std::int16_t expected;
    } cases[] = {{false, false, false, 0}, {true, false, false, 1}, {false, true, false, 2},
                 {true, true, false, 2},   {false, true, true, 4},  {true, false, true, 4},
                 {true, true, true, 4},    {false, false, true, 4}};
    for (const Case& c : cases) {
        FakeInput input;
        // "Pressed since" alone counts as held for the modifier.
        input.state[0x10] = c.shift ? kPressedSince : 0;
        input.state[0x11] = c.ctrl ? kDown : 0;
        input.state[0x12] = c.alt ? kDown : 0;
        EXPECT_EQ(mouseModifier(input), c.expected) << c.shift << c.ctrl << c.alt;
    }
}

TEST(PopupMouse, UpReportsTheButtonTheDownSaw) {
    MouseButtons buttons;
    FakeInput left;
    left.state[0x01] = kDown;
    EXPECT_EQ(buttons.onMouseDown(left), 1);
    EXPECT_EQ(buttons.onMouseUp(), 1);
    // An up without a down counts as the right button: the left one was cleared.
    EXPECT_EQ(buttons.onMouseUp(), 2);

    // Only the top bit means "down now": a left press already released is a right click.
    FakeInput right;
    right.state[0x01] = kPressedSince;
    EXPECT_EQ(buttons.onMouseDown(right), 2);
    EXPECT_EQ(buttons.onMouseUp(), 2);
}

TEST(PopupNavigation, SucceededProbeCancelsOnlyTheNextNavigationOrMenu) {
    PopupFlags flags;
    NavigationState nav;
    beginForwardProbe(flags);
    EXPECT_TRUE(endForwardProbe(flags, nav, true)); // stop the download
    EXPECT_TRUE(flags.gCancelNextNavigation);
    EXPECT_TRUE(takeCancelNextNavigation(flags));
    EXPECT_FALSE(takeCancelNextNavigation(flags)); // one shot
    EXPECT_TRUE(contextMenuAllowed(flags));

    beginForwardProbe(flags);
    endForwardProbe(flags, nav, true);
    EXPECT_FALSE(contextMenuAllowed(flags)); // the menu came first
    EXPECT_FALSE(takeCancelNextNavigation(flags));

    // A probe whose navigation was already cancelled during GoForward stays clear.
    beginForwardProbe(flags);
    EXPECT_TRUE(takeCancelNextNavigation(flags));
    EXPECT_TRUE(endForwardProbe(flags, nav, true));
    EXPECT_FALSE(flags.gCancelNextNavigation);
}

// ---- Switch ----------------------------------------------------------------

struct FakeSwitchView : PopupSwitchView {
    int box = 0;
    bool mark = false;
    int checkBoxValue() override { return box; }
    void setCheckBoxValue(int v) override { box = v; }
    bool menuChecked() override { return mark; }
    void setMenuChecked(bool c) override { mark = c; }
};

struct SwitchRig {
    testing_store::MemoryStore store;
    FakeSwitchView view;
    PopupFlags flags;
    PopupKillerSwitch sw{store, view, flags};
    // Box, menu mark, switch and the values stored, as "1 1 1 1".
    std::string state() const {
        std::string values;
        for (const auto& w : store.written)
            values += w.substr(w.find('=') + 1);
        return std::to_string(view.box) + " " + std::to_string(view.mark) + " " +
               std::to_string(flags.gPopupKillerActive) + " " + values;
    }
};

// A stored "0" starts off; anything else, or nothing, starts on and stores
// "1". Box, menu and store then stay in step whichever is clicked.
TEST(PopupSwitch, StoredZeroIsOffOtherwiseOnAndBoxAndMenuStayInStep) {
    for (const char* stored : {"", "1", "00", " 0", "yes", "-1", "0"}) {
        SwitchRig rig;
        rig.store.entry(kSwitchSection, kSwitchKey) = stored;
        rig.sw.loadAtStartup();
        rig.sw.markMenuAtEndOfLoad();
        EXPECT_EQ(rig.state(), stored == std::string("0") ? "0 0 0 " : "1 1 1 1") << stored;
    }
    SwitchRig rig;
    rig.sw.loadAtStartup(); // first run
    rig.sw.markMenuAtEndOfLoad();
    EXPECT_EQ(rig.state(), "1 1 1 1");
    rig.view.box = 0; // the user unticks the box
    rig.sw.chkPopupKillerActivate_Click();
    EXPECT_EQ(rig.state(), "0 0 0 10");
    // From the tray: the menu stores, then the box's own click stores the
    // same value again.
    rig.sw.mnuPoupKiller_Click();
    EXPECT_EQ(rig.state(), "1 1 1 1011");
    rig.sw.mnuPoupKiller_Click();
    EXPECT_EQ(rig.state(), "0 0 0 101100");
    EXPECT_EQ(rig.store.stored(kSwitchSection, kSwitchKey), "0");
}

// ---- Relay -----------------------------------------------------------------

TEST(PopupRelay, BadValuesFailWithTheClassicNumbers) {
    using ::testing::Property;
    using ::testing::Throws;
    EXPECT_THAT([] { (void)toInt16(EventValue{std::int32_t{40000}}); },
                Throws<AppError>(Property(&AppError::number, errors::Overflow)));
    EXPECT_THAT([] { (void)toInt16(EventValue{std::string("left")}); },
                Throws<AppError>(Property(&AppError::number, errors::TypeMismatch)));
    EXPECT_THAT([] { (void)toObject(EventValue{std::int32_t{1}}); },
                Throws<AppError>(Property(&AppError::number, errors::TypeMismatch)));
    EXPECT_EQ(toInt16(EventValue{true}), -1);
    EXPECT_EQ(toInt32(EventValue{2.5}), 2); // rounds half to even
    EXPECT_EQ(toInt32(EventValue{3.5}), 4);
    EXPECT_TRUE(toBool(EventValue{std::string("True")}));
    EXPECT_FALSE(toBool(EventValue{}));
}

TEST(PopupRelay, ReachesTheOneTargetAndNothingWithoutOne) {
    struct Target : IEEventTarget {
        RecordingListener l;
        void RaiseIEEvent(std::int32_t code, std::int32_t& hwnd,
                          std::vector<EventValue>& a) override {
            popup::RaiseIEEvent(l, code, hwnd, a);
        }
    } target;
    IEEventTarget* before = eventTarget();
    setEventTarget(&target);
    std::int32_t hwnd = 77;
    RelayIEEvent(3, hwnd, {});
    RelayIEEvent(0, hwnd, {});
    EXPECT_EQ(target.l.calls, std::vector<std::string>{"dlbegin"});
    EXPECT_EQ(target.l.hwnds.back(), 77);
    setEventTarget(nullptr);
    EXPECT_NO_THROW(RelayIEEvent(3, hwnd, {}));
    EXPECT_EQ(target.l.calls.size(), 1u);
    setEventTarget(before);
}

} // namespace
