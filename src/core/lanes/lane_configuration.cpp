#include "lanes/lane_configuration.h"

#include <chrono>
#include <thread>

#include "base/hex_text.h"
#include "base/progress_reporter.h"
#include "connect/operating_mode.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/refusal.h"

namespace qvx {

namespace {

constexpr int kGainField = 27;

SensorRequest LaneRequest(const char* code, std::string payload, int extra_wait_ms = 0) {
    return {.code = code,
            .payload = std::move(payload),
            .on_error = ErrorPolicy::Report,
            .retries = 1,
            .link_recovery = true,
            .extra_wait_ms = extra_wait_ms};
}

bool IsMarker(BinType type) {
    return type == BinType::Divider || type == BinType::Edge || type == BinType::Centre;
}

}  // namespace

std::optional<LaneMode> LaneModeFromConfigMode(int config_mode) {
    switch (config_mode) {
        case config_mode::kAutoConfiguring:
            return LaneMode::Automatic;
        case config_mode::kConfigured:
        case config_mode::kManual:
            return LaneMode::Manual;
        default:
            return std::nullopt;
    }
}

std::string LaneStatusText(LaneMode mode, const std::string& gain) {
    return std::string(mode == LaneMode::Automatic ? lane_text::kAutomaticMode : lane_text::kManualMode) +
           lane_text::kGainPrefix + gain;
}

std::string RestartModePayload(const BlinderSettings& blinders) {
    if (!blinders.in_use()) {
        return "0\r";
    }
    constexpr std::uint32_t kLastBin = kRangeBins - 1;
    const auto bin_field = [](int bin, std::uint32_t none) {
        return hex::Format(bin == kNoBlinder ? none : static_cast<std::uint32_t>(bin), 4);
    };
    return "0" + bin_field(blinders.low, 0) + bin_field(blinders.high, kLastBin) +
           (blinders.enabled ? "1" : "0") + "\r";
}

LaneMarkers MarkersOf(const LaneModel& model) {
    LaneMarkers result;
    result.markers.fill(-1);
    result.last_lanes.fill(-1);
    std::size_t marker = 0;
    std::size_t road = 0;
    int centres = 0;
    bool open = false;
    for (int bin = 0; bin < kRangeBins; ++bin) {
        const BinType type = model.bin(bin);
        if (IsMarker(type) && marker < result.markers.size()) {
            result.markers[marker++] = bin;
        }
        if (type == BinType::Centre) {
            ++centres;
        } else if (type == BinType::Edge) {
            if (open && road < result.last_lanes.size()) {
                result.last_lanes[road++] = centres - 1;
            }
            open = !open;
        }
    }
    return result;
}

std::string SideFireRecordWith(const std::string& record, const LaneModel& model) {
    if (record.size() < kSfAlgorithmInfoLength) {
        return {};
    }
    std::string text = record.substr(0, kSfAlgorithmInfoLength);
    ApplyLaneMap(text, model.bins(), model.DirectionSlots());
    return text;
}

LaneConfiguration::LaneConfiguration(AppContext& context)
    : sleep_ms([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      context_(context),
      records_(context.protocol, config_) {
    records_.sleep_ms = [this](int ms) { sleep_ms(ms); };
}

int LaneConfiguration::QueryConfigMode(ProgressReporter& progress) {
    return ReadConfigMode(context_.protocol, progress);
}

RecordResult LaneConfiguration::ReadSettings() {
    const RecordResult result = records_.ReadSensorConfiguration(
        read_flag::kConfig | read_flag::kExtended | read_flag::kSideFire | read_flag::kSideFireNoise);
    if (config_.HasRecord(RecordSlot::SideFire)) {
        context_.state.lane_count = config_.lane_count();
    }
    return result;
}

LaneModel LaneConfiguration::SensorModel() const {
    return LaneModel::FromLaneMap(config_.lane_map());
}

std::string LaneConfiguration::Gain() const {
    return config_.GetExtendedField(kGainField);
}

std::vector<std::string> LaneConfiguration::LaneNames() const {
    std::vector<std::string> names;
    for (int lane = 0; lane < kMaxLanes; ++lane) {
        names.push_back(config_.GetExtendedField(kFirstLaneNameField + lane));
    }
    return names;
}

void LaneConfiguration::SetLaneNames(const std::vector<std::string>& names) {
    constexpr std::size_t kNameWidth = 8;
    for (std::size_t lane = 0; lane < names.size() && lane < kMaxLanes; ++lane) {
        std::string name = names[lane].substr(0, kNameWidth);
        name.resize(kNameWidth, ' ');
        config_.SetExtendedField(kFirstLaneNameField + static_cast<int>(lane), name);
    }
}

RecordResult LaneConfiguration::Send(const LaneModel& model, bool edited, LaneSend kind,
                                     const std::string& gain) {
    if (!config_.HasRecord(RecordSlot::Extended) || config_.side_fire().size() < kSfAlgorithmInfoLength) {
        return {RecordOutcome::NotLoaded};
    }
    const bool restart = kind == LaneSend::Restart;
    const std::string extended_before = config_.extended();
    if (restart && !gain.empty()) {
        config_.SetExtendedField(kGainField, gain);
    }
    RecordResult result = records_.WriteExtendedConfigInfo(false, false);
    if (!result.ok()) {
        config_.SetRecord(RecordSlot::Extended, extended_before);
        return result;
    }
    const LaneModel sent = restart ? LaneModel() : model;
    const std::string record = edited || restart ? SideFireRecordWith(config_.side_fire(), sent)
                                                 : config_.side_fire().substr(0, kSfAlgorithmInfoLength);
    result = SendSideFire(record);
    if (!result.ok()) {
        return result;
    }
    std::string side_fire = config_.side_fire();
    side_fire.replace(0, kSfAlgorithmInfoLength, record);
    config_.SetRecord(RecordSlot::SideFire, side_fire);
    return restart ? result : SaveToFlash();
}

RecordResult LaneConfiguration::SendSideFire(const std::string& record) {
    std::string reply;
    const TransactionResult sent = context_.protocol.SendSensorCommand(
        LaneRequest(cmd::kSetSfAlgorithmInfo, record + ComputeFrameChecksum(record) + "\r"), reply);
    if (sent != TransactionResult::Ok) {
        return RecordFailed(sent);
    }
    return IsRefusal(cmd::kSetSfAlgorithmInfo, reply) ? RecordResult{RecordOutcome::Refused} : RecordResult{};
}

RecordResult LaneConfiguration::SaveToFlash() {
    sleep_ms(kSaveDelayMs);
    std::string reply;
    const TransactionResult sent =
        context_.protocol.SendSensorCommand(LaneRequest(cmd::kSaveConfig, "\r"), reply);
    if (sent != TransactionResult::Ok) {
        return RecordFailed(sent);
    }
    return IsRefusal(cmd::kSaveConfig, reply) ? RecordResult{RecordOutcome::Refused} : RecordResult{};
}

RecordResult LaneConfiguration::SetConfigMode(const std::string& payload) {
    std::string reply;
    const TransactionResult sent =
        context_.protocol.SendSensorCommand(LaneRequest(cmd::kSetConfigMode, payload), reply);
    if (sent != TransactionResult::Ok) {
        return RecordFailed(sent);
    }
    return IsRefusal(cmd::kSetConfigMode, reply) ? RecordResult{RecordOutcome::Refused} : RecordResult{};
}

std::optional<LaneModel> LaneConfiguration::RereadPicture() {
    // A failed read empties the slot; the record read before is still what a send starts from.
    const std::string before = config_.side_fire();
    if (!records_.ReadSfAlgorithmInfo(false).ok()) {
        config_.SetRecord(RecordSlot::SideFire, before);
        return std::nullopt;
    }
    return SensorModel();
}

}  // namespace qvx
