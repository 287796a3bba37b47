#include "protocol/record_io.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "protocol/frame.h"
#include "protocol/transaction.h"

namespace qvx {

struct RecordPart {
    const char* read_code;
    const char* write_code;
    std::size_t offset;
    std::size_t length;
};

namespace {

constexpr int kShowDialog = 10;
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

// A write the sensor answered with a status word other than success.
bool IsRefusal(std::string_view reply) {
    return Contains(reply, "Failure") || Contains(reply, "Invalid");
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

bool RecordIo::ReadRecord(const char* code, std::size_t length, int retries, bool reconnect,
                          std::string& out) {
    std::string reply;
    // A status word ("Failure", "Invalid") is a valid frame but no record: the length tells.
    if (protocol_.SendSensorCommand(code, "\r", reply, kShowDialog, retries, reconnect, 0) != kOk ||
        reply.size() != length) {
        return false;
    }
    out = std::move(reply);
    return true;
}

int RecordIo::ReadConfigInfo() {
    std::string record;
    const bool ok = ReadRecord(cmd::kGetConfigInfo, kConfigInfoLength, 1, true, record);
    configuration_.SetRecord(RecordSlot::Config, ok ? record : std::string());
    return ok ? 1 : 0;
}

int RecordIo::ReadExtendedConfigInfo() {
    std::string record;
    const bool ok = ReadRecord(cmd::kGetExtendedConfigInfo, kExtendedConfigInfoLength, 1, true, record);
    configuration_.SetRecord(RecordSlot::Extended, ok ? record : std::string());
    if (!ok) {
        return 0;
    }
    ConnectionState& connection = state();
    for (int lane = 0; lane < kMaxLanes; ++lane) {
        connection.lane_names[lane] = configuration_.GetExtendedField(kFirstLaneNameField + lane);
    }
    const char units = record[0] == 'E' ? 'E' : 'M';
    configuration_.set_units(units);
    connection.units = units;
    return 1;
}

int RecordIo::ReadCollectionConfigInfo() {
    std::string record;
    // The collection read is the one that may fail on older sensors: no retry, no reconnect.
    const bool ok = ReadRecord(cmd::kGetCollectionConfigInfo, kCollectionConfigInfoLength, 0, false, record);
    configuration_.SetRecord(RecordSlot::Collection, ok ? record : std::string());
    return ok ? 1 : 0;
}

int RecordIo::ReadSfAlgorithmInfo(bool with_noise) {
    return ReadRecordParts(RecordSlot::SideFire, kSideFireParts, with_noise ? 2 : 1, kSideFireLength);
}

int RecordIo::ReadFfAlgorithmInfo(bool all) {
    const std::size_t parts = all ? std::size(kForwardFireParts) : 1;
    return ReadRecordParts(RecordSlot::ForwardFire, kForwardFireParts, parts, kForwardFireLength);
}

int RecordIo::ReadRecordParts(RecordSlot slot, const RecordPart* parts, std::size_t part_count,
                              std::size_t full_length) {
    const std::string previous = configuration_.record(slot);
    std::string text;
    for (std::size_t k = 0; k < part_count; ++k) {
        std::string part;
        if (!ReadRecord(parts[k].read_code, parts[k].length, 1, true, part)) {
            configuration_.ClearRecord(slot);
            return 0;
        }
        text += part;
    }
    configuration_.SetRecord(slot, KeepTail(text, previous, full_length));
    return 1;
}

int RecordIo::ReadConnectionPort() {
    std::string reply;
    if (protocol_.SendSensorCommand(cmd::kGetConnectionPort, "\r", reply, kShowDialog, 1, true, 0) != kOk) {
        configuration_.SetConnectionPortIndex(port_index::kUnknown);
        return 0;
    }
    configuration_.SetConnectionPort(reply);
    return configuration_.connection_port().index == port_index::kUnknown ? 0 : 1;
}

int RecordIo::ReadSensorConfiguration(unsigned flags) {
    using namespace read_flag;
    if ((flags & kConfig) && !ReadConfigInfo()) {
        return 0;
    }
    if ((flags & kExtended) && !ReadExtendedConfigInfo()) {
        return 0;
    }
    if ((flags & kCollection) && !ReadCollectionConfigInfo()) {
        return 0;
    }
    if ((flags & kSideFire) && !ReadSfAlgorithmInfo((flags & kSideFireNoise) != 0)) {
        return 0;
    }
    if ((flags & kForwardFire) && !ReadFfAlgorithmInfo((flags & kForwardFireAll) != 0)) {
        return 0;
    }
    return ReadConnectionPort();
}

int RecordIo::SendRecord(const char* code, std::string_view record, int retries, bool reconnect,
                         std::string& reply) {
    std::string payload(record);
    payload += ComputeFrameChecksum(record);
    payload += '\r';
    const int result = protocol_.SendSensorCommand(code, payload, reply, kShowDialog, retries, reconnect, 0);
    if (result != kOk) {
        return result;
    }
    return IsRefusal(reply) ? 0 : kOk;
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

int RecordIo::FinishWrite(bool save_to_flash, bool confirm) {
    if (!save_to_flash) {
        return kOk;
    }
    sleep_ms(kSaveDelayMs);
    std::string reply;
    const int result = protocol_.SendSensorCommand(cmd::kSaveConfig, "\r", reply, kShowDialog, 1, true, 0);
    if (result != kOk) {
        return result;
    }
    if (IsRefusal(reply)) {
        return 0;
    }
    if (confirm) {
        Message(kSavedText, "Success", IconKind::Information, 2000);
    }
    return kOk;
}

int RecordIo::WriteExtendedConfigInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::Extended)) {
        return 0;
    }
    std::string reply;
    // No reconnect: the extended write is sent while a lane configuration is being changed, and
    // a re-opened link would run the latency calibration in the middle of it.
    const std::string_view record(configuration_.extended().data(), kExtendedConfigInfoLength);
    const int result = SendRecord(cmd::kSetExtendedConfigInfo, record, 1, false, reply);
    return result == kOk ? FinishWrite(save_to_flash, confirm) : result;
}

int RecordIo::WriteCollectionConfigInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::Collection)) {
        return 0;
    }
    const std::string_view record(configuration_.collection().data(), kCollectionConfigInfoLength);
    const std::string options = configuration_.GetCollectionField(kCommunicationRegisterField);
    std::string reply;
    const int result = SendRecord(cmd::kSetCollectionConfigInfo, record, 1, true, reply);
    if (result != kOk) {
        return result;
    }
    // Any protocol digit but '1' puts the sensor on a multi-drop network from now on, so every
    // following frame (the flash save included) must carry the address prefix.
    if (options.size() == 4 && options[3] != '1') {
        state().multidrop_enable_next = true;
    }
    return FinishWrite(save_to_flash, confirm);
}

int RecordIo::WriteSfAlgorithmInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::SideFire)) {
        return 0;
    }
    configuration_.SetLaneMap(configuration_.lane_map());
    const std::string text = configuration_.side_fire();
    std::string reply;
    for (const RecordPart& part : kSideFireParts) {
        const int result = SendRecord(
            part.write_code, std::string_view(text).substr(part.offset, part.length), 1, true, reply);
        if (result != kOk) {
            return result;
        }
    }
    return FinishWrite(save_to_flash, confirm);
}

int RecordIo::WriteFfAlgorithmInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::ForwardFire)) {
        return 0;
    }
    const std::string text = configuration_.forward_fire();
    sleep_ms(kForwardFireDelayMs);
    std::string reply;
    // The second part is sent once more at the end: the sensor applies it only after the
    // parts that follow it have arrived.
    for (const std::size_t k : {0u, 1u, 2u, 3u, 2u}) {
        const RecordPart& part = kForwardFireParts[k];
        const int result = SendRecord(
            part.write_code, std::string_view(text).substr(part.offset, part.length), 1, true, reply);
        if (result != kOk) {
            return result;
        }
    }
    return FinishWrite(save_to_flash, confirm);
}

int RecordIo::ApplySerialGuard(std::string& record) {
    std::string sensor_record;
    const int result =
        protocol_.SendSensorCommand(cmd::kGetConfigInfo, "\r", sensor_record, kShowDialog, 1, true, 0);
    if (result != kOk) {
        return result;
    }
    // Without the sensor's serial number the guard cannot hold: write nothing.
    if (sensor_record.size() != kConfigInfoLength) {
        return 0;
    }
    const std::string sensor_serial = sensor_record.substr(0, kSerialNumberLength);
    if (sensor_serial == record.substr(0, kSerialNumberLength)) {
        return kOk;
    }
    if (engineering_unlocked) {
        Message(Describe("The sensor's original serial number\n%s\nwill be overwritten.", sensor_serial),
                "Warning", IconKind::Warning);
    } else {
        record.replace(0, kSerialNumberLength, sensor_serial);
        Message(Describe("The sensor's original serial number\n%s\nwill be preserved.", sensor_serial),
                "Information", IconKind::Information);
    }
    return kOk;
}

int RecordIo::Ping() {
    std::string reply;
    return protocol_.SendSensorCommand(cmd::kPing, "123\r", reply, 0, 0, false, 0);
}

RecordIo::RateOutcome RecordIo::ConfirmRateChange(std::uint32_t old_rate, std::uint32_t new_rate) {
    ConnectionState& connection = state();
    for (int attempt = 0; attempt < kRatePingAttempts; ++attempt) {
        sleep_ms(kRatePingDelayMs);
        connection.pending_baud = new_rate;
        if (Ping() == kOk) {
            return RateOutcome::NewRate;
        }
    }
    for (int attempt = 0; attempt < kRatePingAttempts; ++attempt) {
        connection.pending_baud = old_rate;
        if (Ping() == kOk) {
            return RateOutcome::OldRate;
        }
    }
    return RateOutcome::Unknown;
}

int RecordIo::WriteConfigInfo(bool save_to_flash, bool confirm) {
    if (!configuration_.HasRecord(RecordSlot::Config)) {
        return 0;
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

    const int guard = ApplySerialGuard(record);
    if (guard != kOk) {
        return guard;
    }
    std::string reply;
    int result = SendRecord(cmd::kSetConfigInfo, record, 0, true, reply);
    if (Contains(reply, "Suc")) {
        state().pending_baud = new_rate;
    } else if (new_rate != old_rate) {
        // The sensor may have switched before its reply got through: look for it at both rates.
        switch (ConfirmRateChange(old_rate, new_rate)) {
            case RateOutcome::NewRate:
                result = kOk;
                break;
            case RateOutcome::OldRate: {
                char text[160];
                std::snprintf(text, sizeof text,
                              "The baud rate was NOT succesfully changed\r\nfrom %u bps to %u bps", old_rate,
                              new_rate);
                Message(text, "Error", IconKind::Error);
                return result == kOk ? 0 : result;
            }
            case RateOutcome::Unknown:
                Message("The program will exit...\r\nReconnect and redetect the baud rate...",
                        "Baud rate unknown...", IconKind::Error);
                return kBaudRateUnknown;
        }
    }
    return result == kOk ? FinishWrite(save_to_flash, confirm) : result;
}

}  // namespace qvx
