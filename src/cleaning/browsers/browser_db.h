#pragma once
#include <cstdint>
#include <string>

#include "cleaning/browsers/keep_list.h"

namespace tidewell {

// The databases whose rows the clean erases, with the browser's own tables.
enum class DbKind {
    ChromiumCookies, // cookies (host_key)
    FirefoxCookies,  // moz_cookies (host)
    ChromiumHistory, // urls, visits and what hangs on them
    FirefoxPlaces,   // moz_historyvisits, and the moz_places no bookmark or keyword needs
    FirefoxForms,    // moz_formhistory
};

struct DbOutcome {
    enum class Status {
        Erased,
        Busy,    // another program holds it: left as it was
        Damaged, // not the database expected, or its check failed: left as it was
        Failed,  // anything else: left as it was
    };
    Status status = Status::Failed;
    std::uint64_t rows = 0; // rows erased
    std::string detail;     // SQLite's text, when not erased
};

// Opens an existing database (never creates one), waits at most `busyMs` for
// a lock, checks it, and erases the rows of `kind` in one transaction: all of
// them or none. Cookie rows of sites `keep` names survive. Freed pages are
// overwritten (secure delete), so erased rows do not linger in the file.
DbOutcome eraseDatabaseRows(const std::string& path, DbKind kind, const KeepList& keep,
                            int busyMs = 1000);

// The rows eraseDatabaseRows would erase, without writing: the file is
// opened read-only and its copy in memory takes the very same deletions.
DbOutcome countDatabaseRows(const std::string& path, DbKind kind, const KeepList& keep,
                            int busyMs = 1000);

} // namespace tidewell
