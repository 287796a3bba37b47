#pragma once
// The "Sensor Information" fields: what the sensor says about itself in its version text, its
// configuration record and its connection port. The window that shows them (and pauses the data
// threads while it reads) is the GUI's; the CLI's `info` prints them.

#include <string>

#include "protocol/transaction_result.h"

namespace qvx {

class SensorProtocol;

inline constexpr const char* kUnknownField = "Unknown";

struct SensorInformation {
    std::string serial_number = kUnknownField;
    std::string description = kUnknownField;
    std::string location = kUnknownField;
    std::string sensor_id = kUnknownField;
    std::string serial_interface = kUnknownField;
    std::string dsp = kUnknownField;
    std::string fpga = kUnknownField;
};

// "Get version", then "Get config info", then "Get connection port", each only when the one
// before succeeded (reported, 1 retry, link recovery). Fields the sensor did not give stay
// "Unknown"; a reply too short for a field leaves that field as it was. Returns the result of
// the last command sent: Ok when all three succeeded.
TransactionResult ReadSensorInformation(SensorProtocol& protocol, SensorInformation& info);

// Serial Number, Sensor ID, Location and Description from a "Get config info" record; fields the
// record is too short for stay as they were.
void TakeConfigInfoFields(const std::string& record, SensorInformation& info);

}  // namespace qvx
