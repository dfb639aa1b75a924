#include "schedule/local_time.h"

#include <cmath>
#include <cstdio>

namespace tidewell {

std::int64_t daysFromCivil(const CivilDate& d) {
    // Howard Hinnant's days_from_civil.
    const std::int64_t y = d.year - (d.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (d.month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + d.day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = yoe + era * 400;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2 ? 1 : 0)), static_cast<int>(m), static_cast<int>(d)};
}

std::int64_t toSerialSeconds(const LocalDateTime& t) {
    return daysFromCivil(t.date) * 86400 + t.time.hour * 3600 + t.time.minute * 60 + t.time.second;
}

LocalDateTime fromSerialSeconds(std::int64_t s) {
    std::int64_t days = s >= 0 ? s / 86400 : (s - 86399) / 86400;
    std::int64_t rest = s - days * 86400;
    return {civilFromDays(days),
            {static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
             static_cast<int>(rest % 60)}};
}

int weekdayIndex(const CivilDate& d) {
    // 1970-01-01 was a Thursday (index 3).
    const std::int64_t days = daysFromCivil(d);
    return static_cast<int>(((days % 7) + 7 + 3) % 7);
}

bool isValid(const CivilDate& d) {
    if (d.year < 1601 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) {
        return false;
    }
    return civilFromDays(daysFromCivil(d)) == d;
}

bool isValid(const TimeOfDay& t) {
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
           t.second < 60;
}

std::string formatTime(const TimeOfDay& t) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buffer;
}

std::string formatIsoDate(const CivilDate& d) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d", d.year, d.month, d.day);
    return buffer;
}

namespace {
// Exactly `width` decimal digits at `pos`.
bool digits(std::string_view text, size_t pos, size_t width, int& out) {
    if (pos + width > text.size()) {
        return false;
    }
    int value = 0;
    for (size_t i = pos; i < pos + width; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    out = value;
    return true;
}
} // namespace

std::optional<TimeOfDay> parseTime(std::string_view text) {
    TimeOfDay t;
    if (text.size() != 8 || text[2] != ':' || text[5] != ':' || !digits(text, 0, 2, t.hour) ||
        !digits(text, 3, 2, t.minute) || !digits(text, 6, 2, t.second) || !isValid(t)) {
        return std::nullopt;
    }
    return t;
}

std::optional<CivilDate> parseIsoDate(std::string_view text) {
    CivilDate d;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !digits(text, 0, 4, d.year) ||
        !digits(text, 5, 2, d.month) || !digits(text, 8, 2, d.day) || !isValid(d)) {
        return std::nullopt;
    }
    return d;
}

std::optional<LocalDateTime> fromAutomationDate(double value) {
    // The limits of the format: 100-01-01 and 9999-12-31.
    if (!(value >= -657434.0 && value < 2958466.0)) {
        return std::nullopt;
    }
    const double whole = std::trunc(value);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * 86400.0));
    std::int64_t days = static_cast<std::int64_t>(whole) + daysFromCivil(CivilDate{1899, 12, 30});
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const int s = static_cast<int>(seconds);
    return LocalDateTime{civilFromDays(days), TimeOfDay{s / 3600, s / 60 % 60, s % 60}};
}

} // namespace tidewell
