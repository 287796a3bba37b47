#include "sim_tools.h"

#include "sensor_records.h"

namespace qvx::sim {

namespace {
constexpr std::string_view kRawDumpTail = "00010000";
constexpr std::uint32_t kPllControl[3] = {0b10, 0b01, 0b00};
}  // namespace

std::optional<std::uint32_t> ParseRawDumpPayload(std::string_view payload) {
    std::uint32_t seconds = 0;
    if (payload.size() != 4 + kRawDumpTail.size() || payload.substr(4) != kRawDumpTail ||
        !ParseHex(payload.substr(0, 4), seconds) || seconds == 0 || seconds > kRawMaxSeconds) {
        return std::nullopt;
    }
    return seconds;
}

std::uint64_t RawStreamLength(std::uint32_t seconds) {
    return static_cast<std::uint64_t>(seconds) * kRawStreamRate;
}

std::string RawStreamBytes(std::uint32_t seed, std::uint64_t offset, std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        // Every byte value occurs, zero and CR included, as in real sample data.
        std::uint64_t x = (offset + i) * 0x9E3779B97F4A7C15ull + seed;
        x ^= x >> 29;
        x *= 0xBF58476D1CE4E5B9ull;
        bytes[i] = static_cast<char>(x >> 56);
    }
    return bytes;
}

std::string EventListWords(const std::vector<Vehicle>& last_vehicles,
                           const std::vector<std::uint64_t>& counts) {
    std::string words;
    for (std::size_t lane = 0; lane < 8; ++lane) {
        if (lane >= last_vehicles.size() || lane >= counts.size() || counts[lane] == 0) {
            words += std::string(24, '0');
            continue;
        }
        const Vehicle& vehicle = last_vehicles[lane];
        const std::uint64_t count = counts[lane];
        words += Hex(static_cast<std::uint32_t>(count >> 16) & 0xFFFF, 4);
        words += Hex(static_cast<std::uint32_t>(count) & 0xFFFF, 4);
        words += Hex(vehicle.duration_ms & 0xFFFF, 4);
        words += Hex((vehicle.duration_ms * 7 + static_cast<std::uint32_t>(vehicle.speed) * 13) & 0xFFFF, 4);
        words += Hex(static_cast<std::uint16_t>(vehicle.speed), 4);
        words += Hex(static_cast<std::uint32_t>(vehicle.vehicle_class), 4);
    }
    return words;
}

bool PllValueFitsRegister(int reg, std::uint32_t value) {
    return reg >= 0 && reg < 3 && value <= 0xFFFFFF && (value & 0b11) == kPllControl[reg];
}

}  // namespace qvx::sim
