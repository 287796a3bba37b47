#include "protocol/sensor_clock.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "base/hex_text.h"

namespace qvx {

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValid(const CalendarTime& time) {
    return time.month >= 1 && time.month <= 12 && time.day >= 1 &&
           time.day <= DaysInMonth(time.year, time.month) && time.hour >= 0 && time.hour <= 23 &&
           time.minute >= 0 && time.minute <= 59 && time.second >= 0 && time.second <= 59;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t year_of_era = year - era * 400;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

// The calendar fields read as if they were UTC.
std::int64_t CalendarAsUtc(const CalendarTime& time) {
    return DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 + time.minute * 60 +
           time.second;
}

CalendarTime FromTm(const std::tm& tm) {
    return CalendarTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::optional<std::int64_t> LocalCalendarToUnix(const CalendarTime& time) {
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_isdst = -1;  // let the zone rules of that date decide
    const std::time_t unix_time = std::mktime(&tm);
    if (unix_time == static_cast<std::time_t>(-1)) {
        return std::nullopt;  // also 1969-12-31 23:59:59 UTC, which no sensor count can hold anyway
    }
    return static_cast<std::int64_t>(unix_time);
}

}  // namespace

const std::array<const char*, 12> kMonthNames = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};

std::string SensorTimeText(std::uint32_t seconds) {
    return hex::Format(seconds, 8);
}

std::optional<std::uint32_t> ParseSensorTime(std::string_view text) {
    if (text.size() != 8) {
        return std::nullopt;
    }
    return hex::Parse(text);
}

CalendarTime SensorSecondsToLocal(std::uint32_t seconds, bool sensor_clock_is_utc) {
    const std::time_t unix_time = static_cast<std::time_t>(seconds + kSensorEpochUnix);
    std::tm tm{};
    if (sensor_clock_is_utc) {
        localtime_r(&unix_time, &tm);
    } else {
        // The count already is wall-clock time: show its fields without any zone shift.
        gmtime_r(&unix_time, &tm);
    }
    return FromTm(tm);
}

std::optional<std::uint32_t> LocalToSensorSeconds(const CalendarTime& local, bool sensor_clock_is_utc) {
    if (!IsValid(local)) {
        return std::nullopt;
    }
    std::int64_t unix_time = CalendarAsUtc(local);
    if (sensor_clock_is_utc) {
        const auto converted = LocalCalendarToUnix(local);
        if (!converted) {
            return std::nullopt;
        }
        unix_time = *converted;
    }
    const std::int64_t seconds = unix_time - kSensorEpochUnix;
    if (seconds < 0 || seconds > 0xFFFFFFFFLL) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(seconds);
}

std::string FormatCalendarTime(const CalendarTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string FormatSensorSeconds(std::uint32_t seconds, bool sensor_clock_is_utc) {
    return FormatCalendarTime(SensorSecondsToLocal(seconds, sensor_clock_is_utc));
}

std::optional<int> MatchMonthPrefix(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::optional<int> match;
    for (std::size_t month = 0; month < kMonthNames.size(); ++month) {
        const std::string_view name = kMonthNames[month];
        if (text.size() > name.size()) {
            continue;
        }
        bool prefix = true;
        for (std::size_t i = 0; i < text.size() && prefix; ++i) {
            prefix = std::toupper(static_cast<unsigned char>(text[i])) ==
                     std::toupper(static_cast<unsigned char>(name[i]));
        }
        if (prefix) {
            if (match) {
                return std::nullopt;
            }
            match = static_cast<int>(month) + 1;
        }
    }
    return match;
}

}  // namespace qvx
