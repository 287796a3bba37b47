#pragma once
// The interval view's texts and timing rules, free of any window: the row texts of a lane block,
// "Updated: ", "Since updated: " and the moment the view asks for the next record.

#include <cstdint>
#include <string>

#include "context/live_state.h"
#include "protocol/traffic_records.h"

namespace qvx {

inline constexpr std::uint32_t kDefaultIntervalSeconds = 20;
// Sensor clocks further than this from the PC clock are not compared with it.
inline constexpr std::int64_t kComparableClockSeconds = 63072000;

IntervalRowTexts FormatIntervalRow(const IntervalLane& lane, const std::string (&lane_names)[8]);
// "Updated: YYYY-MM-DD HH:MM:SS".
std::string UpdatedText(std::uint32_t sensor_seconds, bool sensor_clock_is_utc);

// Intervals are counted from the Unix epoch on the PC clock; the next record is asked for in the
// last second of each.
bool FetchIsDue(std::int64_t unix_now, std::uint32_t interval_seconds);

// "Since updated: d:h:m:s", no leading zeros.
std::string SinceUpdatedText(std::int64_t elapsed_seconds);

// How long ago the latest record was made. A sensor clock within two years of the PC clock is
// compared with it; a clock further off cannot be, so the time since the record arrived on the PC
// is counted instead.
class ElapsedClock {
  public:
    // last_sensor_timestamp: seconds since 2000 of the latest record, 0 for none.
    std::int64_t Elapsed(std::uint32_t last_sensor_timestamp, std::int64_t unix_now,
                         std::uint32_t interval_seconds);
    void Reset();

  private:
    std::int64_t last_seen_sensor_time_ = 946684800;
    std::int64_t arrival_anchor_ = 0;
};

}  // namespace qvx
