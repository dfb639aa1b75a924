// The popup killer's new-window decision (the switch's box is the e2e
// tests').
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "popup/popup_rules.h"

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

} // namespace
