#include "simulated_sensor.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "sensor_command_table.h"
#include "sim_tools.h"

namespace qvx::sim {

namespace {

constexpr std::uint32_t kUnixSecondsAt2000 = 946684800;
constexpr std::size_t kIdLength = 4;
constexpr std::size_t kChecksumLength = 4;
constexpr std::size_t kMaxPingLength = 36;
constexpr std::size_t kCollectionProtocolChar = 211;  // fourth character of field 215
constexpr auto kEventCatchUpLimit = std::chrono::minutes(10);

const char* const kSuccess = "Success";
const char* const kFailure = "Failure";
const char* const kInvalid = "Invalid";
const char* const kEmpty = "Empty";
const char* const kNoLanes = "No lanes";

// Writes the firewall protects; every one of them may answer "Failure".
const std::unordered_set<std::string>& GuardedWrites() {
    static const std::unordered_set<std::string> codes = {
        "S1",        "S11", "S12", "S2",  "S2N", "S20", "S4", "S7",  "SD", "SE",
        "SF0",       "SF1", "SF2", "SF3", "SI",  "SK",  "XE", "XEE", "XF", "X2",
        "D0Default", "D1",  "D3",  "D5",  "D8",  "F0",  "F1", "F3",  "F6"};
    return codes;
}

// The payload length of each record write: the record and its checksum. Lets "S1" + a record that
// happens to begin with '1' be told apart from "S11".
std::size_t WritePayloadLength(std::string_view code) {
    static const std::unordered_map<std::string_view, std::size_t> lengths = {
        {"S1", kConfigInfoLength},  {"S11", kExtendedConfigLength}, {"S12", kCollectionConfigLength},
        {"S2", kSfAlgorithmLength}, {"S2N", kSfNoiseLength},        {"S20", kSfOccupancyLength},
        {"SF0", kFfPart0Length},    {"SF1", kFfPartLength},         {"SF2", kFfPartLength},
        {"SF3", kFfPartLength}};
    const auto it = lengths.find(code);
    return it == lengths.end() ? 0 : it->second + kChecksumLength;
}

struct ParsedRequest {
    const SensorCommand* command = nullptr;
    std::string code;
    std::string_view payload;
};

// The longest known code the text starts with; record writes must also have their length.
ParsedRequest ParseRequest(std::string_view text) {
    for (bool check_length : {true, false}) {
        ParsedRequest best;
        for (const SensorCommand& command : SensorCommands()) {
            const std::string_view code = command.request;
            if (!text.starts_with(code) || code.size() <= best.code.size()) {
                continue;
            }
            const std::size_t expected = WritePayloadLength(code);
            if (check_length && expected != 0 && text.size() - code.size() != expected) {
                continue;
            }
            best = {&command, std::string(code), text.substr(code.size())};
        }
        if (best.command != nullptr) {
            return best;
        }
    }
    return {};
}

bool IsBaudCodes(std::string_view text) {
    return text.size() >= 4 &&
           std::all_of(text.begin(), text.begin() + 4, [](char c) { return c >= '0' && c <= '7'; });
}

std::string PortName(SensorPort port) {
    switch (port) {
        case SensorPort::ExpansionA:
            return "EXPA";
        case SensorPort::ExpansionB:
            return "EXPB";
        case SensorPort::Rs485:
            return "RS-485";
        case SensorPort::Rs232:
        default:
            return "RS-232";
    }
}

std::string HexFiller(std::uint32_t seed, std::uint64_t salt, std::size_t length) {
    std::string text;
    while (text.size() < length) {
        text += Hex(Mix(seed, salt + text.size()), 8);
    }
    text.resize(length);
    return text;
}

}  // namespace

SimulatedSensor::SimulatedSensor(SensorSettings settings)
    : settings_(std::move(settings)),
      traffic_(settings_.seed, settings_.units),
      firmware_(settings_.firmware_faults, std::chrono::milliseconds(settings_.restart_ms)) {
    seed_.id = PadRight(settings_.id, kIdLength);
    seed_.seed = settings_.seed;
    seed_.lanes = std::clamp(settings_.lanes, 0, kMaxLanes);
    seed_.units = settings_.units;
    seed_.interval_seconds = std::max<std::uint32_t>(1, settings_.interval_seconds);
    seed_.multi_drop_network = settings_.multi_drop_network;
    seed_.port = settings_.port;
    seed_.baud = settings_.baud;
    seed_.push_types = settings_.push_types;
    traffic_.set_rough(settings_.rough);
    traffic_.set_vehicles_per_hour(settings_.vehicles_per_hour);
    ResetToDefaults();
    if (!settings_.version_text.empty()) {
        version_ = PadRight(settings_.version_text, kVersionLength);
    } else {
        VersionParts parts = settings_.version;
        if (settings_.forward_fire && !parts.amm.empty()) {
            parts.amm[0] = 'F';
        }
        version_ = BuildVersionText(parts);
    }
    config_mode_ = settings_.config_mode;
    if (config_mode_ == '0') {
        auto_config_since_ = SteadyNowLocked();  // a sensor started unconfigured is configuring
    }
    for (const auto& [kind, record] : settings_.records) {
        StoreRecordLocked(kind, record);
    }
    SaveRecords();

    std::int64_t start = settings_.clock_start ? static_cast<std::int64_t>(*settings_.clock_start)
                                               : std::chrono::duration_cast<std::chrono::seconds>(
                                                     std::chrono::system_clock::now().time_since_epoch())
                                                         .count() -
                                                     kUnixSecondsAt2000 + settings_.clock_offset_seconds;
    SetSensorSecondsLocked(static_cast<std::uint32_t>(std::clamp<std::int64_t>(start, 0, 0xFFFFFFFFll)));
    FillStoredHistoryLocked();
    StoreHistoryLocked();
    started_ = SteadyNowLocked();
}

// The intervals completed before the sensor was switched on: the newest ones in each buffer.
void SimulatedSensor::FillStoredHistoryLocked() {
    const bool flash_storage =
        static_cast<unsigned char>(config_[config_pos::kFlags]) & flag_bit::kFlashStorage;
    const int flash_count = settings_.flash_records.value_or(flash_storage ? settings_.history_records : 0);
    const int sram_count = settings_.sram_records.value_or(settings_.history_records);
    const std::uint64_t last_end = next_interval_end_ - interval_seconds_;
    for (int back = std::max(flash_count, sram_count) - 1; back >= 0; --back) {
        const std::uint64_t span = static_cast<std::uint64_t>(back) * interval_seconds_;
        if (span >= last_end || lanes_ == 0) {
            continue;
        }
        latest_ =
            traffic_.IntervalRecord(static_cast<std::uint32_t>(last_end - span), interval_seconds_, lanes_);
        if (back < flash_count && flash_.size() < kFlashCapacity) {
            flash_.push_back(latest_);
        }
        if (back < sram_count && sram_.size() < kSramCapacity) {
            sram_.push_back(latest_);
        }
    }
}

void SimulatedSensor::ResetToDefaults() {
    // Keeps the sensor reachable: its ID and port rates survive a reset to defaults.
    const bool keep_line = !config_.empty();
    const std::string id = keep_line ? config_.substr(config_pos::kMultiDropId, kIdLength) : "";
    const std::string baud_codes = keep_line ? config_.substr(config_pos::kBaudCodes, 4) : "";
    config_ = BuildConfigInfo(seed_);
    if (keep_line) {
        config_.replace(config_pos::kMultiDropId, kIdLength, id);
        config_.replace(config_pos::kBaudCodes, 4, baud_codes);
    }
    extended_ = BuildExtendedConfigInfo(seed_);
    collection_ = BuildCollectionConfigInfo(seed_);
    sf_algorithm_ = BuildSfAlgorithmInfo(seed_);
    sf_noise_ = BuildSfNoiseInfo(seed_);
    sf_occupancy_ = BuildSfOccupancyInfo(seed_);
    for (int part = 0; part < 4; ++part) {
        ff_[part] = BuildFfAlgorithmInfo(seed_, part);
    }
    lanes_ = LaneCountOfSfAlgorithm(sf_algorithm_);
    traffic_.set_units(extended_[0] == 'E' ? 'E' : 'M');
    interval_seconds_ = seed_.interval_seconds;
    ApplyConfigInfo();
}

void SimulatedSensor::ApplyConfigInfo() {
    id_ = config_.substr(config_pos::kMultiDropId, kIdLength);
    std::uint32_t interval = 0;
    if (ParseHex(std::string_view(config_).substr(config_pos::kIntervalLength, 8), interval) &&
        interval > 0 && interval != interval_seconds_) {
        interval_seconds_ = interval;
        next_interval_end_ = (SensorMillisLocked() / 1000 / interval + 1) * interval;
    }
}

// ---------------------------------------------------------------------------------------------
// Frames

SensorReply SimulatedSensor::HandleFrame(std::string_view frame) {
    std::lock_guard lock(mutex_);
    SensorReply reply;
    reply.line_rate = LineRateLocked();
    if (firmware_.Restarting(SteadyNowLocked())) {
        return reply;  // restarting after "D0": nothing answers
    }
    std::string prefix;
    std::string_view request = frame;
    if (frame.size() >= 2 + kIdLength && frame.starts_with("Z0")) {
        if (frame.substr(2, kIdLength) != id_) {
            return reply;
        }
        prefix = "Z0" + id_;
        request = frame.substr(2 + kIdLength);
    } else if (!frame.starts_with("B") && !AnswersBareFrames()) {
        return reply;  // on a multi-drop network only addressed frames are answered
    }
    const ParsedRequest parsed = ParseRequest(request);
    if (parsed.command == nullptr) {
        return reply;
    }
    CatchUpLocked();
    const Answer answer = Dispatch(parsed.code, parsed.payload);
    if (answer.kind == Answer::Kind::Stream) {
        reply.stream_bytes = answer.stream_bytes;
        reply.stream_seed = settings_.seed;
        return reply;
    }
    if (answer.kind == Answer::Kind::Silent) {
        return reply;
    }
    const SensorCommand& row = *parsed.command;
    if (parsed.code.starts_with("B")) {
        prefix.clear();  // discovery replies never carry the prefix
    }
    reply.silent = false;
    if (parsed.code == "B0") {
        reply.discovery_position = DiscoveryPosition(parsed.payload);
    }
    reply.text = prefix + std::string(row.reply) + answer.text;
    if (answer.kind == Answer::Kind::Data && row.checksummed) {
        reply.text += SensorChecksum(answer.text);
    }
    reply.text += '\r';
    return reply;
}

// Where in a poll's reply window the sensor answers: a draw from its ID and the slot, so two
// sensors that collide in one slot rarely collide again in the next.
int SimulatedSensor::DiscoveryPosition(std::string_view slot) const {
    std::uint64_t id_value = 0;
    for (char c : id_) {
        id_value = id_value << 8 | static_cast<unsigned char>(c);
    }
    return static_cast<int>(Mix(static_cast<std::uint32_t>(id_value), 0xB0000u + slot.back()) %
                            kDiscoveryPositions);
}

bool SimulatedSensor::AnswersBareFrames() const {
    return collection_[kCollectionProtocolChar] == '1';
}

SimulatedSensor::Answer SimulatedSensor::Dispatch(const std::string& code, std::string_view payload) {
    if (protected_ && settings_.firewall && GuardedWrites().contains(code)) {
        return Status(kFailure);
    }
    CurrentConfigModeLocked();  // the automatic configuration settles in time, asked or not
    const auto& handlers = Handlers();
    const auto it = handlers.find(code);
    if (it == handlers.end()) {
        return Silent();
    }
    return it->second(*this, payload);
}

const std::unordered_map<std::string, SimulatedSensor::Handler>& SimulatedSensor::Handlers() {
    using S = SimulatedSensor;
    using P = std::string_view;
    auto read = [](RecordKind kind) { return [kind](S& s, P) { return Data(s.RecordRef(kind)); }; };
    auto write = [](RecordKind kind) { return [kind](S& s, P p) { return s.WriteRecord(kind, p); }; };
    auto start_push = [](S& s, P) {
        s.push_mode_ = true;
        return Silent();
    };
    auto start_push_with_reply = [](S& s, P) {
        s.push_mode_ = true;
        return Status(kSuccess);
    };
    auto success = [](S&, P) { return Status(kSuccess); };
    auto reset = [](S& s, P) {
        s.firmware_.Restart(s.SteadyNowLocked(), s.version_);
        s.RestoreSavedRecords();
        s.protected_ = true;
        s.push_mode_ = true;
        return Silent();
    };
    auto loader = [](FirmwareAnswer (FirmwareLoader::*step)(FirmwarePart, std::string_view),
                     FirmwarePart part) {
        return [step, part](S& s, P p) {
            const FirmwareAnswer answer = (s.firmware_.*step)(part, p);
            return answer.status ? Status(answer.text) : Data(answer.text);
        };
    };
    auto loader_step = [](FirmwareAnswer (FirmwareLoader::*step)(FirmwarePart), FirmwarePart part) {
        return [step, part](S& s, P) {
            const FirmwareAnswer answer = (s.firmware_.*step)(part);
            return answer.status ? Status(answer.text) : Data(answer.text);
        };
    };
    constexpr FirmwarePart kDsp = FirmwarePart::Dsp;
    constexpr FirmwarePart kFpga = FirmwarePart::Fpga;
    auto filler = [](std::size_t length, std::uint64_t salt) {
        return [length, salt](S& s, P) { return Data(HexFiller(s.settings_.seed, salt, length)); };
    };
    auto pll_write = [](int reg) { return [reg](S& s, P p) { return s.WritePll(reg, p); }; };
    auto pll_read = [](int reg) { return [reg](S& s, P) { return Data(Hex(s.pll_[reg], 8)); }; };

    static const std::unordered_map<std::string, Handler> handlers = {
        // Configuration records
        {"S0", read(RecordKind::Config)},
        {"S01", read(RecordKind::Extended)},
        {"S02", read(RecordKind::Collection)},
        {"S3", read(RecordKind::SfAlgorithm)},
        {"S3N", read(RecordKind::SfNoise)},
        {"S30", read(RecordKind::SfOccupancy)},
        {"SG0", read(RecordKind::Ff0)},
        {"SG1", read(RecordKind::Ff1)},
        {"SG2", read(RecordKind::Ff2)},
        {"SG3", read(RecordKind::Ff3)},
        {"S1", write(RecordKind::Config)},
        {"S11", write(RecordKind::Extended)},
        {"S12", write(RecordKind::Collection)},
        {"S2", write(RecordKind::SfAlgorithm)},
        {"S2N", write(RecordKind::SfNoise)},
        {"S20", write(RecordKind::SfOccupancy)},
        {"SF0", write(RecordKind::Ff0)},
        {"SF1", write(RecordKind::Ff1)},
        {"SF2", write(RecordKind::Ff2)},
        {"SF3", write(RecordKind::Ff3)},
        {"SJ", [](S& s, P) { return Data(s.config_); }},
        {"SK", success},
        {"SI", success},
        {"SE",
         [](S& s, P) {
             s.SaveRecords();
             return Status(kSuccess);
         }},
        {"D0Default",
         [](S& s, P) {
             s.ResetToDefaults();
             return Status(kSuccess);
         }},
        // Identity, mode, line, time, firewall
        {"S5", [](S& s, P) { return Data(s.version_); }},
        {"S6", [](S& s, P) { return Data(std::string(1, s.CurrentConfigModeLocked())); }},
        {"SD", [](S& s, P p) { return s.SetConfigMode(p); }},
        {"S7", [](S& s, P p) { return s.SetBaudCodes(p); }},
        {"SH", [](S& s, P) { return Data(PortName(s.settings_.port)); }},
        {"SB",
         [](S& s, P) { return Data(Hex(static_cast<std::uint32_t>(s.SensorMillisLocked() / 1000), 8)); }},
        {"S4", [](S& s, P p) { return s.SetTime(p); }},
        {"S8",
         [](S&, P p) {
             return p.empty() || p.size() > kMaxPingLength ? Status(kFailure) : Data(std::string(p));
         }},
        {"S87C3A9E1B5D2F486",
         [](S& s, P) {
             s.protected_ = false;
             return s.FirewallAnswer(kUnprotectAccess);
         }},
        {"S8468013579246801",
         [](S& s, P) {
             s.protected_ = true;
             return s.FirewallAnswer(kProtectAccess);
         }},
        {"S8B00FF",
         [](S& s, P) {
             s.muted_ = true;
             return Data("B00FF");
         }},
        // Multi-drop discovery
        // Discovery polls slots "00".."03"; a sensor not yet muted answers every one of them.
        {"B0",
         [](S& s, P p) {
             const bool slot = p.size() == 2 && p[0] == '0' && p[1] >= '0' && p[1] <= '3';
             return s.muted_ || !slot ? Silent() : Data(s.id_ + SensorChecksum(s.id_));
         }},
        {"B2",
         [](S& s, P) {
             s.muted_ = false;
             return Silent();
         }},
        // "Broadcast Start Push": every sensor on the line resumes pushing and answers discovery again.
        {"B3",
         [](S& s, P) {
             s.muted_ = false;
             s.push_mode_ = true;
             return Silent();
         }},
        // Push mode
        {"S9", start_push},
        {"SA", start_push},
        {"SC", start_push},
        {"X3", start_push},
        {"X4", start_push},
        {"XB", start_push},
        {"XC", start_push},
        {"D4", start_push},
        {"F2", start_push},
        {"X2", start_push_with_reply},
        {"X7", start_push_with_reply},
        {"X5",
         [](S& s, P) {
             s.push_mode_ = false;
             s.push_frames_.clear();
             return Status(kSuccess);
         }},
        // Traffic data and buffers
        {"X0", [](S& s, P) { return s.LatestInterval(); }},
        {"XD", [](S& s, P p) { return s.IndexedInterval(p); }},
        {"XA", [](S& s, P) { return s.NextEvent(); }},
        {"X1", [](S& s, P) { return Data(Hex(s.ActuationMaskLocked() & 0xFFFF, 4)); }},
        {"XG", [](S& s, P) { return Data(Hex(s.ActuationMaskLocked(), 8)); }},
        {"XE",
         [](S& s, P) {
             s.sram_.clear();
             return Status(kSuccess);
         }},
        {"XEE",
         [](S& s, P) {
             s.events_.clear();
             return Status(kSuccess);
         }},
        {"XF",
         [](S& s, P) {
             s.flash_.clear();
             return Status(kSuccess);
         }},
        {"XH", [](S&, P) { return Silent(); }},
        // Engineering
        {"X6", [](S& s, P p) { return s.ReadMemory(p); }},
        {"X8", [](S& s, P p) { return s.RawDump(p); }},
        {"X9", filler(256, 0x900)},
        {"D0", reset},
        {"F5", reset},
        {"D1", loader(&FirmwareLoader::Packet, kDsp)},
        {"D2", filler(45, 0xD20)},
        {"D3", loader_step(&FirmwareLoader::Ready, kDsp)},
        {"D5", loader(&FirmwareLoader::Announce, kDsp)},
        {"D6", loader_step(&FirmwareLoader::Result, kDsp)},
        {"D7", filler(48, 0xD70)},
        {"D8", [](S&, P) { return Data(""); }},
        {"F0", loader(&FirmwareLoader::Packet, kFpga)},
        {"F1", loader_step(&FirmwareLoader::Ready, kFpga)},
        {"F3", loader(&FirmwareLoader::Announce, kFpga)},
        {"F4", loader_step(&FirmwareLoader::Result, kFpga)},
        {"F6", [](S&, P p) { return Data(PadRight(std::string(p), 14)); }},
        {"F7P0", filler(4, 0xF70)},
        {"P0", pll_write(0)},
        {"P1", pll_read(0)},
        {"P2", pll_write(1)},
        {"P3", pll_read(1)},
        {"P4", pll_write(2)},
        {"P5", pll_read(2)},
    };
    return handlers;
}

// ---------------------------------------------------------------------------------------------
// Configuration

// The firewall commands are answered with the access code echoed behind "S8", or with "S8" alone.
SimulatedSensor::Answer SimulatedSensor::FirewallAnswer(std::string_view access) const {
    return settings_.bare_firewall_reply ? Status("") : Data(std::string(access));
}

std::string& SimulatedSensor::RecordRef(RecordKind kind) {
    return const_cast<std::string&>(static_cast<const SimulatedSensor*>(this)->RecordRef(kind));
}

const std::string& SimulatedSensor::RecordRef(RecordKind kind) const {
    switch (kind) {
        case RecordKind::Config:
            return config_;
        case RecordKind::Extended:
            return extended_;
        case RecordKind::Collection:
            return collection_;
        case RecordKind::SfAlgorithm:
            return sf_algorithm_;
        case RecordKind::SfNoise:
            return sf_noise_;
        case RecordKind::SfOccupancy:
            return sf_occupancy_;
        case RecordKind::Ff0:
            return ff_[0];
        case RecordKind::Ff1:
            return ff_[1];
        case RecordKind::Ff2:
            return ff_[2];
        case RecordKind::Ff3:
        default:
            return ff_[3];
    }
}

void SimulatedSensor::StoreRecordLocked(RecordKind kind, std::string record) {
    RecordRef(kind) = std::move(record);
    switch (kind) {
        case RecordKind::Config:
            ApplyConfigInfo();
            break;
        case RecordKind::Extended:
            traffic_.set_units(extended_[0] == 'E' ? 'E' : 'M');
            break;
        case RecordKind::SfAlgorithm:
            lanes_ = LaneCountOfSfAlgorithm(sf_algorithm_);
            ResetScheduleLocked();
            break;
        default:
            break;
    }
}

SimulatedSensor::Answer SimulatedSensor::WriteRecord(RecordKind kind, std::string_view payload) {
    const std::size_t length = RecordRef(kind).size();
    if (payload.size() != length + kChecksumLength ||
        !SensorChecksumMatches(payload.substr(0, length), payload.substr(length, kChecksumLength))) {
        return Status(kFailure);
    }
    if (kind == RecordKind::SfAlgorithm && !SfLaneFieldsUsable(payload.substr(0, length))) {
        return Status(kFailure);
    }
    StoreRecordLocked(kind, std::string(payload.substr(0, length)));
    return Status(kSuccess);
}

void SimulatedSensor::SaveRecords() {
    saved_records_ = {config_,       extended_, collection_, sf_algorithm_, sf_noise_,
                      sf_occupancy_, ff_[0],    ff_[1],      ff_[2],        ff_[3]};
}

void SimulatedSensor::RestoreSavedRecords() {
    const RecordKind kinds[] = {RecordKind::Config,      RecordKind::Extended, RecordKind::Collection,
                                RecordKind::SfAlgorithm, RecordKind::SfNoise,  RecordKind::SfOccupancy,
                                RecordKind::Ff0,         RecordKind::Ff1,      RecordKind::Ff2,
                                RecordKind::Ff3};
    for (std::size_t i = 0; i < saved_records_.size(); ++i) {
        StoreRecordLocked(kinds[i], saved_records_[i]);
    }
}

SimulatedSensor::Answer SimulatedSensor::SetBaudCodes(std::string_view payload) {
    if (!IsBaudCodes(payload)) {
        return Status(kFailure);
    }
    // The reply goes out at the old rate (captured by HandleFrame); the new one applies after it.
    config_.replace(config_pos::kBaudCodes, 4, payload.substr(0, 4));
    return Status(kSuccess);
}

SimulatedSensor::Answer SimulatedSensor::SetConfigMode(std::string_view payload) {
    const std::optional<ConfigModeRequest> request = ParseConfigModeRequest(payload);
    if (!request) {
        return Status(kFailure);
    }
    config_mode_ = request->mode;
    auto_config_since_.reset();
    if (config_mode_ == '0') {
        // The search starts from an empty road and settles on what it finds (CurrentConfigModeLocked).
        auto_config_since_ = SteadyNowLocked();
        restart_request_ = request;
        StoreRecordLocked(RecordKind::SfAlgorithm, WithoutLanes(sf_algorithm_));
    }
    return Status(kSuccess);
}

char SimulatedSensor::CurrentConfigModeLocked() {
    if (config_mode_ == '0' && auto_config_since_ &&
        SteadyNowLocked() - *auto_config_since_ >= std::chrono::seconds(settings_.auto_config_seconds)) {
        config_mode_ = '1';  // the automatic configuration has found the lanes
        auto_config_since_.reset();
        if (restart_request_) {
            StoreRecordLocked(RecordKind::SfAlgorithm,
                              SettledLanePicture(sf_algorithm_, seed_, *restart_request_));
            restart_request_.reset();
        }
    }
    return config_mode_;
}

SimulatedSensor::Answer SimulatedSensor::SetTime(std::string_view payload) {
    std::uint32_t seconds = 0;
    if (payload.size() < 8 || !ParseHex(payload.substr(0, 8), seconds)) {
        return Status(kFailure);
    }
    SetSensorSecondsLocked(seconds);
    return Status(kSuccess);
}

SimulatedSensor::Answer SimulatedSensor::ReadMemory(std::string_view payload) {
    std::uint32_t lower = 0;
    std::uint32_t upper = 0;
    if (payload.size() != 8 || !ParseHex(payload.substr(0, 4), lower) ||
        !ParseHex(payload.substr(4, 4), upper) || upper < lower) {
        return Status(kFailure);
    }
    // A reply holds at most 4096 characters: a longer range is cut there.
    const std::size_t words = std::min<std::size_t>(upper - lower + 1, kMaxMemoryWords);
    const std::string events = EventListWords(last_vehicle_, vehicle_number_);
    std::string data;
    for (std::uint32_t address = lower; address < lower + words; ++address) {
        if (address >= kEventListBase && address < kEventListBase + kEventListWords) {
            data += events.substr((address - kEventListBase) * 4, 4);
        } else {
            data += Hex(Mix(settings_.seed, 0x10000u + address) & 0xFFFF, 4);
        }
    }
    return Data(data);
}

// The stream only gets through at 921600 bps; at any other rate the sensor stays silent.
SimulatedSensor::Answer SimulatedSensor::RawDump(std::string_view payload) {
    const auto seconds = ParseRawDumpPayload(payload);
    if (!seconds || LineRateLocked() != kRawStreamBaud) {
        return Silent();
    }
    Answer answer;
    answer.kind = Answer::Kind::Stream;
    answer.stream_bytes = RawStreamLength(*seconds);
    return answer;
}

// "00" + 6 hex digits whose control bits name this register; anything else leaves it unchanged.
// The reply is the register as it now stands.
SimulatedSensor::Answer SimulatedSensor::WritePll(int reg, std::string_view payload) {
    std::uint32_t value = 0;
    if (payload.size() == 8 && payload.starts_with("00") && ParseHex(payload, value) &&
        PllValueFitsRegister(reg, value)) {
        pll_[reg] = value;
    }
    return Data(Hex(pll_[reg], 8));
}

// ---------------------------------------------------------------------------------------------
// Clock and traffic

std::uint64_t SimulatedSensor::SensorMillisLocked() const {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - base_time_) + advanced_;
    return static_cast<std::uint64_t>(base_seconds_) * 1000 +
           static_cast<std::uint64_t>(std::max<std::int64_t>(0, elapsed.count()));
}

void SimulatedSensor::SetSensorSecondsLocked(std::uint32_t seconds) {
    base_seconds_ = seconds;
    base_time_ = Clock::now();
    advanced_ = std::chrono::milliseconds(0);
    // A new clock starts a new interval; the time jumped over is not back-filled.
    next_interval_end_ = (static_cast<std::uint64_t>(seconds) / interval_seconds_ + 1) * interval_seconds_;
    ResetScheduleLocked();
}

// Events start from now: the traffic before a new clock or a new lane layout is not reported.
void SimulatedSensor::ResetScheduleLocked() {
    events_until_ms_ = SensorMillisLocked();
    vehicle_number_.assign(static_cast<std::size_t>(lanes_), 0);
    last_vehicle_.assign(static_cast<std::size_t>(lanes_), Vehicle{});
}

// A forward-fire sensor looks along the road and reports its vehicles as lane 1.
int SimulatedSensor::EventLanesLocked() const {
    return settings_.forward_fire ? std::min(lanes_, 1) : lanes_;
}

// The engineering memory's event list shows each lane's vehicle count and its last vehicle.
void SimulatedSensor::NoteVehicleLocked(const Vehicle& vehicle) {
    const auto lane = static_cast<std::size_t>(vehicle.lane);
    if (lane < last_vehicle_.size()) {
        last_vehicle_[lane] = vehicle;
        ++vehicle_number_[lane];
    }
}

void SimulatedSensor::CatchUpLocked() {
    if (settings_.clock_reset_after_seconds > 0 && !clock_was_reset_ &&
        SteadyNowLocked() - started_ >= std::chrono::seconds(settings_.clock_reset_after_seconds)) {
        clock_was_reset_ = true;
        SetSensorSecondsLocked(0);  // as after a power failure that lost the clock
    }
    const std::uint64_t now_ms = SensorMillisLocked();
    const std::uint64_t now = now_ms / 1000;
    const std::uint64_t backlog = static_cast<std::uint64_t>(kFlashCapacity) * interval_seconds_;
    if (now > next_interval_end_ + backlog) {
        next_interval_end_ = now - backlog;
        next_interval_end_ -= next_interval_end_ % interval_seconds_;
    }
    while (next_interval_end_ <= now) {
        CompleteIntervalLocked(next_interval_end_);
        next_interval_end_ += interval_seconds_;
        if (PushesLocked("XD") && !latest_.empty()) {
            PushLocked("XD", latest_);
        }
    }

    const std::uint64_t catch_up_ms = std::chrono::milliseconds(kEventCatchUpLimit).count();
    if (now_ms > events_until_ms_ + catch_up_ms) {
        events_until_ms_ = now_ms - catch_up_ms;  // the queue holds far fewer events anyway
    }
    const bool push_events = PushesLocked("XA");
    for (const Vehicle& vehicle : traffic_.VehiclesLeaving(EventLanesLocked(), events_until_ms_, now_ms)) {
        NoteVehicleLocked(vehicle);
        if (push_events) {
            PushLocked("XA", traffic_.EventRecord(vehicle, settings_.forward_fire));
            continue;  // a pushed event is not kept for "XA"
        }
        events_.push_back(traffic_.EventRecord(vehicle, settings_.forward_fire));
        if (events_.size() > kEventQueueCapacity) {
            events_.pop_front();
            ++events_dropped_;
        }
    }
    events_until_ms_ = std::max(events_until_ms_, now_ms);
}

void SimulatedSensor::CompleteIntervalLocked(std::uint64_t end_time) {
    if (lanes_ == 0) {
        return;
    }
    // The wire time is 32 bits; a clock run past FFFFFFFF wraps as the sensor's counter would.
    latest_ = traffic_.IntervalRecord(static_cast<std::uint32_t>(end_time), interval_seconds_, lanes_);
    StoreIntervalLocked(latest_);
}

const std::deque<std::string>& SimulatedSensor::SelectedBufferLocked() const {
    const unsigned flags = static_cast<unsigned char>(config_[config_pos::kFlags]);
    const bool flash_bit = flags & flag_bit::kReadFlash;
    const bool sram_bit = flags & flag_bit::kReadSram;
    if (flash_bit != sram_bit) {
        return flash_bit ? flash_ : sram_;
    }
    return (flags & (flag_bit::kErrorRecovery | flag_bit::kFlashStorage)) ? flash_ : sram_;
}

SimulatedSensor::Answer SimulatedSensor::IndexedInterval(std::string_view payload) {
    std::uint32_t index = 0;
    if (payload.size() < 4 || !ParseHex(payload.substr(0, 4), index)) {
        return Status(kFailure);
    }
    if (lanes_ == 0) {
        return Status(kNoLanes);
    }
    const std::deque<std::string>& buffer = SelectedBufferLocked();
    if (buffer.empty()) {
        return Status(kEmpty);
    }
    if (index == 0 || index > buffer.size()) {
        return Status(kInvalid);
    }
    return Data(buffer[buffer.size() - index]);
}

SimulatedSensor::Answer SimulatedSensor::LatestInterval() {
    if (lanes_ == 0) {
        return Status(kNoLanes);
    }
    return latest_.empty() ? Status(kEmpty) : Data(latest_);
}

SimulatedSensor::Answer SimulatedSensor::NextEvent() {
    if (events_.empty()) {
        return Status(kEmpty);
    }
    std::string event = std::move(events_.front());
    events_.pop_front();
    const int lane = event.size() > 8 ? event[8] - '1' : -1;
    if (lane >= 0 && lane < kMaxLanes) {
        ++events_served_[static_cast<std::size_t>(lane)];
    }
    return Data(std::move(event));
}

std::vector<std::uint64_t> SimulatedSensor::EventsServed() const {
    std::lock_guard lock(mutex_);
    return events_served_;
}

std::uint64_t SimulatedSensor::EventsDropped() const {
    std::lock_guard lock(mutex_);
    return events_dropped_;
}

std::uint32_t SimulatedSensor::ActuationMaskLocked() const {
    return traffic_.ActuationMask(EventLanesLocked(), SensorMillisLocked());
}

// The push set-ups of the extended record: 5 characters each from position 67, data type (2),
// port ('F' RS-232, 'S' RS-485, 'A' expansion A, 'B' expansion B), 'Y' when enabled.
bool SimulatedSensor::PushesLocked(std::string_view data_type) const {
    constexpr std::size_t kFirstSetup = 67;
    constexpr std::size_t kSetupLength = 5;
    if (!push_mode_) {
        return false;
    }
    const char own_port = PushPortLetter(settings_.port);
    for (std::size_t at = kFirstSetup; at + kSetupLength <= extended_.size(); at += kSetupLength) {
        const std::string_view setup = std::string_view(extended_).substr(at, kSetupLength);
        if (setup.substr(0, 2) == data_type && setup[2] == own_port && setup[3] == 'Y') {
            return true;
        }
    }
    return false;
}

void SimulatedSensor::PushLocked(std::string_view data_type, const std::string& data) {
    const SensorCommand* command = FindSensorCommand(data_type);
    std::string frame = AnswersBareFrames() ? "" : "Z0" + id_;
    frame += std::string(command->reply) + data;
    if (command->checksummed) {
        frame += SensorChecksum(data);
    }
    push_frames_.push_back(frame + '\r');
}

std::vector<std::string> SimulatedSensor::TakePushFrames() {
    std::lock_guard lock(mutex_);
    if (!push_mode_) {
        push_frames_.clear();
        return {};
    }
    CatchUpLocked();
    if (PushesLocked("X1")) {
        const std::uint32_t mask = ActuationMaskLocked() & 0xFFFF;
        if (mask != pushed_actuation_) {
            pushed_actuation_ = mask;
            PushLocked("X1", Hex(mask, 4));
        }
    }
    return std::exchange(push_frames_, {});
}

bool SimulatedSensor::Pushing() const {
    std::lock_guard lock(mutex_);
    return PushesLocked("XD") || PushesLocked("XA") || PushesLocked("X1");
}

std::uint32_t SimulatedSensor::LineRateLocked() const {
    return BaudOfCode(config_[config_pos::kBaudCodes + static_cast<std::size_t>(settings_.port)]);
}

// ---------------------------------------------------------------------------------------------
// Thread-safe accessors

std::string SimulatedSensor::id() const {
    std::lock_guard lock(mutex_);
    return id_;
}

std::uint32_t SimulatedSensor::LineRate() const {
    std::lock_guard lock(mutex_);
    return LineRateLocked();
}

bool SimulatedSensor::muted() const {
    std::lock_guard lock(mutex_);
    return muted_;
}

bool SimulatedSensor::is_protected() const {
    std::lock_guard lock(mutex_);
    return protected_;
}

bool SimulatedSensor::push_mode() const {
    std::lock_guard lock(mutex_);
    return push_mode_;
}

char SimulatedSensor::config_mode() const {
    std::lock_guard lock(mutex_);
    return config_mode_;
}

std::uint32_t SimulatedSensor::SensorSeconds() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::uint32_t>(SensorMillisLocked() / 1000);
}

std::string SimulatedSensor::Record(RecordKind kind) const {
    std::lock_guard lock(mutex_);
    return RecordRef(kind);
}

std::size_t SimulatedSensor::StoredIntervals(IntervalBuffer buffer) const {
    std::lock_guard lock(mutex_);
    return buffer == IntervalBuffer::Flash ? flash_.size() : sram_.size();
}

std::string SimulatedSensor::StoredInterval(IntervalBuffer buffer, std::size_t index) const {
    std::lock_guard lock(mutex_);
    const std::deque<std::string>& records = buffer == IntervalBuffer::Flash ? flash_ : sram_;
    return index == 0 || index > records.size() ? std::string() : records[records.size() - index];
}

int SimulatedSensor::lanes() const {
    std::lock_guard lock(mutex_);
    return lanes_;
}

void SimulatedSensor::AdvanceClock(std::chrono::milliseconds amount) {
    std::lock_guard lock(mutex_);
    advanced_ += amount;
    skipped_ += amount;
    CatchUpLocked();
}

void SimulatedSensor::SetFirewall(bool enabled) {
    std::lock_guard lock(mutex_);
    settings_.firewall = enabled;
}

void SimulatedSensor::SetRecord(RecordKind kind, std::string record) {
    std::lock_guard lock(mutex_);
    StoreRecordLocked(kind, std::move(record));
}

std::string SimulatedSensor::VersionText() const {
    std::lock_guard lock(mutex_);
    return version_;
}

FirmwareLoader SimulatedSensor::Firmware() const {
    std::lock_guard lock(mutex_);
    return firmware_;
}

}  // namespace qvx::sim
