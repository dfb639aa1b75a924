// The browsers' databases row by row, on real SQLite files in a temporary
// folder: what goes, what stays (kept sites, bookmarks, other tables), that
// the files still pass their integrity check, and that a locked or damaged
// file is left exactly as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "browser_fixtures.h"
#include "cleaning/browsers/browser_db.h"

using namespace tidewell;
using namespace tidewell::browser_fixtures;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

namespace {

class BrowserDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const char* name) { return (dir / name).string(); }
    static std::string bytes(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void expectErased(const std::string& p, DbKind kind, const KeepList& keep,
                             std::uint64_t rows) {
        const DbOutcome out = eraseDatabaseRows(p, kind, keep);
        EXPECT_EQ(out.status, DbOutcome::Status::Erased) << p << ": " << out.detail;
        EXPECT_EQ(out.rows, rows) << p;
        EXPECT_THAT(dbColumn(p, "PRAGMA integrity_check"), ElementsAre("ok")) << p;
    }
    const fs::path dir = fs::temp_directory_path() / "tidewell-browser-db";
};

TEST_F(BrowserDbTest, CookieRowsGoButThoseOfKeptSitesStay) {
    const std::vector<std::string> hosts = {".example.com",
                                            "www.example.com",
                                            "example.com",
                                            "kept.org",
                                            ".mail.kept.org",
                                            "badexample.com",
                                            "example.com.tracker-secret.net",
                                            ".ads.tracker-secret.net"};
    for (bool firefox : {false, true}) {
        const std::string column = firefox ? "SELECT host FROM moz_cookies ORDER BY 1"
                                           : "SELECT host_key FROM cookies ORDER BY 1";
        const DbKind kind = firefox ? DbKind::FirefoxCookies : DbKind::ChromiumCookies;
        const std::string file = path(firefox ? "cookies.sqlite" : "Cookies");
        makeDb(file, cookiesSql(firefox, hosts));
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
    fs::copy_file(good, damaged);
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
    EXPECT_FALSE(fs::exists(path("missing"))) << "never created";
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
