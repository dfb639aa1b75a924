// The browsers' part of the clean run: the keep list, the stored options,
// profiles.ini and the profile finder, the cleaner's lines and reach over
// doubles, and the databases row by row on real SQLite files. The whole run
// over real profiles is the e2e test's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "browser_fixtures.h"
#include "cleaning/browsers/browser_cleaner.h"
#include "cleaning_fakes.h"
#include "memory_store.h"

using namespace tidewell;
using namespace tidewell::testing;
using namespace tidewell::browser_fixtures;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using namespace std::string_literals;

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
    for (const char* bad :
         {"exa*mple.com", "b\u00fccher.de", "-x.com", "a..b", "http://", "e%61.com"}) {
        EXPECT_EQ(KeepList::parse(std::string("good.org ") + bad).bad.value_or("-"), bad);
    }
}

// Only "1" checks a box: nothing is erased that was not asked for. Storing a
// change is the e2e test's.
TEST(BrowserOptions, OnlyOneChecks) {
    testing_store::MemoryStore store;
    store.entry("Browsers", "Chrome Cookies") = "1";
    store.entry("Browsers", "Edge Cache") = "yes";
    BrowserOptions options(store);
    options.load();
    for (int b = 0; b < kBrowserCount * kBrowserItemCount; ++b) { // 5: Chrome Cookies
        EXPECT_EQ(options.checked(BrowserId(b / 4), BrowserItem(b % 4)), b == 5) << b;
    }
}

const BrowserFolders kFolders{"C:\\u\\AppData\\Local", "C:\\u\\AppData\\Roaming", "C:\\u"};
const std::string kFirefox = "C:\\u\\AppData\\Roaming\\Mozilla\\Firefox";

// "damaged", or the number of sections without a usable path and the folder
// of each profile ("-": refused, it would lie outside the user's folders).
std::string iniOutcome(const std::string& text) {
    const ProfilesIni ini = parseProfilesIni(text);
    std::string out = ini.damaged ? "damaged" : std::to_string(ini.badSections.size()) + " bad";
    for (const IniProfile& p : ini.profiles) {
        const auto place = firefoxProfilePlace(p, kFolders);
        out += " " + (place ? place->folder : "-");
    }
    return out;
}

TEST(ProfilesIni, RelativeAbsoluteAndOutsidePathsAndDamage) {
    const std::pair<std::string, std::string> rows[] = {
        {"[Profile0]\nIsRelative=0\nPath=C:\\u\\ff\\p1\n[Profile1]\nIsRelative=0\nPath=C:"
         "\\Windows\n"
         "[Profile2]\nIsRelative=1\nPath=Profiles/../../../..\n[Profile3]\nIsRelative=0\nPath=D:p\n"
         "[Profile4]\nIsRelative=1\nPath=C:/x\n[Profile5]\nIsRelative=0\nPath=C:\\u\n"
         "[Install308046B0AF4A39CB]\nDefault=Profiles/x\n; note\n",
         "0 bad C:\\u\\ff\\p1 - - - - -"},
        {"[Profile0]\nPath=Profiles/"
         "a\n[Profile1]\nIsRelative=yes\nPath=b\n[Profile2]\nIsRelative=1\n",
         "3 bad"},
        {"[Profile0]\nIsRelative=1\nPath=Profiles/a\ngarbage line\n", "damaged"},
        {"[Profile0\nIsRelative=1\nPath=Profiles/a\n", "damaged"},
        {std::string("[Profile0]\nIsRelative=1\nPath=Prof\0iles/a\n", 38), "damaged"},
    };
    for (const auto& [ini, outcome] : rows) {
        EXPECT_EQ(iniOutcome(ini), outcome) << ini;
    }
}

// Opera with its cache beside it, and Firefox with a relative and an
// absolute profile, laid out as the browsers lay them out.
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
        const auto lay = [this](const std::string& path, bool) { add(path); };
        eachFile(kChromiumProfile, opera, lay);
        add(opera + "\\Network\\Cookies");
        add(opera + "\\Cookies");
        add(operaLocal + "\\Cache\\data_1");
        add(kFirefox + "\\profiles.ini", "[Profile0]\nIsRelative=1\nPath=Profiles/a.default\n"
                                         "[Profile1]\nIsRelative=0\nPath=C:\\u\\Other\\ff2\n");
        for (const std::string& p : {ffProfile, ff2}) {
            add(p + "\\cookies.sqlite");
        }
    }
    // The file with every folder above it.
    void add(const std::string& path, std::string contents = "data") {
        for (size_t s = path.find('\\', 3); s != std::string::npos; s = path.find('\\', s + 1)) {
            fs.dir(path.substr(0, s));
        }
        fs.file(path, std::move(contents));
    }

    const std::string chrome = "C:\\u\\AppData\\Local\\Google\\Chrome\\User Data";
    const std::string opera = "C:\\u\\AppData\\Roaming\\Opera Software\\Opera Stable";
    const std::string operaLocal = "C:\\u\\AppData\\Local\\Opera Software\\Opera Stable";
    const std::string ffProfile = kFirefox + "\\Profiles\\a.default", ff2 = "C:\\u\\Other\\ff2";

    FakeFileSystem fs;
    FakePane pane;
    Platform platform;
    testing_store::MemoryStore store;
    BrowserOptions options{store};
    FolderWiper wiper{fs, pane, {}};
    std::vector<std::string> erased; // "<kind> <path>" as the database part saw them
    std::map<std::string, DbOutcome> outcomes;
    DbOutcome eraseRows(const std::string& p, DbKind k, const KeepList& keep) {
        erased.push_back(std::to_string(static_cast<int>(k)) + " " + p +
                         (keep.domains().empty() ? "" : " keep"));
        auto it = outcomes.find(p);
        return it != outcomes.end() ? it->second : DbOutcome{DbOutcome::Status::Erased, 2, {}};
    }
    BrowserCleaner cleaner{fs,       wiper,   pane,
                           platform, options, [this](auto&&... a) {
                               return eraseRows(a...); }};
};

// Which Chromium folders are profiles is left to the e2e walk and review.
TEST_F(BrowsersTest, FinderSeesNothingBehindALinkOrOutsideTheUsersFolders) {
    add(chrome + "\\Default\\Preferences");
    ProfileFinder finder(fs, [this](const std::string& p) { return platform.readText(p); });
    const auto found = [&](BrowserId b) {
        std::string out;
        for (const BrowserProfile& p : finder.find(b, kFolders).profiles) {
            out += p.folder + "|";
        }
        return out;
    };
    EXPECT_EQ(found(BrowserId::Firefox), ffProfile + "|" + ff2 + "|");

    fs.dir("D:\\elsewhere\\ff2");
    fs.file("D:\\elsewhere\\Preferences");
    fs.link(chrome + "\\Profile 5", "D:\\elsewhere");
    fs.link("C:\\u\\Other", "D:\\elsewhere");
    EXPECT_EQ(found(BrowserId::Chrome), chrome + "\\Default|");
    const FoundProfiles ff = finder.find(BrowserId::Firefox, kFolders);
    EXPECT_EQ(ff.profiles.size(), 1u);
    EXPECT_THAT(ff.problems, ElementsAre("Skipped a Mozilla Firefox profile outside your user "
                                         "folders: C:\\u\\Other\\ff2"));
    fs.file(kFirefox + "\\profiles.ini", "PK\x03\x04 not an ini");
    EXPECT_THAT(finder.find(BrowserId::Firefox, kFolders).problems,
                ElementsAre("Skipped Mozilla Firefox: its profiles.ini is damaged: " + kFirefox +
                            "\\profiles.ini"));
    fs.dir("\\Google\\Chrome\\User Data"); // where empty folders would lead
    EXPECT_FALSE(finder.installed(BrowserId::Chrome, {"", "", ""}));
}

// Real links, locks and files in use are the integration tests'.
TEST_F(BrowsersTest, LinesOfOneBrowserAndWhatStopsAnItem) {
    for (BrowserItem i : {BrowserItem::Cache, BrowserItem::Cookies, BrowserItem::Session}) {
        options.setChecked(BrowserId::Opera, i, true);
    }
    options.setChecked(BrowserId::Firefox, BrowserItem::Cookies, true);
    platform.held = {ff2 + "\\parent.lock"};
    options.setKeepCookies("example.com");
    outcomes[opera + "\\Cookies"] = {DbOutcome::Status::Damaged, 0, "file is not a database"};
    outcomes[opera + "\\Network\\Cookies"] = {DbOutcome::Status::Busy, 0, "database is locked"};
    cleaner.run([] {});
    // The words and colours of the other lines are left to review.
    for (const std::string& line :
         {"Skipped Mozilla Firefox: it is running. Close it and clean again."s,
          "In use, not erased: " + opera + "\\Network\\Cookies",
          "Damaged, left as it was: " + opera + "\\Cookies (file is not a database)",
          "Finished Erasing Mozilla Firefox Cookies (2 cookies)"s,
          "Finished Erasing Opera Cache (3 files)"s}) {
        EXPECT_THAT(pane.text(), HasSubstr(line + "\r\n"));
    }
    EXPECT_THAT(erased, ElementsAre("1 " + ffProfile + "\\cookies.sqlite keep",
                                    "0 " + opera + "\\Network\\Cookies keep",
                                    "0 " + opera + "\\Cookies keep"));

    // A keep list the cleaner cannot read leaves every cookie where it is.
    pane.Clear();
    erased.clear();
    options.setKeepCookies("example.com, b\u00fccher.de");
    cleaner.run([] {});
    EXPECT_TRUE(erased.empty());
    EXPECT_THAT(pane.text(), HasSubstr("\r\nNot erased: \"b\u00fccher.de\" in the list of sites "
                                       "to keep is not a site name\r\n"));
}

// The databases row by row, on real SQLite files in a temporary folder: what
// goes, what stays, that the files still pass their integrity check, and that
// a locked or damaged file is left exactly as it was.
class BrowserDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path(const char* name) { return (dir / name).string(); }
    static std::string bytes(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The preview's count first: the run's own deletions on a copy, so the
    // same number and the file byte for byte as it was.
    static void expectErased(const std::string& p, DbKind kind, const KeepList& keep,
                             std::uint64_t rows) {
        const std::string was = bytes(p);
        EXPECT_EQ(countDatabaseRows(p, kind, keep).rows, rows) << p;
        EXPECT_TRUE(bytes(p) == was) << p;
        const DbOutcome out = eraseDatabaseRows(p, kind, keep);
        EXPECT_EQ(out.status, DbOutcome::Status::Erased) << p << ": " << out.detail;
        EXPECT_EQ(out.rows, rows) << p;
        EXPECT_THAT(dbColumn(p, "PRAGMA integrity_check"), ElementsAre("ok")) << p;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "tidewell-browser-db";
};

TEST_F(BrowserDbTest, CookieRowsGoButThoseOfKeptSitesStay) {
    for (bool firefox : {false, true}) {
        const std::string column = firefox ? "SELECT host FROM moz_cookies ORDER BY 1"
                                           : "SELECT host_key FROM cookies ORDER BY 1";
        const DbKind kind = firefox ? DbKind::FirefoxCookies : DbKind::ChromiumCookies;
        const std::string file = path(firefox ? "cookies.sqlite" : "Cookies");
        makeDb(file,
               cookiesSql(firefox, {".example.com", "www.example.com", "example.com", "kept.org",
                                    ".mail.kept.org", "badexample.com",
                                    "example.com.tracker-secret.net", ".ads.tracker-secret.net"}));
        expectErased(file, kind, KeepList::parse("Example.com mail.kept.org").list, 4);
        EXPECT_THAT(dbColumn(file, column), ElementsAre(".example.com", ".mail.kept.org",
                                                        "example.com", "www.example.com"));
        // Erased rows do not linger in freed pages.
        EXPECT_EQ(bytes(file).find("tracker-secret"), std::string::npos);
        expectErased(file, kind, {}, 4);
        EXPECT_THAT(dbColumn(file, column), IsEmpty());
    }
    EXPECT_THAT(dbColumn(path("Cookies"), "SELECT value FROM meta"), ElementsAre("21"));
}

TEST_F(BrowserDbTest, HistoryGoesAndBookmarksStay) {
    const std::string chromium = path("History"), places = path("places.sqlite"),
                      forms = path("formhistory.sqlite");
    makeDb(chromium, kChromiumHistorySql);
    makeDb(places, kFirefoxPlacesSql);
    makeDb(forms, kFormHistorySql);
    expectErased(chromium, DbKind::ChromiumHistory, {}, 6);
    EXPECT_THAT(
        dbColumn(chromium, "SELECT url FROM urls UNION ALL SELECT term FROM keyword_search_terms"),
        IsEmpty());
    expectErased(places, DbKind::FirefoxPlaces, {}, 5); // three visits, two places
    EXPECT_THAT(dbColumn(places, "SELECT url || ' ' || visit_count || ' ' || "
                                 "ifnull(last_visit_date, '-') FROM moz_places ORDER BY id"),
                ElementsAre("https://marked.example/ 0 -", "https://kw.example/?q=%s 0 -"));
    EXPECT_THAT(dbColumn(places, "SELECT count(*) FROM moz_historyvisits UNION ALL SELECT "
                                 "group_concat(title) FROM moz_bookmarks UNION ALL SELECT "
                                 "group_concat(content) FROM moz_annos UNION ALL SELECT "
                                 "group_concat(host) FROM moz_origins"),
                ElementsAre("0", "root,Mark", "kept", "marked.example,kw.example"));
    expectErased(forms, DbKind::FirefoxForms, {}, 1);
}

// A locked, damaged or foreign file is left byte for byte as it was.
TEST_F(BrowserDbTest, LockedDamagedOrForeignFilesAreLeftAsTheyWere) {
    const std::string good = path("Cookies"), damaged = path("damaged"), foreign = path("foreign"),
                      garbage = path("garbage"), half = path("half");
    makeDb(good, cookiesSql(false, {"a.example"}) + "CREATE TABLE filler(x BLOB);" +
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
                     "INSERT INTO filler SELECT randomblob(900) FROM n;");
    // A page in the middle overwritten: the header is fine, the tree is not.
    std::filesystem::copy_file(good, damaged);
    std::fstream(damaged, std::ios::in | std::ios::out | std::ios::binary).seekp(4096)
        << std::string(600, '\x7f');
    makeDb(foreign, "CREATE TABLE other(host_key TEXT)");
    std::ofstream(garbage, std::ios::binary) << std::string(3000, 'g');
    // Visits go first; a trigger only the browser could serve then fails the
    // places: the visits must come back.
    makeDb(half,
           "CREATE TABLE moz_places (id INTEGER PRIMARY KEY);"
           "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, place_id INTEGER);"
           "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, fk INTEGER);"
           "INSERT INTO moz_places VALUES(1); INSERT INTO moz_historyvisits VALUES(1, 1);"
           "CREATE TRIGGER gone AFTER DELETE ON moz_places BEGIN SELECT browser_only(); END;");
    struct Row {
        std::string file;
        DbOutcome::Status status;
        DbKind kind = DbKind::ChromiumCookies;
    };
    const Row rows[] = {{damaged, DbOutcome::Status::Damaged},
                        {foreign, DbOutcome::Status::Damaged},
                        {garbage, DbOutcome::Status::Damaged},
                        {path("missing"), DbOutcome::Status::Failed},
                        {half, DbOutcome::Status::Failed, DbKind::FirefoxPlaces}};
    for (const Row& r : rows) {
        const std::string before = bytes(r.file);
        const DbOutcome out = eraseDatabaseRows(r.file, r.kind, {});
        EXPECT_EQ(out.status, r.status) << r.file << ": " << out.detail;
        EXPECT_TRUE(bytes(r.file) == before) << r.file;
    }
    EXPECT_FALSE(std::filesystem::exists(path("missing"))) << "never created";
    EXPECT_THAT(dbColumn(half, "SELECT id FROM moz_historyvisits"), ElementsAre("1"));

    sqlite3* holder = nullptr;
    sqlite3_open(good.c_str(), &holder);
    sqlite3_exec(holder, "BEGIN IMMEDIATE; INSERT INTO filler VALUES(1);", nullptr, nullptr,
                 nullptr);
    EXPECT_EQ(eraseDatabaseRows(good, DbKind::ChromiumCookies, {}, 50).status,
              DbOutcome::Status::Busy);
    sqlite3_close(holder); // rolls back
    EXPECT_THAT(dbColumn(good, "SELECT host_key FROM cookies"), ElementsAre("a.example"));
}

} // namespace
