#pragma once
// The "File Security" page: copies the panel model to and from its controls,
// runs the engine with a live progress bar and a working Cancel, and
// registers the .cfy type at start-up.
#include <windows.h>

#include <memory>
#include <string>

#include "filesecurity/engine.h"
#include "filesecurity/panel.h"
#include "kernel/page_host_win32.h"
#include "kernel/registry.h"
#include "kernel/settings_store.h"
#include "win32/tab_page.h"
#include "win32/unique_handle.h"

namespace tidewell {

class FileSecurityPanel : public win32::TabPage {
public:
    FileSecurityPanel(PageHost& host, Registry& registry, SettingsStore& settings);
    ~FileSecurityPanel() override;

    // The page, as a child of `parent`: made when first needed, it shows the
    // model as the load step and any later call left it.
    HWND createPage(HINSTANCE instance, HWND parent);

    // Load step: the file-type check, an extraction the program did not see
    // end undone, then the panel's start state.
    void InitPanels();
    bool busy() const noexcept { return model_.busy; }
    // An encrypted file from the command line or another copy: this page,
    // single-file Decrypt with the fields filled, the focus in the password
    // box; or the path message. Ignored while an operation runs.
    void openForDecryption(const std::string& path);

    // Handlers, by the names the rest of the program knows them.
    void lblEncrypt_Click();
    void lblDecrypt_Click();
    void lblFileOrFolder_Click();
    void cmdBrowseFileFolder_Click(int index);
    void cmdEncrypt_Click();
    void cmdDecrypt_Click();
    void tmrProgress_Timer();

protected:
    void onInit() override;
    void onCommand(int id, int code) override;
    bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

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

    PageHost& host_;
    Registry& registry_;
    SettingsStore& settings_;
    filesecurity::PanelModel model_;
    std::unique_ptr<filesecurity::FileAccess> files_;
    win32::UniqueFont linkFont_;
    int progress_ = 0;
    bool cancelRequested_ = false;
    bool inColourQuery_ = false;
    bool modelReady_ = false;
};

// The password as the user typed it, in canonical composition (NFC).
std::string normalizedPassword(const std::wstring& typed);

} // namespace tidewell
