#include "cleaning/advanced_commands.h"

#include "kernel/app_error.h"

namespace tidewell {

const char* const kShredFiller =
    "Tidewell overwrote this file before deleting it: 0123456789 AB\r\n"
    "The former contents are gone and cannot be recovered here!!\r\n"
    "--------------------------------------!\r\n";

void AdvancedCommands::shredFile(const std::string& path) {
    const auto name = fs_.inspect(path);
    if (!name) {
        throw AppError(2, "The system cannot find the file specified.");
    }
    if (name->link) {
        // Overwriting would reach the file the link points to: only the
        // link goes.
        if (!fs_.deleteFile(path)) {
            throw AppError(5, "\"" + path +
                                  "\" is a link that cannot be removed as a link. It was left, "
                                  "and the file it points to was not touched.");
        }
        pane_.Append("Deleting Link " + path +
                     " ... (a link: the file it points to was not touched)\r\n");
        pane_.Append("Finished");
        return;
    }
    if (name->hardLinks > 1) {
        throw AppError(5, hardLinksText(path, name->hardLinks));
    }
    // The file's own bytes are overwritten where they lie and flushed before
    // anything is deleted, so the data does not survive in freed clusters.
    fs_.overwriteInPlace(path, kShredFiller);
    pane_.Append("Deleting File " + path + " ...\r\n");
    fs_.writeFile(path, kShredFiller);
    pane_.Append("Overwriting File " + path + " ...\r\n");
    pane_.Append("Deleting File " + path + " ...\r\n");
    fs_.deleteFileOrThrow(path);
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
        if (const auto why = targets_.whyNeverEmptied(*folder)) {
            dialogs_.showWarning("\"" + *folder + "\" will not be erased: " + *why +
                                     ".\r\n\r\nErasing its contents would damage Windows, "
                                     "your programs or a user's files.",
                                 kFolderEraseTitle);
            return;
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
