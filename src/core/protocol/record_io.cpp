#include "protocol/record_io.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "protocol/frame.h"
#include "protocol/refusal.h"
#include "protocol/transaction.h"

namespace qvx {

struct RecordPart {
    const char* read_code;
    const char* write_code;
    std::size_t offset;
    std::size_t length;
};

namespace {

constexpr int kSaveDelayMs = 500;
constexpr int kForwardFireDelayMs = 200;
constexpr int kRatePingDelayMs = 2000;
constexpr int kRatePingAttempts = 2;
constexpr std::size_t kSerialNumberLength = 16;

constexpr const char* kSavedText = "Sensor configuration settings saved!";

constexpr RecordPart kSideFireParts[] = {
    {"S3", "S2", 0, kSfAlgorithmInfoLength},
    {"S3N", "S2N", kSfAlgorithmInfoLength, kSfAlgorithmNoiseInfoLength},
};

constexpr RecordPart kForwardFireParts[] = {
    {"SG0", "SF0", 0, kFfAlgorithmInfo0Length},
    {"SG1", "SF1", 200, kFfAlgorithmInfoPartLength},
    {"SG2", "SF2", 440, kFfAlgorithmInfoPartLength},
    {"SG3", "SF3", 680, kFfAlgorithmInfoPartLength},
};

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

constexpr RecordResult kRecordOk{};

// Every record command reports a failed exchange and may retry; only some may re-open the link.
SensorRequest RecordRequest(const char* code, std::string payload, int retries, bool reconnect) {
    return {.code = code,
            .payload = std::move(payload),
            .on_error = ErrorPolicy::Report,
            .retries = retries,
            .link_recovery = reconnect};
}

std::string Describe(const char* format, const std::string& value) {
    char text[256];
    std::snprintf(text, sizeof text, format, value.c_str());
    return text;
}

// The record to keep when only its head was read: the head followed by the previous record's
// tail, when the previous record was complete.
std::string KeepTail(const std::string& head, const std::string& previous, std::size_t full_length) {
    if (previous.size() >= full_length) {
        return head + previous.substr(head.size(), full_length - head.size());
    }
    return head;
}

}  // namespace

RecordIo::RecordIo(SensorProtocol& protocol, SensorConfiguration& configuration)
    : sleep_ms([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      protocol_(protocol),
      configuration_(configuration) {}

ConnectionState& RecordIo::state() {
    return protocol_.state();
}

RecordResult RecordIo::ReadRecord(const char* code, std::size_t length, int retries, bool reconnect,
                                  std::string& out) {
    std::string reply;
    const TransactionResult result =
        protocol_.SendSensorCommand(RecordRequest(code, "\r", retries, reconnect), reply);
    if (result != TransactionResult::Ok) {
        return RecordFailed(result);
    }
    // A status word ("Failure", "Invalid") is a valid frame but no record: the length tells.
    if (reply.size() != length) {
        return {IsRefusal(code, reply) ? RecordOutcome::Refused : RecordOutcome::Malformed};
    }
    out = std::move(reply);
    return kRecordOk;
}

RecordResult RecordIo::ReadConfigInfo() {
    std::string record;
    const RecordResult result = ReadRecord(cmd::kGetConfigInfo, kConfigInfoLength, 1, true, record);
    configuration_.SetRecord(RecordSlot::Config, result.ok() ? record : std::string());
    return result;
}

RecordResult RecordIo::ReadExtendedConfigInfo() {
    std::string record;
    const RecordResult result =
        ReadRecord(cmd::kGetExtendedConfigInfo, kExtendedConfigInfoLength, 1, true, record);
    configuration_.SetRecord(RecordSlot::Extended, result.ok() ? record : std::string());
    if (!result.ok()) {
        return result;
    }
    ConnectionState& connection = state();
    for (int lane = 0; lane < kMaxLanes; ++lane) {
        connection.lane_names[lane] = configuration_.GetExtendedField(kFirstLaneNameField + lane);
    }
    const char units = record[0] == 'E' ? 'E' : 'M';
    configuration_.set_units(units);
    connection.units = units;
    return kRecordOk;
}

RecordResult RecordIo::ReadCollectionConfigInfo() {
    std::string record;
    // The collection read is the one that may fail on older sensors: no retry, no reconnect.
    const RecordResult result =
        ReadRecord(cmd::kGetCollectionConfigInfo, kCollectionConfigInfoLength, 0, false, record);
    configuration_.SetRecord(RecordSlot::Collection, result.ok() ? record : std::string());
    return result;
}

RecordResult RecordIo::ReadSfAlgorithmInfo(bool with_noise) {
    return ReadRecordParts(RecordSlot::SideFire, kSideFireParts, with_noise ? 2 : 1, kSideFireLength);
}

RecordResult RecordIo::ReadFfAlgorithmInfo(bool all) {
    const std::size_t parts = all ? std::size(kForwardFireParts) : 1;
    return ReadRecordParts(RecordSlot::ForwardFire, kForwardFireParts, parts, kForwardFireLength);
}

RecordResult RecordIo::ReadRecordParts(RecordSlot slot, const RecordPart* parts, std::size_t part_count,
                                       std::size_t full_length) {
    const std::string previous = configuration_.record(slot);
    std::string text;
    for (std::size_t k = 0; k < part_count; ++k) {
        std::string part;
        const RecordResult result = ReadRecord(parts[k].read_code, parts[k].length, 1, true, part);
        if (!result.ok()) {
            configuration_.ClearRecord(slot);
            return result;
        }
        text += part;
    }
    configuration_.SetRecord(slot, KeepTail(text, previous, full_length));
    return kRecordOk;
}

RecordResult RecordIo::ReadConnectionPort() {
    std::string reply;
    const TransactionResult result =
        protocol_.SendSensorCommand(RecordRequest(cmd::kGetConnectionPort, "\r", 1, true), reply);
    if (result != TransactionResult::Ok) {
        configuration_.SetConnectionPortIndex(port_index::kUnknown);
        return RecordFailed(result);
    }
    configuration_.SetConnectionPort(reply);
    if (configuration_.connection_port().index == port_index::kUnknown) {
        return {RecordOutcome::Malformed};
    }
    return kRecordOk;
}

RecordResult RecordIo::ReadSensorConfiguration(unsigned flags) {
    using namespace read_flag;
    const std::pair<unsigned, std::function<RecordResult()>> reads[] = {
        {kConfig, [this] { return ReadConfigInfo(); }},
        {kExtended, [this] { return ReadExtendedConfigInfo(); }},
        {kCollection, [this] { return ReadCollectionConfigInfo(); }},
        {kSideFire, [this, flags] { return ReadSfAlgorithmInfo((flags & kSideFireNoise) != 0); }},
        {kForwardFire, [this, flags] { return ReadFfAlgorithmInfo((flags & kForwardFireAll) != 0); }},
    };
    for (const auto& [flag, read] : reads) {
        if ((flags & flag) == 0) {
            continue;
        }
        if (const RecordResult result = read(); !result.ok()) {
            return result;
        }
    }
    return ReadConnectionPort();
}

RecordResult RecordIo::SendRecord(const char* code, std::string_view record, int retries, bool reconnect,
                                  std::string& reply) {
    std::string payload(record);
    payload += ComputeFrameChecksum(record);
    payload += '\r';
    const TransactionResult result =
        protocol_.SendSensorCommand(RecordRequest(code, std::move(payload), retries, reconnect), reply);
    if (result != TransactionResult::Ok) {
        return RecordFailed(result);
    }
    return IsRefusal(code, reply) ? RecordResult{RecordOutcome::Refused} : kRecordOk;
}

void RecordIo::Message(const std::string& text, const std::string& caption, IconKind icon,
                       int auto_close_ms) {
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    request.auto_close_ms = auto_close_ms;
    protocol_.prompts().Message(request);
}

RecordResult RecordIo::FinishWrite(bool save_to_flash, bool confirm) {
    if (!save_to_flash) {
        return kRecordOk;
    }
    sleep_ms(kSaveDelayMs);
    std::string reply;
    const TransactionResult result =
        protocol_.SendSensorCommand(RecordRequest(cmd::kSaveConfig, "\r", 1, true), reply);
    if (result != TransactionResult::Ok) {
        return RecordFailed(result);
    }
    if (IsRefusal(cmd::kSaveConfig, reply)) {
        return {RecordOutcome::Refused};
    }
    if (confirm) {
        Message(kSavedText, "Success", IconKind::Information, 2000);
    }
    return kRecordOk;
}

RecordResult RecordIo::WriteExtendedConfigInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::Extended)) {
        return {RecordOutcome::NotLoaded};
    }
    std::string reply;
    // No reconnect: the extended write is sent while a lane configuration is being changed, and
    // a re-opened link would run the latency calibration in the middle of it.
    const std::string_view record(configuration_.extended().data(), kExtendedConfigInfoLength);
    const RecordResult result = SendRecord(cmd::kSetExtendedConfigInfo, record, 1, false, reply);
    return result.ok() ? FinishWrite(save_to_flash, confirm) : result;
}

RecordResult RecordIo::WriteCollectionConfigInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::Collection)) {
        return {RecordOutcome::NotLoaded};
    }
    const std::string_view record(configuration_.collection().data(), kCollectionConfigInfoLength);
    const std::string options = configuration_.GetCollectionField(kCommunicationRegisterField);
    std::string reply;
    const RecordResult result = SendRecord(cmd::kSetCollectionConfigInfo, record, 1, true, reply);
    if (!result.ok()) {
        return result;
    }
    // Any protocol digit but '1' puts the sensor on a multi-drop network from now on, so every
    // following frame (the flash save included) must carry the address prefix.
    if (options.size() == 4 && options[3] != '1') {
        state().multidrop_enable_next = true;
    }
    return FinishWrite(save_to_flash, confirm);
}

RecordResult RecordIo::WriteSfAlgorithmInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::SideFire)) {
        return {RecordOutcome::NotLoaded};
    }
    configuration_.SetLaneMap(configuration_.lane_map());
    const std::string text = configuration_.side_fire();
    std::string reply;
    for (const RecordPart& part : kSideFireParts) {
        const RecordResult result = SendRecord(
            part.write_code, std::string_view(text).substr(part.offset, part.length), 1, true, reply);
        if (!result.ok()) {
            return result;
        }
    }
    return FinishWrite(save_to_flash, confirm);
}

RecordResult RecordIo::WriteFfAlgorithmInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::ForwardFire)) {
        return {RecordOutcome::NotLoaded};
    }
    const std::string text = configuration_.forward_fire();
    sleep_ms(kForwardFireDelayMs);
    std::string reply;
    // The second part is sent once more at the end: the sensor applies it only after the
    // parts that follow it have arrived.
    for (const std::size_t k : {0u, 1u, 2u, 3u, 2u}) {
        const RecordPart& part = kForwardFireParts[k];
        const RecordResult result = SendRecord(
            part.write_code, std::string_view(text).substr(part.offset, part.length), 1, true, reply);
        if (!result.ok()) {
            return result;
        }
    }
    return FinishWrite(save_to_flash, confirm);
}

RecordResult RecordIo::ApplySerialGuard(std::string& record) {
    std::string sensor_record;
    // Without the sensor's serial number the guard cannot hold: write nothing.
    const RecordResult read = ReadRecord(cmd::kGetConfigInfo, kConfigInfoLength, 1, true, sensor_record);
    if (!read.ok()) {
        return read;
    }
    const std::string sensor_serial = sensor_record.substr(0, kSerialNumberLength);
    if (sensor_serial == record.substr(0, kSerialNumberLength)) {
        return kRecordOk;
    }
    if (engineering_unlocked) {
        Message(Describe("The sensor's original serial number\n%s\nwill be overwritten.", sensor_serial),
                "Warning", IconKind::Warning);
    } else {
        record.replace(0, kSerialNumberLength, sensor_serial);
        Message(Describe("The sensor's original serial number\n%s\nwill be preserved.", sensor_serial),
                "Information", IconKind::Information);
    }
    return kRecordOk;
}

bool RecordIo::Ping() {
    std::string reply;
    return protocol_.SendSensorCommand({.code = cmd::kPing, .payload = "123\r"}, reply) ==
           TransactionResult::Ok;
}

RecordIo::RateOutcome RecordIo::ConfirmRateChange(std::uint32_t old_rate, std::uint32_t new_rate) {
    ConnectionState& connection = state();
    for (int attempt = 0; attempt < kRatePingAttempts; ++attempt) {
        sleep_ms(kRatePingDelayMs);
        connection.pending_baud = new_rate;
        if (Ping()) {
            return RateOutcome::NewRate;
        }
    }
    for (int attempt = 0; attempt < kRatePingAttempts; ++attempt) {
        connection.pending_baud = old_rate;
        if (Ping()) {
            return RateOutcome::OldRate;
        }
    }
    return RateOutcome::Unknown;
}

RecordResult RecordIo::WriteConfigInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::Config)) {
        return {RecordOutcome::NotLoaded};
    }
    std::string record = configuration_.config().substr(0, kConfigInfoLength);
    const std::uint32_t old_rate = state().current_baud;
    std::uint32_t new_rate = old_rate;
    const int port = configuration_.connection_port().index;
    if (port != port_index::kUnknown) {
        const std::string codes = ReadField(record, ConfigFieldSpan(config_field::kPortBaudCodes));
        const auto index = static_cast<std::size_t>(port);
        const std::uint32_t rate = port >= 0 && index < codes.size() ? BaudForCode(codes[index]) : 0;
        new_rate = rate != 0 ? rate : old_rate;
    }

    const RecordResult guard = ApplySerialGuard(record);
    if (!guard.ok()) {
        return guard;
    }
    std::string reply;
    RecordResult result = SendRecord(cmd::kSetConfigInfo, record, 0, true, reply);
    if (Contains(reply, "Suc")) {
        state().pending_baud = new_rate;
    } else if (new_rate != old_rate) {
        // The sensor may have switched before its reply got through: look for it at both rates.
        switch (ConfirmRateChange(old_rate, new_rate)) {
            case RateOutcome::NewRate:
                result = kRecordOk;
                break;
            case RateOutcome::OldRate: {
                char text[160];
                std::snprintf(text, sizeof text,
                              "The baud rate was NOT succesfully changed\r\nfrom %u bps to %u bps", old_rate,
                              new_rate);
                Message(text, "Error", IconKind::Error);
                return result.ok() ? RecordResult{RecordOutcome::RateNotConfirmed} : result;
            }
            case RateOutcome::Unknown:
                Message("The program will exit...\r\nReconnect and redetect the baud rate...",
                        "Baud rate unknown...", IconKind::Error);
                return {RecordOutcome::RateUnknown};
        }
    }
    return result.ok() ? FinishWrite(save_to_flash, confirm) : result;
}

}  // namespace qvx
