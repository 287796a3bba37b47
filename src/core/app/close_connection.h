#pragma once
// The closing sequence: before the program lets go of a sensor it puts it back into the state in
// which it works unattended (firewall on, multi-drop sensors and push mode resumed, a dial-up
// modem off the line), then releases the socket or the port and warns about what could not be
// restored. Runs for Close Connection, a new connection replacing an old one, the modem dialog's
// clean-up, exit, and at the end of every CLI command.

#include <functional>
#include <string>
#include <vector>

#include "connect/modem_line.h"

namespace qvx {

class AppContext;

inline constexpr const char* kClosingTitle = "Closing...";
inline constexpr const char* kClosingText = "Closing current connection,\nplease wait...";
inline constexpr const char* kShutdownRetryCaption = "Shutdown Warning: Do you want to retry?";
inline constexpr const char* kProtectRetryText =
    "Due to a communication error,\nthe sensor's command firewall may not have been enabled.";
inline constexpr const char* kPushRetryText =
    "Due to a communication error,\nconnected Tessel devices may not be able to report their data.";
inline constexpr const char* kShutdownWarningCaption = "Shutdown Warning!";
inline constexpr const char* kPushNotRestoredText = "Shutdown Warning!  Push mode may not be restored.";
inline constexpr const char* kNotProtectedText = "Shutdown Warning!  Command mode may not be protected.";
inline constexpr const char* kLinkLostText =
    "Shutdown Warning!  The connection to the sensor was lost: push mode and command protection "
    "may not be restored.";
inline constexpr const char* kModemOnlineText = "Shutdown Warning!\nLocal modem may still be online.";
inline constexpr int kShutdownWarningCloseMs = 2500;
inline constexpr int kBroadcastStartPushRepeats = 5;

// The steps that belong to a window. Each defaults to doing nothing, so the CLI and tests run the
// sequence without a screen.
struct CloseConnectionHooks {
    std::function<void()> show_wait_cursor;
    std::function<void()> stop_sync_timer;     // the periodic clock synchronisation
    std::function<void()> close_current_view;  // also stops a running data thread
    std::function<void(const std::string& title, const std::string& text)> show_progress;
    std::function<void()> close_progress;
    // The shared interval-data and download records go back to empty.
    std::function<void()> reset_shared_records;
    std::function<void()> restore_cursor;
    // The guard times of the modem escape; tests replace it to run without waiting.
    std::function<void(int ms)> sleep_ms;
};

// What the sequence could restore; the user is told about the rest.
struct CloseOutcome {
    bool ran = false;  // false: there was no link (or only the warning about a lost one)
    bool protect_done = false;
    bool push_restored = false;
    bool modem_offline = false;
    // The warnings shown (and logged), in order: the window keeps them in its status bar.
    std::vector<std::string> warnings;
};

CloseOutcome CloseConnection(AppContext& app, const CloseConnectionHooks& hooks = {});

}  // namespace qvx
