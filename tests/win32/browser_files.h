#pragma once
// Browser profiles for the tests that work on real files: SQLite databases
// with the browsers' tables, and a browser's lock held by another process.
#include <windows.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "test_files.h"
#include "win32/unicode.h"
#include "win32/unique_handle.h"

namespace tidewell::testing_files {

// Runs `sql` on the database at `path`, creating it.
inline void makeDb(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << path;
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << path << ": " << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The first column of every row, as text; "<failed>" when the query fails.
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

inline const char* kChromiumCookies =
    "CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, name TEXT NOT "
    "NULL, value TEXT NOT NULL, path TEXT NOT NULL);";

// Cookies of `hosts` in a Chromium or Firefox cookie database.
inline void makeCookies(const std::string& path, bool firefox, std::vector<std::string> hosts) {
    std::string sql = firefox ? "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, name TEXT, "
                                "value TEXT, host TEXT, path TEXT);"
                              : kChromiumCookies;
    for (const std::string& h : hosts) {
        sql += firefox ? "INSERT INTO moz_cookies(name, value, host, path) VALUES('n', 'v', '" + h +
                             "', '/');"
                       : "INSERT INTO cookies VALUES(1, '" + h + "', 'n', 'v', '/');";
    }
    makeDb(path, sql);
}

// A browser's lock held as the browser holds it, by the helper process
// C:\testbin\profile_lock.exe (installed by the bench); released and the
// helper ended when this goes.
class LockHolder {
public:
    explicit LockHolder(const std::string& lockFile) {
        const std::wstring event =
            L"Local\\TidewellProfileLock" + std::to_wstring(::GetTickCount64());
        release_.reset(::CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
        std::wstring cmd =
            L"\"C:\\testbin\\profile_lock.exe\" \"" + win32::toUtf16(lockFile) + L"\" " + event;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                              nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "profile_lock.exe did not start: " << ::GetLastError();
            return;
        }
        ::CloseHandle(pi.hThread);
        process_.reset(pi.hProcess);
        // Held once it exists and refuses deletion.
        for (int i = 0; i < 200 && !held(lockFile); ++i) {
            ::Sleep(50);
        }
        EXPECT_TRUE(held(lockFile)) << lockFile;
    }
    ~LockHolder() {
        ::SetEvent(release_.get());
        if (process_) {
            ::WaitForSingleObject(process_.get(), 10000);
        }
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    static bool held(const std::string& f) {
        win32::UniqueFile h(::CreateFileW(win32::toUtf16(f).c_str(), DELETE, 7, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        return exists(f) && !h;
    }
    win32::UniqueHandle release_, process_;
};

} // namespace tidewell::testing_files
