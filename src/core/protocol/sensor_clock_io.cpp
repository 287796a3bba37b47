#include "protocol/sensor_clock_io.h"

#include "protocol/refusal.h"
#include "protocol/sensor_clock.h"

namespace qvx {

namespace {

SensorRequest ClockRequest(const char* code, std::string payload, const ClockExchange& exchange) {
    return {.code = code,
            .payload = std::move(payload),
            .on_error = exchange.on_error,
            .retries = exchange.retries,
            .link_recovery = exchange.link_recovery};
}

}  // namespace

ClockReadResult ReadSensorClock(SensorProtocol& protocol, const ClockExchange& exchange) {
    ClockReadResult reading;
    reading.transaction =
        protocol.SendSensorCommand(ClockRequest(cmd::kGetTime, "\r", exchange), reading.reply);
    if (reading.transaction == TransactionResult::Ok) {
        reading.seconds = ParseSensorTime(reading.reply);
    }
    return reading;
}

ClockWriteResult WriteSensorClock(SensorProtocol& protocol, std::uint32_t seconds,
                                  const ClockExchange& exchange) {
    ClockWriteResult writing;
    const SensorRequest request = ClockRequest(cmd::kSetTime, SensorTimeText(seconds) + "\r", exchange);
    writing.transaction = protocol.SendSensorCommand(request, writing.reply);
    writing.refused = writing.transaction == TransactionResult::Ok && IsRefusal(cmd::kSetTime, writing.reply);
    return writing;
}

}  // namespace qvx
