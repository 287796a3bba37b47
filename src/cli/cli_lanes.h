#pragma once
// qvx lanes show | restart [--blinders LOW HIGH] | save: the sensor's lane configuration.

#include <string>
#include <vector>

namespace qvx::cli {

struct LaneArgs {
    bool blinders = false;  // restart --blinders LOW HIGH
    int blinder_low = 0;
    int blinder_high = 0;
};

struct CliOptions;

// The words after "lanes"; an error line, or empty when they are fine.
std::string ParseLanesCommand(const std::vector<std::string>& words, CliOptions& options);
// "--blinders LOW HIGH": an error line, or empty.
std::string SetBlinders(CliOptions& options, const std::string& low, const std::string& high);
// --blinders given to another command: an error line, or empty.
std::string LaneOptionMisuse(const CliOptions& options);

}  // namespace qvx::cli
