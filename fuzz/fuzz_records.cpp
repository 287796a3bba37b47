// Feeds arbitrary bytes to the traffic record decoders and to the lane map in both directions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/interval_format.h"
#include "protocol/lane_map.h"
#include "protocol/sensor_configuration.h"
#include "protocol/traffic_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto record = qvx::DecodeIntervalRecord(text)) {
        const std::string names[8];
        for (const auto& lane : record->lanes) {
            qvx::IntervalLaneLabel(lane.lane_digit, names);
            qvx::FormatPercent(lane.occupancy);
            qvx::FormatSpeed(lane.speed);
            qvx::FormatVolume(lane.volume);
        }
    }
    qvx::DecodeEventRecord(text);

    qvx::SensorConfiguration configuration;
    configuration.SetRecord(qvx::RecordSlot::SideFire, std::string(text));
    const qvx::LaneMap map = configuration.lane_map();
    std::string side_fire(text);
    if (qvx::ApplyLaneMap(side_fire, map)) {
        // Only the lane fields change; the noise record and the length stay as they were.
        if (side_fire.size() != text.size() ||
            side_fire.substr(qvx::kSfAlgorithmInfoLength) != text.substr(qvx::kSfAlgorithmInfoLength)) {
            __builtin_trap();
        }
        if (qvx::BuildLaneMap(side_fire).lane_count > qvx::kMaxLanes) {
            __builtin_trap();
        }
    }
    return 0;
}
