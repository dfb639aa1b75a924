#pragma once
// The "Schedule" tab page: its controls' events go to the schedule panel.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "kernel/report_error.h"
#include "kernel/settings_store.h"
#include "schedule/schedule_panel_win32.h"
#include "win32/tab_page.h"

namespace tidewell {

class SchedulePage : public win32::TabPage {
public:
    // `windowCaption`: the title of the validation messages; `runClean`: a
    // scheduled run, exactly a click on "Basic Clean".
    SchedulePage(SettingsStore& store, ErrorReporter& errors,
                 std::function<std::string()> windowCaption, std::function<void()> runClean);
    HWND create(HINSTANCE instance, HWND parent);

    win32::SchedulePanelWin32& panel() noexcept { return *panel_; }

protected:
    void onInit() override;
    void onCommand(int id, int code) override;
    LRESULT onNotify(NMHDR& header) override;

private:
    std::unique_ptr<win32::SchedulePanelWin32> panel_;
};

} // namespace tidewell
