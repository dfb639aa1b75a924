// The browsers' part of the clean run over doubles: the keep list, the
// stored options, profiles.ini and the profile finder, and the cleaner's
// lines and reach within the run. The databases are browser_db_test.cpp's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "browser_fixtures.h"
#include "cleaning/browsers/browser_cleaner.h"
#include "cleaning/clean_run.h"
#include "cleaning_fakes.h"
#include "memory_store.h"

using namespace tidewell;
using namespace tidewell::testing;
using namespace tidewell::browser_fixtures;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

TEST(KeepList, KeepsSitesAndTheirSubdomainsOnlyAndNamesWhatItCannotRead) {
    const auto parsed = KeepList::parse("Example.COM. https://mail.example.org/x?y sub.only.org "
                                        "*.example.net:8080,a.org;B.org\tb.org\r\nc.org");
    EXPECT_FALSE(parsed.bad);
    EXPECT_EQ(parsed.list.domains().size(), 7u) << "each site once";
    for (const char* host : {".example.com", "a.www.EXAMPLE.com", "mail.example.org", "example.net",
                             "x.c.org", ".sub.only.org"}) {
        EXPECT_TRUE(parsed.list.keeps(host)) << host;
    }
    for (const char* host :
         {"badexample.com", "example.com.evil.net", "example.org", "only.org", "org", ""}) {
        EXPECT_FALSE(parsed.list.keeps(host)) << host;
    }
    EXPECT_FALSE(KeepList::parse("").list.keeps("example.com"));
    for (const char* bad : {"exa*mple.com",
                            "b\xc3\xbc"
                            "cher.de",
                            "-x.com", "a..b", "http://", "e%61.com"}) {
        EXPECT_EQ(KeepList::parse(std::string("good.org ") + bad).bad.value_or("-"), bad);
    }
}

// Only "1" checks a box; loading writes nothing; a change is stored at once.
TEST(BrowserOptions, OnlyOneChecksAndChangesAreStoredAtOnce) {
    testing_store::MemoryStore store;
    for (const char* key : {"Edge Cache", "Firefox History", "Opera Session", "Chrome Cookies"}) {
        store.entry("Browsers", key) = key[0] == 'C' ? "1" : key[0] == 'E' ? "yes" : " 1";
    }
    store.entry("Browsers", "KeepCookies") = " Example.com, x.org ";
    BrowserOptions options(store);
    options.load();
    int checked = 0;
    for (int b = 0; b < kBrowserCount * kBrowserItemCount; ++b) {
        checked += options.checked(static_cast<BrowserId>(b / 4), static_cast<BrowserItem>(b % 4));
    }
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(options.checked(BrowserId::Chrome, BrowserItem::Cookies));
    EXPECT_EQ(options.keepCookies(), " Example.com, x.org ");
    EXPECT_TRUE(store.written.empty());
    options.setChecked(BrowserId::Brave, BrowserItem::Session, true);
    options.setChecked(BrowserId::Chrome, BrowserItem::Cookies, false);
    options.setKeepCookies("a.org ");
    EXPECT_THAT(store.written,
                ElementsAre("Brave Session=1", "Chrome Cookies=0", "KeepCookies=a.org "));
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
         "[Profile2]\nIsRelative=1\nPath=Profiles/../../../..\n[Profile3]\nIsRelative=0\nPath=D:p\n"
         "[Profile4]\nIsRelative=1\nPath=C:/x\n[Profile5]\nIsRelative=0\nPath=C:\\u\n"
         "[Install308046B0AF4A39CB]\nDefault=Profiles/x\n; note\n",
         {"C:\\u\\ff\\p1", "", "", "", "", ""},
         0,
         false},
        {"[Profile0]\nPath=Profiles/"
         "a\n[Profile1]\nIsRelative=yes\nPath=b\n[Profile2]\nIsRelative=1\n",
         {},
         3,
         false},
        {"[Profile0]\nIsRelative=1\nPath=Profiles/a\ngarbage line\n", {}, 0, true},
        {"[Profile0\nIsRelative=1\nPath=Profiles/a\n", {}, 0, true},
        {std::string("[Profile0]\nIsRelative=1\nPath=Prof\0iles/a\n", 38), {}, 0, true},
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
}

// Profiles of every browser laid out as the browsers lay them out.
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
            chromium(ud + "\\Default");
            chromium(ud + "\\Profile 3");
        }
        chromium(chrome + "\\Guest Profile");
        add(chrome + "\\System Profile\\Preferences", false);
        add(chrome + "\\Profile 9\\History", false); // no Preferences: not a profile
        chromium(opera);
        for (const LayoutFile& f : kChromiumProfile) { // Opera's cache lies beside its profile
            if (std::string(f.path).find("Cache") != std::string::npos) {
                add(operaLocal + "\\" + f.path, f.erased);
            }
        }
        add(kFirefox + "\\profiles.ini", false,
            "[Profile0]\nIsRelative=1\nPath=Profiles/a.default\n"
            "[Profile1]\nIsRelative=0\nPath=C:\\u\\Other\\ff2\n");
        for (const std::string& p : {ffProfile, std::string("C:\\u\\Other\\ff2")}) {
            for (const LayoutFile& f : kFirefoxProfile) {
                add(p + "\\" + f.path, f.erased);
            }
            for (const char* db : {"places.sqlite", "formhistory.sqlite", "cookies.sqlite"}) {
                add(p + "\\" + db, false); // erased row by row, never deleted
            }
            for (const LayoutFile& f : kFirefoxLocal) {
                add(kLocalFirefox + p.substr(p.rfind('\\')) + "\\" + f.path, f.erased);
            }
        }
    }
    // The file with every folder above it.
    void add(const std::string& path, bool gone, std::string contents = "data") {
        for (size_t s = path.find('\\', 3); s != std::string::npos; s = path.find('\\', s + 1)) {
            fs.dir(path.substr(0, s));
        }
        fs.file(path, std::move(contents));
        expectErased[path] = gone;
    }
    void chromium(const std::string& p) {
        for (const LayoutFile& f : kChromiumProfile) {
            add(p + "\\" + f.path, f.erased);
        }
        for (const char* db : {"Network\\Cookies", "Cookies", "History"}) {
            add(p + "\\" + db, false);
        }
    }

    const std::string edge = "C:\\u\\AppData\\Local\\Microsoft\\Edge\\User Data";
    const std::string chrome = "C:\\u\\AppData\\Local\\Google\\Chrome\\User Data";
    const std::string brave = "C:\\u\\AppData\\Local\\BraveSoftware\\Brave-Browser\\User Data";
    const std::string opera = "C:\\u\\AppData\\Roaming\\Opera Software\\Opera Stable";
    const std::string operaLocal = "C:\\u\\AppData\\Local\\Opera Software\\Opera Stable";
    const std::string ffProfile = kFirefox + "\\Profiles\\a.default";
    const std::string kLocalFirefox = "C:\\u\\AppData\\Local\\Mozilla\\Firefox\\Profiles";

    std::map<std::string, bool> expectErased;
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

TEST_F(BrowsersTest, FinderSeesEveryProfileAndNothingBehindALink) {
    ProfileFinder finder(fs, [this](const std::string& p) { return platform.readText(p); });
    const auto found = [&](BrowserId b) {
        std::vector<std::string> out;
        for (const BrowserProfile& p : finder.find(b, kFolders).profiles) {
            out.push_back(p.folder + "|" + p.cacheFolder + "|" + p.lockFile);
        }
        return out;
    };
    const std::string c = chrome + "\\";
    EXPECT_THAT(found(BrowserId::Chrome),
                ElementsAre(c + "Default|" + c + "Default|" + c + "lockfile",
                            c + "Guest Profile|" + c + "Guest Profile|" + c + "lockfile",
                            c + "Profile 3|" + c + "Profile 3|" + c + "lockfile"));
    EXPECT_THAT(found(BrowserId::Opera),
                ElementsAre(opera + "|" + operaLocal + "|" + opera + "\\lockfile"));
    EXPECT_THAT(
        found(BrowserId::Firefox),
        ElementsAre(ffProfile + "|" + kLocalFirefox + "\\a.default|" + ffProfile + "\\parent.lock",
                    "C:\\u\\Other\\ff2|" + kLocalFirefox + "\\ff2|C:\\u\\Other\\ff2\\parent.lock"));

    fs.dir("D:\\elsewhere\\ff2");
    fs.file("D:\\elsewhere\\Preferences");
    fs.link(edge + "\\Profile 5", "D:\\elsewhere");
    fs.link("C:\\u\\Other", "D:\\elsewhere");
    EXPECT_EQ(found(BrowserId::Edge).size(), 2u);
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
    fs.dir("\\Microsoft\\Edge\\User Data"); // where empty folders would lead
    EXPECT_FALSE(finder.installed(BrowserId::Edge, {"", "", ""}));
}

// Everything checked: every listed file goes, every other stays, each
// database is handed over once, and the items come in the sub-tab's order.
TEST_F(BrowsersTest, EveryItemOfEveryBrowserErasesExactlyItsFiles) {
    for (int b = 0; b < kBrowserCount * kBrowserItemCount; ++b) {
        options.setChecked(static_cast<BrowserId>(b / 4), static_cast<BrowserItem>(b % 4), true);
    }
    int betweens = 0;
    cleaner.run([&] { ++betweens; });
    EXPECT_EQ(betweens, 20);
    for (const auto& [path, gone] : expectErased) {
        EXPECT_EQ(fs.exists(path), !gone) << path;
    }
    EXPECT_TRUE(fs.exists(edge + "\\Default\\Cache")) << "the folders themselves stay";
    EXPECT_EQ(std::set<std::string>(erased.begin(), erased.end()).size(), erased.size());
    EXPECT_EQ(erased.size(), (2u + 3 + 2 + 1) * 3 + 2 * 3);
    EXPECT_EQ(cleaner.bytesFreed(), 4u * (10 * 8 + 2)) << "files deleted one by one";
    std::string finished;
    const std::string t = pane.tagged();
    for (size_t at = t.find("[G]"); at != std::string::npos; at = t.find("[G]", at + 1)) {
        finished += t.substr(at + 22, t.find(" (", at) - at - 22) + "|";
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
    for (BrowserItem i : {BrowserItem::Cache, BrowserItem::Cookies, BrowserItem::Session}) {
        options.setChecked(BrowserId::Opera, i, true);
    }
    options.setChecked(BrowserId::Chrome, BrowserItem::History, true);
    options.setChecked(BrowserId::Firefox, BrowserItem::Cookies, true);
    platform.held = {chrome + "\\lockfile", "C:\\u\\Other\\ff2\\parent.lock"};
    options.setKeepCookies("example.com");
    fs.nodes[opera + "\\Current Tabs"].locked = true;
    outcomes[opera + "\\Cookies"] = {DbOutcome::Status::Damaged, 0, "file is not a database"};
    outcomes[opera + "\\Network\\Cookies"] = {DbOutcome::Status::Busy, 0, "database is locked"};
    // A link inside the cache loses only itself; a cache folder that is a
    // link is not entered at all.
    fs.file("D:\\canary\\keep");
    fs.dir("D:\\canary");
    fs.link(operaLocal + "\\Cache\\lnk", "D:\\canary");
    fs.nodes.erase(opera + "\\GPUCache\\data_0");
    fs.link(opera + "\\GPUCache", "D:\\canary");
    cleaner.run([] {});
    EXPECT_TRUE(fs.exists("D:\\canary\\keep"));
    EXPECT_TRUE(fs.exists(chrome + "\\Default\\Visited Links")) << "a running browser is left";
    const std::string red = "[R]\r\n";
    EXPECT_EQ(pane.tagged(),
              red +
                  "Skipped Google Chrome: it is running. Close it and clean again."
                  "\r\nSkipped Mozilla Firefox: it is running. Close it and clean again."
                  "[B]\r\nPath: " +
                  ffProfile +
                  "\r\nErasing Mozilla Firefox Cookies ..."
                  "[G]\r\nFinished Erasing Mozilla Firefox Cookies (2 cookies)"
                  "[B]\r\nPath: " +
                  operaLocal + "\r\nPath: " + opera + "\r\nErasing Opera Cache ..." + red +
                  "A link, not erased: " + opera +
                  "\\GPUCache[G]\r\nFinished Erasing Opera Cache (9 files)"
                  "[B]\r\nPath: " +
                  opera + "\r\nErasing Opera Cookies ..." + red + "In use, not erased: " + opera +
                  "\\Network\\Cookies\r\nDamaged, left as it was: " + opera +
                  "\\Cookies (file is not a database)"
                  "[G]\r\nFinished Erasing Opera Cookies (0 cookies)"
                  "[B]\r\nPath: " +
                  opera + "\r\nErasing Opera Session ..." + red + "In use, not erased: " + opera +
                  "\\Current Tabs[G]\r\nFinished Erasing Opera Session (4 files)");
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
    EXPECT_THAT(pane.tagged(),
                HasSubstr("\r\nErasing Opera Cookies ..." + red +
                          "Not erased: \"b\xc3\xbc"
                          "cher.de\" in the list of sites to keep is not a site name[B]\r\n"));
}

// The browsers come after option 15, one yield per item, and their space
// counts in the run's total.
TEST_F(BrowsersTest, TheRunCleansTheBrowsersLastAndCountsTheirSpace) {
    struct Window : CleanRunWindow {
        int yields = 0;
        int optionValue(int i) override { return i == 10 || i == 13 ? 1 : 0; }
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
    options.setChecked(BrowserId::Chrome, BrowserItem::Session, true);
    options.setChecked(BrowserId::Chrome, BrowserItem::Cache, true);
    fs.file(chrome + "\\Default\\Cache\\big", std::string(1000, 'c'));
    ASSERT_EQ(run.cmdBasicClean_Click(), CleanOutcome::Finished);
    EXPECT_EQ(window.yields, 16 + 2);
    const std::string t = pane.tagged();
    EXPECT_LT(t.find("Finished Erasing Windows Start Run History"),
              t.find("Erasing Google Chrome Cache ..."));
    // 15 cache files of 4 bytes and the big one, 15 session files of 4 bytes.
    EXPECT_THAT(t, ::testing::EndsWith("[G]\r\nFinished Erasing Google Chrome Session (15 files)"
                                       "\r\nSpace freed on your Hard Drive: 1.1 KB[K]\r\nDone"));
}

} // namespace
