// The folder wipe over an in-memory file system: order, filter, links, paths.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cleaning/wipe.h"
#include "cleaning_fakes.h"

using namespace tidewell;
using namespace tidewell::testing;
using ::testing::ElementsAre;

namespace {

class WipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs.dir("C:\\p");
        fs.dir("C:\\p\\a");
        fs.dir("C:\\p\\a\\deep");
        fs.file("C:\\p\\a\\deep\\d.txt");
        fs.file("C:\\p\\a\\a.txt");
        fs.file("C:\\p\\a\\hidden.txt").hidden = true;
        fs.file("C:\\p\\top.txt", "12345");
        fs.file("C:\\p\\ro.txt").readOnly = true;
        fs.file("C:\\p\\hid.txt").hidden = true;
        fs.file("C:\\p\\sys.txt").system = true;
        // Outside the tree: must survive whatever the wipe meets.
        fs.dir("C:\\canary");
        fs.file("C:\\canary\\keep.txt");
        fs.dir("C:\\canary\\sub");
        fs.file("C:\\canary\\sub\\keep2.txt");
    }
    void wipe(const std::string& p) { wiper.WipeFolder(p, p); }
    bool canaryIntact() const {
        return fs.exists("C:\\canary\\keep.txt") && fs.exists("C:\\canary\\sub\\keep2.txt");
    }

    FakeFileSystem fs;
    FakePane pane;
    int yields = 0;
    FolderWiper wiper{fs, pane, [this] { ++yields; }};
};

TEST_F(WipeTest, DeletesDeepestFirstAndKeepsTheTopFolderWithItsHiddenAndSystemFiles) {
    wipe("C:\\p");
    // Every change, in order: a subfolder goes whole (its hidden file too), the read-only file
    // goes by force, and no delete is even tried on the top folder or its hidden and system files.
    EXPECT_THAT(fs.log, ElementsAre("del C:\\p\\a\\deep\\d.txt", "rmdir C:\\p\\a\\deep",
                                    "del C:\\p\\a\\a.txt", "del C:\\p\\a\\hidden.txt",
                                    "rmdir C:\\p\\a", "del C:\\p\\ro.txt", "del C:\\p\\top.txt"));
    EXPECT_EQ(wiper.stats().bytesFreed, 5u + 1 + 1 + 1 + 1);
    EXPECT_TRUE(pane.text().empty()) << "a clean wipe writes nothing";
}

TEST_F(WipeTest, LockedFileKeepsItsFolderSilentlyAndTheRestStillGoes) {
    fs.nodes["C:\\p\\a\\a.txt"].locked = true;
    wipe("C:\\p");
    EXPECT_TRUE(fs.exists("C:\\p\\a\\a.txt"));
    EXPECT_TRUE(fs.exists("C:\\p\\a"));
    EXPECT_FALSE(fs.exists("C:\\p\\a\\deep"));
    EXPECT_FALSE(fs.exists("C:\\p\\top.txt"));
    EXPECT_TRUE(pane.text().empty());
    EXPECT_EQ(wiper.stats().itemsLeft, 2u);
}

TEST_F(WipeTest, DirectoryLinkIsRemovedAsALinkNeverEntered) {
    fs.link("C:\\p\\a\\tolink", "C:\\canary");
    fs.link("C:\\p\\link2", "C:\\canary\\sub");
    const FakeFileSystem fresh = fs;
    wipe("C:\\p");
    EXPECT_TRUE(canaryIntact());
    EXPECT_FALSE(fs.exists("C:\\p\\link2"));
    EXPECT_FALSE(fs.exists("C:\\p\\a"));
    EXPECT_EQ(wiper.stats().linksRemoved, 2u);
    for (const auto& entry : fs.log) {
        EXPECT_EQ(entry.find("tolink\\"), std::string::npos) << entry;
        EXPECT_EQ(entry.find("link2\\"), std::string::npos) << entry;
    }
    // A link that cannot be removed is left, and so is its folder.
    fs = fresh;
    fs.linkRemovalFails = true;
    wipe("C:\\p");
    EXPECT_TRUE(canaryIntact());
    EXPECT_TRUE(fs.exists("C:\\p\\a\\tolink"));
    EXPECT_TRUE(fs.exists("C:\\p\\a"));
    EXPECT_FALSE(fs.exists("C:\\p\\a\\a.txt"));
}

// A missing top folder, one that is a link, and empty or relative paths:
// one red line each, nothing touched.
TEST_F(WipeTest, RefusedTopFoldersGiveOneRedLineAndTouchNothing) {
    fs.link("C:\\p\\viaLink", "C:\\canary");
    std::vector<std::pair<std::string, std::string>> rows = {
        {"C:\\nope", "The system cannot find the path specified."}, {"C:\\p\\viaLink", "link"}};
    for (const char* bad : {"", "p", ".\\p", "C:p", "\\p", "C:\\p\\..\\canary", "C:\\p\\.\\a"}) {
        rows.push_back({bad, "not a full path"});
    }
    for (const auto& [bad, says] : rows) {
        fs.log.clear();
        pane.Clear();
        wipe(bad);
        EXPECT_THAT(fs.log, ::testing::IsEmpty()) << bad;
        EXPECT_EQ(pane.tagged(), "[R]" + pane.text()) << bad;
        EXPECT_THAT(pane.text(),
                    ::testing::AllOf(::testing::HasSubstr(says), ::testing::EndsWith("\r\n")))
            << bad;
    }
    EXPECT_EQ(pane.colour, kProgressBlue);
    EXPECT_TRUE(fs.exists("C:\\p\\top.txt"));
    EXPECT_TRUE(canaryIntact());
}

TEST_F(WipeTest, StopEndsTheWipeAtTheNextFileAndEveryLaterWipe) {
    FolderWiper* self = nullptr;
    FolderWiper stopping(fs, pane, [&] { self->stop(); });
    self = &stopping;
    stopping.WipeFolder("C:\\p", "C:\\p");
    EXPECT_FALSE(fs.exists("C:\\p\\a\\deep\\d.txt")) << "the file before the stop went";
    EXPECT_TRUE(fs.exists("C:\\p\\a\\deep")) << "nothing after it";
    EXPECT_TRUE(fs.exists("C:\\p\\a\\a.txt"));
    EXPECT_TRUE(fs.exists("C:\\p\\top.txt"));
    stopping.WipeFolder("C:\\p", "C:\\p");
    EXPECT_TRUE(fs.exists("C:\\p\\top.txt")) << "later wipes do nothing";
    EXPECT_TRUE(pane.text().empty());
}

// The refusals are checked through the wipe above.
TEST(WipePaths, NormalisesFullPaths) {
    EXPECT_EQ(wipeablePath("C:").value(), "C:\\");
    EXPECT_EQ(wipeablePath("C:\\").value(), "C:\\");
    EXPECT_EQ(wipeablePath("C:\\a\\b\\").value(), "C:\\a\\b");
    EXPECT_EQ(wipeablePath("\\\\server\\share\\x").value(), "\\\\server\\share\\x");
    EXPECT_EQ(joinPath("C:\\", "x"), "C:\\x");
}

} // namespace
