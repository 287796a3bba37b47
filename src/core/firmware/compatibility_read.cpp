// Kept apart from the pure check so that the check links without the transaction layer.
#include "firmware/compatibility.h"
#include "protocol/catalogue.h"
#include "protocol/transaction.h"

namespace qvx {

namespace {
constexpr int kOneRetry = 1;
}  // namespace

TransactionResult ReadSensorVersion(SensorProtocol& protocol, std::string& reply) {
    return protocol.SendSensorCommand({.code = cmd::kGetVersion,
                                       .payload = "\r",
                                       .on_error = ErrorPolicy::Report,
                                       .retries = kOneRetry,
                                       .link_recovery = true},
                                      reply);
}

CompatibilityState CheckCompatibility(SensorProtocol& protocol, const BundleVersion& bundle,
                                      std::optional<FireMode> target, const CompatibilityChooser& choose) {
    auto read = [&protocol](std::string& reply) { return ReadSensorVersion(protocol, reply); };
    return CheckCompatibility(read, protocol.prompts(), bundle, target, choose);
}

}  // namespace qvx
