// End to end: the "Browsers" sub-tab's boxes and keep list through the real
// window, then one clean with every box checked over fake profiles of every
// browser in the bench's sandbox, one browser running.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "../win32/browser_files.h"
#include "kernel/settings_store_win32.h"
#include "program_driver.h"
#include "shell/resource.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;
using namespace tidewell::browser_fixtures;
using ::testing::ElementsAre;

namespace {

std::string folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? win32::toUtf8(path) : "";
}

std::string pane(HWND main) {
    HWND p = findControl(main, IDC_RTFMESSAGE);
    std::wstring text(static_cast<size_t>(::SendMessageW(p, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    ::SendMessageW(p, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return win32::toUtf8(text.c_str());
}

TEST(BrowsersE2E, EveryBoxCheckedErasesTheItemsKeepsTheRestAndSkipsTheRunningBrowser) {
    const std::string local = folder(CSIDL_LOCAL_APPDATA), roaming = folder(CSIDL_APPDATA);
    if (::_wgetenv(L"TIDEWELL_SANDBOX") == nullptr || local.empty() ||
        (attributes(local) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        GTEST_SKIP() << "a real clean runs only in the bench's sandbox prefix";
    }
    const wchar_t key[] = L"Software\\VB and VBA Program Settings\\Tidewell\\Browsers";
    const std::string canary = "C:\\h3browsercanary",
                      edge = local + "\\Microsoft\\Edge\\User Data\\Default",
                      chrome = local + "\\Google\\Chrome\\User Data",
                      brave = local + "\\BraveSoftware\\Brave-Browser\\User Data\\Default",
                      opera = roaming + "\\Opera Software\\Opera Stable",
                      ff = roaming + "\\Mozilla\\Firefox\\Profiles\\t.default",
                      ffLocal = local + "\\Mozilla\\Firefox\\Profiles\\t.default";
    const std::vector<std::string> roots = {local + "\\Microsoft\\Edge",  local + "\\Google",
                                            local + "\\BraveSoftware",    local + "\\Mozilla",
                                            local + "\\Opera Software",   roaming + "\\Mozilla",
                                            roaming + "\\Opera Software", canary};
    // Also after a failed check: a link left under the users' folders stops the bench.
    struct Cleanup {
        std::function<void()> clear;
        ~Cleanup() { clear(); }
    } cleanup{[&] {
        removeTree(local + "\\Microsoft\\Edge\\User Data\\Default\\Cache\\lnk");
        for (const std::string& r : roots) {
            removeTree(r);
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
    }};
    cleanup.clear();
    std::vector<std::pair<std::string, bool>> files; // and whether the clean erases it
    const auto lay = [&](const std::string& base, const std::vector<LayoutFile>& layout) {
        for (const LayoutFile& f : layout) {
            const std::string p = base + "\\" + f.path;
            mkdir(p.substr(0, p.rfind('\\')));
            // An empty journal: one with content beside its database would be hot.
            writeText(p, p.ends_with("-journal") ? "" : "data");
            files.emplace_back(p, f.erased && base.rfind(chrome, 0) != 0); // Chrome runs
        }
    };
    const auto chromium = [&](const std::string& p) {
        // The databases first: SQLite would take a journal beside them for its own.
        mkdir(p + "\\Network");
        makeDb(p + "\\Network\\Cookies", cookiesSql(false, {".kept.example", "ads.example"}));
        makeDb(p + "\\History", kChromiumHistorySql);
        lay(p, kChromiumProfile);
    };
    for (const std::string& p : {edge, chrome + "\\Default", opera}) {
        chromium(p);
    }
    lay(local + "\\Opera Software\\Opera Stable", {{"Cache\\data_1", true}});
    lay(ff, kFirefoxProfile);
    lay(ffLocal, kFirefoxLocal);
    writeText(roaming + "\\Mozilla\\Firefox\\profiles.ini",
              "[Profile0]\r\nIsRelative=1\r\nPath=Profiles/t.default\r\n");
    makeDb(ff + "\\cookies.sqlite", cookiesSql(true, {".www.kept.example", "tracker.example"}));
    makeDb(ff + "\\places.sqlite", kFirefoxPlacesSql);
    makeDb(ff + "\\formhistory.sqlite", kFormHistorySql);
    lay(canary, {{"keep.txt", false}});
    linkTo(edge + "\\Cache\\lnk", canary);

    win32::RegistrySettingsStore store;
    {
        // Brave is not installed yet: its row is greyed.
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_FALSE(keyExists(key)) << "a first start stores nothing";
        EXPECT_EQ(controlText(main, IDC_BROWSERNAME_0 + 2), "Brave (not found)");
        EXPECT_FALSE(::IsWindowEnabled(findControl(main, IDC_BROWSERBOX_0 + 8)));
        HWND box = findControl(main, IDC_BROWSERBOX_0 + 5); // Chrome Cookies
        ::SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
        click(box);
        ::SendMessageW(findControl(main, IDC_TXTKEEPCOOKIES), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"kept.example"));
        EXPECT_TRUE(waitFor([&] {
            return store.GetSetting("Tidewell", "Browsers", "Chrome Cookies", "") == "1" &&
                   store.GetSetting("Tidewell", "Browsers", "KeepCookies", "") == "kept.example";
        }));
        EXPECT_EQ(exitWithButton(p, main), 0);
    }
    chromium(brave);
    for (const char* b : {"Edge", "Chrome", "Brave", "Firefox", "Opera"}) {
        for (const char* i : {"Cache", "Cookies", "History", "Session"}) {
            store.SaveSetting("Tidewell", "Browsers", std::string(b) + " " + i, "1");
        }
    }
    for (int i = 0; i < 16; ++i) {
        store.SaveSetting("C:\\Program Files\\Tidewell", "Settings", "Index" + std::to_string(i),
                          i == 10 ? "1" : "0");
    }
    std::string text;
    {
        LockHolder running(chrome + "\\lockfile");
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        click(findControl(main, IDC_CMDBASICCLEAN));
        ASSERT_TRUE(waitFor([&] { return pane(main).find("\r\nDone") != std::string::npos; }, 60s))
            << pane(main);
        text = pane(main);
        EXPECT_EQ(exitWithButton(p, main), 0);
    }
    EXPECT_NE(text.find("\r\nSkipped Google Chrome: it is running. Close it and clean again.\r\n"),
              std::string::npos);
    // Wine cannot remove a link; Windows removes it as a link.
    const std::string linkLeft = "\r\nIn use, not erased: 1 item in " + edge + "\\Cache";
    ASSERT_NE(text.find(linkLeft), std::string::npos) << text;
    text.erase(text.find(linkLeft), linkLeft.size());
    for (const char* never : {"not erased", "Error in", "Damaged", "Google Chrome Cache"}) {
        EXPECT_EQ(text.find(never), std::string::npos) << never << "\n" << text;
    }
    EXPECT_NE(
        text.find(
            "\r\nFinished Erasing Opera Session (5 files)\r\nSpace freed on your Hard Drive: "),
        std::string::npos)
        << text;
    for (const auto& [f, erased] : files) {
        EXPECT_EQ(exists(f), !erased) << f;
    }
    for (const std::string& p : {edge, brave, opera, chrome + "\\Default"}) {
        const bool ran = p.rfind(chrome, 0) == 0;
        EXPECT_THAT(dbColumn(p + "\\Network\\Cookies", "SELECT count(*) FROM cookies"),
                    ElementsAre(ran ? "2" : "1"));
        EXPECT_THAT(dbColumn(p + "\\History", "SELECT count(*) FROM urls"),
                    ElementsAre(ran ? "2" : "0"));
    }
    EXPECT_THAT(dbColumn(ff + "\\cookies.sqlite", "SELECT host FROM moz_cookies"),
                ElementsAre(".www.kept.example"));
    EXPECT_THAT(dbColumn(ff + "\\places.sqlite", "SELECT title FROM moz_bookmarks"),
                ElementsAre("root", "Mark"));
    EXPECT_THAT(dbColumn(ff + "\\places.sqlite", "SELECT count(*) FROM moz_historyvisits"),
                ElementsAre("0"));
    for (const std::string& db :
         {edge + "\\Network\\Cookies", edge + "\\History", ff + "\\cookies.sqlite",
          ff + "\\places.sqlite", ff + "\\formhistory.sqlite"}) {
        EXPECT_THAT(dbColumn(db, "PRAGMA integrity_check"), ElementsAre("ok")) << db;
    }
}

} // namespace
