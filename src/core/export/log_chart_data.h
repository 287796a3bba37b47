#pragma once
// The series a chart of an interval log draws: per lane name, volume, speed and occupancy over
// time, gathered into time buckets so that a year of 15-minute intervals stays a few thousand
// points per lane. Times are the log's wall-clock times counted as seconds since 1970-01-01.

#include <cstdint>
#include <string>
#include <vector>

#include "export/interval_log_reader.h"

namespace qvx {

struct ChartPoint {
    std::int64_t time = 0;        // the bucket's start
    double volume = 0;            // vehicles in the bucket
    double speed = 0;             // mean speed of the intervals that saw vehicles
    bool speed_measured = false;  // false: no vehicles in the bucket, so no speed to draw
    double occupancy = 0;         // mean occupancy, percent
};

struct LaneSeries {
    std::string lane_name;  // without the blanks of centring
    std::vector<ChartPoint> points;
};

struct LogChart {
    std::vector<LaneSeries> lanes;  // in the log's lane order
    std::int64_t bucket_seconds = 0;
    std::int64_t first_time = 0;  // of the first and last record
    std::int64_t last_time = 0;
};

inline constexpr std::size_t kDefaultChartPoints = 2000;

// Wall-clock seconds of a record's stamp (24:00:00 is midnight at the end of its day).
std::int64_t RecordSeconds(const LogRecord& record);

LogChart BuildLogChart(const LogData& log, std::size_t max_points_per_lane = kDefaultChartPoints);

// "15 min", "1 h", "1 day" ...
std::string BucketText(std::int64_t seconds);

}  // namespace qvx
