#include "protocol/traffic_records.h"

#include <algorithm>

#include "base/hex_text.h"

namespace qvx {

namespace {

int DigitLaneIndex(char digit) {
    return digit >= '1' && digit <= '8' ? digit - '1' : -1;
}

std::optional<std::uint16_t> Hex16(std::string_view text) {
    const auto value = hex::Parse(text);
    if (!value || text.size() != 4) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

}  // namespace

int IntervalLane::LaneIndex() const {
    return DigitLaneIndex(lane_digit);
}

int EventRecord::LaneIndex() const {
    return DigitLaneIndex(lane_digit);
}

std::optional<IntervalLane> DecodeIntervalLane(std::string_view block) {
    if (block.size() < kIntervalLaneLength) {
        return std::nullopt;
    }
    const auto volume = hex::Parse(block.substr(1, 8));
    const auto speed = hex::ParseSigned16(block.substr(9, 4));
    const auto occupancy = Hex16(block.substr(13, 4));
    const auto small = Hex16(block.substr(17, 4));
    const auto medium = Hex16(block.substr(21, 4));
    const auto large = Hex16(block.substr(25, 4));
    if (!volume || !speed || !occupancy || !small || !medium || !large) {
        return std::nullopt;
    }
    IntervalLane lane;
    lane.lane_digit = block[0];
    lane.volume = *volume;
    lane.speed = *speed;
    lane.occupancy = *occupancy;
    lane.small = *small;
    lane.medium = *medium;
    lane.large = *large;
    return lane;
}

std::optional<IntervalRecord> DecodeIntervalRecord(std::string_view data) {
    if (data.size() < kIntervalHeaderLength) {
        return std::nullopt;
    }
    const auto end_time = hex::Parse(data.substr(0, kIntervalHeaderLength));
    if (!end_time) {
        return std::nullopt;
    }
    IntervalRecord record;
    record.stamp_text = std::string(data.substr(0, kIntervalHeaderLength));
    record.end_time = *end_time;
    const std::size_t blocks =
        std::min((data.size() - kIntervalHeaderLength) / kIntervalLaneLength, kMaxIntervalLanes);
    for (std::size_t k = 0; k < blocks; ++k) {
        const auto lane = DecodeIntervalLane(
            data.substr(kIntervalHeaderLength + k * kIntervalLaneLength, kIntervalLaneLength));
        if (!lane) {
            return std::nullopt;
        }
        record.lanes.push_back(*lane);
    }
    return record;
}

std::optional<EventRecord> DecodeEventRecord(std::string_view data) {
    if (data.size() != kEventRecordLength) {
        return std::nullopt;
    }
    const auto ticks = hex::Parse(data.substr(0, 8));
    const auto duration = Hex16(data.substr(9, 4));
    const auto speed = hex::ParseSigned16(data.substr(13, 4));
    if (!ticks || !duration || !speed) {
        return std::nullopt;
    }
    EventRecord event;
    event.ticks = *ticks;
    event.lane_digit = data[8];
    event.duration = *duration;
    event.speed = *speed;
    event.class_char = data[17];
    const auto vehicle_class = hex::Parse(data.substr(17, 1));
    event.vehicle_class = vehicle_class && *vehicle_class <= 2 ? static_cast<int>(*vehicle_class) : 0;
    return event;
}

bool IsNoRecordReply(std::string_view data) {
    for (std::string_view word : {"Empty", "Invalid", "Failure", "No lanes", "No Lanes"}) {
        if (data.find(word) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace qvx
