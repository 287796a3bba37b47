#pragma once
// qvx live events and qvx live actuation: single vehicles as the sensor reports them, and the
// lanes occupied now, as the vehicle event views show them.

#include "cli_commands.h"

namespace qvx::cli {

int RunLiveEvents(AppContext& app, const CliOptions& options, CommandStreams io);
int RunLiveActuation(AppContext& app, const CliOptions& options, CommandStreams io);

}  // namespace qvx::cli
