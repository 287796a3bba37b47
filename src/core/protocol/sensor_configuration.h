#pragma once
// The configuration records of one sensor (or one settings file), kept as the raw text the
// sensor sent, with access to single fields by the program's field ids.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/lane_map.h"

namespace qvx {

// Record lengths on the wire.
inline constexpr std::size_t kConfigInfoLength = 167;
inline constexpr std::size_t kExtendedConfigInfoLength = 87;
inline constexpr std::size_t kCollectionConfigInfoLength = 240;
inline constexpr std::size_t kSfAlgorithmInfoLength = 104;
inline constexpr std::size_t kSfAlgorithmNoiseInfoLength = 64;
inline constexpr std::size_t kSideFireLength = kSfAlgorithmInfoLength + kSfAlgorithmNoiseInfoLength;
inline constexpr std::size_t kFfAlgorithmInfo0Length = 200;
inline constexpr std::size_t kFfAlgorithmInfoPartLength = 240;  // SG1..SG3
inline constexpr std::size_t kForwardFireLength = kFfAlgorithmInfo0Length + 3 * kFfAlgorithmInfoPartLength;

enum class RecordSlot { Config, Extended, Collection, SideFire, ForwardFire };

struct FieldSpan {
    std::size_t pos;
    std::size_t width;
};

// Field positions by id; nullopt for an id the record does not have.
std::optional<FieldSpan> ConfigFieldSpan(int id);       // 0-15
std::optional<FieldSpan> ExtendedFieldSpan(int id);     // 18-31
std::optional<FieldSpan> CollectionFieldSpan(int id);   // 163-222
std::optional<FieldSpan> SideFireFieldSpan(int id);     // 15-17, 223-262
std::optional<FieldSpan> ForwardFireFieldSpan(int id);  // 32-162

// ConfigInfo field ids the procedures use by name.
namespace config_field {
inline constexpr int kSerialNumber = 0;
inline constexpr int kIntervalSeconds = 11;
inline constexpr int kFlags = 12;
inline constexpr int kPortBaudCodes = 13;
inline constexpr int kLaneDirections = 15;
}  // namespace config_field

inline constexpr int kExtendedUnitsField = 18;
inline constexpr int kFirstLaneNameField = 19;
inline constexpr int kCommunicationRegisterField = 215;

// Baud code digits of ConfigInfo field 13: '0' 9600 ... '7' 921600. 0 / nullopt when unknown.
std::uint32_t BaudForCode(char code);
std::optional<char> CodeForBaud(std::uint32_t bps);

// Port indexes inside field 13, and the port named by an "SH" reply.
namespace port_index {
inline constexpr int kUnknown = -1;
inline constexpr int kExpansionA = 0;
inline constexpr int kRs232 = 1;
inline constexpr int kExpansionB = 2;
inline constexpr int kRs485 = 3;
}  // namespace port_index
// "RS-232" 1, "RS-485" 3, "EXPA"/"EXP-A" 0, "EXPB"/"EXP-B" 2, anything else -1.
int PortIndexFromReply(std::string_view reply);

struct ConnectionPort {
    int index = port_index::kUnknown;
    std::uint32_t baud = 0;  // from field 13 at index; 0 when unknown
};

class SensorConfiguration {
  public:
    SensorConfiguration() = default;

    const std::string& record(RecordSlot slot) const;
    // Stores text as received; storing the side-fire record rebuilds the lane map.
    void SetRecord(RecordSlot slot, std::string text);
    void ClearRecord(RecordSlot slot) { SetRecord(slot, std::string()); }
    // True when the slot holds at least the record's full length.
    bool HasRecord(RecordSlot slot) const;

    const std::string& config() const { return config_; }
    const std::string& extended() const { return extended_; }
    const std::string& collection() const { return collection_; }
    const std::string& side_fire() const { return side_fire_; }
    const std::string& forward_fire() const { return forward_fire_; }

    // Get: the field's text, empty for an unknown id or a record that ends before the field.
    // Set: overwrites the field's positions with the first characters of text. A shorter text
    // overwrites only its own length (callers pad to the field's width as the page requires); an
    // unknown id or a record too short for the field changes nothing. Returns whether it wrote.
    std::string GetConfigField(int id) const;
    bool SetConfigField(int id, std::string_view text);
    std::string GetExtendedField(int id) const;
    bool SetExtendedField(int id, std::string_view text);
    std::string GetCollectionField(int id) const;
    bool SetCollectionField(int id, std::string_view text);
    std::string GetSideFireField(int id) const;
    bool SetSideFireField(int id, std::string_view text);  // rebuilds the lane map
    std::string GetForwardFireField(int id) const;
    bool SetForwardFireField(int id, std::string_view text);

    // The lane map derived from the side-fire record. Setting it regenerates the record's lane
    // fields at once, so map and record never disagree.
    const LaneMap& lane_map() const { return lane_map_; }
    bool SetLaneMap(const LaneMap& map);
    int lane_count() const { return lane_map_.lane_count; }

    const ConnectionPort& connection_port() const { return port_; }
    // Takes the port from an "SH" reply and its rate from field 13 of the config record.
    void SetConnectionPort(std::string_view sh_reply);
    void SetConnectionPortIndex(int index);
    // The rate the config record gives the connection port; 0 when the port or code is unknown.
    std::uint32_t ConnectionPortBaud() const;

    char units() const { return units_; }
    void set_units(char units) { units_ = units; }

  private:
    std::string& slot(RecordSlot slot);
    void RebuildLaneMap() { lane_map_ = BuildLaneMap(side_fire_); }

    std::string config_;
    std::string extended_;
    std::string collection_;
    std::string side_fire_;
    std::string forward_fire_;
    LaneMap lane_map_;
    ConnectionPort port_;
    char units_ = 'E';
};

// The field's text from record, or empty when the record ends before it.
std::string ReadField(std::string_view record, const std::optional<FieldSpan>& span);
// Overwrites the field's positions with the first characters of text; false when nothing written.
bool WriteField(std::string& record, const std::optional<FieldSpan>& span, std::string_view text);

}  // namespace qvx
