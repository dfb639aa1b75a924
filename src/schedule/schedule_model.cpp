#include "schedule/schedule_model.h"

#include "kernel/app_error.h"

namespace tidewell {

namespace {
void setPending(SchedulePanel& p) {
    p.applyEnabled = true;
    p.cancelEnabled = true;
}
} // namespace

void cmbDays_Click(SchedulePanel& p, int kind) {
    if (kind < 0 || kind > kKindNever) {
        // An index outside the list changes no control.
        setPending(p);
        return;
    }
    p.kind = kind;
    if (kind <= kKindDaily) {
        p.date.reset();
        p.dateEnabled = false;
        p.timeEnabled = true;
        if (!p.time) {
            p.hoursEnabled = true;
            if (p.hoursText.empty()) {
                p.hoursText = kDefaultHours;
            }
        } else {
            p.hoursEnabled = false;
        }
    } else if (kind == kKindDate) {
        p.dateEnabled = true;
        p.time.reset();
        p.timeEnabled = false;
        p.hoursEnabled = true;
    } else if (kind == kKindDateTime) {
        p.dateEnabled = true;
        p.timeEnabled = true;
        p.hoursEnabled = false;
    } else {
        p.date.reset();
        p.dateEnabled = false;
        p.time.reset();
        p.timeEnabled = false;
        p.hoursEnabled = false;
    }
    setPending(p);
}

void timePickerEdited(SchedulePanel& p) {
    p.hoursEnabled = !p.time.has_value();
    setPending(p);
}

void datePickerEdited(SchedulePanel& p) {
    setPending(p);
}

void txtHours_Change(SchedulePanel& p) {
    setPending(p);
}

void cmdDefaultSchedule_Click(SchedulePanel& p) {
    cmbDays_Click(p, kKindDaily);
}

const char* applyMessageText(ApplyMessage m) {
    switch (m) {
    case ApplyMessage::DefineDate:
        return "Define Date";
    case ApplyMessage::DefineTime:
        return "Define Time";
    case ApplyMessage::None:
        break;
    }
    return "";
}

ApplyMessage cmdApply_Click(SchedulePanel& p, SettingsStore& store) {
    if (p.kind == kKindDate && !p.date) {
        return ApplyMessage::DefineDate;
    }
    if (p.kind == kKindDateTime) {
        if (!p.date) {
            return ApplyMessage::DefineDate;
        }
        if (!p.time) {
            return ApplyMessage::DefineTime;
        }
    }
    // Dates and times in one fixed form, so a change of locale keeps them.
    store.SaveSetting(kAppTitle, kScheduleSection, "Date",
                      p.date ? formatIsoDate(*p.date) : "Null");
    store.SaveSetting(kAppTitle, kScheduleSection, "Time", p.time ? formatTime(*p.time) : "Null");
    store.SaveSetting(kAppTitle, kScheduleSection, "RunAfter", p.hoursText);
    storeLastRun(p, store);
    store.SaveSetting(kAppTitle, kScheduleSection, "RunOn", std::to_string(p.kind));
    p.applyEnabled = false;
    p.cancelEnabled = false;
    return ApplyMessage::None;
}

std::optional<CivilDate> readStoredDate(const std::string& text, const LocaleDateReader& locale) {
    if (auto iso = parseIsoDate(text)) {
        return iso;
    }
    return locale.date ? locale.date(text) : std::nullopt;
}

std::optional<TimeOfDay> readStoredTime(const std::string& text, const LocaleDateReader& locale) {
    if (auto t = parseTime(text)) {
        return t;
    }
    return locale.time ? locale.time(text) : std::nullopt;
}

namespace {
// The last run's full time: its stored date when there is one; a store from
// before the date was kept gives the latest such time not after `now`.
std::optional<LocalDateTime> lastRunFrom(const std::string& caption, const std::string& dateText,
                                         const LocalDateTime& now) {
    auto time = parseTime(caption);
    if (!time) {
        return std::nullopt;
    }
    if (auto date = parseIsoDate(dateText)) {
        return LocalDateTime{*date, *time};
    }
    LocalDateTime today{now.date, *time};
    if (toSerialSeconds(today) <= toSerialSeconds(now)) {
        return today;
    }
    return LocalDateTime{civilFromDays(daysFromCivil(now.date) - 1), *time};
}
} // namespace

void LoadSchedule(SchedulePanel& p, SettingsStore& store, const LocalDateTime& now,
                  const LocaleDateReader& locale) {
    const std::string runOn = store.GetSetting(kAppTitle, kScheduleSection, "RunOn", "None");
    if (runOn != "None") {
        // A stored value that does not read back leaves the picker empty: the
        // schedule then simply never matches.
        const std::string date = store.GetSetting(kAppTitle, kScheduleSection, "Date", "Null");
        p.date = date == "Null" ? std::nullopt : readStoredDate(date, locale);
        const std::string time = store.GetSetting(kAppTitle, kScheduleSection, "Time", "Null");
        p.time = time == "Null" ? std::nullopt : readStoredTime(time, locale);
        p.hoursText = store.GetSetting(kAppTitle, kScheduleSection, "RunAfter", "");
        p.lastRunCaption = store.GetSetting(kAppTitle, kScheduleSection, "LastRunTime", "");
        p.lastRun =
            lastRunFrom(p.lastRunCaption,
                        store.GetSetting(kAppTitle, kScheduleSection, "LastRunDate", ""), now);
        const std::int32_t kind = toLongStrict(runOn);
        if (kind < 0 || kind > kKindNever) {
            throw AppError(380, "Invalid property value");
        }
        cmbDays_Click(p, kind);
    } else {
        cmbDays_Click(p, kKindDaily);
    }
    timePickerEdited(p);
    if (p.kind == kKindNever) {
        p.hoursEnabled = false;
    }
}

void cmdCancel_Click(SchedulePanel& p, SettingsStore& store, const LocalDateTime& now,
                     const LocaleDateReader& locale) {
    LoadSchedule(p, store, now, locale);
    p.applyEnabled = false;
    p.cancelEnabled = false;
}

void recordRunStart(SchedulePanel& p, const LocalDateTime& now) {
    p.lastRunCaption = formatTime(now.time);
    p.lastRun = now;
}

void storeLastRun(const SchedulePanel& p, SettingsStore& store) {
    store.SaveSetting(kAppTitle, kScheduleSection, "LastRunTime", p.lastRunCaption);
    // The date beside the shown time; only written when it belongs to it.
    if (p.lastRun && formatTime(p.lastRun->time) == p.lastRunCaption) {
        store.SaveSetting(kAppTitle, kScheduleSection, "LastRunDate",
                          formatIsoDate(p.lastRun->date));
    }
}

} // namespace tidewell
