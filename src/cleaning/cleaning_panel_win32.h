#pragma once
#include <windows.h>

#include <memory>

#include "cleaning/advanced_commands.h"
#include "cleaning/clean_run.h"
#include "cleaning/cleaning_platform_win32.h"
#include "cleaning/erase_targets.h"
#include "cleaning/file_system_win32.h"
#include "cleaning/wipe.h"
#include "settings/browser_tweaks.h"
#include "settings/cleaning_options.h"

namespace tidewell {

class frmMain;
namespace win32 {
class CleanRunSchedule;
}
class SettingsStore;
class Registry;
class ErrorReporter;

// Until the scheduler owns the timers: the guard reads Apply and Cancel, and
// the enabled states the run asks for are only recorded.
class RecordedScheduleTimers : public ScheduleTimers {
public:
    explicit RecordedScheduleTimers(HWND schedulePage) noexcept : page_(schedulePage) {}
    bool scheduleEditPending() override;
    void setScheduleEnabled(bool enabled) override { scheduleEnabled = enabled; }
    void setReEnableEnabled(bool enabled) override { reEnableEnabled = enabled; }
    bool scheduleEnabled = false;
    bool reEnableEnabled = false;

private:
    HWND page_;
};

// The cleaning subsystem's part of the main window: the options page, the
// clean-run buttons and the "Advanced" tab.
class CleaningPanel : private OptionBoxes, private CleanRunWindow, private AdvancedDialogs {
public:
    CleaningPanel(frmMain& form, SettingsStore& store, Registry& registry, ErrorReporter& errors);
    ~CleaningPanel() override;

    // Registers the control handlers with the window.
    void wire();
    // Load steps: defaults then stored options, the auto-complete box, the home page.
    void applyDefaultThenStoredOptions();
    void loadAutoSuggest();
    void loadHomePage();

    void cmdBasicClean_Click();
    void cmdCleanRebot_Click();

    // The scheduler hands its timers over here; the log-off is replaceable
    // so that nothing but a user's Yes ever logs anybody off.
    void useScheduleTimers(ScheduleTimers& timers) noexcept { timers_ = &timers; }
    // The scheduler's panel: its guard, its start (both timers off) and its
    // re-arm stand for the timer switches of the run.
    void useSchedule(win32::CleanRunSchedule& schedule);
    void useLogOff(LogOff& logOff) noexcept { logOff_ = &logOff; }
    const RecordedScheduleTimers& recordedTimers() const noexcept { return recordedTimers_; }

private:
    // OptionBoxes
    int value(int index) override;
    void setValue(int index, int value) override;
    // CleanRunWindow
    int optionValue(int index) override { return value(index); }
    void setLastRunTime(const std::string& hhmmss) override;
    void bringForward() override;
    void yield() override;
    std::string currentTime() override;
    // AdvancedDialogs
    std::optional<std::string> chooseFile(const std::string& initialFolder) override;
    std::optional<std::string> chooseFolder(const std::string& title) override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    void showWarning(const std::string& text, const std::string& title) override;
    void showFailure(const std::string& description) override;
    void selectMainTab() override;

    HWND optionsPage() const;
    std::wstring caption() const;

    // The run keeps one reference; this one follows useScheduleTimers.
    class TimersProxy : public ScheduleTimers {
    public:
        explicit TimersProxy(ScheduleTimers*& target) noexcept : target_(target) {}
        bool scheduleEditPending() override { return target_->scheduleEditPending(); }
        void setScheduleEnabled(bool on) override { target_->setScheduleEnabled(on); }
        void setReEnableEnabled(bool on) override { target_->setReEnableEnabled(on); }

    private:
        ScheduleTimers*& target_;
    };

    frmMain& form_;
    ErrorReporter& errors_;
    win32::Win32FileSystem fs_;
    win32::Win32CleaningPlatform platform_;
    win32::ThrottledPump pump_;
    FolderWiper wiper_;
    EraseTargets targets_;
    BrowserTweaks tweaks_;
    CleaningOptions options_;
    CleaningActivity activity_;
    RecordedScheduleTimers recordedTimers_;
    ScheduleTimers* timers_;
    TimersProxy timersProxy_{timers_};
    std::unique_ptr<ScheduleTimers> scheduleAdapter_;
    win32::Win32LogOff realLogOff_;
    LogOff* logOff_;
    CleanRun run_;
    AdvancedCommands advanced_;
};

} // namespace tidewell
