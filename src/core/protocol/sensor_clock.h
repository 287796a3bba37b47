#pragma once
// The sensor clock: a count of seconds since 2000-01-01 00:00:00 sent as 8 upper-case hex digits,
// and its conversion to and from the PC's calendar. The sensor clock holds either UTC (shown in
// the PC's local time) or the local wall-clock time itself. The exchanges are in
// protocol/sensor_clock_io.h.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// 2000-01-01 00:00:00 UTC in the 1970-based count.
inline constexpr std::int64_t kSensorEpochUnix = 946684800;

struct CalendarTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CalendarTime&) const = default;
};

// 8 upper-case hex digits; and back (exactly 8 hex digits, else nullopt).
std::string SensorTimeText(std::uint32_t seconds);
std::optional<std::uint32_t> ParseSensorTime(std::string_view text);

// The calendar time to show for a sensor clock reading. A UTC clock is converted with the PC's
// time zone rules for that moment; a wall-clock sensor clock is shown as it stands.
CalendarTime SensorSecondsToLocal(std::uint32_t seconds, bool sensor_clock_is_utc);
// The sensor seconds for a calendar time typed by the user. For a UTC clock the local time is
// converted with the zone rules of that date; nullopt for an invalid date or one the sensor
// count cannot hold (before 2000 or after 2136).
std::optional<std::uint32_t> LocalToSensorSeconds(const CalendarTime& local, bool sensor_clock_is_utc);

// "YYYY-MM-DD HH:MM:SS".
std::string FormatCalendarTime(const CalendarTime& time);
std::string FormatSensorSeconds(std::uint32_t seconds, bool sensor_clock_is_utc);

// "January" .. "December", as displayed.
extern const std::array<const char*, 12> kMonthNames;
// The month (1..12) that text names or uniquely begins, in any letter case; nullopt when the
// text is empty, ambiguous ("JU", "MA") or names no month.
std::optional<int> MatchMonthPrefix(std::string_view text);

}  // namespace qvx
