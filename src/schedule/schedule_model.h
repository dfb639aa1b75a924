#pragma once
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "kernel/settings_store.h"
#include "schedule/local_time.h"

namespace tidewell {

// The list index of cmbDays is the schedule kind.
inline constexpr int kKindDaily = 7;
inline constexpr int kKindDate = 8;
inline constexpr int kKindDateTime = 9;
inline constexpr int kKindNever = 10;
inline constexpr std::array<const char*, 11> kScheduleKindNames{
    "Monday", "Tuesday", "Wednesday", "Thursday",    "Friday", "Saturday",
    "Sunday", "Daily",   "Date",      "Date & Time", "Never!"};

inline constexpr const char* kNoLastRun = "##:##:##";
inline constexpr const char* kDefaultHours = "2";
inline constexpr const char* kScheduleSection = "Schedule";

// What the schedule panel shows: the presentation model the window copies to
// and from its controls, and what the timer reads every second.
struct SchedulePanel {
    int kind = -1;
    bool dateEnabled = true;
    std::optional<CivilDate> date;
    bool timeEnabled = true;
    std::optional<TimeOfDay> time;
    bool hoursEnabled = true; // the box and its up-down; white when enabled
    std::string hoursText;
    std::string lastRunCaption = kNoLastRun;
    // The full date and time behind the caption, so that interval runs count
    // across midnight. Empty when no run is known.
    std::optional<LocalDateTime> lastRun;
    bool applyEnabled = false;
    bool cancelEnabled = false;

    bool editsPending() const { return applyEnabled || cancelEnabled; }
};

// Reads a date or time stored by an earlier version in the user's locale form;
// nullopt when the text is no date (or time). Supplied by the platform.
struct LocaleDateReader {
    std::function<std::optional<CivilDate>(const std::string&)> date;
    std::function<std::optional<TimeOfDay>(const std::string&)> time;
};

// Handlers, by the panel's event names.
void cmbDays_Click(SchedulePanel& p, int kind);
void timePickerEdited(SchedulePanel& p);
void datePickerEdited(SchedulePanel& p);
void txtHours_Change(SchedulePanel& p);
void cmdDefaultSchedule_Click(SchedulePanel& p);

enum class ApplyMessage { None, DefineDate, DefineTime };
const char* applyMessageText(ApplyMessage m);
// Validates and stores; on a message nothing is stored and the edits stay pending.
ApplyMessage cmdApply_Click(SchedulePanel& p, SettingsStore& store);

// Restores the panel from the store. A stored kind that is no number (or no
// kind) raises the common error (AppError) after the other fields were
// restored, leaving the kind as it was. `now` gives "today" for empty pickers
// and places a last-run time stored without its date.
void LoadSchedule(SchedulePanel& p, SettingsStore& store, const LocalDateTime& now,
                  const LocaleDateReader& locale);
// Cancel: LoadSchedule, then nothing pending.
void cmdCancel_Click(SchedulePanel& p, SettingsStore& store, const LocalDateTime& now,
                     const LocaleDateReader& locale);

// The clean run records its start here: caption "hh:mm:ss" plus the full time.
void recordRunStart(SchedulePanel& p, const LocalDateTime& now);
// The re-enable tick stores the last run.
void storeLastRun(const SchedulePanel& p, SettingsStore& store);

// Reads a stored date: ISO 8601 first, then the locale's form.
std::optional<CivilDate> readStoredDate(const std::string& text, const LocaleDateReader& locale);
std::optional<TimeOfDay> readStoredTime(const std::string& text, const LocaleDateReader& locale);

} // namespace tidewell
