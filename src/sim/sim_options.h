#pragma once
// The qvx-sim command line.

#include <string>
#include <vector>

#include "sim_server.h"

namespace qvx::sim {

struct SimOptions {
    std::vector<SensorSettings> sensors;
    ServerSettings server;
    bool help = false;
};

// Fills options from the arguments; false with a message on the first bad argument.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);
std::string SimUsage();

}  // namespace qvx::sim
