#include "lanes/lane_presence.h"

#include <algorithm>

namespace qvx {

void LanePresence::Update(std::uint8_t occupancy) {
    for (int lane = 0; lane < kMaxLanes; ++lane) {
        auto& words = history_[static_cast<std::size_t>(lane)];
        for (std::size_t word = words.size() - 1; word > 0; --word) {
            words[word] = (words[word] << 2) | (words[word - 1] >> 30);
        }
        words[0] <<= 2;
        if (occupancy & (1u << lane)) {
            words[0] |= 0x3u;
        }
    }
}

void LanePresence::Clear() {
    history_ = {};
}

bool LanePresence::Occupied(int lane, int age) const {
    if (lane < 0 || lane >= kMaxLanes || age < 0 || age >= kBits) {
        return false;
    }
    const auto& words = history_[static_cast<std::size_t>(lane)];
    return (words[static_cast<std::size_t>(age / 32)] >> (age % 32)) & 1u;
}

std::uint8_t OccupancyAt(const std::vector<BeamVisit>& visits, std::int64_t now_ms, int min_ms) {
    std::uint8_t mask = 0;
    for (const BeamVisit& visit : visits) {
        const std::int64_t in_beam_ms = std::max<std::int64_t>(min_ms, visit.duration_ticks * 5 / 2);
        if (visit.lane >= 1 && visit.lane <= kMaxLanes && now_ms >= visit.arrived_ms &&
            now_ms < visit.arrived_ms + in_beam_ms) {
            mask = static_cast<std::uint8_t>(mask | (1u << (visit.lane - 1)));
        }
    }
    return mask;
}

}  // namespace qvx
