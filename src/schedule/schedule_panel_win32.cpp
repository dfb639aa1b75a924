#include "schedule/schedule_panel_win32.h"

#include <commctrl.h>
#include <oleauto.h>

#include <utility>

#include "schedule/schedule_ids.h"
#include "win32/error_report.h"
#include "win32/unicode.h"
#include "win32/win32_error.h"

namespace tidewell::win32 {

namespace {
constexpr UINT kRunDueMessage = WM_APP + 1; // wParam: the due serial second
constexpr UINT_PTR kReEnableTimer = 2;
constexpr UINT kReEnableMs = 1000;
constexpr wchar_t kTimerWindowClass[] = L"TidewellScheduleTimers";

std::optional<SYSTEMTIME> pickerValue(HWND picker) {
    SYSTEMTIME st{};
    if (::SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID) {
        return st;
    }
    return std::nullopt;
}

void setPicker(HWND picker, const std::optional<SYSTEMTIME>& value) {
    if (value) {
        ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&*value));
    } else {
        // Some implementations refuse a null pointer with GDT_NONE.
        SYSTEMTIME shown{};
        ::SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
        ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_NONE, reinterpret_cast<LPARAM>(&shown));
    }
}

std::optional<LocalDateTime> parseLocaleDateTime(const std::string& text) {
    DATE value = 0;
    std::wstring wide = toUtf16(text);
    if (FAILED(::VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &value))) {
        return std::nullopt;
    }
    // Converted here, not by the platform: the first call through the delayed
    // import of oleaut32 loses a floating-point argument (the toolchain's
    // thunk keeps only the integer registers).
    return fromAutomationDate(value);
}
} // namespace

struct SchedulePanelWin32::Watch {
    SRWLOCK lock = SRWLOCK_INIT;
    ScheduleWatchState state;
    bool stop = false;
    HWND target = nullptr;
};

SYSTEMTIME toSystemTime(const CivilDate& d, const TimeOfDay& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(d.year);
    st.wMonth = static_cast<WORD>(d.month);
    st.wDay = static_cast<WORD>(d.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    return st;
}

LocalDateTime fromSystemTime(const SYSTEMTIME& st) {
    return {{st.wYear, st.wMonth, st.wDay}, {st.wHour, st.wMinute, st.wSecond}};
}

LocalDateTime localNow() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return fromSystemTime(st);
}

LocaleDateReader userLocaleDateReader() {
    LocaleDateReader reader;
    reader.date = [](const std::string& text) -> std::optional<CivilDate> {
        auto t = parseLocaleDateTime(text);
        return t ? std::optional<CivilDate>(t->date) : std::nullopt;
    };
    reader.time = [](const std::string& text) -> std::optional<TimeOfDay> {
        auto t = parseLocaleDateTime(text);
        return t ? std::optional<TimeOfDay>(t->time) : std::nullopt;
    };
    return reader;
}

SchedulePanelWin32::SchedulePanelWin32(Services services) : services_(std::move(services)) {
    if (HWND page = std::exchange(services_.page, nullptr)) {
        attachPage(page);
    }
    // The timers belong to a message-only window of their own, so that they
    // need nothing from the main window's procedure.
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = timerWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kTimerWindowClass;
    ::RegisterClassExW(&wc);
    timerWindow_.reset(::CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                         nullptr, instance, this));
    if (!timerWindow_) {
        throwLastError();
    }
    watch_ = std::make_shared<Watch>();
    watch_->target = timerWindow_.get();
    publish();
    // The thread keeps its own share of what it reads, so it may outlive the panel.
    auto share = std::make_unique<std::shared_ptr<Watch>>(watch_);
    HANDLE thread = ::CreateThread(nullptr, 64 * 1024, watchSeconds, share.get(),
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        throwLastError();
    }
    share.release();
    ::CloseHandle(thread);
}

void SchedulePanelWin32::attachPage(HWND page) {
    services_.page = page;
    HWND combo = item(IDC_CMBDAYS);
    for (const char* name : kScheduleKindNames) {
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toUtf16(name).c_str()));
    }
    // A 24-hour clock, as the stored and shown last-run times are.
    ::SendMessageW(item(IDC_DTPSCHEDULETIME), DTM_SETFORMATW, 0,
                   reinterpret_cast<LPARAM>(L"HH:mm:ss"));
    ::SendMessageW(item(IDC_UDNHOURS), UDM_SETRANGE32, 1, 24);
    if (watch_) {
        writeControls();
    } else {
        writing_ = true;
        ::SetWindowTextW(item(IDC_TXTHOURS), L"");
        writing_ = false;
    }
}

SchedulePanelWin32::~SchedulePanelWin32() {
    {
        ::AcquireSRWLockExclusive(&watch_->lock);
        watch_->stop = true;
        ::ReleaseSRWLockExclusive(&watch_->lock);
    }
    if (timerWindow_) {
        ::SetWindowLongPtrW(timerWindow_.get(), GWLP_USERDATA, 0);
    }
}

LRESULT CALLBACK SchedulePanelWin32::timerWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    } else if (msg == WM_TIMER) {
        auto* self =
            reinterpret_cast<SchedulePanelWin32*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
            runGuarded(*self->services_.errors, [&] {
                if (wp == kReEnableTimer) {
                    self->tmrMakeScehduleEnable_Timer();
                }
            });
        }
        return 0;
    } else if (msg == kRunDueMessage) {
        auto* self =
            reinterpret_cast<SchedulePanelWin32*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
            runGuarded(*self->services_.errors,
                       [&] { self->tmrSchedule_Timer(static_cast<std::int64_t>(wp)); });
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

SchedulePanel SchedulePanelWin32::readPanel() const {
    SchedulePanel panel = model_;
    const auto kind = ::SendMessageW(item(IDC_CMBDAYS), CB_GETCURSEL, 0, 0);
    panel.kind = kind == CB_ERR ? -1 : static_cast<int>(kind);
    if (auto d = pickerValue(item(IDC_DTPSCHEDULEDATE))) {
        panel.date = fromSystemTime(*d).date;
    } else {
        panel.date.reset();
    }
    if (auto t = pickerValue(item(IDC_DTPSCHEDULETIME))) {
        panel.time = fromSystemTime(*t).time;
    } else {
        panel.time.reset();
    }
    wchar_t hours[64] = {};
    ::GetWindowTextW(item(IDC_TXTHOURS), hours, 64);
    panel.hoursText = toUtf8(hours);
    return panel;
}

void SchedulePanelWin32::readControls() {
    if (services_.page != nullptr) {
        model_ = readPanel();
    }
}

void SchedulePanelWin32::writeControls() {
    if (services_.page == nullptr) {
        publish();
        return;
    }
    writing_ = true;
    ::SendMessageW(item(IDC_CMBDAYS), CB_SETCURSEL, static_cast<WPARAM>(model_.kind), 0);
    const LocalDateTime now = localNow();
    ::EnableWindow(item(IDC_DTPSCHEDULEDATE), model_.dateEnabled);
    setPicker(item(IDC_DTPSCHEDULEDATE),
              model_.date ? std::optional(toSystemTime(*model_.date, now.time)) : std::nullopt);
    ::EnableWindow(item(IDC_DTPSCHEDULETIME), model_.timeEnabled);
    setPicker(item(IDC_DTPSCHEDULETIME),
              model_.time ? std::optional(toSystemTime(now.date, *model_.time)) : std::nullopt);
    wchar_t hours[64] = {};
    ::GetWindowTextW(item(IDC_TXTHOURS), hours, 64);
    if (toUtf8(hours) != model_.hoursText) {
        ::SetWindowTextW(item(IDC_TXTHOURS), toUtf16(model_.hoursText).c_str());
    }
    // A disabled edit box shows the button face; an enabled one is white.
    ::EnableWindow(item(IDC_TXTHOURS), model_.hoursEnabled);
    ::EnableWindow(item(IDC_UDNHOURS), model_.hoursEnabled);
    ::SetWindowTextW(item(IDC_LBLLASTRUNTIME), toUtf16(model_.lastRunCaption).c_str());
    ::EnableWindow(item(IDC_CMDAPPLY), model_.applyEnabled);
    ::EnableWindow(item(IDC_CMDCANCEL), model_.cancelEnabled);
    writing_ = false;
    publish();
}

void SchedulePanelWin32::prepareAtStartup() {
    // Pickers at today and now, then without a value; with no page yet, the
    // model starts as that empty page would read.
    const LocalDateTime now = localNow();
    if (services_.page != nullptr) {
        const SYSTEMTIME st = toSystemTime(now.date, now.time);
        for (int id : {IDC_DTPSCHEDULEDATE, IDC_DTPSCHEDULETIME}) {
            ::SendMessageW(item(id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
            setPicker(item(id), std::nullopt);
        }
    }
    readControls();
    // A bad stored schedule reports the common message and leaves the panel
    // as far as it got; start-up goes on.
    runGuarded(*services_.errors,
               [&] { LoadSchedule(model_, *services_.store, now, userLocaleDateReader()); });
    model_.applyEnabled = false;
    model_.cancelEnabled = false;
    writeControls();
}

void SchedulePanelWin32::cmbDays_Click() {
    readControls();
    tidewell::cmbDays_Click(model_, model_.kind);
    writeControls();
}

void SchedulePanelWin32::timePickerChanged() {
    readControls();
    timePickerEdited(model_);
    writeControls();
}

void SchedulePanelWin32::datePickerChanged() {
    readControls();
    datePickerEdited(model_);
    writeControls();
}

void SchedulePanelWin32::txtHours_Change() {
    if (writing_) {
        return;
    }
    readControls();
    tidewell::txtHours_Change(model_);
    writeControls();
}

void SchedulePanelWin32::cmdApply_Click() {
    readControls();
    const ApplyMessage message = tidewell::cmdApply_Click(model_, *services_.store);
    if (message != ApplyMessage::None) {
        const std::string title = services_.windowCaption ? services_.windowCaption() : kAppTitle;
        ::MessageBoxW(::GetAncestor(services_.page, GA_ROOT),
                      toUtf16(applyMessageText(message)).c_str(), toUtf16(title).c_str(), MB_OK);
    }
    writeControls();
}

void SchedulePanelWin32::cmdCancel_Click() {
    readControls();
    try {
        tidewell::cmdCancel_Click(model_, *services_.store, localNow(), userLocaleDateReader());
    } catch (...) {
        writeControls();
        throw;
    }
    writeControls();
}

void SchedulePanelWin32::cmdDefaultSchedule_Click() {
    readControls();
    tidewell::cmdDefaultSchedule_Click(model_);
    writeControls();
}

void SchedulePanelWin32::publish() {
    const bool pending = editsPending();
    ::AcquireSRWLockExclusive(&watch_->lock);
    watch_->state.panel = model_;
    watch_->state.editsPending = pending;
    watch_->state.armed = state_ == ScheduleTimerState::Armed;
    watch_->state.rearmCount = rearmCount_;
    watch_->state.rearmedAt = rearmedAt_;
    ::ReleaseSRWLockExclusive(&watch_->lock);
}

DWORD WINAPI SchedulePanelWin32::watchSeconds(void* share) noexcept {
    const std::shared_ptr<Watch> watch = *static_cast<std::shared_ptr<Watch>*>(share);
    delete static_cast<std::shared_ptr<Watch>*>(share);
    ScheduleWatch decision;
    for (;;) {
        SYSTEMTIME st{};
        ::GetLocalTime(&st);
        // Not alertable: Wine sleeps this without a round trip to its server.
        ::Sleep(static_cast<DWORD>(delayToNextSecond(st.wMilliseconds)));
        try {
            ::AcquireSRWLockShared(&watch->lock);
            const bool stop = watch->stop;
            const ScheduleWatchState state = stop ? ScheduleWatchState{} : watch->state;
            ::ReleaseSRWLockShared(&watch->lock);
            if (stop) {
                return 0;
            }
            if (auto due = decision.look(state, toSerialSeconds(localNow()))) {
                ::PostMessageW(watch->target, kRunDueMessage, static_cast<WPARAM>(*due), 0);
            }
        } catch (...) {
            // Out of memory for a copy: this second is looked at again next time.
        }
    }
}

void SchedulePanelWin32::tmrSchedule_Timer(std::int64_t dueSecond) {
    // The watcher saw the panel up to a second ago: the run goes ahead only if
    // the timer is still armed (and was not armed again since) and no edits
    // are pending now. It may come while a handler of the panel is in a
    // message box, as the timer's tick could.
    if (state_ != ScheduleTimerState::Armed || dueSecond <= rearmedAt_ || editsPending()) {
        return;
    }
    if (services_.runClean) {
        services_.runClean();
    }
}

void SchedulePanelWin32::tmrMakeScehduleEnable_Timer() {
    ::KillTimer(timerWindow_.get(), kReEnableTimer);
    storeLastRun(model_, *services_.store);
    state_ = ScheduleTimerState::Armed;
    ++rearmCount_;
    rearmedAt_ = toSerialSeconds(localNow());
    publish();
}

bool SchedulePanelWin32::editsPending() {
    // Apply and Cancel are enabled exactly as the model says.
    return model_.editsPending();
}

void SchedulePanelWin32::runStarting() {
    recordRunStart(model_, localNow());
    if (services_.page != nullptr) {
        ::SetWindowTextW(item(IDC_LBLLASTRUNTIME), toUtf16(model_.lastRunCaption).c_str());
    }
    ::KillTimer(timerWindow_.get(), kReEnableTimer);
    state_ = ScheduleTimerState::Running;
    publish();
}

void SchedulePanelWin32::runFinished() {
    state_ = ScheduleTimerState::Cooling;
    publish();
    ::SetTimer(timerWindow_.get(), kReEnableTimer, kReEnableMs, nullptr);
}

} // namespace tidewell::win32
