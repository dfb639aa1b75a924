// The browsers' cleaning on real files under Wine: what only the platform
// shows. A running browser's lock (another process, and a handle that
// shares nothing), links the platform flags and one it does not, a file in
// use, a profiles.ini that is a link, and SQLite under a name outside ASCII.
// The whole run over every browser is the e2e test's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../unit/cleaning_fakes.h"
#include "browser_files.h"
#include "cleaning/browsers/browser_platform_win32.h"
#include "cleaning/file_system_win32.h"
#include "../unit/memory_store.h"

using namespace tidewell;
using namespace tidewell::testing;
using namespace tidewell::testing_files;
using namespace tidewell::browser_fixtures;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const std::string kRoot = "C:\\h3browsers";

TEST(BrowserLocks, ARunningBrowsersLockIsHeldAStaleOneIsNot) {
    removeTree(kRoot);
    mkdir(kRoot);
    win32::Win32BrowserPlatform platform;
    const std::string chromium = kRoot + "\\lockfile", firefox = kRoot + "\\parent.lock";
    EXPECT_FALSE(platform.lockHeld(chromium)) << "missing";
    writeText(chromium, "");
    EXPECT_FALSE(platform.lockHeld(chromium)) << "left behind by a crash";
    {
        LockHolder running(chromium);
        EXPECT_TRUE(platform.lockHeld(chromium));
    }
    EXPECT_FALSE(platform.lockHeld(chromium));
    {
        win32::UniqueFile f(::CreateFileW(win32::toUtf16(firefox).c_str(), GENERIC_READ, 0, nullptr,
                                          CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        ASSERT_TRUE(f);
        EXPECT_TRUE(platform.lockHeld(firefox));
    }
    EXPECT_FALSE(platform.lockHeld(firefox));
    removeTree(kRoot);
}

TEST(BrowserCleaning, LinksFilesInUseAndNamesOutsideAscii) {
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
    writeText(p + "\\Preferences", "{}");
    writeText(p + "\\Cache\\Cache_Data\\f_000001", "cached");
    writeText(p + "\\Sessions\\Session_1", "s");
    writeText(p + "\\Last Tabs", "t");
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
    const std::string t = pane.text();
    EXPECT_THAT(t, HasSubstr("\r\nSkipped Mozilla Firefox: its profiles.ini cannot be read: " + ff +
                             "\\profiles.ini"));
    EXPECT_THAT(t, HasSubstr("\r\nA link, not erased: " + p + "\\GPUCache"));
    EXPECT_THAT(t, HasSubstr("\r\nA link, not erased: " + p + "\\Current Session"));
    EXPECT_THAT(t, HasSubstr("\r\nIn use, not erased: " + p + "\\Last Tabs"));
    EXPECT_THAT(t, HasSubstr("\r\nFinished Erasing Google Chrome Cookies (1 cookies)"));
    EXPECT_EQ(readText(canary + "\\keep.txt"), "canary");
    EXPECT_EQ(readText(canary + "\\profiles.ini").substr(0, 10), "[Profile0]");
    EXPECT_FALSE(exists(p + "\\Cache\\Cache_Data\\f_000001"));
    EXPECT_FALSE(exists(p + "\\Sessions\\Session_1"));
    EXPECT_THAT(dbColumn(p + "\\Network\\Cookies", "SELECT host_key FROM cookies"),
                ElementsAre(".kept.example"));
    EXPECT_THAT(dbColumn(p + "\\Network\\Cookies", "PRAGMA integrity_check"), ElementsAre("ok"));
    for (const std::string& l :
         {p + "\\Cache\\lnk", p + "\\GPUCache", p + "\\Current Session", ff + "\\profiles.ini"}) {
        removeTree(l);
    }
    removeTree(kRoot);
}

} // namespace
