// The popup killer's pure parts: the new-window decision, the forward
// probe's one-shot flag and the switch.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "memory_store.h"
#include "popup/popup_rules.h"
#include "popup/popup_switch.h"

using namespace tidewell;
using namespace tidewell::popup;

namespace {

struct FakeInput : InputPort {
    std::map<int, std::int16_t> state; // per key, what each read returns
    std::vector<int> reads;
    std::vector<std::pair<unsigned, unsigned>> beeps;
    std::int16_t asyncKeyState(int vk) override {
        reads.push_back(vk);
        return state.count(vk) != 0 ? state[vk] : std::int16_t{0};
    }
    void beep(unsigned hz, unsigned ms) override { beeps.emplace_back(hz, ms); }
};

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
        {"Shift is no Ctrl", true, 0x10, kDown, true, 1},
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
}

// ---- Switch ----------------------------------------------------------------

// The check box and the tray item's mark, the store and the switch.
struct SwitchRig : PopupSwitchView {
    int box = 0;
    bool mark = false;
    int checkBoxValue() override { return box; }
    void setCheckBoxValue(int v) override { box = v; }
    bool menuChecked() override { return mark; }
    void setMenuChecked(bool c) override { mark = c; }
    testing_store::MemoryStore store;
    PopupFlags flags;
    PopupKillerSwitch sw{store, *this, flags};
    // Box, menu mark, switch and the values stored, as "1 1 1 1".
    std::string state() const {
        std::string values;
        for (const auto& w : store.written)
            values += w.substr(w.find('=') + 1);
        return std::to_string(box) + " " + std::to_string(mark) + " " +
               std::to_string(flags.gPopupKillerActive) + " " + values;
    }
};

// A stored "0" starts off; anything else, or nothing, starts on and stores
// "1". Box, menu and store then stay in step.
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
    rig.box = 0; // the user unticks the box
    rig.sw.chkPopupKillerActivate_Click();
    EXPECT_EQ(rig.state(), "0 0 0 10");
    EXPECT_EQ(rig.store.stored(kSwitchSection, kSwitchKey), "0");
}

} // namespace
