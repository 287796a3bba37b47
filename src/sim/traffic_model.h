#pragma once
// Deterministic traffic: every value is a pure function of the seed, the lane and the time (or the
// vehicle's number), so the same seed and the same sensor clock give the same data on every run.

#include <cstdint>
#include <string>

namespace qvx::sim {

inline constexpr std::size_t kIntervalHeaderLength = 8;
inline constexpr std::size_t kLaneBlockLength = 29;
inline constexpr std::size_t kEventRecordLength = 18;

// One vehicle passing through the beam of a lane.
struct Vehicle {
    std::uint64_t start_ms = 0;  // sensor time, milliseconds since 2000-01-01
    std::uint32_t duration_ms = 0;
    int lane = 0;  // 0-based
    std::int16_t speed = 0;
    int vehicle_class = 0;  // 0 small, 1 medium, 2 large
    std::uint64_t end_ms() const { return start_ms + duration_ms; }
};

class TrafficModel {
  public:
    TrafficModel(std::uint32_t seed, char units);

    // The interval record completed at end_time (sensor seconds): hex8 end time and one 29-character
    // block per lane.
    std::string IntervalRecord(std::uint32_t end_time, std::uint32_t interval_seconds, int lanes) const;

    // The vehicle that follows previous_end_ms in lane; number makes each vehicle of a lane distinct.
    Vehicle NextVehicle(int lane, std::uint64_t number, std::uint64_t previous_end_ms) const;

    // The 18-character event record of a vehicle.
    static std::string EventRecord(const Vehicle& vehicle, bool forward_fire);

    void set_units(char units) { units_ = units; }

  private:
    double VehiclesPerHour(int lane) const;
    int MeanSpeed(int lane) const;

    std::uint32_t seed_;
    char units_;
};

std::uint32_t Mix(std::uint32_t seed, std::uint64_t salt);

}  // namespace qvx::sim
