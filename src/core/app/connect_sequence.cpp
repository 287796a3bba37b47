#include "app/connect_sequence.h"

#include "app/config_minimums.h"
#include "connect/operating_mode.h"
#include "base/progress_reporter.h"
#include "context/app_context.h"
#include "protocol/sensor_operations.h"

namespace qvx {

namespace {
void Tell(AppContext& context, const char* caption, const char* text, IconKind icon) {
    MessageRequest request;
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    context.prompts().Message(request);
}
}  // namespace

ConnectNext RunConnectSequence(AppContext& context, SensorOperations& operations, ProgressReporter& progress,
                               const BundleVersion& bundle, const ConnectSequenceHooks& hooks) {
    if (DetectOperatingMode(context.protocol, progress))
        EnforceMinimums(context.protocol, operations, hooks.sleep_ms);

    for (int uploads = 0;;) {
        progress.ShowProgress("Firmware...", "Checking firmware compatibility...");
        const CompatibilityState check =
            CheckCompatibility(context.protocol, bundle, std::nullopt, hooks.choose_compatibility);
        progress.CloseProgress();

        switch (check.outcome) {
            case compatibility_outcome::kVersionUnreadable:
                Tell(context, "Error...", "An error was encountered determining\nversion compatibility ...",
                     IconKind::Error);
                context.state.link_kind = LinkKind::None;
                return ConnectNext::Disconnected;
            case compatibility_outcome::kExit:
                return ConnectNext::ExitProgram;
            case compatibility_outcome::kUpload:
                if (uploads++ == kUploadsPerConnect)
                    break;
                if (!RunCompatibilityUpload(context, operations, check.plan(), hooks.run_upload)) {
                    ResetLineAfterFailedUpload(context);
                    return ConnectNext::Reconnect;
                }
                // The sensor runs new firmware: check the connection again.
                DetectOperatingMode(context.protocol, progress);
                continue;
            default:
                break;
        }
        break;
    }
    if (context.state.synchronize_clock && hooks.sync_clock)
        hooks.sync_clock(false);
    return ConnectNext::ShowMenus;
}

}  // namespace qvx
