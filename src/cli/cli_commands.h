#pragma once
// The subcommands, each run on an open, calibrated link. Each returns its exit code; the caller
// runs the closing sequence afterwards whatever happened.

#include <atomic>
#include <ostream>

#include "cli_connection.h"
#include "cli_options.h"

namespace qvx {
class AppContext;
class LogLineWriter;
}  // namespace qvx

namespace qvx::cli {

struct CommandStreams {
    std::ostream& out;
    std::ostream& err;
    // Set by SIGINT / SIGTERM: a running live view stops at its next step.
    const std::atomic<bool>& stop;
};

int RunInfo(AppContext& app, const CliOptions& options, CommandStreams io);
int RunSend(AppContext& app, const CliOptions& options, CommandStreams io);
int RunClockGet(AppContext& app, const CliOptions& options, CommandStreams io);
int RunClockSet(AppContext& app, const CliOptions& options, CommandStreams io);
int RunClockSync(AppContext& app, const CliOptions& options, CommandStreams io);
int RunDiscover(const ConnectResult& connection, const CliOptions& options, CommandStreams io);
int RunLiveIntervals(AppContext& app, const CliOptions& options, CommandStreams io);
// After a live run with --log: names what did not reach the log (a failed write, lines held back or
// given up). True when everything was written.
bool LogComplete(const LogLineWriter& writer, const std::string& path, std::ostream& err);
// Stored data (cli_stored.cpp).
int RunDownload(AppContext& app, const CliOptions& options, CommandStreams io);
int RunBuffers(AppContext& app, const CliOptions& options, CommandStreams io);
int RunErase(AppContext& app, const CliOptions& options, CommandStreams io);
int RunStudy(AppContext& app, const CliOptions& options, CommandStreams io);
int RunFirmwareCheck(AppContext& app, const CliOptions& options, CommandStreams io);
int RunFirmwareUpload(AppContext& app, const CliOptions& options, CommandStreams io);
int RunFirmwareUpdate(AppContext& app, const CliOptions& options, CommandStreams io);
// config save FILE | config load FILE [--dry-run] | config show (cli_config.cpp)
int RunConfig(AppContext& app, const CliOptions& options, CommandStreams io);
// lanes show | lanes restart [--blinders LOW HIGH] | lanes save (cli_lanes.cpp)
int RunLanes(AppContext& app, const CliOptions& options, CommandStreams io);

}  // namespace qvx::cli
