// The browsers' databases, row by row, on real SQLite files in a temporary
// folder: what goes, what stays (kept sites, bookmarks, other tables), that
// the files still pass their integrity check, and that a locked or damaged
// file is left exactly as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cleaning/browsers/browser_db.h"

using namespace tidewell;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

namespace {

class Db {
public:
    explicit Db(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    void exec(const std::string& sql) {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "") << "\n"
            << sql;
    }
    // The first column of every row, "NULL" for none.
    std::vector<std::string> column(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
        while (s != nullptr && sqlite3_step(s) == SQLITE_ROW) {
            const auto* t = sqlite3_column_text(s, 0);
            out.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
        sqlite3_finalize(s);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

class BrowserDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tidewell-db-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const char* name) { return (dir / name).string(); }
    static std::string bytes(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::string integrity(const std::string& p) {
        return Db(p).column("PRAGMA integrity_check").at(0);
    }
    fs::path dir;
};

TEST_F(BrowserDbTest, CookieRowsGoButTheKeptSitesAndTheFilesAreSound) {
    struct Schema {
        DbKind kind;
        const char* create;
        const char* table;
        const char* host;
    };
    const Schema schemas[] = {
        {DbKind::ChromiumCookies,
         "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
         "INSERT INTO meta VALUES('version','21');"
         "CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, name TEXT "
         "NOT NULL, value TEXT NOT NULL, path TEXT NOT NULL, UNIQUE (host_key, name, path));",
         "cookies", "host_key"},
        {DbKind::FirefoxCookies,
         "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL "
         "DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT, CONSTRAINT "
         "moz_uniqueid UNIQUE (name, host, path, originAttributes));",
         "moz_cookies", "host"},
    };
    for (const Schema& s : schemas) {
        for (const char* keep : {"Example.com mail.kept.org", ""}) {
            const std::string file = path("Cookies");
            fs::remove(file);
            {
                Db db(file);
                db.exec(s.create);
                int n = 0;
                for (const char* host :
                     {".example.com", "www.example.com", "example.com", "kept.org",
                      ".mail.kept.org", "badexample.com", "example.com.tracker-secret.net",
                      ".ads.tracker-secret.net"}) {
                    db.exec(std::string("INSERT INTO ") + s.table + "(" +
                            (s.kind == DbKind::FirefoxCookies ? "id, " : "creation_utc, ") +
                            "name, value, path, " + s.host + ") VALUES(" + std::to_string(++n) +
                            ", 'sid', 'v', '/', '" + host + "')");
                }
            }
            const DbOutcome out = eraseDatabaseRows(file, s.kind, KeepList::parse(keep).list);
            EXPECT_EQ(out.status, DbOutcome::Status::Erased) << out.detail;
            const auto left = Db(file).column(std::string("SELECT ") + s.host + " FROM " + s.table +
                                              " ORDER BY 1");
            if (*keep) {
                EXPECT_THAT(left, ElementsAre(".example.com", ".mail.kept.org", "example.com",
                                              "www.example.com"));
                EXPECT_EQ(out.rows, 4u);
            } else {
                EXPECT_THAT(left, IsEmpty());
                EXPECT_EQ(out.rows, 8u);
            }
            EXPECT_EQ(integrity(file), "ok");
            // Erased rows do not linger in freed pages.
            EXPECT_EQ(bytes(file).find("tracker-secret"), std::string::npos);
            if (s.kind == DbKind::ChromiumCookies) {
                EXPECT_THAT(Db(file).column("SELECT value FROM meta"), ElementsAre("21"));
            }
        }
    }
}

TEST_F(BrowserDbTest, HistoryGoesAndBookmarksStay) {
    const std::string chromium = path("History");
    {
        Db db(chromium);
        db.exec("CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
                "INSERT INTO meta VALUES('version','66');"
                "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title "
                "LONGVARCHAR, visit_count INTEGER DEFAULT 0 NOT NULL);"
                "CREATE TABLE visits(id INTEGER PRIMARY KEY, url INTEGER NOT NULL, visit_time "
                "INTEGER NOT NULL);"
                "CREATE TABLE keyword_search_terms(keyword_id INTEGER, url_id INTEGER, term "
                "LONGVARCHAR);"
                "INSERT INTO urls(url, title) VALUES('https://a.example/', 'A'), "
                "('https://b.example/', 'B');"
                "INSERT INTO visits VALUES(1, 1, 100), (2, 1, 200), (3, 2, 300);"
                "INSERT INTO keyword_search_terms VALUES(1, 2, 'secret search');");
    }
    DbOutcome out = eraseDatabaseRows(chromium, DbKind::ChromiumHistory, {});
    EXPECT_EQ(out.status, DbOutcome::Status::Erased) << out.detail;
    EXPECT_EQ(out.rows, 6u);
    Db c(chromium);
    EXPECT_THAT(c.column("SELECT url FROM urls UNION ALL SELECT id FROM visits UNION ALL "
                         "SELECT term FROM keyword_search_terms"),
                IsEmpty());
    EXPECT_THAT(c.column("SELECT value FROM meta"), ElementsAre("66"));
    EXPECT_EQ(integrity(chromium), "ok");

    // Firefox's places in WAL mode, as Firefox keeps them: places a bookmark
    // or a keyword refers to stay (without their visit count), all others go.
    const std::string places = path("places.sqlite");
    {
        Db db(places);
        db.exec("PRAGMA journal_mode=WAL;"
                "CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host "
                "TEXT NOT NULL, frecency INTEGER NOT NULL, UNIQUE (prefix, host));"
                "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title "
                "LONGVARCHAR, visit_count INTEGER DEFAULT 0, last_visit_date INTEGER, origin_id "
                "INTEGER REFERENCES moz_origins(id));"
                "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit INTEGER, "
                "place_id INTEGER, visit_date INTEGER, visit_type INTEGER);"
                "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER "
                "DEFAULT NULL, parent INTEGER, title LONGVARCHAR);"
                "CREATE TABLE moz_keywords (id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT "
                "UNIQUE, place_id INTEGER, post_data TEXT);"
                "CREATE TABLE moz_annos (id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
                "content LONGVARCHAR);"
                "INSERT INTO moz_origins VALUES(1, 'https://', 'bookmarked.example', 1), "
                "(2, 'https://', 'visited.example', 1), (3, 'https://', 'kw.example', 1);"
                "INSERT INTO moz_places VALUES(1, 'https://bookmarked.example/', 'B', 4, 99, 1),"
                "(2, 'https://visited.example/a', 'V', 2, 98, 2),"
                "(3, 'https://kw.example/?q=%s', 'K', 1, 97, 3),"
                "(4, 'https://visited.example/b', 'W', 1, 96, 2);"
                "INSERT INTO moz_historyvisits VALUES(1, 0, 1, 99, 1), (2, 0, 2, 98, 1), "
                "(3, 0, 4, 96, 1);"
                "INSERT INTO moz_bookmarks VALUES(1, 2, NULL, 0, 'root'), (2, 1, 1, 1, 'Mark');"
                "INSERT INTO moz_keywords(keyword, place_id) VALUES('k', 3);"
                "INSERT INTO moz_annos VALUES(1, 1, 'kept'), (2, 2, 'gone');");
    }
    out = eraseDatabaseRows(places, DbKind::FirefoxPlaces, {});
    EXPECT_EQ(out.status, DbOutcome::Status::Erased) << out.detail;
    EXPECT_EQ(out.rows, 5u) << "three visits and two places";
    Db p(places);
    EXPECT_THAT(p.column("SELECT url || ' ' || visit_count || ' ' || ifnull(last_visit_date, "
                         "'-') FROM moz_places ORDER BY id"),
                ElementsAre("https://bookmarked.example/ 0 -", "https://kw.example/?q=%s 0 -"));
    EXPECT_THAT(p.column("SELECT id FROM moz_historyvisits"), IsEmpty());
    EXPECT_THAT(p.column("SELECT title FROM moz_bookmarks ORDER BY id"),
                ElementsAre("root", "Mark"));
    EXPECT_THAT(p.column("SELECT content FROM moz_annos"), ElementsAre("kept"));
    EXPECT_THAT(p.column("SELECT host FROM moz_origins ORDER BY id"),
                ElementsAre("bookmarked.example", "kw.example"));
    EXPECT_EQ(integrity(places), "ok");

    const std::string forms = path("formhistory.sqlite");
    {
        Db db(forms);
        db.exec("CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, fieldname TEXT NOT NULL, "
                "value TEXT NOT NULL, timesUsed INTEGER);"
                "INSERT INTO moz_formhistory VALUES(1, 'q', 'typed secret', 3);");
    }
    out = eraseDatabaseRows(forms, DbKind::FirefoxForms, {});
    EXPECT_EQ(out.rows, 1u);
    EXPECT_THAT(Db(forms).column("SELECT value FROM moz_formhistory"), IsEmpty());
}

// A locked, damaged or foreign file is left byte for byte as it was.
TEST_F(BrowserDbTest, LockedDamagedOrForeignFilesAreLeftAsTheyWere) {
    const std::string good = path("Cookies");
    {
        Db db(good);
        db.exec("CREATE TABLE cookies(host_key TEXT NOT NULL, name TEXT);"
                "INSERT INTO cookies VALUES('a.example', 'x');"
                "CREATE TABLE filler(x BLOB);");
        for (int i = 0; i < 20; ++i) {
            db.exec("INSERT INTO filler VALUES(randomblob(900))");
        }
    }
    // A page in the middle overwritten: the header is fine, the tree is not.
    const std::string damaged = path("damaged");
    fs::copy_file(good, damaged);
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4096 * 2 + 16);
        f << std::string(600, '\x7f');
    }
    const std::string foreign = path("foreign");
    {
        Db db(foreign);
        db.exec("CREATE TABLE other(host_key TEXT)");
    }
    const std::string garbage = path("garbage");
    std::ofstream(garbage, std::ios::binary) << std::string(3000, 'g');

    // Visits go first; a trigger the browser's own functions would serve
    // then fails the places: the visits must come back.
    const std::string half = path("half");
    {
        Db db(half);
        db.exec("CREATE TABLE moz_places (id INTEGER PRIMARY KEY);"
                "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, place_id INTEGER);"
                "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, fk INTEGER);"
                "INSERT INTO moz_places VALUES(1); INSERT INTO moz_historyvisits VALUES(1, 1);"
                "CREATE TRIGGER gone AFTER DELETE ON moz_places BEGIN SELECT browser_only(); END;");
    }
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
        EXPECT_EQ(bytes(r.file), before) << r.file;
    }
    EXPECT_FALSE(fs::exists(path("missing"))) << "never created";
    EXPECT_THAT(Db(half).column("SELECT id FROM moz_historyvisits"), ElementsAre("1"));

    {
        Db holder(good);
        holder.exec("BEGIN IMMEDIATE; INSERT INTO filler VALUES(1);");
        const DbOutcome out = eraseDatabaseRows(good, DbKind::ChromiumCookies, {}, 50);
        EXPECT_EQ(out.status, DbOutcome::Status::Busy) << out.detail;
        holder.exec("ROLLBACK");
    }
    EXPECT_THAT(Db(good).column("SELECT host_key FROM cookies"), ElementsAre("a.example"));
}

} // namespace
