#pragma once
// Browser profiles as the browsers lay them out, for the tests on doubles and
// on real files: files the items erase beside the ones none may touch, and
// SQLite databases with the tables the cleaner works on.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace tidewell::browser_fixtures {

// Files inside a profile folder: those an item erases, and those none may touch.
struct Layout {
    std::vector<const char*> erased, kept;
};
// A Chromium profile (Opera's too), databases apart: a file of each kind the
// items erase, and a canary beside each.
inline const Layout kChromiumProfile = {
    {"Cache\\Cache_Data\\f_000001", "Service Worker\\CacheStorage\\x\\y", "Visited Links",
     "Sessions\\Session_1", "Last Tabs"},
    {"Preferences", "Bookmarks", "Login Data", "Web Data", "Extensions\\abc\\manifest.json",
     "Network\\TransportSecurity", "Service Worker\\Database\\keep"}};
// A Firefox profile, and its local twin.
inline const Layout kFirefoxProfile = {
    {"sessionstore.jsonlz4", "sessionstore-backups\\recovery.jsonlz4"},
    {"prefs.js", "logins.json", "key4.db", "cert9.db", "extensions\\x.xpi",
     "bookmarkbackups\\b.jsonlz4"}};
inline const Layout kFirefoxLocal = {{"cache2\\entries\\ABC"}, {"safebrowsing\\list"}};

// Calls `f(path, erased)` for each file of `layout` under `base`.
template <typename F> void eachFile(const Layout& layout, const std::string& base, F&& f) {
    for (const char* p : layout.erased) {
        f(base + "\\" + p, true);
    }
    for (const char* p : layout.kept) {
        f(base + "\\" + p, false);
    }
}

// Cookies of `hosts`, in the browsers' own tables (Chromium's beside another).
inline std::string cookiesSql(bool firefox, const std::vector<std::string>& hosts) {
    std::string sql = firefox ? "CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, name, host);"
                              : "CREATE TABLE meta(key PRIMARY KEY, value);"
                                "INSERT INTO meta VALUES('version', '21');"
                                "CREATE TABLE cookies(name, host_key);";
    for (const std::string& h : hosts) {
        sql += std::string("INSERT INTO ") + (firefox ? "moz_cookies(name, host)" : "cookies") +
               " VALUES('sid', '" + h + "');";
    }
    return sql;
}
inline const char* kChromiumHistorySql =
    "CREATE TABLE urls(id INTEGER PRIMARY KEY, url); CREATE TABLE visits(id, url);"
    "CREATE TABLE keyword_search_terms(url_id, term);"
    "INSERT INTO urls VALUES(1, 'https://a.example/'), (2, 'https://b.example/');"
    "INSERT INTO visits VALUES(1, 1), (2, 1), (3, 2);"
    "INSERT INTO keyword_search_terms VALUES(2, 'secret search');";
// Places in WAL mode, as Firefox keeps them: one bookmarked, one behind a
// keyword, two only visited.
inline const char* kFirefoxPlacesSql =
    "PRAGMA journal_mode=WAL; CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, host);"
    "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url, visit_count, last_visit_date, origin_id);"
    "CREATE TABLE moz_historyvisits(id, place_id); CREATE TABLE moz_bookmarks(id, fk, title);"
    "CREATE TABLE moz_keywords(id, keyword, place_id); CREATE TABLE moz_annos(place_id, content);"
    "INSERT INTO moz_origins VALUES(1, 'marked.example'), (2, 'seen.example'), (3, 'kw.example');"
    "INSERT INTO moz_places VALUES(1, 'https://marked.example/', 4, 99, 1), "
    "(2, 'https://seen.example/a', 2, 98, 2), (3, 'https://kw.example/?q=%s', 1, 97, 3), "
    "(4, 'https://seen.example/b', 1, 96, 2); INSERT INTO moz_keywords VALUES(1, 'k', 3);"
    "INSERT INTO moz_historyvisits VALUES(1, 1), (2, 2), (3, 4);"
    "INSERT INTO moz_bookmarks VALUES(1, NULL, 'root'), (2, 1, 'Mark');"
    "INSERT INTO moz_annos VALUES(1, 'kept'), (2, 'gone');";
inline const char* kFormHistorySql = "CREATE TABLE moz_formhistory(id, value);"
                                     "INSERT INTO moz_formhistory VALUES(1, 'typed secret');";

inline void makeDb(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << path;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << path << ": " << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// The first column of every row as text; "<failed>" when the query fails.
inline std::vector<std::string> dbColumn(const std::string& path, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    const auto row = [](void* o, int, char** v, char**) {
        static_cast<std::vector<std::string>*>(o)->push_back(v[0] ? v[0] : "NULL");
        return 0;
    };
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, sql.c_str(), row, &out, nullptr) != SQLITE_OK) {
        out.push_back("<failed>");
    }
    sqlite3_close(db);
    return out;
}

} // namespace tidewell::browser_fixtures
