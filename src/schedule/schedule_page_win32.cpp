#include "schedule/schedule_page_win32.h"

#include "schedule/schedule_ids.h"

namespace tidewell {

SchedulePage::SchedulePage(SettingsStore& store, ErrorReporter& errors,
                           std::function<std::string()> windowCaption,
                           std::function<void()> runClean)
    : TabPage(errors) {
    // The panel and its timers run from the start; the page joins them when made.
    win32::SchedulePanelWin32::Services services;
    services.store = &store;
    services.errors = &errors;
    services.windowCaption = std::move(windowCaption);
    services.runClean = std::move(runClean);
    panel_ = std::make_unique<win32::SchedulePanelWin32>(std::move(services));
}

HWND SchedulePage::create(HINSTANCE instance, HWND parent) {
    return TabPage::create(instance, IDD_PAGE_SCHEDULE, parent);
}

void SchedulePage::onInit() {
    panel_->attachPage(hwnd());
}

void SchedulePage::onCommand(int id, int code) {
    auto& p = *panel_;
    if (id == IDC_CMBDAYS && code == CBN_SELCHANGE) {
        p.cmbDays_Click();
    } else if (id == IDC_TXTHOURS && code == EN_CHANGE) {
        p.txtHours_Change();
    } else if (code == BN_CLICKED) {
        switch (id) {
        case IDC_CMDAPPLY:
            p.cmdApply_Click();
            break;
        case IDC_CMDCANCEL:
            p.cmdCancel_Click();
            break;
        case IDC_CMDDEFAULTSCHEDULE:
            p.cmdDefaultSchedule_Click();
            break;
        default:
            break;
        }
    }
}

LRESULT SchedulePage::onNotify(NMHDR& header) {
    if (header.code == DTN_DATETIMECHANGE) {
        if (header.idFrom == IDC_DTPSCHEDULEDATE) {
            panel_->datePickerChanged();
        } else if (header.idFrom == IDC_DTPSCHEDULETIME) {
            panel_->timePickerChanged();
        }
    }
    return 0;
}

} // namespace tidewell
