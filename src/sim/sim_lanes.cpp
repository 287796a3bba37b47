#include "sim_lanes.h"

#include <algorithm>
#include <vector>

#include "sensor_text.h"

namespace qvx::sim {

namespace {

constexpr std::size_t kFieldWidth = 4;
constexpr int kMarkerFields = 20;
constexpr int kGroupFields = 4;
constexpr std::size_t kLettersAt = 96;
constexpr std::size_t kLaneFieldsLength = 104;
constexpr std::uint32_t kUnusedGroup = 0xFF;
constexpr std::uint32_t kFirstMarker = 8;                            // bin 0
constexpr std::uint32_t kLastMarker = 8 + 2 * (kRangeBinCount - 2);  // bin 82: 174 is past the markers read
constexpr int kBlinderDistance = 3;

std::optional<std::uint32_t> Field(std::string_view record, int index) {
    std::uint32_t value = 0;
    const std::string_view text = record.substr(static_cast<std::size_t>(index) * kFieldWidth, kFieldWidth);
    if (text.size() != kFieldWidth || !ParseHex(text, value) || text != Hex(value, 4)) {
        return std::nullopt;  // upper-case digits only, as the sensor writes them
    }
    return value;
}

// Markers a group of n lanes needs: two edges, n centres and n - 1 dividers.
int MarkersOfGroup(int lanes) {
    return 2 * lanes + 1;
}

std::optional<int> MarkersNeeded(std::string_view record) {
    int needed = 0;
    int previous = -1;
    bool unused_seen = false;
    for (int group = 0; group < kGroupFields; ++group) {
        const auto boundary = Field(record, kMarkerFields + group);
        if (!boundary) {
            return std::nullopt;
        }
        if (*boundary == kUnusedGroup) {
            unused_seen = true;
            continue;
        }
        if (unused_seen || static_cast<int>(*boundary) <= previous || *boundary >= 8) {
            return std::nullopt;
        }
        needed += MarkersOfGroup(static_cast<int>(*boundary) - previous);
        previous = static_cast<int>(*boundary);
    }
    return needed;
}

std::string ShiftedMarkers(const std::string& record, int bins) {
    std::string shifted = record;
    for (int marker = 0; marker < kMarkerFields; ++marker) {
        const auto value = Field(record, marker);
        if (value && *value != 0) {
            shifted.replace(static_cast<std::size_t>(marker) * kFieldWidth, kFieldWidth,
                            Hex(*value + static_cast<std::uint32_t>(2 * bins), 4));
        }
    }
    return shifted;
}

int LastMarkerBin(const std::string& record) {
    int last = -1;
    for (int marker = 0; marker < kMarkerFields; ++marker) {
        const auto value = Field(record, marker);
        if (value && *value != 0) {
            last = static_cast<int>(*value - kFirstMarker) / 2;
        }
    }
    return last;
}

}  // namespace

std::optional<ConfigModeRequest> ParseConfigModeRequest(std::string_view payload) {
    ConfigModeRequest request;
    if (payload.size() == 1 && payload[0] >= '0' && payload[0] <= '2') {
        request.mode = payload[0];
        return request;
    }
    if (payload.size() != 10 || payload[0] != '0' || (payload[9] != '0' && payload[9] != '1')) {
        return std::nullopt;
    }
    const auto low = Field(payload.substr(1), 0);
    const auto high = Field(payload.substr(1), 1);
    if (!low || !high || *high > kRangeBinCount - 1 ||
        static_cast<int>(*high) - static_cast<int>(*low) < kBlinderDistance) {
        return std::nullopt;
    }
    request.blinders_given = true;
    request.blinder_low = static_cast<int>(*low);
    request.blinder_high = static_cast<int>(*high);
    request.blinders_enabled = payload[9] == '1';
    return request;
}

bool SfLaneFieldsUsable(std::string_view record) {
    if (record.size() < kLaneFieldsLength) {
        return false;
    }
    const auto needed = MarkersNeeded(record);
    if (!needed || *needed > kMarkerFields) {
        return false;
    }
    std::uint32_t previous = 0;
    for (int marker = 0; marker < kMarkerFields; ++marker) {
        const auto value = Field(record, marker);
        if (!value) {
            return false;
        }
        const bool expected = marker < *needed;
        if (!expected
                ? *value != 0
                : (*value < kFirstMarker || *value > kLastMarker || *value % 2 != 0 || *value <= previous)) {
            return false;
        }
        previous = *value;
    }
    return std::all_of(record.begin() + kLettersAt, record.begin() + kLaneFieldsLength,
                       [](char c) { return c == 'R' || c == 'L' || c == 'r' || c == 'l'; });
}

std::string WithoutLanes(const std::string& record) {
    std::string empty = record;
    std::string fields(static_cast<std::size_t>(kMarkerFields) * kFieldWidth, '0');
    for (int group = 0; group < kGroupFields; ++group) {
        fields += Hex(kUnusedGroup, 4);
    }
    fields += "RRRRRRRR";
    empty.replace(0, std::min(fields.size(), empty.size()),
                  fields.substr(0, std::min(fields.size(), empty.size())));
    return empty;
}

std::string SettledLanePicture(const std::string& record, const RecordSeed& seed,
                               const ConfigModeRequest& request) {
    const bool blinded = request.blinders_given && request.blinders_enabled;
    const int low = blinded ? request.blinder_low : 0;
    const int high = blinded ? request.blinder_high : kRangeBinCount - 1;
    for (int lanes = seed.lanes; lanes > 0; --lanes) {
        RecordSeed fewer = seed;
        fewer.lanes = lanes;
        const std::string picture = BuildSfAlgorithmInfo(fewer);
        // The built picture starts a few bins out; the search starts past the lower blinder.
        const int first_bin = static_cast<int>(*Field(picture, 0) - kFirstMarker) / 2;
        const std::string placed = ShiftedMarkers(picture, std::max(0, low + 1 - first_bin));
        if (LastMarkerBin(placed) < high) {
            std::string settled = record;
            settled.replace(0, kLaneFieldsLength, placed.substr(0, kLaneFieldsLength));
            return settled;
        }
    }
    return WithoutLanes(record);
}

}  // namespace qvx::sim
