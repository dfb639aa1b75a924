#include "cleaning/browsers/browser_db.h"

#include <sqlite3.h>

#include <initializer_list>
#include <memory>

namespace tidewell {

namespace {

struct SqlFailure {
    int code;
    std::string text;
};

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, CloseDb>;

struct FinalizeStmt {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

[[noreturn]] void fail(sqlite3* db, int code) {
    throw SqlFailure{code, sqlite3_errmsg(db)};
}

Statement prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr); rc != SQLITE_OK) {
        fail(db, rc);
    }
    return Statement(s);
}

// Runs one statement to its end; the rows it changed.
std::uint64_t run(sqlite3* db, const std::string& sql) {
    Statement s = prepare(db, sql);
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        fail(db, rc);
    }
    return static_cast<std::uint64_t>(sqlite3_changes(db));
}

std::string firstText(sqlite3* db, const std::string& sql) {
    Statement s = prepare(db, sql);
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(s.get(), 0);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    if (rc != SQLITE_DONE) {
        fail(db, rc);
    }
    return {};
}

bool hasTable(sqlite3* db, const std::string& table) {
    Statement s = prepare(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?");
    sqlite3_bind_text(s.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(s.get()) == SQLITE_ROW;
}

bool hasColumn(sqlite3* db, const std::string& table, const std::string& column) {
    Statement s = prepare(db, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
    sqlite3_bind_text(s.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s.get(), 2, column.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(s.get()) == SQLITE_ROW;
}

// The table the browser must have, or the file is not what its name says.
void require(sqlite3* db, std::initializer_list<const char*> tables) {
    for (const char* t : tables) {
        if (!hasTable(db, t)) {
            throw SqlFailure{SQLITE_NOTADB, std::string("it has no table ") + t};
        }
    }
}

std::uint64_t clearTables(sqlite3* db, std::initializer_list<const char*> tables) {
    std::uint64_t rows = 0;
    for (const char* t : tables) {
        if (hasTable(db, t)) {
            rows += run(db, std::string("DELETE FROM ") + t);
        }
    }
    return rows;
}

void keptFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* keep = static_cast<const KeepList*>(sqlite3_user_data(context));
    const unsigned char* host = sqlite3_value_text(args[0]);
    sqlite3_result_int(context,
                       host != nullptr && keep->keeps(reinterpret_cast<const char*>(host)) ? 1 : 0);
}

std::uint64_t eraseCookies(sqlite3* db, const char* table, const char* hostColumn,
                           const KeepList& keep) {
    require(db, {table});
    if (sqlite3_create_function_v2(db, "tidewell_kept", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   const_cast<KeepList*>(&keep), keptFunction, nullptr, nullptr,
                                   nullptr) != SQLITE_OK) {
        fail(db, sqlite3_errcode(db));
    }
    return run(db, std::string("DELETE FROM ") + table + " WHERE NOT tidewell_kept(" + hostColumn +
                       ")");
}

std::uint64_t eraseChromiumHistory(sqlite3* db) {
    require(db, {"urls", "visits"});
    // Downloads and the engine's search terms are history too; the tables a
    // version lacks are passed over.
    return clearTables(db, {"visits", "visit_source", "keyword_search_terms", "segment_usage",
                            "segments", "urls", "downloads", "downloads_url_chains",
                            "downloads_slices", "content_annotations", "context_annotations",
                            "clusters", "clusters_and_visits", "cluster_keywords",
                            "cluster_visit_duplicates", "visited_links"});
}

std::uint64_t eraseFirefoxPlaces(sqlite3* db) {
    require(db, {"moz_places", "moz_historyvisits", "moz_bookmarks"});
    std::uint64_t rows =
        clearTables(db, {"moz_historyvisits", "moz_historyvisits_extra", "moz_inputhistory",
                         "moz_places_metadata", "moz_places_metadata_search_queries"});
    // A place stays while a bookmark or a keyword refers to it.
    std::string keep = "SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL";
    if (hasTable(db, "moz_keywords")) {
        keep += " UNION SELECT place_id FROM moz_keywords WHERE place_id IS NOT NULL";
    }
    rows += run(db, "DELETE FROM moz_places WHERE id NOT IN (" + keep + ")");
    // What the kept places still say about visits goes too.
    for (const char* column : {"visit_count", "last_visit_date"}) {
        if (hasColumn(db, "moz_places", column)) {
            run(db, std::string("UPDATE moz_places SET ") + column +
                        (std::string(column) == "visit_count" ? " = 0" : " = NULL"));
        }
    }
    for (const char* table : {"moz_annos", "moz_places_extra"}) {
        if (hasTable(db, table) && hasColumn(db, table, "place_id")) {
            run(db, std::string("DELETE FROM ") + table +
                        " WHERE place_id NOT IN (SELECT id FROM moz_places)");
        }
    }
    if (hasTable(db, "moz_origins") && hasColumn(db, "moz_places", "origin_id")) {
        run(db, "DELETE FROM moz_origins WHERE id NOT IN "
                "(SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)");
    }
    return rows;
}

std::uint64_t eraseRows(sqlite3* db, DbKind kind, const KeepList& keep) {
    switch (kind) {
    case DbKind::ChromiumCookies:
        return eraseCookies(db, "cookies", "host_key", keep);
    case DbKind::FirefoxCookies:
        return eraseCookies(db, "moz_cookies", "host", keep);
    case DbKind::ChromiumHistory:
        return eraseChromiumHistory(db);
    case DbKind::FirefoxPlaces:
        return eraseFirefoxPlaces(db);
    case DbKind::FirefoxForms:
        require(db, {"moz_formhistory"});
        return clearTables(db, {"moz_formhistory", "moz_history_to_sources", "moz_sources"});
    }
    return 0;
}

DbOutcome::Status statusOf(int code) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbOutcome::Status::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return DbOutcome::Status::Damaged;
    default:
        return DbOutcome::Status::Failed;
    }
}

DbOutcome openExisting(const std::string& path, int flags, DbHandle& db) {
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(
        path.c_str(), &raw, flags | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_EXRESCODE, nullptr);
    db.reset(raw);
    if (opened != SQLITE_OK) {
        return {statusOf(opened), 0, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(opened)};
    }
    return {DbOutcome::Status::Erased, 0, {}};
}

// Checks and erases in one transaction (BEGIN IMMEDIATE waits for writers).
DbOutcome checkAndErase(sqlite3* db, DbKind kind, const KeepList& keep, int busyMs) {
    bool inTransaction = false;
    try {
        sqlite3_busy_timeout(db, busyMs);
        run(db, "PRAGMA secure_delete = ON");
        run(db, "BEGIN IMMEDIATE");
        inTransaction = true;
        // A damaged file is left as it was: writing into it could lose more.
        if (const std::string check = firstText(db, "PRAGMA quick_check"); check != "ok") {
            throw SqlFailure{SQLITE_CORRUPT, check};
        }
        const std::uint64_t rows = eraseRows(db, kind, keep);
        run(db, "COMMIT");
        return {DbOutcome::Status::Erased, rows, {}};
    } catch (const SqlFailure& f) {
        if (inTransaction) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return {statusOf(f.code), 0, f.text};
    }
}

} // namespace

DbOutcome eraseDatabaseRows(const std::string& path, DbKind kind, const KeepList& keep,
                            int busyMs) {
    DbHandle db;
    if (DbOutcome out = openExisting(path, SQLITE_OPEN_READWRITE, db);
        out.status != DbOutcome::Status::Erased) {
        return out;
    }
    return checkAndErase(db.get(), kind, keep, busyMs);
}

DbOutcome countDatabaseRows(const std::string& path, DbKind kind, const KeepList& keep,
                            int busyMs) {
    DbHandle file;
    if (DbOutcome out = openExisting(path, SQLITE_OPEN_READONLY, file);
        out.status != DbOutcome::Status::Erased) {
        return out;
    }
    sqlite3_busy_timeout(file.get(), busyMs);
    sqlite3_int64 size = 0;
    // A copy of the pages as a reader sees them (the write-ahead log included).
    unsigned char* pages = sqlite3_serialize(file.get(), "main", &size, 0);
    if (pages == nullptr) {
        const int code = sqlite3_errcode(file.get());
        return {statusOf(code == SQLITE_OK ? SQLITE_NOMEM : code), 0, sqlite3_errmsg(file.get())};
    }
    file.reset();
    // A copy in memory has no write-ahead log: its header says rollback
    // journal (the file-format bytes), or the copy would not open.
    if (size >= 20 && pages[18] == 2 && pages[19] == 2) {
        pages[18] = pages[19] = 1;
    }
    DbHandle copy;
    if (DbOutcome out = openExisting(":memory:", SQLITE_OPEN_READWRITE, copy);
        out.status != DbOutcome::Status::Erased) {
        sqlite3_free(pages);
        return out;
    }
    // The copy owns the pages from here, also when this fails.
    if (const int rc =
            sqlite3_deserialize(copy.get(), "main", pages, size, size,
                                SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
        rc != SQLITE_OK) {
        return {statusOf(rc), 0, sqlite3_errmsg(copy.get())};
    }
    return checkAndErase(copy.get(), kind, keep, busyMs);
}

} // namespace tidewell
