#include "live/forward_fire_config.h"

#include "connect/operating_mode.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {
constexpr int kRetries = 1;

bool Succeeded(TransactionResult result, const std::string& reply) {
    return result == TransactionResult::Ok && reply.find("Success") != std::string::npos;
}
}  // namespace

bool DisplayForConfigMode(int config_mode, ConfigModeDisplay& display) {
    switch (config_mode) {
        case config_mode::kAutoConfiguring:
            display = {kConfigInProgressText, false, false};
            return true;
        case config_mode::kConfigured:
            display = {kConfigReadyText, true, false};
            return true;
        case config_mode::kManual:
            display = {kForwardFireOperatingText, false, true};
            return true;
        default:
            return false;
    }
}

bool DirectionChoiceNeedsConfirmation(int chosen_direction, int events_direction) {
    return events_direction != 0 && chosen_direction != events_direction;
}

int ReadConfigModeHoldingMutex(AppContext& context, ProgressReporter& progress, int mutex_wait_ms) {
    ScopedTryLock lock(context.objects.SyncData(), mutex_wait_ms);
    if (!lock.held()) {
        return config_mode::kFailed;
    }
    return ReadConfigMode(context.protocol, progress);
}

RestartOutcome RestartAutomaticConfiguration(AppContext& context) {
    ScopedTryLock lock(context.objects.SyncData(), kRestartMutexWaitMs);
    if (!lock.held()) {
        return RestartOutcome::MutexBusy;
    }
    std::string reply;
    const TransactionResult result = context.protocol.SendSensorCommand({.code = cmd::kSetConfigMode,
                                                                         .payload = "0\r",
                                                                         .on_error = ErrorPolicy::Report,
                                                                         .retries = kRetries,
                                                                         .link_recovery = true},
                                                                        reply);
    if (result != TransactionResult::Ok) {
        return RestartOutcome::CommunicationFailed;
    }
    return Succeeded(result, reply) ? RestartOutcome::Restarted : RestartOutcome::Refused;
}

bool SaveAutomaticConfiguration(AppContext& context, SensorOperations& operations) {
    ScopedTryLock lock(context.objects.SyncData(), kSaveMutexWaitMs);
    if (!lock.held()) {
        return false;
    }
    operations.BeginSensorOperation();
    std::string reply;
    bool saved = Succeeded(context.protocol.SendSensorCommand({.code = cmd::kSetConfigMode,
                                                               .payload = "2\r",
                                                               .on_error = ErrorPolicy::Report,
                                                               .retries = kRetries,
                                                               .link_recovery = true},
                                                              reply),
                           reply);
    if (saved) {
        saved = Succeeded(context.protocol.SendSensorCommand({.code = cmd::kSaveConfig,
                                                              .payload = "\r",
                                                              .on_error = ErrorPolicy::Report,
                                                              .retries = kRetries,
                                                              .link_recovery = true},
                                                             reply),
                          reply);
    }
    operations.EndSensorOperation();
    return saved;
}

}  // namespace qvx
