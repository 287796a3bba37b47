#pragma once
// Deterministic traffic: one stream of vehicles per lane, a pure function of the seed, the lane and
// the second of sensor time. Events, actuation and interval records are all read from this one
// stream, so an interval's volume in a lane is the number of that lane's vehicles in the interval,
// and its speed and class shares are those of the same vehicles.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvx::sim {

inline constexpr std::size_t kIntervalHeaderLength = 8;
inline constexpr std::size_t kLaneBlockLength = 29;
inline constexpr std::size_t kEventRecordLength = 18;
inline constexpr std::uint64_t kMillisPerDay = 86'400'000;

// One vehicle passing through the beam of a lane. It enters and leaves the beam within one second
// of sensor time, so it belongs to exactly one interval whatever the interval length.
struct Vehicle {
    std::uint64_t start_ms = 0;  // sensor time, milliseconds since 2000-01-01
    std::uint32_t duration_ms = 0;
    int lane = 0;            // 0-based
    std::int16_t speed = 0;  // negative: departing traffic
    int vehicle_class = 0;   // 0 small, 1 medium, 2 large
    std::uint64_t end_ms() const { return start_ms + duration_ms; }
};

// Deliberately awkward data a real sensor has been seen to send; all off by default.
struct RoughTraffic {
    bool lanes_out_of_order = false;  // interval lane blocks not in lane order
    bool departing = false;           // lanes 2, 4, ... carry departing traffic: negative speeds
    bool big_shares = false;          // occupancy and class shares above 1024 now and then
    bool class_digits = false;        // event class digits above 2 now and then
    bool lane_nine = false;           // the lane digit '9' on an event now and then
};

class TrafficModel {
  public:
    TrafficModel(std::uint32_t seed, char units);

    // The vehicle of lane that passes during the given second of sensor time, if any.
    std::optional<Vehicle> VehicleAt(int lane, std::uint64_t second) const;
    // The vehicles of lanes 0..lanes-1 that leave the beam in (after_ms, until_ms], in that order.
    std::vector<Vehicle> VehiclesLeaving(int lanes, std::uint64_t after_ms, std::uint64_t until_ms) const;
    // One bit per lane with a vehicle in the beam at now_ms.
    std::uint32_t ActuationMask(int lanes, std::uint64_t now_ms) const;

    // The interval record of [end_time - interval_seconds, end_time) (sensor seconds): hex8 end time
    // and one 29-character block per lane, summarising that interval's vehicles.
    std::string IntervalRecord(std::uint32_t end_time, std::uint32_t interval_seconds, int lanes) const;
    // The 18-character event record of a vehicle; its count is the 2.5 ms tick of the sensor's UTC
    // day at which the vehicle entered the beam.
    std::string EventRecord(const Vehicle& vehicle, bool forward_fire) const;

    void set_units(char units) { units_ = units; }
    void set_rough(const RoughTraffic& rough) { rough_ = rough; }
    // Vehicles per hour in every lane (at most 3600: one a second); 0 gives each lane its own 300..1200.
    void set_vehicles_per_hour(double rate) { vehicles_per_hour_ = rate; }

  private:
    double VehiclesPerHour(int lane) const;
    int MeanSpeed(int lane) const;
    std::string LaneBlock(int lane, std::uint64_t first_second, std::uint64_t end_second) const;

    std::uint32_t seed_;
    char units_;
    RoughTraffic rough_;
    double vehicles_per_hour_ = 0;
};

std::uint32_t Mix(std::uint32_t seed, std::uint64_t salt);
// 2.5 ms ticks since midnight of the sensor's day.
std::uint32_t TicksOfDay(std::uint64_t sensor_ms);

}  // namespace qvx::sim
