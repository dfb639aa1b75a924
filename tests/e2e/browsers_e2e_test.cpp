// End to end: the "Browsers" sub-tab's boxes and keep list through the real
// window, then one clean with every box checked over fake profiles of every
// browser in the bench's sandbox, one browser running.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "../unit/browser_fixtures.h"
#include "../win32/test_files.h"
#include "kernel/settings_store_win32.h"
#include "program_driver.h"
#include "settings/browser_options.h"
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
    const std::string edge = local + "\\Microsoft\\Edge\\User Data\\Default",
                      edge2 = local + "\\Microsoft\\Edge\\User Data\\Profile 1",
                      chrome = local + "\\Google\\Chrome\\User Data",
                      brave = local + "\\BraveSoftware\\Brave-Browser\\User Data\\Default",
                      opera = roaming + "\\Opera Software\\Opera Stable",
                      ff = roaming + "\\Mozilla\\Firefox\\Profiles\\t.default";
    // Also after a failed check: profiles or boxes left behind would change other runs.
    const auto clear = [&] {
        for (const char* r :
             {"Microsoft\\Edge", "Google", "BraveSoftware", "Mozilla", "Opera Software"}) {
            removeTree(local + "\\" + r);
            removeTree(roaming + "\\" + r);
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
    };
    clear();
    const std::shared_ptr<void> atEnd(nullptr, [&](void*) { clear(); });
    std::vector<std::pair<std::string, bool>> files; // and whether the clean erases it
    const auto lay = [&](const Layout& layout, const std::string& base) {
        eachFile(layout, base, [&](const std::string& p, bool erased) {
            mkdir(p.substr(0, p.rfind('\\')));
            writeText(p, "data");
            files.emplace_back(p, erased && p.rfind(chrome, 0) != 0); // Chrome runs
        });
    };
    const auto chromium = [&](const std::string& p) {
        mkdir(p + "\\Network");
        makeDb(p + "\\Network\\Cookies", cookiesSql(false, {".kept.example", "ads.example"}));
        makeDb(p + "\\History", kChromiumHistorySql);
        lay(kChromiumProfile, p);
    };
    for (const std::string& p : {edge, edge2, chrome + "\\Default", brave, opera}) {
        chromium(p);
    }
    lay({{"Cache\\data_1"}, {}}, local + "\\Opera Software\\Opera Stable");
    lay(kFirefoxProfile, ff);
    lay(kFirefoxLocal, local + "\\Mozilla\\Firefox\\Profiles\\t.default");
    writeText(roaming + "\\Mozilla\\Firefox\\profiles.ini",
              "[Profile0]\r\nIsRelative=1\r\nPath=Profiles/t.default\r\n");
    makeDb(ff + "\\cookies.sqlite", cookiesSql(true, {".www.kept.example", "tracker.example"}));
    makeDb(ff + "\\places.sqlite", kFirefoxPlacesSql);
    makeDb(ff + "\\formhistory.sqlite", kFormHistorySql);

    win32::RegistrySettingsStore store;
    {
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        chooseTab(main, 1);
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
    // A start stores nothing of its own: a scheduled run does what it did before.
    HKEY stored = nullptr;
    DWORD values = 0;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &stored), ERROR_SUCCESS);
    ::RegQueryInfoKeyW(stored, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(stored);
    EXPECT_EQ(values, 2u) << "only the box and the list the user changed";
    for (int i = 0; i < kBrowserCount * kBrowserItemCount; ++i) {
        const auto name = BrowserOptions::keyName(BrowserId(i / 4), BrowserItem(i % 4));
        store.SaveSetting("Tidewell", "Browsers", name, "1");
    }
    for (int i = 0; i < 16; ++i) { // only the report of the space freed
        store.SaveSetting("C:\\Program Files\\Tidewell", "Settings", "Index" + std::to_string(i),
                          i == 10 ? "1" : "0");
    }
    std::string text;
    {
        // Chrome runs: this process holds its lock as Chrome does.
        win32::UniqueFile running(::CreateFileW(win32::toUtf16(chrome + "\\lockfile").c_str(),
                                                GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        ASSERT_TRUE(running);
        ProgramProcess p;
        HWND main = p.waitMainWindow();
        ASSERT_NE(main, nullptr);
        click(findControl(main, IDC_CMDBASICCLEAN));
        ASSERT_TRUE(waitFor([&] { return pane(main).find("\r\nDone") != std::string::npos; }, 60s))
            << pane(main);
        text = pane(main);
        EXPECT_EQ(exitWithButton(p, main), 0);
    }
    EXPECT_THAT(text,
                ::testing::HasSubstr(
                    "\r\nSkipped Google Chrome: it is running. Close it and clean again.\r\n"));
    // 4 bytes for each of the 24 files erased.
    EXPECT_THAT(text, ::testing::EndsWith("\r\nFinished Erasing Opera Session (2 files)\r\nSpace "
                                          "freed on your Hard Drive: 96 bytes\r\nDone"));
    for (const auto& [f, erased] : files) {
        EXPECT_EQ(exists(f), !erased) << f;
    }
    // Kept sites' cookies and the bookmarks stay, and every database passes its check.
    const std::pair<std::string, std::string> rows[] = {
        {edge2 + "\\Network\\Cookies", "SELECT group_concat(host_key) FROM cookies"},
        {brave + "\\History", "SELECT count(*) FROM urls"},
        {ff + "\\cookies.sqlite", "SELECT group_concat(host) FROM moz_cookies"},
        {ff + "\\places.sqlite", "SELECT group_concat(title) FROM moz_bookmarks"},
        {ff + "\\places.sqlite", "SELECT count(*) FROM moz_historyvisits"},
    };
    std::string found;
    for (const auto& [db, query] : rows) {
        found += dbColumn(db, query).at(0) + "|";
        EXPECT_THAT(dbColumn(db, "PRAGMA integrity_check"), ElementsAre("ok")) << db;
    }
    EXPECT_EQ(found, ".kept.example|0|.www.kept.example|root,Mark|0|");
    EXPECT_TRUE(exists(edge + "\\Cache")) << "the folders themselves stay";
}

} // namespace
