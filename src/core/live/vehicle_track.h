#pragma once
// The vehicles handed to an event view's drawing: the 128 most recent events, oldest overwritten
// first. The polling thread adds, the view's timer copies; a small mutex of its own guards the
// ring, never held across an exchange with the sensor, so drawing never waits on the link.

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qvx {

struct TrackedVehicle {
    std::uint32_t ticks = 0;      // the event's count field, 2.5 ms units
    std::uint32_t end_ticks = 0;  // count + duration
    int lane = 0;                 // 1..8
    int vehicle_class = 0;        // 0..2 (a larger class digit is drawn as 0)
    std::int16_t speed = 0;       // negative: travelling the other way
    // When the program decoded it, on the steady clock (ms): where the drawing animates from.
    std::int64_t arrived_ms = 0;
    std::uint64_t serial = 0;  // 1 for the first vehicle since the track was cleared
};

class VehicleTrack {
  public:
    static constexpr std::size_t kCapacity = 128;

    void Add(TrackedVehicle vehicle);
    void Clear();
    // The vehicles kept, oldest first.
    std::vector<TrackedVehicle> Snapshot() const;
    // Serial of the newest vehicle added; 0 while none.
    std::uint64_t latest_serial() const;

    static std::int64_t SteadyNowMs();

  private:
    mutable std::mutex mutex_;
    std::array<TrackedVehicle, kCapacity> ring_{};
    std::size_t next_ = 0;
    std::size_t size_ = 0;
    std::uint64_t serial_ = 0;
};

}  // namespace qvx
