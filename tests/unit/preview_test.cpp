// The preview over doubles: it finds exactly what the run then erases, with
// the same bytes, and changes nothing; it stops when pressed again. The
// details list is left to review; database rows are counted in the browsers'
// tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "clean_run_fixture.h"

using namespace tidewell;
using namespace tidewell::testing;

namespace {

class PreviewTest : public CleanRunTest {
protected:
    PreviewTest() {
        window.options.fill(1);
        window.options[0] = 0; // all but start-up's
        // Beyond the fixture's traces (its history index.dat is found by the
        // index.dat search and again inside the history's wipe):
        fs.file("C:\\u\\Recent\\second.lnk", "xy");
        fs.dir("C:\\u\\Cache\\sub");
        fs.file("C:\\u\\Cache\\sub\\deep.bin", "123456");
        fs.dir("C:\\elsewhere");
        fs.file("C:\\elsewhere\\keep.txt");
        fs.link("C:\\u\\Cache\\lnk", "C:\\elsewhere");
        fs.file("C:\\u\\Docs\\desktop.ini", "ini");
        fs.nodes["C:\\u\\Docs\\desktop.ini"].hidden = true; // the wipe leaves it at the top
        platform.keyValues = {{kTypedUrlsKey, {"url1", "url2"}}, {kRunMruKey, {"a"}}};
        platform.binItems = 3;
        platform.binBytes = 1000;
    }
    std::map<std::string, std::string> tree() const {
        std::map<std::string, std::string> t;
        for (const auto& [p, n] : fs.nodes) {
            t[p] = n.directory ? "<dir>" + n.linkTarget : n.contents;
        }
        return t;
    }
};

TEST_F(PreviewTest, FindsExactlyWhatTheRunErasesWithTheSameBytesAndChangesNothing) {
    const auto before = tree();
    ASSERT_TRUE(run.cmdPreview_Click());
    // Each place's line is the walk's count; the items themselves are checked
    // against the run below.
    EXPECT_THAT(pane.text(), ::testing::EndsWith("\r\nPreview: 14 files, 1.0 KB in total. "
                                                 "Nothing was erased."));
    // Nothing changed anywhere: files, registry, bin, clipboard, settings, schedule.
    EXPECT_EQ(tree(), before);
    for (const std::string& op : fs.log) {
        EXPECT_EQ(op.rfind("list ", 0), 0u) << op;
    }
    EXPECT_TRUE(platform.deletedKeys.empty());
    EXPECT_EQ(platform.binEmptied + platform.clipboardEmptied, 0);
    EXPECT_TRUE(registry.values.empty());
    EXPECT_TRUE(store.written.empty());
    EXPECT_TRUE(timers.log.empty());

    std::set<std::string> listed;
    std::uint64_t bytes = 0;
    for (const FoundItem& item : run.previewItems()) {
        if (item.kind == FoundKind::File || item.kind == FoundKind::Link) {
            listed.insert(item.path);
        }
        bytes += item.kind == FoundKind::Value ? 0 : item.size;
    }
    ASSERT_EQ(run.cmdBasicClean_Click(), CleanOutcome::Finished);
    std::set<std::string> erased; // files and links, not the folders emptied on the way
    for (const auto& [path, was] : before) {
        if (fs.nodes.count(path) == 0 && was != "<dir>") {
            erased.insert(path);
        }
    }
    EXPECT_EQ(listed, erased);
    EXPECT_EQ(targets.bytesFreed(), bytes);
}

TEST_F(PreviewTest, PressedAgainItStopsInsideAWalkAndARunMeanwhileIsIgnored) {
    const auto before = tree();
    CleanOutcome meanwhile = CleanOutcome::Finished;
    onWipeYield = [&] {
        meanwhile = run.cmdBasicClean_Click();
        EXPECT_FALSE(run.cmdPreview_Click()); // the second press: "Stop"
        onWipeYield = nullptr;
    };
    ASSERT_TRUE(run.cmdPreview_Click());
    EXPECT_EQ(meanwhile, CleanOutcome::NotStarted);
    // The Recent folder's first file was found, then nothing more.
    EXPECT_EQ(run.previewItems().size(), 5u); // two index.dat, two values, one file
    EXPECT_THAT(pane.text(), ::testing::EndsWith("\r\nPath: C:\\u\\Recent\r\nWould erase 1 files, "
                                                 "2 bytes\r\nPreview stopped: 3 files, 13 bytes "
                                                 "found so far. Nothing was erased."));
    EXPECT_EQ(tree(), before);
    EXPECT_FALSE(run.previewing());
    EXPECT_EQ(run.cmdBasicClean_Click(), CleanOutcome::Finished); // not left busy
}

} // namespace
