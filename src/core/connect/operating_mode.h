#pragma once
// What the connected sensor is: side-fire or forward-fire (from its version text), and whether it
// still configures its lanes by itself (its configuration mode).

#include <string_view>

namespace qvx {

class SensorProtocol;
class ProgressReporter;

// ReadConfigMode's answers: the sensor's mode character '0', '1', '2' as 1, 2, 3; -1 when the
// command failed; 0 when no reply decided.
namespace config_mode {
inline constexpr int kUndecided = 0;
inline constexpr int kFailed = -1;
inline constexpr int kAutoConfiguring = 1;  // mode '0': the sensor is still configuring its lanes
inline constexpr int kConfigured = 2;       // mode '1'
inline constexpr int kManual = 3;           // mode '2'
}  // namespace config_mode

// The answer of one "Get config mode" reply: a config_mode value, or kUndecided for a reply that
// does not start with '0', '1' or '2'.
int ConfigModeFromReply(std::string_view reply);

// Sends "Get version" and sets side_fire_mode. When the sensor does not answer, the user is asked.
// Returns true for side-fire.
bool DetectOperatingMode(SensorProtocol& protocol, ProgressReporter& progress);

// Asks "Get config mode" up to 10 times until a reply decides; a failed command gives kFailed.
int ReadConfigMode(SensorProtocol& protocol, ProgressReporter& progress);

}  // namespace qvx
