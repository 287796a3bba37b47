#include "export/log_chart_data.h"

#include <algorithm>

#include "export/calendar_day.h"

namespace qvx {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Bucket widths that read well on a time axis.
constexpr std::int64_t kBucketWidths[] = {1,     5,     10,    20,     30,     60,      120,
                                          300,   600,   900,   1800,   3600,   7200,    10800,
                                          21600, 43200, 86400, 172800, 604800, 1209600, 2592000};

struct Accumulator {
    double volume = 0;
    double speed_sum = 0;
    int speed_count = 0;
    double occupancy_sum = 0;
    int count = 0;
};

int Digits(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The shortest step between two successive stamps of one lane: the log's interval.
std::int64_t ShortestStep(const LogData& log) {
    std::int64_t shortest = 0;
    std::vector<std::int64_t> last(log.lane_names.size(), -1);
    for (const LogRecord& record : log.records) {
        const auto name = std::find(log.lane_names.begin(), log.lane_names.end(), record.lane_name);
        if (name == log.lane_names.end()) {
            continue;
        }
        std::int64_t& previous = last[static_cast<std::size_t>(name - log.lane_names.begin())];
        const std::int64_t time = RecordSeconds(record);
        if (previous >= 0 && time > previous && (shortest == 0 || time - previous < shortest)) {
            shortest = time - previous;
        }
        previous = time;
    }
    return shortest;
}

std::int64_t ChooseBucket(std::int64_t span, std::int64_t step, std::size_t max_points) {
    const std::int64_t wanted =
        std::max<std::int64_t>(step, span / static_cast<std::int64_t>(max_points) + 1);
    for (std::int64_t width : kBucketWidths) {
        if (width >= wanted) {
            return width;
        }
    }
    return wanted;
}

ChartPoint PointOf(std::int64_t time, const Accumulator& acc) {
    ChartPoint point;
    point.time = time;
    point.volume = acc.volume;
    point.speed = acc.speed_count > 0 ? acc.speed_sum / acc.speed_count : 0;
    point.speed_measured = acc.speed_count > 0;
    point.occupancy = acc.occupancy_sum / acc.count;
    return point;
}

}  // namespace

std::int64_t RecordSeconds(const LogRecord& record) {
    const std::string_view stamp = record.timestamp();
    const auto day = ParseCalendarDay(stamp.substr(0, 10));
    const std::int64_t days = day ? DayNumber(*day) : 0;
    return days * kSecondsPerDay + Digits(stamp, 11) * 3600 + Digits(stamp, 14) * 60 + Digits(stamp, 17);
}

LogChart BuildLogChart(const LogData& log, std::size_t max_points_per_lane) {
    LogChart chart;
    if (log.records.empty() || log.lane_names.empty()) {
        return chart;
    }
    std::int64_t first = RecordSeconds(log.records.front());
    std::int64_t last = first;
    for (const LogRecord& record : log.records) {
        const std::int64_t time = RecordSeconds(record);
        first = std::min(first, time);
        last = std::max(last, time);
    }
    chart.first_time = first;
    chart.last_time = last;
    chart.bucket_seconds =
        ChooseBucket(last - first, ShortestStep(log), std::max<std::size_t>(max_points_per_lane, 1));
    const std::int64_t origin = first - first % chart.bucket_seconds;
    const std::size_t buckets = static_cast<std::size_t>((last - origin) / chart.bucket_seconds) + 1;

    std::vector<std::vector<Accumulator>> lanes(log.lane_names.size(), std::vector<Accumulator>(buckets));
    for (const LogRecord& record : log.records) {
        const auto name = std::find(log.lane_names.begin(), log.lane_names.end(), record.lane_name);
        if (name == log.lane_names.end()) {
            continue;
        }
        Accumulator& acc =
            lanes[static_cast<std::size_t>(name - log.lane_names.begin())]
                 [static_cast<std::size_t>((RecordSeconds(record) - origin) / chart.bucket_seconds)];
        acc.volume += static_cast<double>(record.volume);
        if (record.volume > 0) {
            acc.speed_sum += record.speed;
            ++acc.speed_count;
        }
        acc.occupancy_sum += record.occupancy;
        ++acc.count;
    }
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        LaneSeries series{Trimmed(log.lane_names[lane]), {}};
        for (std::size_t b = 0; b < buckets; ++b) {
            if (lanes[lane][b].count > 0) {
                series.points.push_back(
                    PointOf(origin + static_cast<std::int64_t>(b) * chart.bucket_seconds, lanes[lane][b]));
            }
        }
        chart.lanes.push_back(std::move(series));
    }
    return chart;
}

std::string BucketText(std::int64_t seconds) {
    if (seconds % kSecondsPerDay == 0) {
        const std::int64_t days = seconds / kSecondsPerDay;
        return std::to_string(days) + (days == 1 ? " day" : " days");
    }
    if (seconds % 3600 == 0) {
        return std::to_string(seconds / 3600) + " h";
    }
    if (seconds % 60 == 0) {
        return std::to_string(seconds / 60) + " min";
    }
    return std::to_string(seconds) + " s";
}

}  // namespace qvx
