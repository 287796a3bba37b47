#pragma once
// Opening the link for one CLI run through the program's own connection procedures: the serial
// search (port and rate) or the TCP connection, the multi-drop selection and the response-wait
// calibration, as the connection windows run them.

#include <string>
#include <vector>

#include "cli_options.h"

namespace qvx {
class AppContext;
}

namespace qvx::cli {

struct ConnectResult {
    bool connected = false;
    std::string failure;                    // one line naming what failed (port, rate, address)
    std::vector<std::string> detected_ids;  // with --id auto (and discover): every ID found
};

// Puts the options into the connection state and runs the procedures. With force_detect the IDs
// are detected whatever --id says (discover).
ConnectResult ConnectSensor(AppContext& app, const CliOptions& options, bool force_detect);

}  // namespace qvx::cli
