#pragma once
// The extraction's journal. Files are written under temporary names and take
// their own names only once all of them are written (Extractor::finish). A
// journal in the destination folder records the run as it goes, so that one
// the process did not live to finish or undo is undone later
// (recoverInterrupted): temporary files go, files set aside come back under
// their own names, and folders the run made go when empty. Lines reach the
// system before the step they announce.
#include <cstddef>
#include <string>
#include <vector>

#include "filesecurity/file_access.h"

namespace tidewell::archive::detail {

inline constexpr char kJournalPrefix[] = ".~twrun";
inline constexpr char kTempSuffix[] = ".tmp";
inline constexpr std::size_t kRunIdLength = 16;

// Random per run, so that no archive can foresee (and so take or delete) the
// temporary names.
std::string newRunId();

// The temporary name of entry `index` while it is written, and the name a
// user's file in its way is set aside under.
std::string stagedName(const std::string& real, const std::string& id, std::size_t index);
std::string asideName(const std::string& real, const std::string& id, std::size_t index);

// One line: a tag, the length of the text, the text (names may hold any byte).
std::string journalLine(char tag, const std::string& text = {});

struct Journal {
    std::vector<std::string> folders; // 'm': made by the run, in order
    std::vector<std::string> files;   // 'f': own names, in archive order
    bool placing = false;             // 'c': files began to take their names
    bool done = false;                // 'd': all took them
};

// Puts the destination back as it was before run `id`, or, once all files
// took their names, removes what they replaced. `staged`: temporary files
// that may be left. The journal goes only when every step succeeded, so a
// later look tries again.
bool undoRun(filesecurity::FileAccess& fs, const std::string& id, const Journal& j,
             const std::vector<std::string>& staged, const std::string& journal);

} // namespace tidewell::archive::detail
