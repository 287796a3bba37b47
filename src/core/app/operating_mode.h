#pragma once
// What the connected sensor is: side-fire or forward-fire (from its version text), and whether it
// still configures its lanes by itself (its configuration mode).

#include <string_view>

namespace qvx {

class SensorProtocol;
class ProgressReporter;

// The answer of one "Get config mode" reply: a config_mode value, or kUndecided for a reply that
// does not start with '0', '1' or '2'.
int ConfigModeFromReply(std::string_view reply);

// Sends "Get version" and sets side_fire_mode. When the sensor does not answer, the user is asked.
// Returns true for side-fire.
bool DetectOperatingMode(SensorProtocol& protocol, ProgressReporter& progress);

// Asks "Get config mode" up to 10 times until a reply decides; a failed command gives kFailed.
int ReadConfigMode(SensorProtocol& protocol, ProgressReporter& progress);

}  // namespace qvx
