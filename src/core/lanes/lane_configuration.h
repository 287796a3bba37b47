#pragma once
// The lane configuration's dealings with the sensor, without a window: the configuration mode
// (is the sensor still finding its lanes by itself?), the records the cross-section comes from,
// sending an edited cross-section (extended record, side-fire record, flash save), restarting
// the automatic configuration with or without range blinders, and switching to manual mode.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lanes/lane_model.h"
#include "protocol/record_io.h"
#include "protocol/sensor_configuration.h"

namespace qvx {

class AppContext;
class ProgressReporter;

namespace lane_text {
inline constexpr const char* kQueryingSettings = "Orbek - querying sensor settings...";
inline constexpr const char* kQueryingLanes = "Orbek - querying lane configuration...";
inline constexpr const char* kQueryingLaneNumbers = "Orbek - querying lane numbers...";
inline constexpr const char* kAutomaticMode = "Orbek - Automatic configuration mode.";
inline constexpr const char* kManualMode = "Orbek - Manual configuration mode.";
inline constexpr const char* kGainPrefix = "  Sensor's current gain value: ";
inline constexpr const char* kPleaseWait = "Please wait...";
inline constexpr const char* kSendingUpdate = "Sending update...please wait...";
inline constexpr const char* kRestarting = "Restarting the sensor's automatic\nconfiguration routine...";
inline constexpr const char* kSaved = "Sensor configuration settings saved!";
inline constexpr const char* kRestartFailed =
    "An error occurred restarting the automatic configuration routine.";
inline constexpr const char* kSaveFailed = "An error occurred saving configuration.";
inline constexpr const char* kRestartQuestion =
    "Restarting will delete the current configuration.  Are you sure you want to restart?";
inline constexpr const char* kRestartQuestionCaption = "Are you sure?...";
inline constexpr const char* kSwitchingToSkelda = "Configuration saved...switching to Skelda...";
inline constexpr const char* kUnsavedQuestion =
    "You haven't saved the sensor's configuration.  Are sure you want to exit?";
}  // namespace lane_text

enum class LaneMode { Automatic, Manual };

// The window's mode for a ReadConfigMode answer: '0' automatic, '1' or '2' manual; nullopt when
// the query failed or no reply decided.
std::optional<LaneMode> LaneModeFromConfigMode(int config_mode);

// "Orbek - Manual configuration mode.  Sensor's current gain value: 3".
std::string LaneStatusText(LaneMode mode, const std::string& gain);

// "SD" payloads: switching to manual adjustments, and restarting the automatic configuration,
// which names the blinders when they are in use ("0" + low + high + enabled flag + CR).
inline constexpr const char* kManualModePayload = "2\r";
std::string RestartModePayload(const BlinderSettings& blinders);

// The side-fire record's lane fields as numbers: the bins of the first 20 dividers, edges and
// centres in bin order, and at each road's closing edge the 0-based number of its last lane
// (-1 for an empty entry).
struct LaneMarkers {
    std::array<int, kLaneMarkers> markers;
    std::array<int, kMaxLaneGroups> last_lanes;
};
LaneMarkers MarkersOf(const LaneModel& model);

// The 104 characters "S2" sends: record (at least 104 characters) with its first 24 fields and
// lane letters taken from model. Empty when the record is too short.
std::string SideFireRecordWith(const std::string& record, const LaneModel& model);

enum class LaneSend { Update, Save, Restart };

class LaneConfiguration {
  public:
    static constexpr int kConfigModeAttempts = 10;
    static constexpr int kSaveDelayMs = 500;

    explicit LaneConfiguration(AppContext& context);

    // ReadConfigMode: "S6" up to 10 times.
    int QueryConfigMode(ProgressReporter& progress);
    // "S0", "S01", "S3" and "S3N", then "SH", into the configuration's own copy; lane names,
    // units and lane count reach the connection state.
    RecordResult ReadSettings();
    // The cross-section of the last side-fire read.
    LaneModel SensorModel() const;
    // The gain: field 27 of the extended record.
    std::string Gain() const;
    // Lane names 1..8 (fields 19..26, 8 characters each): sent with the next Send.
    std::vector<std::string> LaneNames() const;
    void SetLaneNames(const std::vector<std::string>& names);

    // Sends the model: "S11", then "S2" (with the model's lane fields when edited, and always
    // when restarting) and, unless restarting, after 500 ms "SE". A restart sends an empty road
    // and the gain given. The model is not changed; the records are only on success.
    RecordResult Send(const LaneModel& model, bool edited, LaneSend kind, const std::string& gain);
    // "SD" with payload.
    RecordResult SetConfigMode(const std::string& payload);
    // Re-reads "S3": the picture the sensor holds now, or nullopt when the read failed.
    std::optional<LaneModel> RereadPicture();

    const SensorConfiguration& configuration() const { return config_; }
    // Pauses between steps; tests replace it to run without waiting.
    std::function<void(int ms)> sleep_ms;

  private:
    RecordResult SendSideFire(const std::string& record);
    RecordResult SaveToFlash();

    AppContext& context_;
    SensorConfiguration config_;
    RecordIo records_;
};

}  // namespace qvx
