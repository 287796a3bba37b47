#pragma once
// Calendar days as the export handles them: "YYYY-MM-DD" text, the day before, the day of the
// week and a day count for charts. Plain proleptic Gregorian arithmetic, no time zone involved:
// the logs already hold the PC's local time.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

struct CalendarDay {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    auto operator<=>(const CalendarDay&) const = default;
};

// "YYYY-MM-DD" naming a real day (years 1 to 9999); nullopt otherwise.
std::optional<CalendarDay> ParseCalendarDay(std::string_view text);
std::string CalendarDayText(const CalendarDay& day);

int DaysInMonth(int year, int month);
// Days since 1970-01-01 (negative before it).
std::int64_t DayNumber(const CalendarDay& day);
CalendarDay DayFromNumber(std::int64_t number);
CalendarDay PreviousDay(const CalendarDay& day);
CalendarDay NextDay(const CalendarDay& day);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(const CalendarDay& day);

}  // namespace qvx
