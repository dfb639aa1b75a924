#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

// A calendar date and a time of day in the user's local time, to the second.
struct CivilDate {
    int year = 1970;
    int month = 1;
    int day = 1;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

struct LocalDateTime {
    CivilDate date;
    TimeOfDay time;
    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// An automation date (days since 1899-12-30, the fraction the time of day,
// which counts forwards from midnight also for days before the epoch), to the
// nearest second; nothing for a value outside years 100 to 9999.
std::optional<LocalDateTime> fromAutomationDate(double value);

// Days since 1970-01-01 (proleptic Gregorian), and back.
std::int64_t daysFromCivil(const CivilDate& d);
CivilDate civilFromDays(std::int64_t days);
// Seconds since 1970-01-01 00:00:00 of the same local clock, and back.
std::int64_t toSerialSeconds(const LocalDateTime& t);
LocalDateTime fromSerialSeconds(std::int64_t seconds);
// Monday = 0 ... Sunday = 6: the numbering of the weekday schedule kinds.
int weekdayIndex(const CivilDate& d);
bool isValid(const CivilDate& d);
bool isValid(const TimeOfDay& t);

// "hh:mm:ss", 24-hour clock, two digits each.
std::string formatTime(const TimeOfDay& t);
// ISO 8601 "yyyy-MM-dd".
std::string formatIsoDate(const CivilDate& d);
// Strict parsers of the two forms above; nullopt for anything else.
std::optional<TimeOfDay> parseTime(std::string_view text);
std::optional<CivilDate> parseIsoDate(std::string_view text);

} // namespace tidewell
