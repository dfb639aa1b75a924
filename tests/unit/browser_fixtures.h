#pragma once
// Browser profiles as the browsers lay them out, for the tests on doubles and
// on real files: the files an item erases beside the ones none may touch, and
// SQLite databases with the tables the cleaner works on.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace tidewell::browser_fixtures {

struct LayoutFile {
    const char* path; // inside the profile folder
    bool erased;      // an item erases it
};
// A Chromium profile (Opera's too), databases apart.
inline const std::vector<LayoutFile> kChromiumProfile = {
    {"Cache\\Cache_Data\\f_000001", true},
    {"Code Cache\\js\\a", true},
    {"GPUCache\\data_0", true},
    {"Service Worker\\CacheStorage\\x\\y", true},
    {"Service Worker\\ScriptCache\\z", true},
    {"History-journal", true},
    {"Visited Links", true},
    {"Top Sites", true},
    {"Top Sites-journal", true},
    {"Shortcuts", true},
    {"Shortcuts-journal", true},
    {"Sessions\\Session_1", true},
    {"Current Session", true},
    {"Current Tabs", true},
    {"Last Session", true},
    {"Last Tabs", true},
    {"Preferences", false},
    {"Secure Preferences", false},
    {"Bookmarks", false},
    {"Login Data", false},
    {"Web Data", false},
    {"Favicons", false},
    {"Extensions\\abc\\manifest.json", false},
    {"Network\\TransportSecurity", false},
    {"Service Worker\\Database\\keep", false}};
// A Firefox profile, and its local twin.
inline const std::vector<LayoutFile> kFirefoxProfile = {
    {"sessionstore.jsonlz4", true},
    {"sessionstore-backups\\recovery.jsonlz4", true},
    {"prefs.js", false},
    {"logins.json", false},
    {"key4.db", false},
    {"cert9.db", false},
    {"favicons.sqlite", false},
    {"extensions\\x.xpi", false},
    {"bookmarkbackups\\b.jsonlz4", false}};
inline const std::vector<LayoutFile> kFirefoxLocal = {
    {"cache2\\entries\\ABC", true}, {"startupCache\\s.bin", true}, {"safebrowsing\\list", false}};

// Cookies of `hosts` (the last two columns as the browsers name them).
inline std::string cookiesSql(bool firefox, const std::vector<std::string>& hosts) {
    std::string sql =
        firefox ? "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, host TEXT);"
                : "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT);"
                  "INSERT INTO meta VALUES('version', '21');"
                  "CREATE TABLE cookies(name TEXT NOT NULL, host_key TEXT NOT NULL);";
    for (const std::string& h : hosts) {
        sql += std::string("INSERT INTO ") + (firefox ? "moz_cookies(name, host)" : "cookies") +
               " VALUES('sid', '" + h + "');";
    }
    return sql;
}
inline const char* kChromiumHistorySql =
    "CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR);"
    "CREATE TABLE visits(id INTEGER PRIMARY KEY, url INTEGER NOT NULL);"
    "CREATE TABLE keyword_search_terms(url_id INTEGER, term LONGVARCHAR);"
    "INSERT INTO urls VALUES(1, 'https://a.example/'), (2, 'https://b.example/');"
    "INSERT INTO visits VALUES(1, 1), (2, 1), (3, 2);"
    "INSERT INTO keyword_search_terms VALUES(2, 'secret search');";
// Places in WAL mode, as Firefox keeps them: one bookmarked, one behind a
// keyword, two only visited.
inline const char* kFirefoxPlacesSql =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, host TEXT NOT NULL);"
    "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, visit_count INTEGER, "
    "last_visit_date INTEGER, origin_id INTEGER);"
    "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, place_id INTEGER);"
    "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, fk INTEGER, title LONGVARCHAR);"
    "CREATE TABLE moz_keywords (id INTEGER PRIMARY KEY, keyword TEXT, place_id INTEGER);"
    "CREATE TABLE moz_annos (id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, content TEXT);"
    "INSERT INTO moz_origins VALUES(1, 'marked.example'), (2, 'seen.example'), (3, 'kw.example');"
    "INSERT INTO moz_places VALUES(1, 'https://marked.example/', 4, 99, 1), "
    "(2, 'https://seen.example/a', 2, 98, 2), (3, 'https://kw.example/?q=%s', 1, 97, 3), "
    "(4, 'https://seen.example/b', 1, 96, 2);"
    "INSERT INTO moz_historyvisits VALUES(1, 1), (2, 2), (3, 4);"
    "INSERT INTO moz_bookmarks VALUES(1, NULL, 'root'), (2, 1, 'Mark');"
    "INSERT INTO moz_keywords VALUES(1, 'k', 3);"
    "INSERT INTO moz_annos VALUES(1, 1, 'kept'), (2, 2, 'gone');";
inline const char* kFormHistorySql =
    "CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, value TEXT NOT NULL);"
    "INSERT INTO moz_formhistory VALUES(1, 'typed secret');";

inline void makeDb(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << path;
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << path << ": " << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The first column of every row as text; "<failed>" when the query fails.
inline std::vector<std::string> dbColumn(const std::string& path, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        out.push_back("<failed>");
    }
    while (s != nullptr && sqlite3_step(s) == SQLITE_ROW) {
        const auto* t = sqlite3_column_text(s, 0);
        out.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

} // namespace tidewell::browser_fixtures
