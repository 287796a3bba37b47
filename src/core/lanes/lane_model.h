#pragma once
// The lane configuration's cross-section of the road: 84 range bins, each a divider, edge, lane
// centre, lane surface or off-road, plus one direction letter per lane. The lanes, their centres
// and the road count are derived from the bins after every change. The editing tools live in
// lane_tools.h; this class only holds the picture and keeps its derived parts current.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "protocol/lane_map.h"

namespace qvx {

inline constexpr int kMaxRoads = kMaxLaneGroups;
inline constexpr int kNoBlinder = 255;
// The range blinders never come closer than this.
inline constexpr int kBlinderMinDistance = 3;

struct LaneSpan {
    int first = 0;  // first bin of the lane
    int width = 0;  // bins
    int last() const { return first + width - 1; }
    bool contains(int bin) const { return bin >= first && bin <= last(); }
    bool operator==(const LaneSpan&) const = default;
};

struct RoadSpan {
    int opening_edge = 0;
    int closing_edge = 0;  // kRangeBins - 1 when the road was never closed
    bool operator==(const RoadSpan&) const = default;
};

// The lower and upper range blinders: bins beyond them are not searched by the sensor's automatic
// configuration. kNoBlinder for a blinder not placed.
struct BlinderSettings {
    int low = kNoBlinder;
    int high = kNoBlinder;
    bool enabled = false;  // the automatic configuration is told to use them
    bool in_use() const { return enabled || low != kNoBlinder || high != kNoBlinder; }
    bool operator==(const BlinderSettings&) const = default;
};

class LaneModel {
  public:
    // Every bin off-road, no lanes.
    LaneModel();
    // The picture of a side-fire record's lane map: its bins and the letters of its lanes.
    static LaneModel FromLaneMap(const LaneMap& map);

    const LaneBins& bins() const { return bins_; }
    BinType bin(int index) const { return bins_[static_cast<std::size_t>(index)]; }
    // One letter per lane, lane 0 first: 'R', 'L', or 'r', 'l' for a lane marked reversed.
    const std::vector<char>& directions() const { return directions_; }
    // The 8 letters a record holds: '\0' past the last lane.
    std::array<char, kMaxLanes> DirectionSlots() const;

    const std::vector<LaneSpan>& lanes() const { return lanes_; }
    const std::vector<RoadSpan>& roads() const { return roads_; }
    // Centre bins in bin order (at most 8 counted).
    const std::vector<int>& centres() const { return centres_; }
    int lane_count() const;
    int road_count() const;

    // The lane whose span holds bin, or nullopt.
    std::optional<int> LaneAt(int bin) const;
    // The road that holds bin (its edges included), or nullopt.
    std::optional<int> RoadAt(int bin) const;
    // True when bin opens a road (the road lies above it).
    bool IsOpeningEdge(int bin) const;

    // Changes bins and directions and derives the rest again. Only the tools call these.
    void SetBin(int index, BinType type) { bins_[static_cast<std::size_t>(index)] = type; }
    std::vector<char>& mutable_directions() { return directions_; }
    void Recompute();

    // The copy "Undo" returns to, taken when the configuration was read or sent.
    void TakeUndoCopy();
    void Undo();

    // Consistent: every lane holds exactly one centre and every centre lies in a lane, at most 8
    // lanes and 4 roads, one direction per lane. An empty text when valid, else what is wrong.
    std::string Problem() const;

    bool operator==(const LaneModel& other) const {
        return bins_ == other.bins_ && directions_ == other.directions_;
    }

  private:
    LaneBins bins_;
    std::vector<char> directions_;
    std::vector<LaneSpan> lanes_;
    std::vector<RoadSpan> roads_;
    std::vector<int> centres_;
    LaneBins undo_bins_;
    std::vector<char> undo_directions_;
};

// The blinders drawn over the cross-section: the marks' bins as BlinderMark, everything beyond
// them as Blinded, the rest as the model holds it.
BinType DisplayBin(const LaneModel& model, const BlinderSettings& blinders, int bin);

// Moves the lower (or upper) blinder mark towards bin, keeping the marks kBlinderMinDistance
// apart and inside the range. A blinder not placed yet is placed first.
BlinderSettings MoveBlinder(BlinderSettings blinders, bool lower, int bin);
// Which mark a press at bin grabs: the lower, the upper, or none (more than 1 bin away).
std::optional<bool> BlinderMarkAt(const BlinderSettings& blinders, int bin);

}  // namespace qvx
