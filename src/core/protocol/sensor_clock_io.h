#pragma once
// The one path for reading ("SB") and setting ("S4") the sensor clock. Callers differ only in
// how a failed exchange is handled, so they pass that and nothing else.

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/transaction.h"

namespace qvx {

// How a clock exchange reacts to failure.
struct ClockExchange {
    ErrorPolicy on_error = ErrorPolicy::Silent;
    int retries = 0;
    bool link_recovery = false;
};

// The clock display's poll and the synchronisation with the PC: one try, no dialog, no reconnect.
inline constexpr ClockExchange kQuietClockExchange{};
// Reads and writes the user asked for: the dialog on failure, one retry, reconnect allowed.
inline constexpr ClockExchange kReportedClockExchange{ErrorPolicy::Report, 1, true};

struct ClockReadResult {
    TransactionResult transaction = TransactionResult::NoResponse;
    std::optional<std::uint32_t> seconds;  // set when the reply is a time
    std::string reply;                     // the data as the sensor sent it
    bool ok() const { return seconds.has_value(); }
};

struct ClockWriteResult {
    TransactionResult transaction = TransactionResult::NoResponse;
    bool refused = false;  // the sensor answered "Failure"
    std::string reply;
    bool ok() const { return transaction == TransactionResult::Ok && !refused; }
};

ClockReadResult ReadSensorClock(SensorProtocol& protocol,
                                const ClockExchange& exchange = kQuietClockExchange);
ClockWriteResult WriteSensorClock(SensorProtocol& protocol, std::uint32_t seconds,
                                  const ClockExchange& exchange = kReportedClockExchange);

}  // namespace qvx
