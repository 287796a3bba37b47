#pragma once
// The forward-fire sensor's automatic configuration as the forward-fire event data view shows
// and drives it: the configuration mode and its text, restarting the automatic configuration
// and saving what it found.

#include <string>

namespace qvx {

class AppContext;
class ProgressReporter;
class SensorOperations;

inline constexpr const char* kConfigInProgressText = "Automatic configuration in progress...";
inline constexpr const char* kConfigReadyText =
    "Automatic configuration in progress...press FINISHED to save configuration.";
inline constexpr const char* kForwardFireOperatingText = "Operating in Forward-fire Mode";
inline constexpr const char* kClearingOldEventsText = "Clearing old events...please wait...";
inline constexpr const char* kCheckingModeText = "checking mode...please wait...";

inline constexpr const char* kRestartQuestionText =
    "Restarting will delete the current configuration.  Are you sure you want to restart?";
inline constexpr const char* kRestartingText = "Restarting the sensor's automatic configuration routine...";
inline constexpr const char* kPleaseWaitCaption = "Please wait...";
inline constexpr const char* kRestartRefusedText = "Restart failed!\r\nUnable to set configuration mode.";
inline constexpr const char* kRestartCommFailedText = "Restart failed!\r\nAn error occured in communication.";
inline constexpr const char* kSavingConfigText = "Sensor is saving configuration...";
inline constexpr const char* kSaveFailedText = "An error occurred saving configuration.";
inline constexpr const char* kForwardFireResyncFailedText =
    "An error occurred synchronizing the sensor's timestamp...";

inline constexpr const char* kDirectionCaption = "Vehicle Direction...?";
inline constexpr const char* kDirectionQuestionText =
    "Do vehicles in the detection zone <Approach> towards the sensor or <Depart> from it?   ";
inline constexpr const char* kAreYouSureCaption = "Are you sure...?";
inline constexpr const char* kDirectionChangeText =
    "The direction appears to be correct...\r\nAre you sure you want to change it?   ";

// The user's answer is checked against the traffic when the latest events show a direction and
// it is not the one chosen.
bool DirectionChoiceNeedsConfirmation(int chosen_direction, int events_direction);

// How long a user action of the view waits for "SyncDataMutex".
inline constexpr int kModeCheckMutexWaitMs = 1000;
inline constexpr int kModeRecheckMutexWaitMs = 10000;
inline constexpr int kRestartMutexWaitMs = 1000;
inline constexpr int kSaveMutexWaitMs = 3000;
inline constexpr int kModeRecheckPeriodMs = 3000;

// What the view shows for a ReadConfigMode answer; nothing for a failed or undecided read,
// which leaves the texts as they are.
struct ConfigModeDisplay {
    std::string text;
    bool save_enabled = false;
    bool settled = false;  // mode '2': no further re-checks
};
bool DisplayForConfigMode(int config_mode, ConfigModeDisplay& display);

// ReadConfigMode under "SyncDataMutex" (at most mutex_wait_ms); kFailed when the mutex stayed busy.
int ReadConfigModeHoldingMutex(AppContext& context, ProgressReporter& progress, int mutex_wait_ms);

enum class RestartOutcome { Restarted, Refused, CommunicationFailed, MutexBusy };
// "SD" with "0": the sensor forgets its lanes and starts configuring again.
RestartOutcome RestartAutomaticConfiguration(AppContext& context);

// "SD" with "2", then "SE", bracketed by the sensor-clock preservation. True when both succeeded.
bool SaveAutomaticConfiguration(AppContext& context, SensorOperations& operations);

}  // namespace qvx
