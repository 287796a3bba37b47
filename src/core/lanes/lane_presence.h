#pragma once
// Per lane a 128-bit history of presence, drawn as a ribbon of 2-pixel steps: every update shifts
// the history by 2 bits and sets the 2 newest bits of each lane occupied now.

#include <array>
#include <cstdint>
#include <vector>

#include "lanes/lane_model.h"

namespace qvx {

class LanePresence {
  public:
    static constexpr int kBits = 128;

    // occupancy: bit k set when lane k is occupied now.
    void Update(std::uint8_t occupancy);
    void Clear();
    // Whether lane was occupied `age` bits ago (0 = the newest bit).
    bool Occupied(int lane, int age) const;

  private:
    // Word 0 holds the newest bits, its bit 0 the newest of all.
    std::array<std::array<std::uint32_t, 4>, kMaxLanes> history_{};
};

// The lanes whose vehicles are in the beam at now_ms: each vehicle is in it from arrival for its
// duration (in 2.5 ms ticks), at least min_ms so a short event still shows.
struct BeamVisit {
    int lane = 0;  // 1..8
    std::int64_t arrived_ms = 0;
    std::uint32_t duration_ticks = 0;
};
std::uint8_t OccupancyAt(const std::vector<BeamVisit>& visits, std::int64_t now_ms, int min_ms);

}  // namespace qvx
