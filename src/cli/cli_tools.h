#pragma once
// The engineering tools on the command line: a raw terminal, raw data acquisition, the PLL
// registers and sensor memory. Each Check* looks at the subcommand's words before anything is
// opened (an error line, or empty); each Run* works on the open link and returns the exit code.

#include <string>
#include <vector>

#include "cli_commands.h"

namespace qvx::cli {

std::string CheckPllWords(const std::vector<std::string>& words);
std::string CheckMemoryWords(const std::vector<std::string>& words);

int RunTerminal(AppContext& app, const CliOptions& options, CommandStreams io);
int RunAcquire(AppContext& app, const CliOptions& options, CommandStreams io);
int RunPll(AppContext& app, const CliOptions& options, CommandStreams io);
int RunMemory(AppContext& app, const CliOptions& options, CommandStreams io);

// The acquisition file is created before the sensor is opened; false (with a line on err) when
// the path cannot take it.
bool PrepareAcquireFile(const CliOptions& options, std::ostream& err);

}  // namespace qvx::cli
