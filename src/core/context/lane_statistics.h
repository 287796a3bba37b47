#pragma once
// The event counter's store: per lane, how many vehicle events have been counted since the
// counter was last returned to zero, with the running values the event views keep beside each
// count. Written by an event polling thread, read by a window's timer: every member is guarded
// by a small mutex of its own that is never held across an exchange with the sensor, so a reader
// never waits on the link.

#include <array>
#include <cstdint>
#include <mutex>

namespace qvx {

inline constexpr std::size_t kCounterLanes = 8;
// A count past this returns the lane's values to zero.
inline constexpr std::uint32_t kMaxLaneCount = 9999999;

using LaneCounts = std::array<std::uint32_t, kCounterLanes>;

// What one counted event adds beside its count.
struct CountedEvent {
    int lane = 0;  // 1..8
    int vehicle_class = 0;
    std::int16_t speed = 0;
    std::uint16_t duration = 0;
    std::uint32_t ticks = 0;
};

class LaneStatistics {
  public:
    // Counts the event while counting runs and its lane is 1..8. True when it was counted.
    bool CountEvent(const CountedEvent& event);
    // Returns every value of every lane to zero.
    void Reset();
    void Pause();
    void Resume();

    bool counting_enabled() const;
    bool count_changed() const;
    LaneCounts Counts() const;
    // The counts, clearing count_changed: what a window shows when it refreshes.
    LaneCounts TakeCounts();
    // The running values kept with each count.
    LaneCounts LargeVehicles() const;
    LaneCounts SpeedTotals() const;
    LaneCounts DurationTotals() const;
    LaneCounts LongVehicles() const;  // class 1 and 2
    std::uint32_t last_event_ticks() const;

  private:
    mutable std::mutex mutex_;
    bool counting_enabled_ = true;
    bool count_changed_ = false;
    LaneCounts long_vehicles_{};
    LaneCounts counts_{};
    LaneCounts large_vehicles_{};
    LaneCounts speed_totals_{};
    LaneCounts duration_totals_{};
    std::uint32_t last_event_ticks_ = 0;
};

}  // namespace qvx
