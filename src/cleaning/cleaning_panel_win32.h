#pragma once
#include <windows.h>

#include <array>
#include <string>

#include "cleaning/advanced_commands.h"
#include "cleaning/browsers/browser_platform_win32.h"
#include "cleaning/clean_run.h"
#include "cleaning/cleaning_platform_win32.h"
#include "cleaning/erase_targets.h"
#include "cleaning/file_system_win32.h"
#include "cleaning/wipe.h"
#include "kernel/page_host_win32.h"
#include "settings/browser_options.h"
#include "settings/browser_tweaks.h"
#include "settings/cleaning_options.h"
#include "win32/tab_page.h"

namespace tidewell {

class SettingsStore;
class Registry;
class ErrorReporter;

// The cleaning subsystem's part of the main window: the options page, the
// clean-run buttons and the "Advanced" tab.
class CleaningPanel : private OptionBoxes, private CleanRunWindow, private AdvancedDialogs {
public:
    // `schedule` is the scheduler's side of the run: its guard, its start and its re-arm.
    CleaningPanel(PageHost& host, CleanRunSchedule& schedule, SettingsStore& store,
                  Registry& registry, ErrorReporter& errors);
    ~CleaningPanel() override;

    // The "Options & Settings" and "Advanced" pages, as children of `parent`.
    HWND createOptionsPage(HINSTANCE instance, HWND parent);
    HWND createAdvancedPage(HINSTANCE instance, HWND parent);
    // Load steps: defaults then stored options, the auto-complete box, the home page.
    void applyDefaultThenStoredOptions();
    void loadAutoSuggest();
    void loadHomePage();

    void cmdBasicClean_Click();
    void cmdCleanRebot_Click();
    // "Preview" (its caption reads "Stop" while it runs; a click then stops
    // it) and "Details...", which lists what the last preview found.
    void attachPreviewButtons(HWND preview, HWND details) noexcept {
        previewButton_ = preview;
        detailsButton_ = details;
    }
    void cmdPreview_Click();
    void cmdDetails_Click();

private:
    // OptionBoxes
    int value(int index) override;
    void setValue(int index, int value) override;
    // CleanRunWindow
    int optionValue(int index) override { return value(index); }
    void bringForward() override;
    void yield() override;
    // AdvancedDialogs
    std::optional<std::string> chooseFile(const std::string& initialFolder) override;
    std::optional<std::string> chooseFolder(const std::string& title) override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    void showWarning(const std::string& text, const std::string& title) override;
    void showFailure(const std::string& description) override;
    void selectMainTab() override;

    // The pages, each a dialog of its own whose events come here.
    class OptionsPage : public win32::TabPage {
    public:
        OptionsPage(CleaningPanel& panel, ErrorReporter& errors) : TabPage(errors), panel_(panel) {}

    protected:
        void onInit() override;
        void onCommand(int id, int code) override;
        LRESULT onNotify(NMHDR& header) override;

    private:
        void selectSubTab(int index);
        CleaningPanel& panel_;
    };
    class AdvancedPage : public win32::TabPage {
    public:
        AdvancedPage(CleaningPanel& panel, ErrorReporter& errors)
            : TabPage(errors), panel_(panel) {}

    protected:
        void onCommand(int id, int code) override;

    private:
        CleaningPanel& panel_;
    };

    HWND optionsPage() const;
    // The options page, made when its tab is first chosen, shows what the load
    // steps put in the model; the "Browsers" rows are greyed where a browser is missing.
    void showOptions();
    std::wstring caption() const;

    PageHost& host_;
    ErrorReporter& errors_;
    // The options page's state until it is made; from then on its controls hold it.
    std::array<int, kOptionCount> boxes_{};
    bool webAddress_ = false;
    std::string homePage_;
    HWND previewButton_ = nullptr;
    HWND detailsButton_ = nullptr;
    win32::Win32FileSystem fs_;
    win32::Win32CleaningPlatform platform_;
    win32::ThrottledPump pump_;
    FolderWiper wiper_;
    EraseTargets targets_;
    BrowserTweaks tweaks_;
    CleaningOptions options_;
    BrowserOptions browserOptions_;
    win32::Win32BrowserPlatform browserPlatform_;
    BrowserCleaner browsers_;
    CleaningActivity activity_;
    win32::Win32LogOff logOff_;
    CleanRun run_;
    AdvancedCommands advanced_;
    OptionsPage optionsPage_{*this, errors_};
    AdvancedPage advancedPage_{*this, errors_};
};

} // namespace tidewell
