#pragma once
// The "File Security" page: copies the panel model to and from its controls,
// runs the engine with a live progress bar and a working Cancel, and
// registers the .cfy type at start-up.
#include <windows.h>

#include <memory>
#include <string>

#include "filesecurity/engine.h"
#include "filesecurity/panel.h"
#include "kernel/registry.h"
#include "kernel/settings_store.h"
#include "win32/unique_handle.h"

namespace tidewell {

class frmMain;

class FileSecurityPanel {
public:
    FileSecurityPanel(frmMain& owner, Registry& registry, SettingsStore& settings);
    ~FileSecurityPanel();
    FileSecurityPanel(const FileSecurityPanel&) = delete;
    FileSecurityPanel& operator=(const FileSecurityPanel&) = delete;

    // Load step: the file-type check, an extraction the program did not see
    // end undone, then the panel's start state.
    void InitPanels();
    bool busy() const noexcept { return model_.busy; }

    // Handlers, by the names the rest of the program knows them.
    void lblEncrypt_Click();
    void lblDecrypt_Click();
    void lblFileOrFolder_Click();
    void cmdBrowseFileFolder_Click(int index);
    void cmdEncrypt_Click();
    void cmdDecrypt_Click();
    void tmrProgress_Timer();

private:
    void runCommand(bool encryptButton);
    void SelectDirection(filesecurity::Direction d);
    std::string PickFile(bool isSource, const std::string& filter);
    std::string PickFolder();
    void show(const filesecurity::UserMessage& m);
    void showError(const std::string& text);
    void readControls();
    void applyModel();
    void styleDirectionLabels();
    HWND control(int id) const;
    std::string text(int id) const;
    static LRESULT CALLBACK pageProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK linkProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static void CALLBACK timerProc(HWND, UINT, UINT_PTR, DWORD);

    frmMain& owner_;
    Registry& registry_;
    SettingsStore& settings_;
    HWND page_ = nullptr;
    filesecurity::PanelModel model_;
    std::unique_ptr<filesecurity::FileAccess> files_;
    win32::UniqueFont linkFont_;
    int progress_ = 0;
    bool cancelRequested_ = false;
};

// The password as the user typed it, in canonical composition (NFC).
std::string normalizedPassword(const std::wstring& typed);

} // namespace tidewell
