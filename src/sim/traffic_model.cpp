#include "traffic_model.h"

#include <algorithm>
#include <cmath>

#include "sensor_records.h"

namespace qvx::sim {

namespace {

constexpr double kDetectionZoneMetres = 2.0;
constexpr std::uint32_t kShareScale = 1024;  // class and occupancy shares: value * 100 / 1024 = percent
constexpr double kMphToMetresPerSecond = 0.44704;
constexpr double kKmhToMetresPerSecond = 1.0 / 3.6;
constexpr std::uint32_t kMaxDurationMs = 900;  // a vehicle leaves the beam within its second
constexpr std::uint32_t kMinDurationMs = 60;
constexpr std::uint32_t kRoughEvery = 5;  // one record in five is rough when asked for

double Fraction(std::uint32_t hash, std::uint32_t range) {
    return static_cast<double>(hash % range) / range;
}

std::uint32_t Ticks(std::uint64_t ms) {
    return static_cast<std::uint32_t>(ms * 2 / 5);
}

double VehicleLengthMetres(int vehicle_class) {
    return vehicle_class == 0 ? 4.5 : (vehicle_class == 1 ? 9.0 : 18.0);
}

struct LaneSums {
    std::uint32_t volume = 0;
    std::int64_t speed_sum = 0;
    std::uint64_t busy_ms = 0;
    std::uint32_t classes[3] = {};
};

}  // namespace

std::uint32_t Mix(std::uint32_t seed, std::uint64_t salt) {
    std::uint64_t x = (static_cast<std::uint64_t>(seed) * 0x100000001B3ull) ^ salt;
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>(x ^ (x >> 31));
}

std::uint32_t TicksOfDay(std::uint64_t sensor_ms) {
    return Ticks(sensor_ms % kMillisPerDay);
}

TrafficModel::TrafficModel(std::uint32_t seed, char units) : seed_(seed), units_(units) {}

double TrafficModel::VehiclesPerHour(int lane) const {
    if (vehicles_per_hour_ > 0) {
        return vehicles_per_hour_;
    }
    return 300.0 + Mix(seed_, 0x100u + static_cast<unsigned>(lane)) % 900;
}

int TrafficModel::MeanSpeed(int lane) const {
    const std::uint32_t hash = Mix(seed_, 0x200u + static_cast<unsigned>(lane));
    return units_ == 'E' ? 50 + static_cast<int>(hash % 20) : 80 + static_cast<int>(hash % 30);
}

std::optional<Vehicle> TrafficModel::VehicleAt(int lane, std::uint64_t second) const {
    const std::uint32_t hash = Mix(seed_ ^ 0xE7E47u, (second << 4) | static_cast<unsigned>(lane));
    if (Fraction(hash, 100000) >= VehiclesPerHour(lane) / 3600.0) {
        return std::nullopt;
    }
    const std::uint32_t detail = Mix(hash, 0x51);
    Vehicle vehicle;
    vehicle.lane = lane;
    const int speed = MeanSpeed(lane) + static_cast<int>(detail % 15) - 7;
    vehicle.speed = static_cast<std::int16_t>(rough_.departing && lane % 2 == 1 ? -speed : speed);
    const std::uint32_t class_draw = (detail >> 8) % 100;
    vehicle.vehicle_class = class_draw < 75 ? 0 : (class_draw < 93 ? 1 : 2);
    const double metres_per_second = speed * (units_ == 'E' ? kMphToMetresPerSecond : kKmhToMetresPerSecond);
    const double ms = 1000.0 * (VehicleLengthMetres(vehicle.vehicle_class) + kDetectionZoneMetres) /
                      std::max(1.0, metres_per_second);
    vehicle.duration_ms = std::clamp(static_cast<std::uint32_t>(ms), kMinDurationMs, kMaxDurationMs);
    vehicle.start_ms = second * 1000 + (detail >> 16) % (1000 - vehicle.duration_ms);
    return vehicle;
}

std::vector<Vehicle> TrafficModel::VehiclesLeaving(int lanes, std::uint64_t after_ms,
                                                   std::uint64_t until_ms) const {
    std::vector<Vehicle> vehicles;
    if (until_ms <= after_ms) {
        return vehicles;
    }
    // A vehicle that leaves at t entered within the second that holds t - 1 ms.
    for (std::uint64_t second = after_ms / 1000; second <= (until_ms - 1) / 1000; ++second) {
        for (int lane = 0; lane < lanes; ++lane) {
            const auto vehicle = VehicleAt(lane, second);
            if (vehicle && vehicle->end_ms() > after_ms && vehicle->end_ms() <= until_ms) {
                vehicles.push_back(*vehicle);
            }
        }
    }
    std::stable_sort(vehicles.begin(), vehicles.end(),
                     [](const Vehicle& a, const Vehicle& b) { return a.end_ms() < b.end_ms(); });
    return vehicles;
}

std::uint32_t TrafficModel::ActuationMask(int lanes, std::uint64_t now_ms) const {
    std::uint32_t mask = 0;
    for (int lane = 0; lane < lanes; ++lane) {
        const auto vehicle = VehicleAt(lane, now_ms / 1000);
        if (vehicle && vehicle->start_ms <= now_ms && now_ms < vehicle->end_ms()) {
            mask |= 1u << lane;
        }
    }
    return mask;
}

std::string TrafficModel::LaneBlock(int lane, std::uint64_t first_second, std::uint64_t end_second) const {
    LaneSums sums;
    for (std::uint64_t second = first_second; second < end_second; ++second) {
        if (const auto vehicle = VehicleAt(lane, second)) {
            ++sums.volume;
            sums.speed_sum += vehicle->speed;
            sums.busy_ms += vehicle->duration_ms;
            ++sums.classes[vehicle->vehicle_class];
        }
    }
    int speed = 0;
    std::uint32_t occupancy = 0;
    std::uint32_t small = 0;
    std::uint32_t medium = 0;
    std::uint32_t large = 0;
    if (sums.volume > 0) {
        speed = static_cast<int>(std::lround(static_cast<double>(sums.speed_sum) / sums.volume));
        const std::uint64_t span_ms = std::max<std::uint64_t>(1, (end_second - first_second) * 1000);
        occupancy = static_cast<std::uint32_t>(
            std::lround(kShareScale * static_cast<double>(sums.busy_ms) / span_ms));
        small = sums.classes[0] * kShareScale / sums.volume;
        large = sums.classes[2] * kShareScale / sums.volume;
        medium = kShareScale - small - large;
        if (rough_.big_shares &&
            Mix(seed_, end_second * 8 + static_cast<unsigned>(lane)) % kRoughEvery == 0) {
            occupancy += kShareScale;  // a share the sensor should never send
            medium += kShareScale / 2;
        }
    }
    std::string block(1, static_cast<char>('1' + lane));
    block += Hex(sums.volume, 8);
    block += Hex(static_cast<std::uint16_t>(speed), 4);
    block += Hex(occupancy, 4) + Hex(small, 4) + Hex(medium, 4) + Hex(large, 4);
    return block;
}

std::string TrafficModel::IntervalRecord(std::uint32_t end_time, std::uint32_t interval_seconds,
                                         int lanes) const {
    const std::uint64_t first = end_time >= interval_seconds ? end_time - interval_seconds : 0;
    std::vector<std::string> blocks;
    for (int lane = 0; lane < std::clamp(lanes, 0, kMaxLanes); ++lane) {
        blocks.push_back(LaneBlock(lane, first, end_time));
    }
    if (rough_.lanes_out_of_order) {
        std::reverse(blocks.begin(), blocks.end());
    }
    std::string record = Hex(end_time, 8);
    for (const std::string& block : blocks) {
        record += block;
    }
    return record;
}

std::string TrafficModel::EventRecord(const Vehicle& vehicle, bool forward_fire) const {
    const std::uint32_t rough_draw = Mix(seed_ ^ 0x0BAD, vehicle.start_ms);
    char lane_digit = static_cast<char>('1' + (forward_fire ? 0 : vehicle.lane));
    if (rough_.lane_nine && rough_draw % kRoughEvery == 0) {
        lane_digit = '9';
    }
    char class_digit = static_cast<char>('0' + vehicle.vehicle_class);
    if (rough_.class_digits && (rough_draw >> 8) % kRoughEvery == 0) {
        class_digit = static_cast<char>('3' + (rough_draw >> 16) % 13);  // '3'..'9', then 'A'..'F' below
        if (class_digit > '9') {
            class_digit = static_cast<char>('A' + (class_digit - '9' - 1));
        }
    }
    std::string record = Hex(TicksOfDay(vehicle.start_ms), 8);
    record += lane_digit;
    record += Hex(Ticks(vehicle.duration_ms), 4);
    record += Hex(static_cast<std::uint16_t>(vehicle.speed), 4);
    record += class_digit;
    return record;
}

}  // namespace qvx::sim
