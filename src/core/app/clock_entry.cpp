#include "app/clock_entry.h"

#include <algorithm>
#include <cstdint>

namespace qvx {

namespace {

constexpr std::int64_t kMinuteMs = 60000;

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::string MonthName(int month) {
    return kMonthNames[static_cast<std::size_t>(month - 1)];
}

}  // namespace

int SyncIntervalForMinutes(long long minutes) {
    const long long clamped = std::clamp<long long>(minutes, 0, kMaxSyncPeriodMinutes);
    return static_cast<int>(clamped * kMinuteMs);
}

std::optional<std::string> ClockEntryProblem(const CalendarTime& local, bool sensor_clock_is_utc) {
    if (local.month < 1 || local.month > 12) {
        return "Choose a month from the list.";
    }
    if (local.day < 1 || local.day > DaysIn(local.year, local.month)) {
        return MonthName(local.month) + " " + std::to_string(local.year) + " has " +
               std::to_string(DaysIn(local.year, local.month)) + " days; there is no " +
               std::to_string(local.day) + " " + MonthName(local.month) + ".";
    }
    if (local.hour < 0 || local.hour > 23 || local.minute < 0 || local.minute > 59 || local.second < 0 ||
        local.second > 59) {
        return "The time must lie between 00:00:00 and 23:59:59.";
    }
    if (LocalToSensorSeconds(local, sensor_clock_is_utc)) {
        return std::nullopt;
    }
    if (local.year > 2000 && local.year < 2136) {
        return "This PC's clock skips " + FormatCalendarTime(local) +
               " (a daylight-saving change), so it names no moment; choose another time.";
    }
    return "The sensor clock counts from 2000-01-01 00:00:00 to 2136-02-07 06:28:15; choose a date "
           "between them.";
}

}  // namespace qvx
