#include "connect/operating_mode.h"

#include <string>

#include "base/progress_reporter.h"
#include "firmware/firmware_version.h"
#include "protocol/transaction.h"

namespace qvx {

namespace {
constexpr int kConfigModeAttempts = 10;
constexpr const char* kCheckingCaption = "Checking mode...";
constexpr const char* kCheckingText = "Checking sensor's configuration mode...";

}  // namespace

int ConfigModeFromReply(std::string_view reply) {
    if (reply.empty())
        return config_mode::kUndecided;
    switch (reply.front()) {
        case '0':
            return config_mode::kAutoConfiguring;
        case '1':
            return config_mode::kConfigured;
        case '2':
            return config_mode::kManual;
        default:
            return config_mode::kUndecided;
    }
}

bool DetectOperatingMode(SensorProtocol& protocol, ProgressReporter& progress) {
    progress.ShowProgress(kCheckingCaption, kCheckingText);
    protocol.state().side_fire_mode = 1;
    std::string reply;
    bool side_fire = true;
    if (protocol.SendSensorCommand({.code = cmd::kGetVersion,
                                    .payload = "\r",
                                    .on_error = ErrorPolicy::Report,
                                    .retries = 1,
                                    .link_recovery = true},
                                   reply) == TransactionResult::Ok) {
        side_fire = !VersionReplyIsForwardFire(reply);
    } else {
        progress.CloseProgress();
        side_fire = protocol.prompts().Ask(
            "Communication error...",
            "Sensor's operating mode not detected!\n What is the operating mode of the sensor?", "Side",
            "Forward");
    }
    protocol.state().side_fire_mode = side_fire ? 1 : 0;
    progress.CloseProgress();
    return side_fire;
}

int ReadConfigMode(SensorProtocol& protocol, ProgressReporter& progress) {
    int mode = config_mode::kUndecided;
    for (int attempt = 0; attempt < kConfigModeAttempts && mode == config_mode::kUndecided; ++attempt) {
        progress.ShowProgress(kCheckingCaption, kCheckingText);
        std::string reply;
        if (protocol.SendSensorCommand({.code = cmd::kGetConfigMode,
                                        .payload = "\r",
                                        .on_error = ErrorPolicy::Report,
                                        .retries = 1,
                                        .link_recovery = true},
                                       reply) != TransactionResult::Ok) {
            mode = config_mode::kFailed;
            break;
        }
        mode = ConfigModeFromReply(reply);
    }
    progress.CloseProgress();
    return mode;
}

}  // namespace qvx
