#include "traffic_model.h"

#include <algorithm>
#include <cmath>

#include "sensor_records.h"

namespace qvx::sim {

namespace {

constexpr double kVehicleLengthMetres = 5.5;
constexpr double kDetectionZoneMetres = 2.0;
constexpr double kShareScale = 1024.0;  // class and occupancy shares: value * 100 / 1024 = percent
constexpr double kMphToMetresPerSecond = 0.44704;
constexpr double kKmhToMetresPerSecond = 1.0 / 3.6;

double Fraction(std::uint32_t hash, std::uint32_t range) {
    return static_cast<double>(hash % range) / range;
}

std::uint32_t Ticks(std::uint64_t ms) {
    return static_cast<std::uint32_t>(ms * 2 / 5);
}  // 2.5 ms ticks

}  // namespace

std::uint32_t Mix(std::uint32_t seed, std::uint64_t salt) {
    std::uint64_t x = (static_cast<std::uint64_t>(seed) * 0x100000001B3ull) ^ salt;
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>(x ^ (x >> 31));
}

TrafficModel::TrafficModel(std::uint32_t seed, char units) : seed_(seed), units_(units) {}

double TrafficModel::VehiclesPerHour(int lane) const {
    return 300.0 + Mix(seed_, 0x100u + static_cast<unsigned>(lane)) % 900;
}

int TrafficModel::MeanSpeed(int lane) const {
    const std::uint32_t hash = Mix(seed_, 0x200u + static_cast<unsigned>(lane));
    return units_ == 'E' ? 50 + static_cast<int>(hash % 20) : 80 + static_cast<int>(hash % 30);
}

std::string TrafficModel::IntervalRecord(std::uint32_t end_time, std::uint32_t interval_seconds,
                                         int lanes) const {
    std::string record = Hex(end_time, 8);
    const double metres_per_second_per_unit = units_ == 'E' ? kMphToMetresPerSecond : kKmhToMetresPerSecond;
    for (int lane = 0; lane < std::clamp(lanes, 0, kMaxLanes); ++lane) {
        const std::uint32_t hash =
            Mix(seed_, (static_cast<std::uint64_t>(end_time) << 4) | static_cast<unsigned>(lane));
        const double expected = VehiclesPerHour(lane) * interval_seconds / 3600.0;
        const auto volume =
            static_cast<std::uint32_t>(std::lround(expected * (0.6 + 0.8 * Fraction(hash, 1000))));
        int speed = 0;
        std::uint32_t occupancy = 0;
        std::uint32_t small = 0;
        std::uint32_t medium = 0;
        std::uint32_t large = 0;
        if (volume > 0) {
            speed = MeanSpeed(lane) + static_cast<int>((hash >> 10) % 11) - 5;
            const double seconds_in_zone =
                volume * (kVehicleLengthMetres + kDetectionZoneMetres) / (speed * metres_per_second_per_unit);
            occupancy = static_cast<std::uint32_t>(
                std::lround(kShareScale * std::min(1.0, seconds_in_zone / interval_seconds)));
            small = static_cast<std::uint32_t>(kShareScale * (0.70 + 0.15 * Fraction(hash >> 16, 100)));
            large = static_cast<std::uint32_t>(kShareScale * (0.03 + 0.05 * Fraction(hash >> 24, 100)));
            medium = static_cast<std::uint32_t>(kShareScale) - small - large;
        }
        record += static_cast<char>('1' + lane);
        record += Hex(volume, 8);
        record += Hex(static_cast<std::uint16_t>(speed), 4);
        record += Hex(occupancy, 4) + Hex(small, 4) + Hex(medium, 4) + Hex(large, 4);
    }
    return record;
}

Vehicle TrafficModel::NextVehicle(int lane, std::uint64_t number, std::uint64_t previous_end_ms) const {
    const std::uint32_t hash = Mix(seed_ ^ 0xE7E47u, (number << 4) | static_cast<unsigned>(lane));
    const double mean_gap_ms = 3600.0 * 1000.0 / VehiclesPerHour(lane);
    Vehicle vehicle;
    vehicle.lane = lane;
    vehicle.start_ms =
        previous_end_ms + static_cast<std::uint64_t>(mean_gap_ms * (0.2 + 1.6 * Fraction(hash, 1000)));
    vehicle.speed = static_cast<std::int16_t>(MeanSpeed(lane) + static_cast<int>((hash >> 10) % 15) - 7);
    const std::uint32_t class_draw = (hash >> 16) % 100;
    vehicle.vehicle_class = class_draw < 75 ? 0 : (class_draw < 93 ? 1 : 2);
    const double length = vehicle.vehicle_class == 0 ? 4.5 : (vehicle.vehicle_class == 1 ? 9.0 : 18.0);
    const double metres_per_second =
        vehicle.speed * (units_ == 'E' ? kMphToMetresPerSecond : kKmhToMetresPerSecond);
    vehicle.duration_ms =
        static_cast<std::uint32_t>(1000.0 * (length + kDetectionZoneMetres) / metres_per_second);
    return vehicle;
}

std::string TrafficModel::EventRecord(const Vehicle& vehicle, bool forward_fire) {
    std::string record = Hex(Ticks(vehicle.start_ms), 8);
    record += static_cast<char>('1' + (forward_fire ? 0 : vehicle.lane));
    record += Hex(std::min<std::uint32_t>(Ticks(vehicle.duration_ms), 0xFFFF), 4);
    record += Hex(static_cast<std::uint16_t>(vehicle.speed), 4);
    record += static_cast<char>('0' + vehicle.vehicle_class);
    return record;
}

}  // namespace qvx::sim
