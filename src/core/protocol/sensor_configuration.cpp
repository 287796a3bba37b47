#include "protocol/sensor_configuration.h"

#include <algorithm>
#include <array>

namespace qvx {

namespace {

constexpr std::array<FieldSpan, 16> kConfigFields = {{
    {0, 16},    // serial number
    {16, 15},   // modem IP address
    {31, 15},   // data collector IP address
    {46, 10},   // data packet script name
    {56, 6},    // configuration packet script name
    {62, 4},    // RTMS ID
    {66, 4},    // multi-drop ID
    {70, 6},    // packet variable name
    {76, 2},    // orientation
    {78, 32},   // location
    {110, 32},  // description
    {142, 8},   // interval length
    {150, 1},   // flags
    {151, 4},   // port baud codes
    {155, 4},   // DACR
    {159, 8},   // lane directions
}};

constexpr std::array<std::uint32_t, 8> kBaudByCode = {9600,   19200,  38400,  57600,
                                                      115200, 230400, 460800, 921600};

}  // namespace

std::optional<FieldSpan> ConfigFieldSpan(int id) {
    if (id < 0 || id >= static_cast<int>(kConfigFields.size())) {
        return std::nullopt;
    }
    return kConfigFields[static_cast<std::size_t>(id)];
}

std::optional<FieldSpan> ExtendedFieldSpan(int id) {
    if (id == 18) {
        return FieldSpan{0, 1};
    }
    if (id >= 19 && id <= 26) {
        return FieldSpan{1 + 8 * static_cast<std::size_t>(id - 19), 8};
    }
    if (id == 27) {
        return FieldSpan{65, 2};
    }
    if (id >= 28 && id <= 31) {
        return FieldSpan{67 + 5 * static_cast<std::size_t>(id - 28), 5};
    }
    return std::nullopt;
}

std::optional<FieldSpan> CollectionFieldSpan(int id) {
    if (id < 163 || id > 222) {
        return std::nullopt;
    }
    return FieldSpan{4 * static_cast<std::size_t>(id - 163), 4};
}

std::optional<FieldSpan> SideFireFieldSpan(int id) {
    switch (id) {
        case 15:
            return FieldSpan{96, 8};
        case 16:
            return FieldSpan{0, 80};
        case 17:
            return FieldSpan{80, 16};
        default:
            break;
    }
    if (id >= 223 && id <= 246) {
        return FieldSpan{4 * static_cast<std::size_t>(id - 223), 4};
    }
    if (id >= 247 && id <= 262) {
        return FieldSpan{kSfAlgorithmInfoLength + 4 * static_cast<std::size_t>(id - 247), 4};
    }
    return std::nullopt;
}

std::optional<FieldSpan> ForwardFireFieldSpan(int id) {
    if (id >= 32 && id <= 39) {
        return FieldSpan{4 + 8 * static_cast<std::size_t>(id - 32), 4};
    }
    if (id >= 40 && id <= 47) {
        return FieldSpan{8 + 8 * static_cast<std::size_t>(id - 40), 4};
    }
    if (id >= 48 && id <= 162) {
        return FieldSpan{68 + 4 * static_cast<std::size_t>(id - 48), 4};
    }
    return std::nullopt;
}

std::uint32_t BaudForCode(char code) {
    if (code < '0' || code > '7') {
        return 0;
    }
    return kBaudByCode[static_cast<std::size_t>(code - '0')];
}

std::optional<char> CodeForBaud(std::uint32_t bps) {
    const auto it = std::find(kBaudByCode.begin(), kBaudByCode.end(), bps);
    if (it == kBaudByCode.end()) {
        return std::nullopt;
    }
    return static_cast<char>('0' + (it - kBaudByCode.begin()));
}

int PortIndexFromReply(std::string_view reply) {
    const auto has = [reply](std::string_view name) { return reply.find(name) != std::string_view::npos; };
    if (has("RS-232")) {
        return port_index::kRs232;
    }
    if (has("RS-485")) {
        return port_index::kRs485;
    }
    // The sensor names expansion ports without the hyphen; the hyphenated form is accepted too.
    if (has("EXPA") || has("EXP-A")) {
        return port_index::kExpansionA;
    }
    if (has("EXPB") || has("EXP-B")) {
        return port_index::kExpansionB;
    }
    return port_index::kUnknown;
}

std::string ReadField(std::string_view record, const std::optional<FieldSpan>& span) {
    if (!span || record.size() < span->pos + span->width) {
        return std::string();
    }
    return std::string(record.substr(span->pos, span->width));
}

bool WriteField(std::string& record, const std::optional<FieldSpan>& span, std::string_view text) {
    if (!span || record.size() < span->pos + span->width) {
        return false;
    }
    const std::size_t count = std::min(text.size(), span->width);
    record.replace(span->pos, count, text.substr(0, count));
    return true;
}

const std::string& SensorConfiguration::record(RecordSlot which) const {
    return const_cast<SensorConfiguration*>(this)->slot(which);
}

std::string& SensorConfiguration::slot(RecordSlot which) {
    switch (which) {
        case RecordSlot::Config:
            return config_;
        case RecordSlot::Extended:
            return extended_;
        case RecordSlot::Collection:
            return collection_;
        case RecordSlot::SideFire:
            return side_fire_;
        case RecordSlot::ForwardFire:
            break;
    }
    return forward_fire_;
}

void SensorConfiguration::SetRecord(RecordSlot which, std::string text) {
    slot(which) = std::move(text);
    if (which == RecordSlot::SideFire) {
        RebuildLaneMap();
    }
}

bool SensorConfiguration::HasRecord(RecordSlot which) const {
    static constexpr std::size_t kLengths[] = {kConfigInfoLength, kExtendedConfigInfoLength,
                                               kCollectionConfigInfoLength, kSideFireLength,
                                               kForwardFireLength};
    return record(which).size() >= kLengths[static_cast<int>(which)];
}

std::string SensorConfiguration::GetConfigField(int id) const {
    return ReadField(config_, ConfigFieldSpan(id));
}
bool SensorConfiguration::SetConfigField(int id, std::string_view text) {
    return WriteField(config_, ConfigFieldSpan(id), text);
}
std::string SensorConfiguration::GetExtendedField(int id) const {
    return ReadField(extended_, ExtendedFieldSpan(id));
}
bool SensorConfiguration::SetExtendedField(int id, std::string_view text) {
    return WriteField(extended_, ExtendedFieldSpan(id), text);
}
std::string SensorConfiguration::GetCollectionField(int id) const {
    return ReadField(collection_, CollectionFieldSpan(id));
}
bool SensorConfiguration::SetCollectionField(int id, std::string_view text) {
    return WriteField(collection_, CollectionFieldSpan(id), text);
}
std::string SensorConfiguration::GetSideFireField(int id) const {
    return ReadField(side_fire_, SideFireFieldSpan(id));
}
bool SensorConfiguration::SetSideFireField(int id, std::string_view text) {
    if (!WriteField(side_fire_, SideFireFieldSpan(id), text)) {
        return false;
    }
    RebuildLaneMap();
    return true;
}
std::string SensorConfiguration::GetForwardFireField(int id) const {
    return ReadField(forward_fire_, ForwardFireFieldSpan(id));
}
bool SensorConfiguration::SetForwardFireField(int id, std::string_view text) {
    return WriteField(forward_fire_, ForwardFireFieldSpan(id), text);
}

bool SensorConfiguration::SetLaneMap(const LaneMap& map) {
    if (!ApplyLaneMap(side_fire_, map)) {
        return false;
    }
    RebuildLaneMap();
    return true;
}

void SensorConfiguration::SetConnectionPort(std::string_view sh_reply) {
    SetConnectionPortIndex(PortIndexFromReply(sh_reply));
}

void SensorConfiguration::SetConnectionPortIndex(int index) {
    port_.index = index;
    port_.baud = ConnectionPortBaud();
}

std::uint32_t SensorConfiguration::ConnectionPortBaud() const {
    const std::string codes = GetConfigField(config_field::kPortBaudCodes);
    if (port_.index < 0 || codes.size() <= static_cast<std::size_t>(port_.index)) {
        return 0;
    }
    return BaudForCode(codes[static_cast<std::size_t>(port_.index)]);
}

}  // namespace qvx
