#pragma once
// The file-security panel as plain state: what its controls show and the
// rules that change it. The window code only copies this to the controls.
#include <optional>
#include <string>

#include "filesecurity/engine.h"

namespace tidewell::filesecurity {

inline constexpr const char* kFolderModeCaption = "Click here to encrypt/decrypt a single file";
inline constexpr const char* kFileModeCaption = "Click here to encrypt/decrypt an entire folder";
inline constexpr const char* kAllFilesFilter = "All Files (*.*) | *.*";
inline constexpr const char* kEncryptedFilesFilter = "Cofferly Files (*.cfy) | *.cfy";

enum class Direction { Decrypt = 0, Encrypt = 1 };

struct PanelModel {
    std::string lblFileOrFolder = kFileModeCaption;
    std::string lblSourceDestination[2] = {"Source File:", "Destination File:"};
    std::string txtSource, txtDestination, txtPassword, txtReenter;
    bool cmdEncryptEnabled = true;
    bool cmdDecryptEnabled = false;
    std::string cmdEncryptCaption = "Encrypt";
    std::string cmdDecryptCaption = "Decrypt";
    int pgb = 0;
    // An operation runs: its button reads "Cancel" and nothing else starts.
    bool busy = false;
};

bool folderMode(const PanelModel& m);
Direction direction(const PanelModel& m);

// Start state, as the main window's load sets it.
void initPanel(PanelModel& m);
void SelectDirection(PanelModel& m, Direction d);
void toggleMode(PanelModel& m);

struct PickerRequest {
    enum class Kind { Folder, OpenFile, SaveFile } kind = Kind::Folder;
    std::string filter; // empty for the folder picker
    bool operator==(const PickerRequest&) const = default;
};
// Which picker the browse button `index` (0 source, 1 destination) opens.
PickerRequest browseRequest(const PanelModel& m, int index);
// "Name | *.ext" to the common dialog's "Name\0*.ext\0\0" form.
std::string dialogFilter(const std::string& filter);
// A folder picker's path without one trailing backslash ("C:\" gives "C:").
std::string folderPickerResult(std::string path);

// The password checks of both buttons.
std::optional<UserMessage> checkPasswords(const PanelModel& m);
Operation operationFor(const PanelModel& m, bool encryptButton);
Fields fieldsOf(const PanelModel& m);

// An encrypted file handed in from outside (the command line, another copy):
// single-file mode, Decrypt, the path as the source and the path without
// ".cfy" as the destination; nothing runs. A path that is no existing .cfy
// file gives the path message and leaves the model as it was.
std::optional<UserMessage> openForDecryption(PanelModel& m, const std::string& path, FileAccess& fs,
                                             const std::string& appTitle);

// Entering and leaving an operation started by one of the two buttons.
void beginOperation(PanelModel& m, bool encryptButton);
void endOperation(PanelModel& m);

} // namespace tidewell::filesecurity
