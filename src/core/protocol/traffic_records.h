#pragma once
// The traffic records the data commands return: the interval record ("X0", "XD") and the
// vehicle event record ("XA"). Decoding never trusts the line: a malformed record is nullopt.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

inline constexpr std::size_t kIntervalHeaderLength = 8;
inline constexpr std::size_t kIntervalLaneLength = 29;
inline constexpr std::size_t kMaxIntervalLanes = 8;
inline constexpr std::size_t kEventRecordLength = 18;
inline constexpr std::uint32_t kUnusableTimestamp = 0xFFFFFFFF;

struct IntervalLane {
    char lane_digit = '0';  // '1'..'8' from a sound sensor; kept as received otherwise
    std::uint32_t volume = 0;
    std::int16_t speed = 0;       // in the unit of the extended record's units letter
    std::uint16_t occupancy = 0;  // value * 100 / 1024 = percent
    std::uint16_t small = 0;
    std::uint16_t medium = 0;
    std::uint16_t large = 0;

    // 0..7 for the digits '1'..'8', -1 for anything else.
    int LaneIndex() const;
    bool operator==(const IntervalLane&) const = default;
};

struct IntervalRecord {
    std::string stamp_text;      // the 8 header characters, to recognise a record seen before
    std::uint32_t end_time = 0;  // seconds since 2000-01-01 00:00:00
    std::vector<IntervalLane> lanes;
};

// An 8-character header and as many whole 29-character lane blocks as follow, at most 8.
// nullopt for a text shorter than the header or with a non-hex number in any block read.
std::optional<IntervalRecord> DecodeIntervalRecord(std::string_view data);
std::optional<IntervalLane> DecodeIntervalLane(std::string_view block);

struct EventRecord {
    std::uint32_t ticks = 0;  // time stamp in 2.5 ms ticks
    char lane_digit = '0';
    std::uint16_t duration = 0;  // time in the beam, 2.5 ms ticks
    std::int16_t speed = 0;      // negative: the opposite direction
    char class_char = '0';       // as received (the event log writes it unchanged)
    int vehicle_class = 0;       // 0..2; larger or non-hex read as 0

    int LaneIndex() const;
};

// Exactly 18 characters; nullopt for any other length (the "Empty" reply included) or bad hex.
std::optional<EventRecord> DecodeEventRecord(std::string_view data);

// True when a data reply is one of the status words that stand for "no record".
bool IsNoRecordReply(std::string_view data);

}  // namespace qvx
