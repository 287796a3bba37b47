#pragma once
// The subcommands, each run on an open, calibrated link. Each returns its exit code; the caller
// runs the closing sequence afterwards whatever happened.

#include <atomic>
#include <ostream>

#include "cli_connection.h"
#include "cli_options.h"

namespace qvx {
class AppContext;
}

namespace qvx::cli {

struct CommandStreams {
    std::ostream& out;
    std::ostream& err;
    // Set by SIGINT / SIGTERM: a running live view stops at its next step.
    const std::atomic<bool>& stop;
};

int RunInfo(AppContext& app, CommandStreams io);
int RunSend(AppContext& app, const CliOptions& options, CommandStreams io);
int RunClockGet(AppContext& app, CommandStreams io);
int RunClockSet(AppContext& app, const CliOptions& options, CommandStreams io);
int RunClockSync(AppContext& app, CommandStreams io);
int RunDiscover(const ConnectResult& connection, CommandStreams io);
int RunLiveIntervals(AppContext& app, const CliOptions& options, CommandStreams io);
// config save FILE | config load FILE [--dry-run] | config show (cli_config.cpp)
int RunConfig(AppContext& app, const CliOptions& options, CommandStreams io);

}  // namespace qvx::cli
