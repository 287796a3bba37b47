#include "live/interval_texts.h"

#include "protocol/interval_format.h"
#include "protocol/sensor_clock.h"

namespace qvx {

IntervalRowTexts FormatIntervalRow(const IntervalLane& lane, const std::string (&lane_names)[8]) {
    IntervalRowTexts row;
    row.label = IntervalLaneLabel(lane.lane_digit, lane_names);
    row.volume = FormatVolume(lane.volume);
    row.speed = FormatSpeed(lane.speed);
    row.occupancy = FormatPercent(lane.occupancy);
    row.small = FormatPercent(lane.small);
    row.medium = FormatPercent(lane.medium);
    row.large = FormatPercent(lane.large);
    return row;
}

std::string UpdatedText(std::uint32_t sensor_seconds, bool sensor_clock_is_utc) {
    return "Updated: " + FormatSensorSeconds(sensor_seconds, sensor_clock_is_utc);
}

bool FetchIsDue(std::int64_t unix_now, std::uint32_t interval_seconds) {
    const std::int64_t interval = interval_seconds == 0 ? 1 : interval_seconds;
    std::int64_t into_interval = unix_now % interval;
    if (into_interval == 0) {
        into_interval = 1;
    }
    return into_interval >= interval - 1;
}

std::string SinceUpdatedText(std::int64_t elapsed_seconds) {
    if (elapsed_seconds < 0) {
        elapsed_seconds = 0;
    }
    const std::int64_t days = elapsed_seconds / 86400;
    const std::int64_t hours = elapsed_seconds / 3600 % 24;
    const std::int64_t minutes = elapsed_seconds / 60 % 60;
    const std::int64_t seconds = elapsed_seconds % 60;
    return "Since updated: " + std::to_string(days) + ":" + std::to_string(hours) + ":" +
           std::to_string(minutes) + ":" + std::to_string(seconds);
}

void ElapsedClock::Reset() {
    last_seen_sensor_time_ = kSensorEpochUnix;
    arrival_anchor_ = 0;
}

std::int64_t ElapsedClock::Elapsed(std::uint32_t last_sensor_timestamp, std::int64_t unix_now,
                                   std::uint32_t interval_seconds) {
    const std::int64_t record_time = static_cast<std::int64_t>(last_sensor_timestamp) + kSensorEpochUnix;
    if (record_time < last_seen_sensor_time_) {
        Reset();
    }
    if (record_time == kSensorEpochUnix) {
        return 0;
    }
    if (record_time > unix_now - kComparableClockSeconds) {
        return unix_now < record_time ? 0 : unix_now - record_time;
    }
    if (last_seen_sensor_time_ == kSensorEpochUnix &&
        record_time - last_seen_sensor_time_ > interval_seconds) {
        last_seen_sensor_time_ = record_time;
    }
    if (record_time != last_seen_sensor_time_) {
        arrival_anchor_ =
            arrival_anchor_ != 0 ? arrival_anchor_ + (record_time - last_seen_sensor_time_) : unix_now;
        last_seen_sensor_time_ = record_time;
    }
    return arrival_anchor_ != 0 && arrival_anchor_ <= unix_now ? unix_now - arrival_anchor_ : 0;
}

}  // namespace qvx
