#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "cleaning/clean_run_schedule.h"
#include "kernel/report_error.h"
#include "kernel/settings_store.h"
#include "schedule/schedule_due.h"
#include "schedule/schedule_model.h"
#include "win32/unique_handle.h"

namespace tidewell::win32 {

LocalDateTime localNow();
SYSTEMTIME toSystemTime(const CivilDate& d, const TimeOfDay& t);
LocalDateTime fromSystemTime(const SYSTEMTIME& st);
LocaleDateReader userLocaleDateReader();

// The "Schedule" tab (frame fmSchedule) and the two schedule timers.
class SchedulePanelWin32 : public CleanRunSchedule {
public:
    struct Services {
        HWND page = nullptr; // the Schedule tab page; may come later, see attachPage
        SettingsStore* store = nullptr;
        ErrorReporter* errors = nullptr;
        std::function<std::string()> windowCaption; // title of the validation messages
        std::function<void()> runClean;             // cmdBasicClean_Click
    };
    explicit SchedulePanelWin32(Services services);
    ~SchedulePanelWin32() override;
    SchedulePanelWin32(const SchedulePanelWin32&) = delete;
    SchedulePanelWin32& operator=(const SchedulePanelWin32&) = delete;

    // The page, made when its tab is first chosen: it shows the model from then on.
    void attachPage(HWND page);

    // Start-up: pickers to now and then empty, LoadSchedule, nothing pending.
    void prepareAtStartup();

    // Control events, routed by the main window.
    void cmbDays_Click();
    void timePickerChanged();
    void datePickerChanged();
    void txtHours_Change();
    void cmdApply_Click();
    void cmdCancel_Click();
    void cmdDefaultSchedule_Click();

    // Timers. The schedule's seconds are watched by a thread of the panel's
    // own, which sleeps without the window system and posts only when a run
    // is due: an idle program then wakes once a second, not for every
    // round trip of a timer message.
    void tmrSchedule_Timer(std::int64_t dueSecond);
    void tmrMakeScehduleEnable_Timer();
    ScheduleTimerState timerState() const noexcept { return state_; }

    // CleanRunSchedule.
    bool editsPending() override;
    void runStarting() override;
    void runFinished() override;

    const SchedulePanel& model() const noexcept { return model_; }

private:
    HWND item(int id) const { return ::GetDlgItem(services_.page, id); }
    SchedulePanel readPanel() const;
    void readControls();
    void writeControls();
    // Hands the watcher what it looks at; after every change of the panel,
    // its pending edits or the timer's state.
    void publish();
    static DWORD WINAPI watchSeconds(void* share) noexcept;
    struct Watch;
    static LRESULT CALLBACK timerWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    Services services_;
    SchedulePanel model_;
    ScheduleTimerState state_ = ScheduleTimerState::Armed;
    std::uint64_t rearmCount_ = 0;
    std::int64_t rearmedAt_ = std::numeric_limits<std::int64_t>::min();
    std::shared_ptr<Watch> watch_;
    UniqueWindow timerWindow_;
    bool writing_ = false;
};

} // namespace tidewell::win32
