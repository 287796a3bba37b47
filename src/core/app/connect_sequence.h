#pragma once
// What follows every new connection: the side-fire configuration minimums, the firmware
// compatibility check and the clock synchronisation. The main window then installs the menus and
// opens the default view, or returns to the state without a link, or ends the program.

#include <functional>

#include "app/compatibility_upload.h"
#include "firmware/compatibility.h"

namespace qvx {

class AppContext;
class ProgressReporter;
class SensorOperations;

enum class ConnectNext {
    ShowMenus,     // connected: rebuild the menus and open the default view
    Disconnected,  // the version could not be read; link_kind is 0 now
    ExitProgram,   // the user chose to leave: end at once, without the closing sequence
    Reconnect,     // the compatibility upload failed: the line was reset, run the sequence again
};

// A connect sequence loads the bundle at most this often; then UPLOAD counts as continuing.
inline constexpr int kUploadsPerConnect = 2;

struct ConnectSequenceHooks {
    // The compatibility window when the versions differ: kUpload, kContinue or kExit.
    CompatibilityChooser choose_compatibility;
    // The main window's clock synchronisation (progress window and timer 100 around it).
    std::function<void(bool force)> sync_clock;
    // Pauses before the flash save; tests pass a no-op.
    std::function<void(int ms)> sleep_ms;
    // Runs the compatibility upload's job (the GUI in its progress window); empty: on this thread.
    UploadRunner run_upload;
};

ConnectNext RunConnectSequence(AppContext& context, SensorOperations& operations, ProgressReporter& progress,
                               const BundleVersion& bundle, const ConnectSequenceHooks& hooks);

}  // namespace qvx
