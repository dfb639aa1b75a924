// The popup killer's pure parts: the new-window decision, the mouse rules,
// the forward probe's one-shot flag, the switch and the relay's arrays.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory_store.h"
#include "popup/ie_events.h"
#include "popup/popup_rules.h"
#include "popup/popup_switch.h"
#include "shell/app_error.h"
#include "shell/settings_store.h"

using namespace tidewell;
using namespace tidewell::popup;

namespace {

class FakeInput : public InputPort {
public:
    std::map<int, std::int16_t> state; // per key, what each read returns
    std::vector<int> reads;
    std::vector<std::pair<unsigned, unsigned>> beeps;
    std::int16_t asyncKeyState(int vk) override {
        reads.push_back(vk);
        auto it = state.find(vk);
        return it == state.end() ? std::int16_t{0} : it->second;
    }
    void beep(unsigned hz, unsigned ms) override { beeps.emplace_back(hz, ms); }
};

constexpr std::int16_t kDown = static_cast<std::int16_t>(0x8000);
constexpr std::int16_t kPressedSince = 1;

TEST(PopupDecision, CancelsWithOneToneOnlyWhenActiveAndCtrlUp) {
    PopupFlags flags;
    flags.gPopupKillerActive = true;
    FakeInput input;
    EXPECT_TRUE(IE_NewWindow2(input, flags));
    ASSERT_EQ(input.beeps.size(), 1u);
    EXPECT_EQ(input.beeps[0], std::make_pair(950u, 150u));
    EXPECT_EQ(input.reads, std::vector<int>{0x11});

    flags.gPopupKillerActive = false;
    FakeInput off;
    EXPECT_FALSE(IE_NewWindow2(off, flags));
    EXPECT_TRUE(off.beeps.empty());
}

TEST(PopupDecision, CtrlDownOrPressedSinceLetsTheWindowOpenAndReadsTwice) {
    PopupFlags flags;
    flags.gPopupKillerActive = true;
    for (std::int16_t state : {kDown, kPressedSince, static_cast<std::int16_t>(kDown | 1)}) {
        FakeInput input;
        input.state[0x11] = state;
        EXPECT_FALSE(IE_NewWindow2(input, flags)) << state;
        EXPECT_TRUE(input.beeps.empty());
        EXPECT_EQ(input.reads, (std::vector<int>{0x11, 0x11}));
    }
    // Other keys do not count as Ctrl.
    FakeInput shift;
    shift.state[0x10] = kDown;
    shift.state[0x12] = kDown;
    EXPECT_TRUE(IE_NewWindow2(shift, flags));
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
        if (c.shift)
            input.state[0x10] = kPressedSince;
        if (c.ctrl)
            input.state[0x11] = kDown;
        if (c.alt)
            input.state[0x12] = kDown;
        EXPECT_EQ(mouseModifier(input), c.expected) << c.shift << c.ctrl << c.alt;
    }
}

TEST(PopupMouse, UpReportsTheButtonTheDownSaw) {
    MouseButtons buttons;
    FakeInput left;
    left.state[0x01] = kDown;
    EXPECT_EQ(buttons.onMouseDown(left), 1);
    EXPECT_TRUE(buttons.bLeftDown);
    EXPECT_EQ(buttons.onMouseUp(), 1);
    EXPECT_FALSE(buttons.bLeftDown);

    // Only the top bit means "down now": a left press already released is a right click.
    FakeInput right;
    right.state[0x01] = kPressedSince;
    EXPECT_EQ(buttons.onMouseDown(right), 2);
    EXPECT_TRUE(buttons.bRightDown);
    EXPECT_EQ(buttons.onMouseUp(), 2);
    EXPECT_FALSE(buttons.bRightDown);
    // An up without a down counts as the right button.
    EXPECT_EQ(buttons.onMouseUp(), 2);
}

TEST(PopupNavigation, CommandStateChangeSetsOnlyBackAndForward) {
    NavigationState nav;
    nav.commandStateChange(1, true);
    EXPECT_TRUE(nav.EnableForward);
    EXPECT_FALSE(nav.EnableBack);
    nav.commandStateChange(2, true);
    EXPECT_TRUE(nav.EnableBack);
    nav.commandStateChange(-1, false); // update commands: ignored
    nav.commandStateChange(3, false);
    EXPECT_TRUE(nav.EnableBack);
    EXPECT_TRUE(nav.EnableForward);
    nav.commandStateChange(1, false);
    EXPECT_FALSE(nav.EnableForward);
}

TEST(PopupNavigation, FailedProbeClearsTheFlagAndForward) {
    PopupFlags flags;
    NavigationState nav;
    nav.EnableForward = true;
    beginForwardProbe(flags);
    EXPECT_TRUE(flags.gCancelNextNavigation);
    EXPECT_FALSE(endForwardProbe(flags, nav, false));
    EXPECT_FALSE(flags.gCancelNextNavigation);
    EXPECT_FALSE(nav.EnableForward);
    EXPECT_TRUE(contextMenuAllowed(flags));
    EXPECT_FALSE(takeCancelNextNavigation(flags));
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

class MemoryStore : public testing_store::MemoryStore {
public:
    std::vector<std::string>& writes = writtenValues;
    std::string stored() const {
        return testing_store::MemoryStore::stored("PopupKiller", "IsActive");
    }
};

class FakeSwitchView : public PopupSwitchView {
public:
    int box = 0;
    bool mark = false;
    int boxSets = 0;
    int checkBoxValue() override { return box; }
    void setCheckBoxValue(int v) override {
        box = v;
        ++boxSets;
    }
    bool menuChecked() override { return mark; }
    void setMenuChecked(bool c) override { mark = c; }
};

class PopupSwitch : public ::testing::Test {
protected:
    MemoryStore store;
    FakeSwitchView view;
    PopupFlags flags;
    PopupKillerSwitch sw{store, view, flags};
    void startWith(const char* stored) {
        if (stored != nullptr) {
            store.values["Tidewell|PopupKiller|IsActive"] = stored;
        }
        sw.loadAtStartup();
        sw.markMenuAtEndOfLoad();
    }
};

TEST_F(PopupSwitch, FirstRunIsOnAndStoresOne) {
    startWith(nullptr);
    EXPECT_EQ(view.box, 1);
    EXPECT_TRUE(view.mark);
    EXPECT_TRUE(flags.gPopupKillerActive);
    EXPECT_EQ(store.stored(), "1");
}

TEST_F(PopupSwitch, StoredZeroIsOffAndStoresNothing) {
    startWith("0");
    EXPECT_EQ(view.box, 0);
    EXPECT_FALSE(view.mark);
    EXPECT_FALSE(flags.gPopupKillerActive);
    EXPECT_TRUE(store.writes.empty());
}

TEST_F(PopupSwitch, AnyOtherTextIsOn) {
    for (const char* text : {"", "1", "00", " 0", "yes", "-1"}) {
        EXPECT_TRUE(storedSwitchIsOn(text)) << "'" << text << "'";
    }
    EXPECT_FALSE(storedSwitchIsOn("0"));
    startWith("");
    EXPECT_TRUE(flags.gPopupKillerActive);
    EXPECT_TRUE(view.mark);
    EXPECT_EQ(store.stored(), "1");
}

TEST_F(PopupSwitch, CheckBoxAndMenuStayInStepAndStore) {
    startWith(nullptr);
    view.box = 0; // the user unticks the box
    sw.chkPopupKillerActivate_Click();
    EXPECT_FALSE(flags.gPopupKillerActive);
    EXPECT_FALSE(view.mark);
    EXPECT_EQ(store.stored(), "0");

    sw.mnuPoupKiller_Click(); // from the tray: on again
    EXPECT_EQ(view.box, 1);
    EXPECT_TRUE(view.mark);
    EXPECT_TRUE(flags.gPopupKillerActive);
    EXPECT_EQ(store.stored(), "1");

    store.writes.clear();
    sw.mnuPoupKiller_Click(); // and off
    EXPECT_EQ(view.box, 0);
    EXPECT_FALSE(view.mark);
    EXPECT_FALSE(flags.gPopupKillerActive);
    // The menu stores, then the box's own click stores the same value again.
    EXPECT_EQ(store.writes, (std::vector<std::string>{"0", "0"}));
}

TEST_F(PopupSwitch, GreyedCountsAsOffAndAFailingStoreStillSwitches) {
    startWith(nullptr);
    view.box = 2;
    sw.chkPopupKillerActivate_Click();
    EXPECT_FALSE(flags.gPopupKillerActive);
    EXPECT_EQ(store.stored(), "0");

    store.failWrites = true;
    view.box = 1;
    EXPECT_NO_THROW(sw.chkPopupKillerActivate_Click());
    EXPECT_TRUE(flags.gPopupKillerActive);
    EXPECT_TRUE(view.mark);
}

// ---- Relay -----------------------------------------------------------------

class RecordingListener : public IEWindowsEvents {
public:
    std::vector<std::string> calls;
    std::int32_t lastHwnd = 0;
    std::int16_t button = 0, shift = 0;
    float x = 0, y = 0;
    std::int32_t command = 0;
    bool enable = false, cancel = false;
    EventValue url;
    ObjectRef object;
    void IEWindowRegistered() override { calls.push_back("registered"); }
    void IEWindowRevoked() override { calls.push_back("revoked"); }
    void IENavigationBegin(std::int32_t& h, const ObjectRef& o, EventValue& u, EventValue&,
                           EventValue&, EventValue&, EventValue&, bool& c) override {
        calls.push_back("begin");
        lastHwnd = h;
        object = o;
        url = u;
        cancel = c;
        c = !c; // must not reach the browser
    }
    void IENavigationComplete(std::int32_t& h, const ObjectRef& o, EventValue& u) override {
        calls.push_back("navcomplete");
        lastHwnd = h;
        object = o;
        url = u;
    }
    void IEDocumentComplete(std::int32_t& h, const ObjectRef&, EventValue& u) override {
        calls.push_back("doccomplete");
        lastHwnd = h;
        url = u;
    }
    void IEDownloadBegin(std::int32_t& h) override { calls.push_back("dlbegin"), lastHwnd = h; }
    void IEDownloadComplete(std::int32_t& h) override {
        calls.push_back("dlcomplete"), lastHwnd = h;
    }
    void IEOnContextMenu(std::int32_t& h) override { calls.push_back("menu"), lastHwnd = h; }
    void IEMouseDown(std::int32_t& h, std::int16_t b, std::int16_t s, float fx, float fy) override {
        calls.push_back("down");
        lastHwnd = h, button = b, shift = s, x = fx, y = fy;
    }
    void IEMouseUp(std::int32_t& h, std::int16_t b, std::int16_t s, float fx, float fy) override {
        calls.push_back("up");
        lastHwnd = h, button = b, shift = s, x = fx, y = fy;
    }
    void IECommandStateChange(std::int32_t& h, std::int32_t c, bool e) override {
        calls.push_back("command");
        lastHwnd = h, command = c, enable = e;
    }
};

TEST(PopupRelay, ArraysAreSizedByCode) {
    const std::vector<EventValue> nine(9, EventValue{std::int32_t{3}});
    const std::size_t expected[] = {0, 7, 2, 0, 0, 2, 4, 4, 0, 2, 0};
    for (std::int32_t code = 0; code <= 10; ++code) {
        EXPECT_EQ(relayArray(code, nine).size(), expected[code]) << code;
    }
    // Missing arguments are empty; Cancel is copied as a plain Boolean.
    const std::vector<EventValue> begin{
        ObjectRef{},   std::string("http://a/"), std::int32_t{0}, std::string(), EventValue{},
        std::string(), std::int32_t{-1}};
    auto a = relayArray(1, begin);
    EXPECT_EQ(a[1], EventValue{std::string("http://a/")});
    EXPECT_EQ(a[6], EventValue{true});
    auto twoOfFour = relayArray(6, std::vector<EventValue>{std::int32_t{1}});
    EXPECT_EQ(twoOfFour[0], EventValue{std::int32_t{1}});
    EXPECT_EQ(twoOfFour[3], EventValue{});
}

TEST(PopupRelay, RaisesTheEventOfTheCodeWithConvertedValues) {
    RecordingListener l;
    std::int32_t hwnd = 1234;
    auto shared = std::make_shared<int>(7);
    std::vector<EventValue> begin =
        relayArray(1, std::vector<EventValue>{ObjectRef{shared}, std::string("u"), EventValue{},
                                              EventValue{}, EventValue{}, EventValue{}, false});
    RaiseIEEvent(l, 1, hwnd, begin);
    EXPECT_EQ(l.lastHwnd, 1234);
    EXPECT_EQ(l.object.object, shared);
    EXPECT_FALSE(l.cancel);
    EXPECT_EQ(begin[6], EventValue{false}); // the listener changed only its copy

    std::vector<EventValue> mouse = relayArray(
        7, std::vector<EventValue>{std::int32_t{2}, std::string("4"), 10.5, std::int32_t{-3}});
    RaiseIEEvent(l, 7, hwnd, mouse);
    EXPECT_EQ(l.calls.back(), "up");
    EXPECT_EQ(l.button, 2);
    EXPECT_EQ(l.shift, 4);
    EXPECT_FLOAT_EQ(l.x, 10.5f);
    EXPECT_FLOAT_EQ(l.y, -3.0f);

    std::vector<EventValue> command = relayArray(9, std::vector<EventValue>{2.0, true});
    RaiseIEEvent(l, 9, hwnd, command);
    EXPECT_EQ(l.command, 2);
    EXPECT_TRUE(l.enable);

    for (std::int32_t code : {2, 3, 4, 5, 8}) {
        std::vector<EventValue> a =
            relayArray(code, std::vector<EventValue>{EventValue{}, std::string("x")});
        RaiseIEEvent(l, code, hwnd, a);
    }
    EXPECT_EQ(l.calls, (std::vector<std::string>{"begin", "up", "command", "navcomplete", "dlbegin",
                                                 "dlcomplete", "doccomplete", "menu"}));
}

TEST(PopupRelay, CodesOutsideOneToNineRaiseNothing) {
    RecordingListener l;
    std::int32_t hwnd = 1;
    for (std::int32_t code : {0, 10, -1, 255}) {
        std::vector<EventValue> a = relayArray(code, {});
        RaiseIEEvent(l, code, hwnd, a);
    }
    EXPECT_TRUE(l.calls.empty());
}

TEST(PopupRelay, BadValuesFailWithTheClassicNumbers) {
    try {
        (void)toInt16(EventValue{std::int32_t{40000}});
        FAIL() << "no overflow";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 6);
    }
    try {
        (void)toInt16(EventValue{std::string("left")});
        FAIL() << "no type mismatch";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number(), 13);
    }
    EXPECT_THROW((void)toObject(EventValue{std::int32_t{1}}), AppError);
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
    EXPECT_EQ(target.l.lastHwnd, 77);
    setEventTarget(nullptr);
    EXPECT_NO_THROW(RelayIEEvent(3, hwnd, {}));
    EXPECT_EQ(target.l.calls.size(), 1u);
    setEventTarget(before);
}

} // namespace
