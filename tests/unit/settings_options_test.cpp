// Cleaning options (defaults, storing, restore) and the browser tweaks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaning_fakes.h"
#include "memory_store.h"
#include "settings/browser_tweaks.h"
#include "settings/cleaning_options.h"

using namespace tidewell;
using namespace tidewell::testing;
using ::testing::ElementsAre;
using testing_store::MemoryStore;

namespace {

class Boxes : public OptionBoxes {
public:
    std::array<int, kOptionCount> v{};
    int value(int i) override { return v[static_cast<size_t>(i)]; }
    void setValue(int i, int value) override { v[static_cast<size_t>(i)] = value; }
};

const std::string kFolder = "C:\\Program Files\\Tidewell";

class OptionsTest : public ::testing::Test {
protected:
    // Start-up order: defaults, then stored values, with bLoaded False.
    void startUp() {
        loaded = false;
        options.cmdDefaultSettings_Click();
        options.LoadOptions();
        loaded = true;
    }
    Boxes boxes;
    MemoryStore store;
    bool loaded = false;
    CleaningOptions options{boxes, store, kFolder, loaded};
};

// A first start shows the default column; stored values override it (the
// sentinel is skipped); neither writes, nor does a click before loading. Once
// loaded, a click stores under the program folder and Default writes only
// what it changes.
TEST_F(OptionsTest, StartUpShowsDefaultsThenStoredValuesAndStoresOnlyLaterChanges) {
    boxes.v[5] = 1;
    options.chkSettings_Click(5);
    startUp();
    EXPECT_THAT(boxes.v, ElementsAre(1, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0));
    store.values[kFolder + "|Settings|Index12"] = "1";
    store.values[kFolder + "|Settings|Index9"] = "0";
    store.values[kFolder + "|Settings|Index4"] = "3";
    startUp();
    EXPECT_EQ(boxes.v[12], 1) << "checked although Default never sets it";
    EXPECT_EQ(boxes.v[9], 0);
    EXPECT_EQ(boxes.v[4], 0);
    EXPECT_TRUE(store.written.empty());
    options.cmdDefaultSettings_Click();
    options.cmdDefaultSettings_Click(); // nothing left to change
    boxes.v[4] = 1;
    options.chkSettings_Click(4);
    EXPECT_THAT(store.written, ElementsAre("Index9=1", "Index4=1"));
    EXPECT_EQ(store.values.at(kFolder + "|Settings|Index4"), "1");
}

// The home page is stored and imposed again at every start.
TEST(BrowserTweaks, HomePageIsImposedAtEveryStart) {
    FakeRegistry registry;
    MemoryStore store;
    BrowserTweaks tweaks(registry, store, {});
    std::string& startPage = registry.values[std::string(kIeMainKey) + "|Start Page"];
    EXPECT_EQ(tweaks.loadHomePage(), "about:blank");
    EXPECT_EQ(startPage, "about:blank");
    EXPECT_TRUE(store.written.empty());
    tweaks.cmdHomePage_Click("  www.example.org ");
    EXPECT_EQ(store.stored("HomePage", "StartPage"), "  www.example.org ");
    startPage = "http://hijack.example";
    EXPECT_EQ(tweaks.loadHomePage(), "  www.example.org ");
    EXPECT_EQ(startPage, "  www.example.org ");
}

} // namespace
