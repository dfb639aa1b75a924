#pragma once
#include <optional>
#include <string>

#include "cleaning/clean_run.h"
#include "cleaning/erase_targets.h"
#include "cleaning/file_system.h"
#include "kernel/settings_store.h"
#include "kernel/status_pane.h"

namespace tidewell {

// The dialogs of the "Advanced" tab.
class AdvancedDialogs {
public:
    virtual ~AdvancedDialogs() = default;
    // Open-file dialog starting in `initialFolder`; nothing on Cancel.
    virtual std::optional<std::string> chooseFile(const std::string& initialFolder) = 0;
    // Folder browser; nothing on Cancel.
    virtual std::optional<std::string> chooseFolder(const std::string& title) = 0;
    // Yes/No question; true only for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
    // Exclamation icon, OK button.
    virtual void showWarning(const std::string& text, const std::string& title) = 0;
    // The failure's description, critical-stop icon, the window's caption.
    virtual void showFailure(const std::string& description) = 0;
    virtual void selectMainTab() = 0;
};

// Three filler lines of 62, 59 and 39 characters, each with CR LF: 166 bytes.
extern const char* const kShredFiller;
inline constexpr const char* kFolderBrowserTitle = "Select Folder to Erase:";
inline constexpr const char* kFolderEraseMessage = "Erasing Selected Folder";
inline constexpr const char* kFolderEraseTitle = "Erase Folder";

// "Browse File" (shred one file) and "Browse Folder" (erase a folder's
// contents).
class AdvancedCommands {
public:
    AdvancedCommands(StatusPane& pane, FileSystem& fs, SettingsStore& store, EraseTargets& targets,
                     AdvancedDialogs& dialogs, CleaningActivity& activity,
                     std::string programFolder)
        : pane_(pane), fs_(fs), store_(store), targets_(targets), dialogs_(dialogs),
          activity_(activity), programFolder_(std::move(programFolder)) {}

    void cmdBrowseFile_Click();
    void cmdBrowseFolderToDelete_Click();
    // The shredding itself, once the user has chosen and confirmed.
    void shredFile(const std::string& path);

private:
    StatusPane& pane_;
    FileSystem& fs_;
    SettingsStore& store_;
    EraseTargets& targets_;
    AdvancedDialogs& dialogs_;
    CleaningActivity& activity_;
    std::string programFolder_;
};

} // namespace tidewell
