#pragma once
// What the live-traffic views share for the whole run: the latest interval's display texts
// (written by a data thread, copied to the screen by a view's timer) and the current log paths.

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "context/lane_statistics.h"

namespace qvx {

inline constexpr std::size_t kIntervalTableRows = 8;

// The six display texts of one lane row, each already formatted to its width.
struct IntervalRowTexts {
    std::string label;
    std::string volume;
    std::string speed;
    std::string occupancy;
    std::string small;
    std::string medium;
    std::string large;
    bool operator==(const IntervalRowTexts&) const = default;
};

// One stored record's numbers, per row, for the short history the view draws.
struct IntervalHistoryEntry {
    std::uint32_t sensor_time = 0;
    std::size_t lanes = 0;
    std::array<std::uint32_t, kIntervalTableRows> volume{};
    std::array<std::int16_t, kIntervalTableRows> speed{};
};

// Touched only while "SyncDataMutex" is held (or before the data thread exists).
struct LatestIntervalTable {
    // Kept while the connection lasts (a day of 20-second intervals at most); the view draws
    // as many of the newest as fit.
    static constexpr std::size_t kHistoryLength = 4320;

    std::string updated_text;
    // Rows beyond the last record's lane count keep the texts of an earlier record.
    std::array<IntervalRowTexts, kIntervalTableRows> rows;
    // Seconds since 2000-01-01 00:00:00 of the latest record fetched; 0: none yet.
    std::uint32_t last_sensor_timestamp = 0;
    std::size_t last_record_lanes = 0;
    // Counts the records stored, so a reader sees that something new arrived.
    std::uint64_t records_stored = 0;
    std::deque<IntervalHistoryEntry> history;  // oldest first
};

enum class LogKind : int { Interval = 0, Event = 1, Download = 2 };
inline constexpr std::size_t kLogKinds = 3;

// The current log file of each kind; empty until chosen or taken from the registry.
class LogPaths {
  public:
    std::string Get(LogKind kind) const {
        std::lock_guard lock(mutex_);
        return paths_[static_cast<std::size_t>(kind)];
    }
    void Set(LogKind kind, std::string path) {
        std::lock_guard lock(mutex_);
        paths_[static_cast<std::size_t>(kind)] = std::move(path);
    }

  private:
    mutable std::mutex mutex_;
    std::array<std::string, kLogKinds> paths_;
};

struct LiveState {
    LatestIntervalTable latest_interval;
    LogPaths log_paths;
    LaneStatistics lane_statistics;  // the event counter
};

}  // namespace qvx
