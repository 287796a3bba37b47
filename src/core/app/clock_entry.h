#pragma once
// What the "Sensor Date and Time" window accepts from the user: the synchronisation period and a
// typed date and time, with a reason in words when a date cannot be saved.

#include <optional>
#include <string>

#include "protocol/sensor_clock.h"

namespace qvx {

// The longest period the synchronisation timer can run (its milliseconds fit a signed 32-bit
// count): 35,791 minutes, about 24.8 days.
inline constexpr int kMaxSyncPeriodMinutes = 35791;

// minutes × 60,000 ms, worked out without overflow; negative minutes give 0 and anything above
// the longest period gives the longest period.
int SyncIntervalForMinutes(long long minutes);

inline constexpr const char* kInvalidClockEntryCaption = "Invalid date...";

// Why the typed date and time cannot be written to the sensor clock, or nothing when it can:
// a day the month does not have ("February 2013 has 28 days; there is no 30 February."), a date
// outside what the sensor clock counts, or a local time the daylight-saving change skips.
std::optional<std::string> ClockEntryProblem(const CalendarTime& local, bool sensor_clock_is_utc);

}  // namespace qvx
