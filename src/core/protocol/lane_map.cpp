#include "protocol/lane_map.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/hex_text.h"

namespace qvx {

namespace {

constexpr std::size_t kFieldWidth = 4;
constexpr std::size_t kBoundaryOffset = kLaneMarkers * kFieldWidth;                     // 80
constexpr std::size_t kLettersOffset = kBoundaryOffset + kMaxLaneGroups * kFieldWidth;  // 96
constexpr std::size_t kLaneFieldsEnd = kLettersOffset + kMaxLanes;                      // 104
constexpr std::uint32_t kUnusedGroup = 0xFF;
// A marker value at or above this lies beyond the last bin the sensor reports.
constexpr std::uint32_t kMarkerLimit = 174;

std::optional<std::uint32_t> FieldAt(std::string_view record, std::size_t index) {
    const std::size_t pos = index * kFieldWidth;
    if (record.size() < pos + kFieldWidth) {
        return std::nullopt;
    }
    return hex::Parse(record.substr(pos, kFieldWidth));
}

int MarkerBin(std::uint32_t value) {
    const int bin = static_cast<int>(value / 2) - 4;
    return std::clamp(bin, 0, kRangeBins - 1);
}

// "scs" for one lane, one more "dc" for each further lane.
std::string GroupPattern(int lanes) {
    std::string pattern = "sc";
    for (int lane = 1; lane < lanes; ++lane) {
        pattern += "dc";
    }
    return pattern + "s";
}

std::string CombinedPattern(std::string_view record) {
    std::string pattern;
    std::optional<std::uint32_t> previous;
    for (int group = 0; group < kMaxLaneGroups; ++group) {
        const auto boundary = FieldAt(record, kLaneMarkers + group);
        if (!boundary || *boundary == kUnusedGroup) {
            continue;
        }
        const long lanes = previous ? static_cast<long>(*boundary) - static_cast<long>(*previous)
                                    : static_cast<long>(*boundary) + 1;
        previous = boundary;
        if (lanes >= 1 && lanes <= kMaxLanes) {
            pattern += GroupPattern(static_cast<int>(lanes));
        }
    }
    return pattern;
}

BinType PatternBin(char mark) {
    switch (mark) {
        case 's':
            return BinType::Edge;
        case 'c':
            return BinType::Centre;
        default:
            return BinType::Divider;
    }
}

void FillInsideBins(LaneBins& bins) {
    bool open = false;
    for (BinType& bin : bins) {
        if (bin == BinType::Edge) {
            open = !open;
        } else if (open && bin == BinType::Unused) {
            bin = BinType::Inside;
        }
    }
}

bool IsMarker(BinType bin) {
    return bin == BinType::Edge || bin == BinType::Centre || bin == BinType::Divider;
}

std::string MarkerFields(const LaneBins& bins) {
    std::string fields;
    int markers = 0;
    for (int bin = 0; bin < kRangeBins && markers < kLaneMarkers; ++bin) {
        if (IsMarker(bins[bin])) {
            fields += hex::Format(static_cast<std::uint32_t>(bin * 2 + 8), kFieldWidth);
            ++markers;
        }
    }
    for (; markers < kLaneMarkers; ++markers) {
        fields += "0000";
    }
    return fields;
}

std::string BoundaryFields(const LaneBins& bins) {
    std::vector<std::uint32_t> boundaries;
    bool open = false;
    int centres = 0;
    for (BinType bin : bins) {
        if (bin == BinType::Centre) {
            ++centres;
        } else if (bin == BinType::Edge) {
            if (open && boundaries.size() < kMaxLaneGroups) {
                // A group without a lane centre has no last lane to name.
                boundaries.push_back(centres > 0 ? static_cast<std::uint32_t>(centres - 1) : kUnusedGroup);
            }
            open = !open;
        }
    }
    std::string fields;
    for (std::size_t group = 0; group < kMaxLaneGroups; ++group) {
        fields += hex::Format(group < boundaries.size() ? boundaries[group] : kUnusedGroup, kFieldWidth);
    }
    return fields;
}

}  // namespace

LaneMap::LaneMap() {
    bins.fill(BinType::Unused);
    directions.fill('\0');
}

LaneMap BuildLaneMap(std::string_view side_fire) {
    LaneMap map;
    const std::string pattern = CombinedPattern(side_fire);
    const std::size_t marks = std::min<std::size_t>(pattern.size(), kLaneMarkers);
    for (std::size_t k = 0; k < marks; ++k) {
        const auto value = FieldAt(side_fire, k);
        if (value && *value < kMarkerLimit) {
            map.bins[MarkerBin(*value)] = PatternBin(pattern[k]);
        }
    }
    FillInsideBins(map.bins);
    for (std::size_t lane = 0; lane < kMaxLanes && kLettersOffset + lane < side_fire.size(); ++lane) {
        map.directions[lane] = side_fire[kLettersOffset + lane];
    }
    map.lane_count = CountLanes(map.bins);
    return map;
}

bool ApplyLaneMap(std::string& side_fire, const LaneBins& bins,
                  const std::array<char, kMaxLanes>& directions) {
    if (side_fire.size() < kLaneFieldsEnd) {
        return false;
    }
    std::string fields = MarkerFields(bins) + BoundaryFields(bins);
    for (char letter : directions) {
        fields += letter == '\0' ? 'R' : letter;
    }
    side_fire.replace(0, fields.size(), fields);
    return true;
}

bool ApplyLaneMap(std::string& side_fire, const LaneMap& map) {
    return ApplyLaneMap(side_fire, map.bins, map.directions);
}

int CountLanes(const LaneBins& bins) {
    const auto centres = std::count(bins.begin(), bins.end(), BinType::Centre);
    return static_cast<int>(std::min<long>(centres, kMaxLanes));
}

}  // namespace qvx
