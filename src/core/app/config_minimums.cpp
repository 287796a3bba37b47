#include "app/config_minimums.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

#include "protocol/frame.h"
#include "protocol/refusal.h"
#include "protocol/sensor_configuration.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction.h"

namespace qvx {

namespace {
constexpr int kSaveDelayMs = 500;
constexpr int kSuccessCloseMs = 2000;

constexpr std::size_t kExtendedLimitPos = 66;
constexpr char kExtendedLimit = '4';
constexpr std::size_t kRangeFieldA = 4;
constexpr std::size_t kRangeFieldB = 12;
constexpr unsigned kShortRangeA = 16;
constexpr unsigned kShortRangeB = 36;
constexpr std::size_t kNoiseFieldsRaised = 8;
constexpr unsigned kNoiseFloor = 6;
constexpr unsigned kShortRangeNoiseFloor = 16;
constexpr std::size_t kCollectionFieldPos = 236;
constexpr unsigned kCollectionMinimum = 0x0C;

std::optional<unsigned> ParseHex(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string Hex(unsigned value, int digits) {
    char text[12];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// Raises the 4-hex-digit field at pos to floor; a field that is not hex is left as the sensor has it.
bool RaiseHexField(std::string& record, std::size_t pos, unsigned floor) {
    const auto value = ParseHex(std::string_view(record).substr(pos, 4));
    if (!value || *value >= floor)
        return false;
    record.replace(pos, 4, Hex(floor, 4));
    return true;
}

class MinimumsRun {
  public:
    explicit MinimumsRun(SensorProtocol& protocol) : protocol_(protocol) {}

    bool Read(const char* code, std::size_t length, int retries, bool reconnect, std::string& record) {
        return protocol_.SendSensorCommand({.code = code,
                                            .payload = "\r",
                                            .on_error = ErrorPolicy::Report,
                                            .retries = retries,
                                            .link_recovery = reconnect},
                                           record) == TransactionResult::Ok &&
               record.size() == length;
    }

    bool Write(const char* code, const std::string& record, bool reconnect) {
        std::string payload = record + ComputeFrameChecksum(record) + "\r";
        std::string reply;
        const bool written = protocol_.SendSensorCommand({.code = code,
                                                          .payload = payload,
                                                          .on_error = ErrorPolicy::Report,
                                                          .retries = 1,
                                                          .link_recovery = reconnect},
                                                         reply) == TransactionResult::Ok &&
                             !IsRefusal(code, reply);
        changed_ = changed_ || written;
        return written;
    }

    void Extended() {
        std::string record;
        if (Read(cmd::kGetExtendedConfigInfo, kExtendedConfigInfoLength, 1, true, record) &&
            LimitExtendedRecord(record)) {
            Write(cmd::kSetExtendedConfigInfo, record, false);
        }
    }

    // True when the noise record was read and, when it needed raising, written.
    bool Noise() {
        std::string algorithm;
        const bool short_range = Read(cmd::kGetSfAlgorithmInfo, kSfAlgorithmInfoLength, 1, true, algorithm) &&
                                 IsShortRange(algorithm);
        std::string noise;
        if (!Read(cmd::kGetSfAlgorithmNoiseInfo, kSfAlgorithmNoiseInfoLength, 1, true, noise))
            return false;
        return !RaiseNoiseRecord(noise, short_range) || Write(cmd::kSetSfAlgorithmNoiseInfo, noise, true);
    }

    bool Collection() {
        std::string record;
        // Older sensors do not know the collection record: one try, no recovery.
        if (!Read(cmd::kGetCollectionConfigInfo, kCollectionConfigInfoLength, 0, false, record))
            return false;
        return !RaiseCollectionRecord(record) || Write(cmd::kSetCollectionConfigInfo, record, true);
    }

    bool changed() const { return changed_; }

  private:
    SensorProtocol& protocol_;
    bool changed_ = false;
};
}  // namespace

bool LimitExtendedRecord(std::string& extended) {
    if (extended.size() <= kExtendedLimitPos || extended[kExtendedLimitPos] <= kExtendedLimit)
        return false;
    extended[kExtendedLimitPos] = kExtendedLimit;
    return true;
}

bool IsShortRange(const std::string& sf_algorithm) {
    if (sf_algorithm.size() < kRangeFieldB + 4)
        return false;
    const auto a = ParseHex(std::string_view(sf_algorithm).substr(kRangeFieldA, 4));
    const auto b = ParseHex(std::string_view(sf_algorithm).substr(kRangeFieldB, 4));
    return a && b && *a <= kShortRangeA && *b <= kShortRangeB;
}

bool RaiseNoiseRecord(std::string& noise, bool short_range) {
    if (noise.size() < kNoiseFieldsRaised * 4)
        return false;
    bool changed = false;
    for (std::size_t field = 0; field < kNoiseFieldsRaised; ++field)
        changed |= RaiseHexField(noise, field * 4, kNoiseFloor);
    if (short_range)
        changed |= RaiseHexField(noise, 4, kShortRangeNoiseFloor);
    return changed;
}

bool RaiseCollectionRecord(std::string& collection) {
    if (collection.size() < kCollectionFieldPos + 4)
        return false;
    const std::string original = collection.substr(kCollectionFieldPos, 4);
    // An erased field reads "FFFF" and means nothing set yet.
    const std::string field = original == "FFFF" ? "0000" : original;
    const unsigned low = ParseHex(std::string_view(field).substr(2, 2)).value_or(0);
    const std::string updated =
        "FF" + (low < kCollectionMinimum ? Hex(kCollectionMinimum, 2) : field.substr(2, 2));
    if (updated == original)
        return false;
    collection.replace(kCollectionFieldPos, 4, updated);
    return true;
}

MinimumsResult EnforceMinimums(SensorProtocol& protocol, SensorOperations& operations,
                               const std::function<void(int ms)>& sleep_ms) {
    MinimumsRun run(protocol);
    run.Extended();
    const bool complete = run.Noise() && run.Collection();
    MinimumsResult result;
    result.changed = run.changed();
    if (!result.changed || !complete)
        return result;

    operations.BeginSensorOperation();
    sleep_ms(kSaveDelayMs);
    std::string reply;
    const SensorRequest save{.code = cmd::kSaveConfig,
                             .payload = "\r",
                             .on_error = ErrorPolicy::Report,
                             .retries = 1,
                             .link_recovery = true};
    // A sensor that answers "Failure" kept its old settings in flash.
    result.saved = protocol.SendSensorCommand(save, reply) == TransactionResult::Ok &&
                   !IsRefusal(cmd::kSaveConfig, reply);
    if (result.saved) {
        MessageRequest request;
        request.caption = "Success";
        request.text = "Sensor minimum standards enforced and saved!";
        request.icon = IconKind::Information;
        request.auto_close_ms = kSuccessCloseMs;
        protocol.prompts().Message(request);
    }
    operations.EndSensorOperation();
    return result;
}

}  // namespace qvx
