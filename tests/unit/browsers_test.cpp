// The browsers' part of the clean run over doubles: the keep list, the
// profile finder and profiles.ini, and the cleaner's lines and reach. The
// databases themselves are browser_db_test.cpp's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "cleaning/browsers/browser_cleaner.h"
#include "cleaning/clean_run.h"
#include "cleaning_fakes.h"
#include "memory_store.h"

using namespace tidewell;
using namespace tidewell::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

TEST(KeepList, MatchesSitesAndTheirSubdomainsOnly) {
    struct Row {
        const char* list;
        const char* host;
        bool kept;
    };
    const Row rows[] = {
        {"example.com", "example.com", true},
        {"example.com", ".example.com", true},
        {"example.com", "www.EXAMPLE.com", true},
        {"example.com", "a.b.example.com", true},
        {"example.com", "badexample.com", false},
        {"example.com", "example.com.evil.net", false},
        {"example.com", "com", false},
        {"sub.example.com", "example.com", false},
        {"Example.COM.", "x.example.com", true},
        {"https://mail.example.org/inbox?x=1", "mail.example.org", true},
        {"https://mail.example.org/inbox", "example.org", false},
        {"*.example.net:8080", ".example.net", true},
        {"a.org,b.org;c.org\td.org\r\ne.org  f.org", "x.e.org", true},
        {"a.org,,b.org", "b.org", true},
        {"", "example.com", false},
        {"example.com", "", false},
    };
    for (const Row& r : rows) {
        const auto parsed = KeepList::parse(r.list);
        EXPECT_FALSE(parsed.bad) << r.list;
        EXPECT_EQ(parsed.list.keeps(r.host), r.kept) << r.list << " / " << r.host;
    }
    EXPECT_THAT(KeepList::parse("B.org, b.org a.org").list.domains(),
                ElementsAre("b.org", "a.org"));
    // An entry that is no host name is named, so the cookies are left alone.
    for (const char* bad : {"exa mple.com*",
                            "b\xc3\xbc"
                            "cher.de",
                            "-x.com", "a..b", "http://", "ex%61mple.com"}) {
        const auto parsed = KeepList::parse(std::string("good.org ") + bad);
        EXPECT_TRUE(parsed.bad.has_value()) << bad;
    }
}

// Only "1" checks a box; loading writes nothing; a change is stored at once.
TEST(BrowserOptions, StoredFormAndDefaults) {
    testing_store::MemoryStore store;
    store.entry("Browsers", "Chrome Cookies") = "1";
    store.entry("Browsers", "Edge Cache") = "yes";
    store.entry("Browsers", "Firefox History") = "-1";
    store.entry("Browsers", "Opera Session") = " 1";
    store.entry("Browsers", "KeepCookies") = " Example.com, x.org ";
    BrowserOptions options(store);
    options.load();
    int checked = 0;
    for (int b = 0; b < kBrowserCount; ++b) {
        for (int i = 0; i < kBrowserItemCount; ++i) {
            checked +=
                options.checked(static_cast<BrowserId>(b), static_cast<BrowserItem>(i)) ? 1 : 0;
        }
    }
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(options.checked(BrowserId::Chrome, BrowserItem::Cookies));
    EXPECT_EQ(options.keepCookies(), " Example.com, x.org ");
    EXPECT_TRUE(store.writtenKeys.empty());
    options.setChecked(BrowserId::Brave, BrowserItem::Session, true);
    options.setChecked(BrowserId::Chrome, BrowserItem::Cookies, false);
    options.setKeepCookies("a.org ");
    EXPECT_THAT(store.writtenKeys, ElementsAre("Brave Session", "Chrome Cookies", "KeepCookies"));
    EXPECT_THAT(store.writtenValues, ElementsAre("1", "0", "a.org "));
    EXPECT_EQ(store.stored("Browsers", "Brave Session"), "1");
}

const BrowserFolders kFolders{"C:\\u\\AppData\\Local", "C:\\u\\AppData\\Roaming", "C:\\u"};
const std::string kFirefox = "C:\\u\\AppData\\Roaming\\Mozilla\\Firefox";

TEST(ProfilesIni, RelativeAbsoluteAndOutsidePathsAndDamage) {
    struct Row {
        std::string ini;
        std::vector<std::string> folders; // empty text: refused
        size_t badSections;
        bool damaged;
    };
    const Row rows[] = {
        {"\xEF\xBB\xBF[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
         "IsRelative=1\r\nPath=Profiles/abc.default\r\nDefault=1\r\n",
         {kFirefox + "\\Profiles\\abc.default"},
         0,
         false},
        {"[Profile0]\nIsRelative=0\nPath=C:\\u\\ff\\p1\n[Profile1]\nIsRelative=0\nPath=C:"
         "\\Windows\n"
         "[Profile2]\nIsRelative=1\nPath=Profiles/../../../..\n[Profile3]\nIsRelative=0\n"
         "Path=D:p\n[Profile4]\nIsRelative=1\nPath=C:/x\n[Profile5]\nIsRelative=0\nPath=C:\\u\n"
         "[Install308046B0AF4A39CB]\nDefault=Profiles/x\n; note\n",
         {"C:\\u\\ff\\p1", "", "", "", "", ""},
         0,
         false},
        {"[Profile0]\nPath=Profiles/a\n[Profile1]\nIsRelative=yes\nPath=Profiles/b\n[Profile2]\n"
         "IsRelative=1\n",
         {},
         3,
         false},
        {"[Profile0]\nIsRelative=1\nPath=Profiles/a\ngarbage line\n", {}, 0, true},
        {"[Profile0\nIsRelative=1\nPath=Profiles/a\n", {}, 0, true},
        {std::string("[Profile0]\nIsRelative=1\nPath=Prof\0iles/a\n", 38), {}, 0, true},
        {std::string("\x1f\x8b\x08\0\0\0", 6), {}, 0, true},
    };
    for (const Row& r : rows) {
        const ProfilesIni ini = parseProfilesIni(r.ini);
        EXPECT_EQ(ini.damaged, r.damaged) << r.ini;
        EXPECT_EQ(ini.badSections.size(), r.badSections) << r.ini;
        std::vector<std::string> folders;
        for (const IniProfile& p : ini.profiles) {
            const auto place = firefoxProfilePlace(p, kFolders);
            folders.push_back(place ? place->folder : "");
        }
        EXPECT_EQ(folders, r.folders) << r.ini;
    }
    EXPECT_TRUE(parseProfilesIni(std::string("[Profile0]\nPath=a\0b\n", 19)).damaged);
    EXPECT_EQ(firefoxProfilePlace({"Profiles/x.dev", true}, kFolders)->name, "x.dev");
}

// Profiles of every browser laid out as the browsers lay them out, with the
// files no item may touch beside the ones the items erase.
class BrowsersTest : public ::testing::Test {
protected:
    struct Platform : BrowserPlatform {
        FakeFileSystem* fs;
        std::set<std::string> held;
        BrowserFolders folders() override { return kFolders; }
        bool lockHeld(const std::string& f) override { return held.count(f) != 0; }
        std::optional<std::string> readText(const std::string& p) override {
            auto it = fs->nodes.find(p);
            return it == fs->nodes.end() ? std::nullopt : std::optional(it->second.contents);
        }
    };

    BrowsersTest() {
        platform.fs = &fs;
        for (const std::string& ud : {edge, chrome, brave}) {
            chromiumProfile(ud + "\\Default");
            chromiumProfile(ud + "\\Profile 3");
            add(ud + "\\lockfile", false);
            add(ud + "\\Local State", false);
        }
        chromiumProfile(chrome + "\\Guest Profile");
        fs.dir(chrome + "\\System Profile");
        add(chrome + "\\System Profile\\Preferences", false);
        fs.dir(chrome + "\\Profile 9"); // no Preferences: not a profile
        add(chrome + "\\Profile 9\\History", false);
        chromiumProfile(opera);
        chromiumProfile(operaLocal, true);
        fs.file(kFirefox + "\\profiles.ini",
                "[Profile0]\nIsRelative=1\nPath=Profiles/a.default\n[Profile1]\nIsRelative=0\n"
                "Path=C:\\u\\Other\\ff2\n");
        for (const std::string& p : {ffProfile, std::string("C:\\u\\Other\\ff2")}) {
            for (const char* f :
                 {"prefs.js", "logins.json", "key4.db", "cert9.db", "favicons.sqlite",
                  "extensions\\x.xpi", "bookmarkbackups\\b.jsonlz4", "parent.lock"}) {
                add(p + "\\" + f, false);
            }
            for (const char* f :
                 {"places.sqlite", "formhistory.sqlite", "cookies.sqlite", "sessionstore.jsonlz4",
                  "sessionstore-backups\\recovery.jsonlz4"}) {
                add(p + "\\" + f, true);
            }
            const std::string local =
                "C:\\u\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\" + p.substr(p.rfind('\\') + 1);
            add(local + "\\cache2\\entries\\ABC", true);
            add(local + "\\startupCache\\s.bin", true);
            add(local + "\\safebrowsing\\list", false);
        }
        // Databases are erased row by row, never deleted.
        for (auto& [path, gone] : expectGone) {
            if (path.find(".sqlite") != std::string::npos || path.ends_with("Cookies") ||
                path.ends_with("\\History")) {
                gone = false;
            }
        }
    }
    // Every parent folder, then the file; `gone`: an item erases it.
    void add(const std::string& path, bool gone) {
        for (size_t s = path.find('\\', 3); s != std::string::npos; s = path.find('\\', s + 1)) {
            fs.dir(path.substr(0, s));
        }
        fs.file(path, "data");
        expectGone[path] = gone;
    }
    void chromiumProfile(const std::string& p, bool cacheOnly = false) {
        for (const char* f :
             {"Cache\\Cache_Data\\f_000001", "Code Cache\\js\\a", "GPUCache\\data_0",
              "Service Worker\\CacheStorage\\x\\y", "Service Worker\\ScriptCache\\z"}) {
            add(p + "\\" + f, true);
        }
        add(p + "\\Service Worker\\Database\\keep", false);
        if (cacheOnly) {
            return;
        }
        for (const char* f :
             {"Preferences", "Secure Preferences", "Bookmarks", "Login Data", "Web Data",
              "Favicons", "Extensions\\abc\\manifest.json", "Network\\TransportSecurity"}) {
            add(p + "\\" + f, false);
        }
        for (const char* f : {"Network\\Cookies", "Cookies", "History", "History-journal",
                              "Visited Links", "Top Sites", "Top Sites-journal", "Shortcuts",
                              "Shortcuts-journal", "Sessions\\Session_1", "Current Session",
                              "Current Tabs", "Last Session", "Last Tabs"}) {
            add(p + "\\" + f, true);
        }
    }
    void checkAll() {
        for (int b = 0; b < kBrowserCount; ++b) {
            for (int i = 0; i < kBrowserItemCount; ++i) {
                options.setChecked(static_cast<BrowserId>(b), static_cast<BrowserItem>(i), true);
            }
        }
    }

    const std::string edge = "C:\\u\\AppData\\Local\\Microsoft\\Edge\\User Data";
    const std::string chrome = "C:\\u\\AppData\\Local\\Google\\Chrome\\User Data";
    const std::string brave = "C:\\u\\AppData\\Local\\BraveSoftware\\Brave-Browser\\User Data";
    const std::string opera = "C:\\u\\AppData\\Roaming\\Opera Software\\Opera Stable";
    const std::string operaLocal = "C:\\u\\AppData\\Local\\Opera Software\\Opera Stable";
    const std::string ffProfile = kFirefox + "\\Profiles\\a.default";

    std::map<std::string, bool> expectGone;
    FakeFileSystem fs;
    FakePane pane;
    Platform platform;
    testing_store::MemoryStore store;
    BrowserOptions options{store};
    FolderWiper wiper{fs, pane, {}};
    std::vector<std::string> erased; // "<kind> <path>" as the database part saw them
    std::map<std::string, DbOutcome> outcomes;
    BrowserCleaner cleaner{
        fs,
        wiper,
        pane,
        platform,
        options,
        [this](const std::string& p, DbKind k, const KeepList& keep) {
            erased.push_back(std::to_string(static_cast<int>(k)) + " " + p +
                             (keep.domains().empty() ? "" : " keep"));
            auto it = outcomes.find(p);
            return it != outcomes.end() ? it->second : DbOutcome{DbOutcome::Status::Erased, 2, {}};
        }};
};

TEST_F(BrowsersTest, FinderSeesEveryProfileAndOnlyProfiles) {
    ProfileFinder finder(fs, [this](const std::string& p) { return platform.readText(p); });
    const auto folders = [&](BrowserId b) {
        std::vector<std::string> out;
        for (const BrowserProfile& p : finder.find(b, kFolders).profiles) {
            out.push_back(p.folder + "|" + p.cacheFolder + "|" + p.lockFile);
        }
        return out;
    };
    EXPECT_THAT(
        folders(BrowserId::Chrome),
        ElementsAre(chrome + "\\Default|" + chrome + "\\Default|" + chrome + "\\lockfile",
                    chrome + "\\Guest Profile|" + chrome + "\\Guest Profile|" + chrome +
                        "\\lockfile",
                    chrome + "\\Profile 3|" + chrome + "\\Profile 3|" + chrome + "\\lockfile"));
    EXPECT_THAT(folders(BrowserId::Opera),
                ElementsAre(opera + "|" + operaLocal + "|" + opera + "\\lockfile"));
    EXPECT_THAT(
        folders(BrowserId::Firefox),
        ElementsAre(ffProfile + "|C:\\u\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\a.default|" +
                        ffProfile + "\\parent.lock",
                    "C:\\u\\Other\\ff2|C:\\u\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\ff2|"
                    "C:\\u\\Other\\ff2\\parent.lock"));

    // A profile folder that is a link, and a Firefox profile a link inside the
    // user's folders leads elsewhere, are not followed.
    fs.dir("D:\\elsewhere");
    fs.file("D:\\elsewhere\\Preferences");
    fs.link(edge + "\\Profile 5", "D:\\elsewhere");
    fs.dir("D:\\elsewhere\\ff2");
    fs.link("C:\\u\\Other", "D:\\elsewhere");
    EXPECT_EQ(folders(BrowserId::Edge).size(), 2u);
    const FoundProfiles ff = finder.find(BrowserId::Firefox, kFolders);
    EXPECT_EQ(ff.profiles.size(), 1u);
    EXPECT_THAT(ff.problems, ElementsAre("Skipped a Mozilla Firefox profile outside your user "
                                         "folders: C:\\u\\Other\\ff2"));

    fs.file(kFirefox + "\\profiles.ini", "PK\x03\x04 not an ini");
    EXPECT_THAT(finder.find(BrowserId::Firefox, kFolders).problems,
                ElementsAre("Skipped Mozilla Firefox: its profiles.ini is damaged: " + kFirefox +
                            "\\profiles.ini"));
    fs.nodes.erase(kFirefox + "\\profiles.ini");
    const FoundProfiles none = finder.find(BrowserId::Firefox, kFolders);
    EXPECT_TRUE(none.installed && none.profiles.empty() && none.problems.empty());
    EXPECT_FALSE(
        finder.find(BrowserId::Chrome, {"C:\\v\\Local", "C:\\v\\Roaming", "C:\\v"}).installed);
}

// Everything checked: every listed item goes, every other file stays, the
// databases are handed over (Chromium's old and new cookie files), and the
// pane says so per browser in the run's order.
TEST_F(BrowsersTest, EveryItemOfEveryBrowserErasesExactlyItsFiles) {
    checkAll();
    int betweens = 0;
    cleaner.run([&] { ++betweens; });
    EXPECT_EQ(betweens, 20);
    for (const auto& [path, gone] : expectGone) {
        EXPECT_EQ(fs.exists(path), !gone) << path;
    }
    for (const std::string& ud : {edge, chrome, brave}) {
        EXPECT_TRUE(fs.exists(ud + "\\Default\\Cache")) << "the folders themselves stay";
    }
    std::set<std::string> dbs(erased.begin(), erased.end());
    EXPECT_EQ(dbs.size(), erased.size()) << "each database once";
    EXPECT_TRUE(dbs.count("0 " + chrome + "\\Profile 3\\Network\\Cookies"));
    EXPECT_TRUE(dbs.count("0 " + chrome + "\\Guest Profile\\Cookies"));
    EXPECT_TRUE(dbs.count("3 C:\\u\\Other\\ff2\\places.sqlite"));
    EXPECT_TRUE(dbs.count("4 " + ffProfile + "\\formhistory.sqlite"));
    EXPECT_EQ(erased.size(), (2u + 3 + 2) * 3 + 2 * 3 + 3) << ::testing::PrintToString(erased);
    EXPECT_EQ(cleaner.bytesFreed(), 4u * (10 * 8 + 2)) << "files deleted one by one";

    std::string finished;
    const std::string t = pane.tagged();
    for (size_t at = t.find("[G]"); at != std::string::npos; at = t.find("[G]", at + 1)) {
        finished += t.substr(at + 20, t.find(" (", at) - at - 20) + "|";
    }
    EXPECT_EQ(finished,
              "Microsoft Edge Cache|Microsoft Edge Cookies|Microsoft Edge History|Microsoft Edge "
              "Session|Google Chrome Cache|Google Chrome Cookies|Google Chrome History|Google "
              "Chrome Session|Brave Cache|Brave Cookies|Brave History|Brave Session|Mozilla "
              "Firefox Cache|Mozilla Firefox Cookies|Mozilla Firefox History|Mozilla Firefox "
              "Session|Opera Cache|Opera Cookies|Opera History|Opera Session|");
    EXPECT_EQ(t.find("[R]"), std::string::npos) << t;
}

TEST_F(BrowsersTest, LinesOfOneBrowserAndWhatStopsAnItem) {
    options.setChecked(BrowserId::Opera, BrowserItem::Cache, true);
    options.setChecked(BrowserId::Opera, BrowserItem::Cookies, true);
    options.setChecked(BrowserId::Opera, BrowserItem::Session, true);
    options.setChecked(BrowserId::Chrome, BrowserItem::History, true);
    options.setChecked(BrowserId::Firefox, BrowserItem::Cookies, true);
    platform.held = {chrome + "\\lockfile", "C:\\u\\Other\\ff2\\parent.lock"};
    options.setKeepCookies("example.com");
    fs.nodes[opera + "\\Current Tabs"].locked = true;
    outcomes[opera + "\\Cookies"] = {DbOutcome::Status::Damaged, 0, "file is not a database"};
    outcomes[opera + "\\Network\\Cookies"] = {DbOutcome::Status::Busy, 0, "database is locked"};
    // A link inside the cache loses only itself; a cache folder that is a
    // link is not entered at all.
    fs.dir("D:\\canary");
    fs.file("D:\\canary\\keep");
    fs.link(operaLocal + "\\Cache\\lnk", "D:\\canary");
    fs.nodes.erase(opera + "\\GPUCache\\data_0");
    fs.nodes.erase(opera + "\\GPUCache");
    fs.link(opera + "\\GPUCache", "D:\\canary");
    cleaner.run([] {});
    EXPECT_TRUE(fs.exists("D:\\canary\\keep"));
    EXPECT_TRUE(fs.exists(chrome + "\\Default\\Visited Links")) << "a running browser is left";
    const std::string red = "\r\n[R]";
    EXPECT_EQ(
        pane.tagged(),
        red + "Skipped Google Chrome: it is running. Close it and clean again." + red +
            "Skipped Mozilla Firefox: it is running. Close it and clean again."
            "\r\n[B]Path: " +
            ffProfile +
            "\r\n[B]Erasing Mozilla Firefox Cookies ..."
            "\r\n[G]Finished Erasing Mozilla Firefox Cookies (2 cookies)"
            "\r\n[B]Path: " +
            operaLocal + "\r\n[B]Path: " + opera + "\r\n[B]Erasing Opera Cache ..." + red +
            "A link, not erased: " + opera +
            "\\GPUCache\r\n[G]Finished Erasing Opera Cache (9 files)"
            "\r\n[B]Path: " +
            opera + "\r\n[B]Erasing Opera Cookies ..." + red + "In use, not erased: " + opera +
            "\\Network\\Cookies" + red + "Damaged, left as it was: " + opera +
            "\\Cookies (file is not a database)"
            "\r\n[G]Finished Erasing Opera Cookies (0 cookies)"
            "\r\n[B]Path: " +
            opera + "\r\n[B]Erasing Opera Session ..." + red + "In use, not erased: " + opera +
            "\\Current Tabs"
            "\r\n[G]Finished Erasing Opera Session (4 files)");
    EXPECT_THAT(erased, ElementsAre("1 " + ffProfile + "\\cookies.sqlite keep",
                                    "0 " + opera + "\\Network\\Cookies keep",
                                    "0 " + opera + "\\Cookies keep"));

    // A keep list the cleaner cannot read leaves every cookie where it is.
    pane.Clear();
    erased.clear();
    platform.held.clear();
    options.setKeepCookies("example.com, b\xc3\xbc"
                           "cher.de");
    cleaner.run([] {});
    EXPECT_THAT(erased, ::testing::Each(::testing::Not(HasSubstr("ookies"))));
    EXPECT_THAT(pane.tagged(), HasSubstr("\r\n[B]Erasing Opera Cookies ..." + red +
                                         "Not erased: \"b\xc3\xbc"
                                         "cher.de\" in the list of "
                                         "sites to keep is not a site name\r\n[B]Path: "));
}

// The browsers come after option 15, one yield per item, and their space
// counts in the run's total.
TEST_F(BrowsersTest, TheRunCleansTheBrowsersLastAndCountsTheirSpace) {
    struct Window : CleanRunWindow {
        std::array<int, 16> options{};
        int yields = 0;
        int optionValue(int i) override { return options[static_cast<size_t>(i)]; }
        void bringForward() override {}
        void yield() override { ++yields; }
    } window;
    struct Schedule : CleanRunSchedule {
        bool editsPending() override { return false; }
        void runStarting() override {}
        void runFinished() override {}
    } schedule;
    FakeLabel label;
    FakeReporter errors;
    FakePlatform cleaning;
    FakeRegistry registry;
    EraseTargets targets{pane, label, cleaning, wiper, fs, errors};
    BrowserTweaks tweaks{registry, store, {}};
    CleaningActivity activity;
    CleanRun run{window,   schedule, pane,   label,    targets,
                 cleaning, tweaks,   errors, activity, &cleaner};
    window.options[10] = window.options[13] = 1;
    options.setChecked(BrowserId::Chrome, BrowserItem::Session, true);
    options.setChecked(BrowserId::Chrome, BrowserItem::Cache, true);
    fs.file(chrome + "\\Default\\Cache\\big", std::string(1000, 'c'));
    ASSERT_EQ(run.cmdBasicClean_Click(), CleanOutcome::Finished);
    EXPECT_EQ(window.yields, 16 + 2);
    const std::string t = pane.tagged();
    const size_t runHistory = t.find("[G]Finished Erasing Windows Start Run History");
    const size_t chromeCache = t.find("[B]Erasing Google Chrome Cache ...");
    const size_t session = t.find("[G]Finished Erasing Google Chrome Session (15 files)");
    ASSERT_NE(session, std::string::npos) << t;
    EXPECT_LT(runHistory, chromeCache);
    EXPECT_LT(chromeCache, session);
    // 15 cache files of 4 bytes and the big one, 15 session files of 4 bytes.
    EXPECT_THAT(t, ::testing::EndsWith("[G]Finished Erasing Google Chrome Session (15 files)"
                                       "\r\n[G]Space freed on your Hard Drive: 1.1 KB\r\n[K]Done"));
    EXPECT_EQ(targets.bytesFreed() + cleaner.bytesFreed(), 15u * 4 + 1000 + 15 * 4);
}

} // namespace
