// The clock commands, apart from the conversions so that those need no link.
#include "protocol/sensor_clock.h"
#include "protocol/transaction.h"

namespace qvx {

namespace {
constexpr int kShowDialog = 10;
}  // namespace

std::optional<std::uint32_t> ReadSensorClock(SensorProtocol& protocol) {
    std::string reply;
    if (protocol.SendSensorCommand(cmd::kGetTime, "\r", reply, 0, 0, false, 0) != kOk) {
        return std::nullopt;
    }
    return ParseSensorTime(reply);
}

int WriteSensorClock(SensorProtocol& protocol, std::uint32_t seconds) {
    std::string reply;
    return protocol.SendSensorCommand(cmd::kSetTime, SensorTimeText(seconds) + "\r", reply, kShowDialog, 1,
                                      true, 0);
}

}  // namespace qvx
