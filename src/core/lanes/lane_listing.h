#pragma once
// The cross-section as a listing: per road its edges and its lanes with name, direction, bins and
// centre. The command line prints it; the window names lanes with it.

#include <string>
#include <vector>

#include "lanes/lane_model.h"

namespace qvx {

struct LaneListing {
    int number = 0;  // 1-based, across all roads
    std::string name;
    char direction = 'R';
    int first_bin = 0;
    int last_bin = 0;
    int centre = 0;
};

struct RoadListing {
    int number = 0;  // 1-based
    int opening_edge = 0;
    int closing_edge = 0;
    std::vector<LaneListing> lanes;
};

// names: the lane names in lane order (trailing blanks are dropped); missing names stay empty.
std::vector<RoadListing> ListRoads(const LaneModel& model, const std::vector<std::string>& names);

// "Lane 1", or "Lane 3 (Northbound)" when the lane has a name.
std::string LaneLabel(int number, const std::string& name);

}  // namespace qvx
