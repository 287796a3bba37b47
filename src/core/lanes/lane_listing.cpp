#include "lanes/lane_listing.h"

namespace qvx {

namespace {

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::vector<RoadListing> ListRoads(const LaneModel& model, const std::vector<std::string>& names) {
    std::vector<RoadListing> roads;
    for (const RoadSpan& span : model.roads()) {
        roads.push_back({static_cast<int>(roads.size()) + 1, span.opening_edge, span.closing_edge, {}});
    }
    const auto& lanes = model.lanes();
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        const auto road = model.RoadAt(lanes[lane].first);
        if (!road) {
            continue;
        }
        LaneListing listing;
        listing.number = static_cast<int>(lane) + 1;
        listing.name = lane < names.size() ? Trimmed(names[lane]) : std::string();
        listing.direction = lane < model.directions().size() ? model.directions()[lane] : 'R';
        listing.first_bin = lanes[lane].first;
        listing.last_bin = lanes[lane].last();
        listing.centre = lane < model.centres().size() ? model.centres()[lane] : -1;
        roads[static_cast<std::size_t>(*road)].lanes.push_back(listing);
    }
    return roads;
}

std::string LaneLabel(int number, const std::string& name) {
    const std::string label = "Lane " + std::to_string(number);
    return name.empty() ? label : label + " (" + name + ")";
}

}  // namespace qvx
