#include "context/lane_statistics.h"

#include <cstdlib>

namespace qvx {

bool LaneStatistics::CountEvent(const CountedEvent& event) {
    if (event.lane < 1 || event.lane > static_cast<int>(kCounterLanes)) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (!counting_enabled_) {
        return false;
    }
    const auto k = static_cast<std::size_t>(event.lane - 1);
    count_changed_ = true;
    last_event_ticks_ = event.ticks;
    if (++counts_[k] > kMaxLaneCount) {
        counts_[k] = 0;
        long_vehicles_[k] = 0;
        large_vehicles_[k] = 0;
        speed_totals_[k] = 0;
        duration_totals_[k] = 0;
        return true;
    }
    if (event.vehicle_class >= 1) {
        ++long_vehicles_[k];
    }
    if (event.vehicle_class == 2) {
        ++large_vehicles_[k];
    }
    speed_totals_[k] += static_cast<std::uint32_t>(std::abs(static_cast<int>(event.speed)));
    duration_totals_[k] += event.duration;
    return true;
}

void LaneStatistics::Reset() {
    std::lock_guard lock(mutex_);
    counts_ = {};
    long_vehicles_ = {};
    large_vehicles_ = {};
    speed_totals_ = {};
    duration_totals_ = {};
    last_event_ticks_ = 0;
    count_changed_ = true;
}

void LaneStatistics::Pause() {
    std::lock_guard lock(mutex_);
    counting_enabled_ = false;
}

void LaneStatistics::Resume() {
    std::lock_guard lock(mutex_);
    counting_enabled_ = true;
}

bool LaneStatistics::counting_enabled() const {
    std::lock_guard lock(mutex_);
    return counting_enabled_;
}

bool LaneStatistics::count_changed() const {
    std::lock_guard lock(mutex_);
    return count_changed_;
}

LaneCounts LaneStatistics::Counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

LaneCounts LaneStatistics::TakeCounts() {
    std::lock_guard lock(mutex_);
    count_changed_ = false;
    return counts_;
}

LaneCounts LaneStatistics::LargeVehicles() const {
    std::lock_guard lock(mutex_);
    return large_vehicles_;
}

LaneCounts LaneStatistics::SpeedTotals() const {
    std::lock_guard lock(mutex_);
    return speed_totals_;
}

LaneCounts LaneStatistics::DurationTotals() const {
    std::lock_guard lock(mutex_);
    return duration_totals_;
}

LaneCounts LaneStatistics::LongVehicles() const {
    std::lock_guard lock(mutex_);
    return long_vehicles_;
}

std::uint32_t LaneStatistics::last_event_ticks() const {
    std::lock_guard lock(mutex_);
    return last_event_ticks_;
}

}  // namespace qvx
