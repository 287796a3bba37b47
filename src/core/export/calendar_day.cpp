#include "export/calendar_day.h"

#include <cstdio>

namespace qvx {

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return !text.empty();
}

int Number(std::string_view digits) {
    int value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year)) {
        return 29;
    }
    return kDays[month - 1];
}

std::optional<CalendarDay> ParseCalendarDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !AllDigits(text.substr(0, 4)) ||
        !AllDigits(text.substr(5, 2)) || !AllDigits(text.substr(8, 2))) {
        return std::nullopt;
    }
    const CalendarDay day{Number(text.substr(0, 4)), Number(text.substr(5, 2)), Number(text.substr(8, 2))};
    if (day.year < 1 || day.month < 1 || day.month > 12 || day.day < 1 ||
        day.day > DaysInMonth(day.year, day.month)) {
        return std::nullopt;
    }
    return day;
}

std::string CalendarDayText(const CalendarDay& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year % 10000, day.month % 100, day.day % 100);
    return text;
}

// The civil-from-days and days-from-civil conversions of the proleptic Gregorian calendar.
std::int64_t DayNumber(const CalendarDay& day) {
    const std::int64_t y = day.year - (day.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t year_of_era = y - era * 400;
    const std::int64_t month_index = day.month > 2 ? day.month - 3 : day.month + 9;
    const std::int64_t day_of_year = (153 * month_index + 2) / 5 + day.day - 1;
    const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

CalendarDay DayFromNumber(std::int64_t number) {
    number += 719468;
    const std::int64_t era = (number >= 0 ? number : number - 146096) / 146097;
    const std::int64_t day_of_era = number - era * 146097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_index = (5 * day_of_year + 2) / 153;
    CalendarDay day;
    day.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
    day.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
    day.year = static_cast<int>(year_of_era + era * 400 + (day.month <= 2 ? 1 : 0));
    return day;
}

CalendarDay PreviousDay(const CalendarDay& day) {
    return DayFromNumber(DayNumber(day) - 1);
}

CalendarDay NextDay(const CalendarDay& day) {
    return DayFromNumber(DayNumber(day) + 1);
}

int DayOfWeek(const CalendarDay& day) {
    // 1970-01-01 was a Thursday (5).
    const std::int64_t weekday = (DayNumber(day) + 4) % 7;
    return static_cast<int>((weekday < 0 ? weekday + 7 : weekday) + 1);
}

}  // namespace qvx
