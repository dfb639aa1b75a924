// The browsers' cleaning on real files under Wine: what only the platform
// shows. A running browser's lock, links the platform flags and one it does
// not, a file in use, a profiles.ini that is a link, and SQLite under a name
// outside ASCII. The whole run over every browser is the e2e test's (there
// the lock is held by another process).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../unit/cleaning_fakes.h"
#include "../unit/memory_store.h"
#include "../unit/browser_fixtures.h"
#include "cleaning/browsers/browser_platform_win32.h"
#include "cleaning/file_system_win32.h"
#include "test_files.h"

using namespace tidewell;
using namespace tidewell::testing;
using namespace tidewell::testing_files;
using namespace tidewell::browser_fixtures;
using ::testing::HasSubstr;

namespace {

const std::string kRoot = "C:\\h3browsers";

TEST(BrowserCleaning, LocksLinksFilesInUseAndNamesOutsideAscii) {
    struct Platform : win32::Win32BrowserPlatform {
        std::string user = kRoot + "\\\xc3\x9cs\xc3\xa9r";
        BrowserFolders folders() override {
            return {user + "\\AppData\\Local", user + "\\AppData\\Roaming", user};
        }
    } platform;
    removeTree(kRoot);
    const std::string canary = kRoot + "\\canary";
    mkdir(canary);
    writeText(canary + "\\keep.txt", "canary");
    const std::string p = platform.user + "\\AppData\\Local\\Google\\Chrome\\User Data\\Default";
    for (const char* folder : {"\\Cache\\Cache_Data", "\\Sessions", "\\Network"}) {
        mkdir(p + folder);
    }
    for (const char* file :
         {"\\Preferences", "\\Cache\\Cache_Data\\f", "\\Sessions\\S", "\\Last Tabs"}) {
        writeText(p + file, "data");
    }
    makeDb(p + "\\Network\\Cookies", cookiesSql(false, {".kept.example", "a.example"}));
    linkTo(p + "\\Cache\\lnk", canary);
    linkTo(p + "\\GPUCache", canary);
    linkTo(p + "\\Current Session", canary + "\\keep.txt"); // Wine does not flag it
    const std::string ff = platform.user + "\\AppData\\Roaming\\Mozilla\\Firefox";
    mkdir(ff);
    writeText(canary + "\\profiles.ini", "[Profile0]\nIsRelative=0\nPath=C:\\h3browsers\\canary\n");
    linkTo(ff + "\\profiles.ini", canary + "\\profiles.ini");

    win32::Win32FileSystem fs;
    FakePane pane;
    FolderWiper wiper(fs, pane, {});
    testing_store::MemoryStore store;
    BrowserOptions options(store);
    for (BrowserItem i : {BrowserItem::Cache, BrowserItem::Cookies, BrowserItem::Session}) {
        options.setChecked(BrowserId::Chrome, i, true);
        options.setChecked(BrowserId::Firefox, i, true);
    }
    options.setKeepCookies("kept.example");
    BrowserCleaner cleaner(fs, wiper, pane, platform, options);
    {
        // Held open without shared deletion, as a program reading it would.
        win32::UniqueFile inUse(::CreateFileW(win32::toUtf16(p + "\\Last Tabs").c_str(),
                                              GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              0, nullptr));
        cleaner.run([] {});
    }
    // The lines' colours are the unit tests' business; here what the platform did.
    for (const std::string& line :
         {"Skipped Mozilla Firefox: its profiles.ini cannot be read: " + ff + "\\profiles.ini",
          "A link, not erased: " + p + "\\GPUCache",
          "A link, not erased: " + p + "\\Current Session",
          "In use, not erased: " + p + "\\Last Tabs",
          std::string("Finished Erasing Google Chrome Cookies (1 cookies)")}) {
        EXPECT_THAT(pane.text(), HasSubstr("\r\n" + line));
    }
    EXPECT_EQ(readText(canary + "\\keep.txt"), "canary");
    EXPECT_FALSE(exists(p + "\\Cache\\Cache_Data\\f") || exists(p + "\\Sessions\\S"));

    // A lock left behind by a crash is free; one open as Chromium keeps it
    // while it runs (for writing, shared for reading only) is held.
    const std::string lock = kRoot + "\\lockfile";
    writeText(lock, "");
    EXPECT_FALSE(platform.lockHeld(lock));
    {
        win32::UniqueFile running(::CreateFileW(win32::toUtf16(lock).c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                                nullptr));
        EXPECT_TRUE(platform.lockHeld(lock));
    }
    removeTree(kRoot);
}

} // namespace
