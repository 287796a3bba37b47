#pragma once
// Opening the link for one CLI run through the program's own connection procedures: the serial
// search (port and rate) or the TCP connection, the multi-drop selection and the response-wait
// calibration, as the connection windows run them.

#include <string>
#include <vector>

#include "cli_options.h"
#include "connect/multidrop.h"

namespace qvx {
class AppContext;
}

namespace qvx::cli {

struct ConnectResult {
    bool connected = false;
    std::string failure;                    // one line naming what failed (port, rate, address)
    std::vector<std::string> detected_ids;  // with --id auto (and discover): every ID found
};

// The detection, then the --pick'th ID (the first without it); remembers what was found and
// why a pick failed.
SensorSelector PickingSelector(int pick, std::vector<std::string>& found, std::string& failure);

// The modem procedure: find and initialise the modem, dial, read its result, prove the sensor.
// A line that connected but cannot be used is hung up before the failure is returned.
ConnectResult ConnectModem(AppContext& app, const CliOptions& options);

// Puts the options into the connection state and runs the procedures. With force_detect the IDs
// are detected whatever --id says (discover).
ConnectResult ConnectSensor(AppContext& app, const CliOptions& options, bool force_detect);

}  // namespace qvx::cli
