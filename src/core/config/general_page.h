#pragma once
// The "General" settings page: identity, description, orientation, units, RF channel, replay.
// Show copies record fields into the page's controls; collect copies them back.

#include <array>
#include <optional>
#include <string>

namespace qvx {

class SensorConfiguration;
class UserPrompts;

inline constexpr std::array<const char*, 8> kOrientationNames = {"North", "Northeast", "East", "Southeast",
                                                                 "South", "Southwest", "West", "Northwest"};
inline constexpr std::array<const char*, 8> kOrientationCodes = {"NN", "NE", "EE", "SE",
                                                                 "SS", "SW", "WW", "NW"};
inline constexpr std::array<const char*, 2> kUnitNames = {"English", "Metric"};
inline constexpr std::array<const char*, 2> kReplayNames = {"Disabled", "Enabled"};
inline constexpr int kRfChannelCount = 4;

struct GeneralPageModel {
    std::string serial_number;
    std::string multidrop_id;
    std::string rtms_id;
    std::string description;
    std::string location;
    int orientation = -1;  // index into kOrientationNames; -1: nothing selected
    int units = 0;         // 0 English, 1 Metric
    int rf_channel = 0;
    int replay = 0;  // 0 Disabled, 1 Enabled
};

// A message a field check shows, with its caption.
struct PageMessage {
    std::string caption;
    std::string text;
};

GeneralPageModel ShowGeneralPage(const SensorConfiguration& config);
// Copies the controls to the records; the entries are corrected as they are stored (padding,
// defaults) and shown back. An RTMS ID of 13 is refused with a warning and becomes 0. Returns the
// unit character now in the extended record.
char CollectGeneralPage(GeneralPageModel& page, SensorConfiguration& config, UserPrompts& prompts);
// The unit character a "Measurement Units" choice stands for.
char UnitsOfChoice(int units_choice);

// Checks as the user leaves a field, and filters while typing.
std::optional<PageMessage> LeaveSerialNumber(std::string& text);
void LeaveMultiDropId(std::string& text, const SensorConfiguration& config);
std::string FilterMultiDropIdTyping(std::string_view text);
void LeaveRtmsId(std::string& text);
std::string FilterRtmsIdTyping(std::string_view text);
void LeaveDescription(std::string& text);

}  // namespace qvx
