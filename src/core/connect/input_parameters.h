#pragma once
// The input parameters file that may be named on the program's command line for the first
// Internet connection: "address port [sensor-id]" on one line.

#include <optional>
#include <string>

#include "link/connection_state.h"

namespace qvx {

inline constexpr std::size_t kInputParametersMaxBytes = 512;
inline constexpr const char* kInputParametersErrorText =
    "Error processing Input Parameters File, Parameters not used.";

struct InputParameters {
    std::string address;
    std::string port;
    std::string sensor_id;  // empty when the line holds no third field
};

// Up to the first blank the address, then up to the next blank the port, the rest the sensor ID;
// only the first line of the first 512 bytes counts.
InputParameters ParseInputParameters(const std::string& text);
// Nothing when the file cannot be read or is not a regular file; problem (when given) then names
// the file and says why.
std::optional<InputParameters> ReadInputParametersFile(const std::string& path,
                                                       std::string* problem = nullptr);

// A connection dialog's multi-drop choice for a sensor picked from an address book: a 4-character
// ID is addressed directly, anything else is detected after connecting. (A sensor ID in the input
// parameters file is taken as the fixed ID whatever its length.)
void ApplyChosenSensorId(const std::string& sensor_id, ConnectionState& state);

}  // namespace qvx
