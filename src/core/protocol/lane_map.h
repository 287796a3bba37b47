#pragma once
// The side-fire lane map: the sensor's cross-section of the road in 84 range bins, derived from
// the marker and group fields at the start of the side-fire record, and written back into them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvx {

inline constexpr int kRangeBins = 84;
inline constexpr int kMaxLanes = 8;
inline constexpr int kMaxLaneGroups = 4;
inline constexpr int kLaneMarkers = 20;

// Values shared with the lane configuration model, which adds its own drawing-only kinds.
enum class BinType : std::uint8_t {
    Divider = 0,  // painted line between two lanes of one group
    Edge = 1,     // shoulder: opens or closes a group
    Centre = 2,   // centre bin of a lane
    Inside = 3,   // lane surface inside a group
    Unused = 5,   // off-road
    // Drawn over the cross-section by the lane configuration; never part of a record's map.
    Blinded = 7,      // outside the range blinders
    BlinderMark = 8,  // a range blinder's own bin
};

using LaneBins = std::array<BinType, kRangeBins>;

struct LaneMap {
    LaneBins bins;
    // One letter per lane, lane 0 first: 'L' or 'R' as the record holds them; '\0' for no letter.
    std::array<char, kMaxLanes> directions;
    int lane_count = 0;  // centre bins, at most 8

    LaneMap();
    bool operator==(const LaneMap&) const = default;
};

// Reads the first 24 hex4 fields and the lane letters of a side-fire record. Fields that are
// missing or not hexadecimal mark nothing, so any text gives a map.
LaneMap BuildLaneMap(std::string_view side_fire);

// Regenerates the record's 20 markers, 4 group boundaries and 8 lane letters from bins and
// directions. Returns false, changing nothing, when the record is too short to hold them.
bool ApplyLaneMap(std::string& side_fire, const LaneBins& bins,
                  const std::array<char, kMaxLanes>& directions);
bool ApplyLaneMap(std::string& side_fire, const LaneMap& map);

// Number of centre bins, at most 8.
int CountLanes(const LaneBins& bins);

}  // namespace qvx
