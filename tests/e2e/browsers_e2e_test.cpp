// End to end: the "Browsers" sub-tab's boxes and keep list through the real
// window, then one clean with every box checked over fake profiles of every
// browser in the bench's sandbox, one of them running.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "../win32/browser_files.h"
#include "kernel/settings_store_win32.h"
#include "program_driver.h"
#include "shell/resource.h"
#include "win32/unicode.h"

using namespace tidewell;
using namespace tidewell::e2e;
using namespace tidewell::testing_files;
using ::testing::ElementsAre;

namespace {

const wchar_t kBrowsersKey[] = L"Software\\VB and VBA Program Settings\\Tidewell\\Browsers";

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

class BrowsersE2E : public ::testing::Test {
protected:
    void SetUp() override {
        local = folder(CSIDL_LOCAL_APPDATA);
        roaming = folder(CSIDL_APPDATA);
        for (const std::string& f : {local, roaming}) {
            const DWORD a = attributes(f);
            if (::_wgetenv(L"TIDEWELL_SANDBOX") == nullptr || f.empty() ||
                a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                GTEST_SKIP() << "a real clean runs only in the bench's sandbox prefix";
            }
        }
        roots = {local + "\\Microsoft",        local + "\\Google",
                 local + "\\BraveSoftware",    local + "\\Mozilla",
                 local + "\\Opera Software",   roaming + "\\Mozilla",
                 roaming + "\\Opera Software", canary};
        clear();
    }
    void TearDown() override { clear(); }
    void clear() {
        for (const std::string& r : roots) {
            removeTree(r);
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kBrowsersKey);
    }
    // A Chromium profile with its databases, the files its items erase and
    // the ones none may touch.
    void chromium(const std::string& p) {
        for (const char* f : {"\\Network", "\\Cache\\Cache_Data", "\\Code Cache\\js", "\\Sessions",
                              "\\Extensions\\abc"}) {
            mkdir(p + f);
        }
        for (const char* f : {"\\Preferences", "\\Bookmarks", "\\Login Data", "\\Web Data",
                              "\\Extensions\\abc\\manifest.json"}) {
            writeText(p + f, "canary");
            canaries.push_back(p + f);
        }
        for (const char* f :
             {"\\Cache\\Cache_Data\\f_000001", "\\Code Cache\\js\\a", "\\Sessions\\Session_1",
              "\\Current Session", "\\Visited Links", "\\Top Sites"}) {
            writeText(p + f, "trace");
            traces.push_back(p + f);
        }
        makeCookies(p + "\\Network\\Cookies", false, {".kept.example", "ads.example"});
        makeDb(p + "\\History", "CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR);"
                                "CREATE TABLE visits(id INTEGER PRIMARY KEY, url INTEGER);"
                                "INSERT INTO urls VALUES(1, 'https://visited.example/'); INSERT "
                                "INTO visits VALUES(1, 1);");
    }

    std::string local, roaming;
    const std::string canary = "C:\\h3browsercanary";
    std::vector<std::string> roots, canaries, traces;
    win32::RegistrySettingsStore store;
};

TEST_F(BrowsersE2E, EveryBoxCheckedErasesTheItemsKeepsTheRestAndSkipsTheRunningBrowser) {
    const std::string edge = local + "\\Microsoft\\Edge\\User Data\\Default";
    const std::string chrome = local + "\\Google\\Chrome\\User Data";
    const std::string opera = roaming + "\\Opera Software\\Opera Stable";
    const std::string ff = roaming + "\\Mozilla\\Firefox\\Profiles\\t.default";
    const std::string ffLocal = local + "\\Mozilla\\Firefox\\Profiles\\t.default";
    chromium(edge);
    chromium(chrome + "\\Default");
    chromium(opera);
    mkdir(local + "\\Opera Software\\Opera Stable\\Cache");
    writeText(local + "\\Opera Software\\Opera Stable\\Cache\\data_1", "trace");
    traces.push_back(local + "\\Opera Software\\Opera Stable\\Cache\\data_1");
    mkdir(ff + "\\sessionstore-backups");
    mkdir(ffLocal + "\\cache2\\entries");
    writeText(roaming + "\\Mozilla\\Firefox\\profiles.ini",
              "[Profile0]\r\nName=t\r\nIsRelative=1\r\nPath=Profiles/t.default\r\n");
    for (const char* f : {"\\logins.json", "\\key4.db", "\\prefs.js"}) {
        writeText(ff + f, "canary");
        canaries.push_back(ff + f);
    }
    for (const std::string& f :
         {ff + "\\sessionstore.jsonlz4", ff + "\\sessionstore-backups\\r.jsonlz4",
          ffLocal + "\\cache2\\entries\\AB"}) {
        writeText(f, "trace");
        traces.push_back(f);
    }
    makeCookies(ff + "\\cookies.sqlite", true, {".www.kept.example", "tracker.example"});
    makeDb(ff + "\\places.sqlite",
           "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, visit_count INTEGER);"
           "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, place_id INTEGER);"
           "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, fk INTEGER, title LONGVARCHAR);"
           "INSERT INTO moz_places VALUES(1, 'https://marked.example/', 3), (2, "
           "'https://seen.example/', 1);"
           "INSERT INTO moz_historyvisits VALUES(1, 1), (2, 2);"
           "INSERT INTO moz_bookmarks VALUES(1, 1, 'Mark');");
    makeDb(ff + "\\formhistory.sqlite",
           "CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, value TEXT);"
           "INSERT INTO moz_formhistory VALUES(1, 'typed');");
    // A canary behind a link inside a cache folder.
    mkdir(canary);
    writeText(canary + "\\keep.txt", "canary");
    canaries.push_back(canary + "\\keep.txt");
    linkTo(edge + "\\Cache\\lnk", canary);

    // Brave is not installed at the first start: its row is greyed.
    {
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_FALSE(keyExists(kBrowsersKey)) << "a first start stores nothing";
        EXPECT_EQ(controlText(main, IDC_BROWSERNAME_0 + 2), "Brave (not found)");
        EXPECT_FALSE(::IsWindowEnabled(findControl(main, IDC_BROWSERBOX_0 + 8)));
        EXPECT_EQ(controlText(main, IDC_BROWSERNAME_0 + 1), "Chrome");
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
    chromium(local + "\\BraveSoftware\\Brave-Browser\\User Data\\Default");
    for (const char* b : {"Edge", "Chrome", "Brave", "Firefox", "Opera"}) {
        for (const char* i : {"Cache", "Cookies", "History", "Session"}) {
            store.SaveSetting("Tidewell", "Browsers", std::string(b) + " " + i, "1");
        }
    }
    for (int i = 0; i < 16; ++i) {
        store.SaveSetting("C:\\Program Files\\Tidewell", "Settings", "Index" + std::to_string(i),
                          i == 10 ? "1" : "0");
    }
    std::vector<std::string> chromeFiles;
    for (const std::string& f : traces) {
        if (f.rfind(chrome, 0) == 0) {
            chromeFiles.push_back(f);
        }
    }
    std::string text;
    {
        LockHolder running(chrome + "\\lockfile");
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(controlText(main, IDC_BROWSERNAME_0 + 2), "Brave");
        click(findControl(main, IDC_CMDBASICCLEAN));
        ASSERT_TRUE(waitFor([&] { return pane(main).find("\r\nDone") != std::string::npos; }, 60s))
            << pane(main);
        text = pane(main);
        EXPECT_EQ(exitWithButton(p, main), 0);
    }
    EXPECT_THAT(text,
                ::testing::HasSubstr(
                    "\r\nSkipped Google Chrome: it is running. Close it and clean again.\r\n"));
    // Wine cannot remove a link; Windows removes it as a link.
    const std::string linkLeft = "\r\nIn use, not erased: 1 item in " + edge + "\\Cache\r\n";
    ASSERT_NE(text.find(linkLeft), std::string::npos) << text;
    text.erase(text.find(linkLeft), linkLeft.size() - 2);
    for (const char* never : {"not erased", "Error in", "Damaged", "Google Chrome Cache"}) {
        EXPECT_EQ(text.find(never), std::string::npos) << never << "\n" << text;
    }
    EXPECT_THAT(text, ::testing::HasSubstr("\r\nFinished Erasing Opera Session (2 files)"
                                           "\r\nSpace freed on your Hard Drive: "));
    for (const std::string& f : traces) {
        const bool chromeFile = f.rfind(chrome, 0) == 0;
        EXPECT_EQ(exists(f), chromeFile) << f;
    }
    for (const std::string& f : canaries) {
        EXPECT_EQ(readText(f), "canary") << f;
    }
    for (const std::string& p :
         {edge, local + "\\BraveSoftware\\Brave-Browser\\User Data\\Default", opera}) {
        EXPECT_THAT(dbColumn(p + "\\Network\\Cookies", "SELECT host_key FROM cookies"),
                    ElementsAre(".kept.example"))
            << p;
        EXPECT_THAT(dbColumn(p + "\\History", "SELECT count(*) FROM urls"), ElementsAre("0")) << p;
        for (const char* db : {"\\Network\\Cookies", "\\History"}) {
            EXPECT_THAT(dbColumn(p + db, "PRAGMA integrity_check"), ElementsAre("ok")) << p << db;
        }
    }
    EXPECT_THAT(dbColumn(chrome + "\\Default\\Network\\Cookies", "SELECT count(*) FROM cookies"),
                ElementsAre("2"));
    EXPECT_THAT(dbColumn(ff + "\\cookies.sqlite", "SELECT host FROM moz_cookies"),
                ElementsAre(".www.kept.example"));
    EXPECT_THAT(dbColumn(ff + "\\places.sqlite", "SELECT url FROM moz_places"),
                ElementsAre("https://marked.example/"));
    EXPECT_THAT(dbColumn(ff + "\\places.sqlite",
                         "SELECT count(*) FROM moz_historyvisits UNION ALL SELECT title FROM "
                         "moz_bookmarks"),
                ElementsAre("0", "Mark"));
    EXPECT_THAT(dbColumn(ff + "\\formhistory.sqlite", "SELECT count(*) FROM moz_formhistory"),
                ElementsAre("0"));
    for (const char* db : {"\\cookies.sqlite", "\\places.sqlite", "\\formhistory.sqlite"}) {
        EXPECT_THAT(dbColumn(ff + db, "PRAGMA integrity_check"), ElementsAre("ok")) << db;
    }
    removeTree(edge + "\\Cache\\lnk");
}

} // namespace
