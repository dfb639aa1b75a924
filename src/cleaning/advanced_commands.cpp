#include "cleaning/advanced_commands.h"

#include "shell/app_error.h"

namespace tidewell {

const char* const kShredFiller =
    "Tidewell overwrote this file before deleting it: 0123456789 AB\r\n"
    "The former contents are gone and cannot be recovered here!!\r\n"
    "--------------------------------------!\r\n";

void AdvancedCommands::shredFile(const std::string& path) {
    // The file's own bytes are overwritten where they lie and flushed before
    // anything is deleted, so the data does not survive in freed clusters.
    fs_.overwriteInPlace(path, kShredFiller);
    pane_.Append("Deleting File " + path + " ...\r\n");
    fs_.writeFile(path, kShredFiller);
    pane_.Append("Overwriting File " + path + " ...\r\n");
    fs_.deleteFileOrThrow(path);
    pane_.Append("Deleting File " + path + " ...\r\n");
    pane_.Append("Finished");
}

void AdvancedCommands::cmdBrowseFile_Click() {
    if (activity_.busy()) {
        return;
    }
    CleaningActivity::Scope busy(activity_);
    try {
        pane_.Clear();
        const std::string initial =
            store_.GetSetting(kAppTitle, "BrowseFile", "Path", programFolder_);
        const auto file = dialogs_.chooseFile(initial);
        if (!file) {
            return;
        }
        const size_t slash = file->find_last_of('\\');
        const std::string folder =
            slash == std::string::npos ? std::string() : file->substr(0, slash);
        if (!dialogs_.askYesNo("Are you sure?", "Delete File")) {
            return;
        }
        dialogs_.selectMainTab();
        store_.SaveSetting(kAppTitle, "BrowseFile", "Path", folder);
        pane_.SetColour(kProgressBlue);
        shredFile(*file);
    } catch (...) {
        dialogs_.showFailure(describeCurrentException().description);
    }
}

void AdvancedCommands::cmdBrowseFolderToDelete_Click() {
    if (activity_.busy()) {
        return;
    }
    CleaningActivity::Scope busy(activity_);
    try {
        auto folder = dialogs_.chooseFolder(kFolderBrowserTitle);
        if (!folder) {
            return;
        }
        // A drive root comes back as "C:"; the wipe takes that as "C:\".
        if (!folder->empty() && folder->back() == '\\') {
            folder->pop_back();
        }
        if (!dialogs_.askYesNo("Are you sure?", "Delete Folder")) {
            return;
        }
        dialogs_.selectMainTab();
        targets_.EraseFolder(kFolderEraseMessage, *folder);
    } catch (...) {
        dialogs_.showFailure(describeCurrentException().description);
    }
}

} // namespace tidewell
