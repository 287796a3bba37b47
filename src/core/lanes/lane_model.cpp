#include "lanes/lane_model.h"

#include <algorithm>

namespace qvx {

namespace {

bool IsBoundary(BinType type) {
    return type == BinType::Divider || type == BinType::Edge;
}

}  // namespace

LaneModel::LaneModel() {
    bins_.fill(BinType::Unused);
    undo_bins_ = bins_;
}

LaneModel LaneModel::FromLaneMap(const LaneMap& map) {
    LaneModel model;
    model.bins_ = map.bins;
    model.Recompute();
    // The record holds 8 letters whatever the lane count: the lanes take theirs in order, and a
    // letter the sensor left empty reads as 'R', as it is written.
    for (int lane = 0; lane < model.lane_count(); ++lane) {
        const char letter = map.directions[static_cast<std::size_t>(lane)];
        model.directions_.push_back(letter == '\0' || letter == ' ' ? 'R' : letter);
    }
    model.TakeUndoCopy();
    return model;
}

std::array<char, kMaxLanes> LaneModel::DirectionSlots() const {
    std::array<char, kMaxLanes> slots{};
    std::copy_n(directions_.begin(), std::min<std::size_t>(directions_.size(), kMaxLanes), slots.begin());
    return slots;
}

int LaneModel::lane_count() const {
    return std::min(static_cast<int>(centres_.size()), kMaxLanes);
}

int LaneModel::road_count() const {
    const auto edges = std::count(bins_.begin(), bins_.end(), BinType::Edge);
    return static_cast<int>(edges / 2);
}

void LaneModel::Recompute() {
    lanes_.clear();
    roads_.clear();
    centres_.clear();
    bool open = false;
    int lane_start = 0;
    for (int bin = 0; bin < kRangeBins; ++bin) {
        const BinType type = bins_[static_cast<std::size_t>(bin)];
        if (type == BinType::Centre) {
            centres_.push_back(bin);
        }
        if (!IsBoundary(type)) {
            continue;
        }
        if (open && bin > lane_start) {
            lanes_.push_back({lane_start, bin - lane_start});
        }
        if (type == BinType::Edge) {
            if (open) {
                roads_.back().closing_edge = bin;
            } else {
                roads_.push_back({bin, kRangeBins - 1});
            }
            open = !open;
        }
        lane_start = bin + 1;
    }
}

std::optional<int> LaneModel::LaneAt(int bin) const {
    for (std::size_t lane = 0; lane < lanes_.size(); ++lane) {
        if (lanes_[lane].contains(bin)) {
            return static_cast<int>(lane);
        }
    }
    return std::nullopt;
}

std::optional<int> LaneModel::RoadAt(int bin) const {
    for (std::size_t road = 0; road < roads_.size(); ++road) {
        if (bin >= roads_[road].opening_edge && bin <= roads_[road].closing_edge) {
            return static_cast<int>(road);
        }
    }
    return std::nullopt;
}

bool LaneModel::IsOpeningEdge(int bin) const {
    return std::any_of(roads_.begin(), roads_.end(),
                       [bin](const RoadSpan& road) { return road.opening_edge == bin; });
}

void LaneModel::TakeUndoCopy() {
    undo_bins_ = bins_;
    undo_directions_ = directions_;
}

void LaneModel::Undo() {
    // The directions go back with the bins: a lane painted or removed since took or gave one.
    bins_ = undo_bins_;
    directions_ = undo_directions_;
    Recompute();
}

std::string LaneModel::Problem() const {
    if (centres_.size() > static_cast<std::size_t>(kMaxLanes)) {
        return "more than 8 lanes";
    }
    if (road_count() > kMaxRoads) {
        return "more than 4 roads";
    }
    if (std::count(bins_.begin(), bins_.end(), BinType::Edge) % 2 != 0) {
        return "a road without its closing edge";
    }
    if (lanes_.size() != centres_.size()) {
        return "lanes and centres differ in number";
    }
    for (std::size_t lane = 0; lane < lanes_.size(); ++lane) {
        if (!lanes_[lane].contains(centres_[lane])) {
            return "lane " + std::to_string(lane + 1) + " does not hold its centre";
        }
    }
    for (int bin = 0; bin < kRangeBins; ++bin) {
        const BinType type = bins_[static_cast<std::size_t>(bin)];
        const bool in_road = RoadAt(bin).has_value();
        if ((type == BinType::Inside || type == BinType::Centre || type == BinType::Divider) && !in_road) {
            return "lane bin " + std::to_string(bin) + " outside a road";
        }
        if (type == BinType::Unused && in_road) {
            return "off-road bin " + std::to_string(bin) + " inside a road";
        }
    }
    if (directions_.size() != centres_.size()) {
        return "directions and lanes differ in number";
    }
    if (bins_.back() != BinType::Unused && bins_.back() != BinType::Inside) {
        return "a mark on the last bin, where the sensor reads none";
    }
    return {};
}

BinType DisplayBin(const LaneModel& model, const BlinderSettings& blinders, int bin) {
    if (bin == blinders.low || bin == blinders.high) {
        return BinType::BlinderMark;
    }
    if ((blinders.low != kNoBlinder && bin < blinders.low) ||
        (blinders.high != kNoBlinder && bin > blinders.high)) {
        return BinType::Blinded;
    }
    return model.bin(bin);
}

BlinderSettings MoveBlinder(BlinderSettings blinders, bool lower, int bin) {
    // An unplaced blinder starts at the range's end, where it blinds nothing.
    const int low = blinders.low == kNoBlinder ? 0 : blinders.low;
    const int high = blinders.high == kNoBlinder ? kRangeBins - 1 : blinders.high;
    if (lower) {
        blinders.low = std::clamp(bin, 0, high - kBlinderMinDistance);
        blinders.high = high;
    } else {
        blinders.high = std::clamp(bin, low + kBlinderMinDistance, kRangeBins - 1);
        blinders.low = low;
    }
    return blinders;
}

std::optional<bool> BlinderMarkAt(const BlinderSettings& blinders, int bin) {
    const int low = blinders.low == kNoBlinder ? 0 : blinders.low;
    const int high = blinders.high == kNoBlinder ? kRangeBins - 1 : blinders.high;
    if (std::abs(bin - low) <= 1) {
        return true;
    }
    if (std::abs(bin - high) <= 1) {
        return false;
    }
    return std::nullopt;
}

}  // namespace qvx
