#pragma once
// The qvx program: parse, connect, run one subcommand, close the connection, exit code.

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace qvx::cli {

// args without the program name. stop may be set from a signal handler.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::atomic<bool>& stop);

}  // namespace qvx::cli
