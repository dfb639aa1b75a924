// The folder wipe and the shredder's file primitives on real files under
// Wine: what the fakes cannot show is real attributes, a file locked by
// another open, Wine's links and names outside ASCII. The clean run as a
// whole (special folders, keys, clipboard, the recycle bin) is the e2e test's.
// Links are made from the Linux side (Wine cannot make them itself); a canary
// folder outside the tree sits behind every link and must survive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "test_files.h"
#include "../unit/cleaning_fakes.h"
#include "cleaning/advanced_commands.h"
#include "cleaning/file_system_win32.h"
#include "cleaning/wipe.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

using namespace tidewell;
using namespace tidewell::testing;
using namespace tidewell::win32;
using namespace tidewell::testing_files;

namespace {

const std::string kRoot = "C:\\h3wipe";

// Open without delete sharing: the file is locked as another program's open
// would lock it (sharing is checked per open, whatever its process).
UniqueFile hold(const std::string& path) {
    return UniqueFile(::CreateFileW(toUtf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
}

class RealWipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        removeTree(kRoot);
        mkdir(kRoot);
        mkdir(tree);
        mkdir(canary);
        mkdir(canary + "\\inner");
        writeText(canary + "\\keep.txt", "canary");
        writeText(canary + "\\inner\\keep2.txt", "canary", FILE_ATTRIBUTE_READONLY);
    }
    void TearDown() override { removeTree(kRoot); }
    bool canaryIntact() {
        return readText(canary + "\\keep.txt") == "canary" &&
               readText(canary + "\\inner\\keep2.txt") == "canary";
    }

    const std::string tree = kRoot + "\\tree";
    const std::string canary = kRoot + "\\canary";
    Win32FileSystem fs;
    FakePane pane;
    FolderWiper wiper{fs, pane, {}};
};

// The e2e clean wipes read-only files, names outside ASCII, deeper folders and
// links to a canary; here are the attributes it does not set, a file locked
// by another process, and a link beside that locked file.
TEST_F(RealWipeTest, KeepsTopHiddenAndSystemFilesAndLockedFilesAndEveryLinkTarget) {
    writeText(tree + "\\ro.txt", "r", FILE_ATTRIBUTE_READONLY);
    writeText(tree + "\\hid.txt", "h", FILE_ATTRIBUTE_HIDDEN);
    writeText(tree + "\\sys.txt", "s", FILE_ATTRIBUTE_SYSTEM);
    mkdir(tree + "\\sub");
    writeText(tree + "\\sub\\hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    mkdir(tree + "\\locked");
    writeText(tree + "\\locked\\l.txt", "l");
    writeText(tree + "\\locked\\other.txt", "o");
    linkTo(tree + "\\locked\\link", canary, true);
    {
        UniqueFile held = hold(tree + "\\locked\\l.txt");
        ASSERT_TRUE(held);
        wiper.WipeFolder(tree, tree);
    }

    EXPECT_TRUE(canaryIntact());
    EXPECT_TRUE(exists(tree));
    EXPECT_FALSE(exists(tree + "\\ro.txt"));
    EXPECT_TRUE(exists(tree + "\\hid.txt"));
    EXPECT_TRUE(exists(tree + "\\sys.txt"));
    EXPECT_FALSE(exists(tree + "\\sub")) << "hidden files go with their subfolder";
    EXPECT_TRUE(exists(tree + "\\locked\\l.txt"));
    EXPECT_FALSE(exists(tree + "\\locked\\other.txt"));
    // Wine cannot remove a directory link: it is left as a link.
    EXPECT_NE(attributes(tree + "\\locked\\link") & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(pane.text(), "") << "nothing to report: locked files are passed over in silence";
    EXPECT_EQ(wiper.stats().filesDeleted, 3u);
}

TEST_F(RealWipeTest, ShredPrimitivesOverwriteInPlaceAndReportLockedFiles) {
    const std::string file = tree + "\\secret \xc3\xa9.txt";
    writeText(file, std::string(1000, 'S'), FILE_ATTRIBUTE_READONLY);
    fs.overwriteInPlace(file, kShredFiller);
    const std::string after = readText(file);
    ASSERT_EQ(after.size(), 1000u);
    EXPECT_EQ(after.substr(0, 166), kShredFiller);
    EXPECT_EQ(after.find('S'), std::string::npos);
    fs.writeFile(file, kShredFiller);
    EXPECT_EQ(readText(file), kShredFiller);
    fs.deleteFileOrThrow(file);
    EXPECT_FALSE(exists(file));

    const std::string busy = tree + "\\busy.txt";
    writeText(busy, "b", FILE_ATTRIBUTE_READONLY);
    UniqueFile held = hold(busy);
    EXPECT_THAT([&] { fs.deleteFileOrThrow(busy); },
                ::testing::Throws<AppError>(::testing::Property(&AppError::number, 32)))
        << "a locked file was deleted";
    EXPECT_NE(attributes(busy) & FILE_ATTRIBUTE_READONLY, 0u)
        << "a file that stays keeps its attributes";
}

// Wine opens a file link as its target and deletes through it by name: the
// wipe and the shredder must recognise every such link and leave its target.
TEST_F(RealWipeTest, EveryLinkLosesOnlyItselfAndAFileWithOtherNamesIsNotOverwritten) {
    const std::string empty = kRoot + "\\empty";
    mkdir(empty);
    mkdir(tree + "\\sub");
    linkTo(tree + "\\file-link.txt", canary + "\\keep.txt");
    linkTo(tree + "\\sub\\file-link.txt", canary + "\\inner\\keep2.txt");
    linkTo(tree + "\\empty-link", empty, true);
    linkTo(tree + "\\full-link", canary, true);
    writeText(tree + "\\plain.txt", "p");

    EXPECT_TRUE(fs.inspect(tree + "\\file-link.txt").value_or(NameInfo{}).link);
    EXPECT_FALSE(fs.inspect(tree + "\\plain.txt").value_or(NameInfo{true}).link);
    EXPECT_THROW(fs.overwriteInPlace(tree + "\\file-link.txt", kShredFiller), AppError);
    wiper.WipeFolder(tree, tree);

    EXPECT_TRUE(canaryIntact());
    EXPECT_TRUE(exists(empty)) << "an empty folder behind a link";
    EXPECT_FALSE(exists(tree + "\\plain.txt"));

    const std::string first = kRoot + "\\first.txt", second = kRoot + "\\second.txt";
    writeText(first, "shared");
    ASSERT_TRUE(::CreateHardLinkW(toUtf16(second).c_str(), toUtf16(first).c_str(), nullptr));
    EXPECT_EQ(fs.inspect(first).value_or(NameInfo{}).hardLinks, 2u);
    EXPECT_THROW(fs.overwriteInPlace(first, kShredFiller), AppError);
    EXPECT_EQ(readText(second), "shared");
}

} // namespace
