// qvx lanes: the cross-section the sensor holds, restarting its automatic lane configuration, and
// saving the picture it holds to flash.

#include "cli_lanes.h"
#include "cli_output.h"

#include <charconv>
#include <ostream>

#include "base/progress_reporter.h"
#include "cli_commands.h"
#include "context/app_context.h"
#include "lanes/lane_configuration.h"
#include "lanes/lane_listing.h"
#include "protocol/sensor_operations.h"

namespace qvx::cli {

namespace {

std::optional<int> BinNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value >= kRangeBins) {
        return std::nullopt;
    }
    return value;
}

const char* ModeName(std::optional<LaneMode> mode) {
    if (!mode) {
        return "unknown";
    }
    return *mode == LaneMode::Automatic ? "automatic" : "manual";
}

void PrintText(const std::vector<RoadListing>& roads, std::ostream& out) {
    if (roads.empty()) {
        out << "No roads.\n";
    }
    for (const RoadListing& road : roads) {
        out << "Road " << road.number << ": edges " << road.opening_edge << " and " << road.closing_edge;
        for (const LaneListing& lane : road.lanes) {
            out << "; lane " << lane.number << " \"" << lane.name << "\" " << lane.direction << " bins "
                << lane.first_bin << "-" << lane.last_bin << " centre " << lane.centre;
        }
        out << "\n";
    }
}

void PrintTsv(const std::vector<RoadListing>& roads, std::ostream& out) {
    out << "road\topening_edge\tclosing_edge\tlane\tname\tdirection\tfirst_bin\tlast_bin\tcentre\n";
    for (const RoadListing& road : roads) {
        for (const LaneListing& lane : road.lanes) {
            out << road.number << "\t" << road.opening_edge << "\t" << road.closing_edge << "\t"
                << lane.number << "\t" << TsvField(lane.name) << "\t" << lane.direction << "\t"
                << lane.first_bin << "\t" << lane.last_bin << "\t" << lane.centre << "\n";
        }
    }
}

void PrintJson(const std::vector<RoadListing>& roads, std::optional<LaneMode> mode, const std::string& gain,
               std::ostream& out) {
    out << "{\"mode\":\"" << ModeName(mode) << "\",\"gain\":" << JsonString(gain) << ",\"roads\":[";
    for (std::size_t r = 0; r < roads.size(); ++r) {
        const RoadListing& road = roads[r];
        out << (r ? "," : "") << "{\"road\":" << road.number << ",\"opening_edge\":" << road.opening_edge
            << ",\"closing_edge\":" << road.closing_edge << ",\"lanes\":[";
        for (std::size_t l = 0; l < road.lanes.size(); ++l) {
            const LaneListing& lane = road.lanes[l];
            out << (l ? "," : "") << "{\"lane\":" << lane.number << ",\"name\":" << JsonString(lane.name)
                << ",\"direction\":\"" << lane.direction << "\",\"first_bin\":" << lane.first_bin
                << ",\"last_bin\":" << lane.last_bin << ",\"centre\":" << lane.centre << "}";
        }
        out << "]}";
    }
    out << "]}\n";
}

std::vector<std::string> LaneNames(const AppContext& app) {
    return std::vector<std::string>(std::begin(app.state.lane_names), std::end(app.state.lane_names));
}

int ReadOrFail(LaneConfiguration& lanes, CommandStreams io) {
    if (!lanes.ReadSettings().ok()) {
        io.err << "qvx: the sensor's lane configuration could not be read\n";
        return kExitSensorFailed;
    }
    return kExitSuccess;
}

int Show(AppContext& app, const CliOptions& options, CommandStreams io) {
    LaneConfiguration lanes(app);
    SilentProgress progress;
    const std::optional<LaneMode> mode = LaneModeFromConfigMode(lanes.QueryConfigMode(progress));
    if (const int failed = ReadOrFail(lanes, io)) {
        return failed;
    }
    const std::vector<RoadListing> roads = ListRoads(lanes.SensorModel(), LaneNames(app));
    switch (options.format.value_or(OutputFormat::Text)) {
        case OutputFormat::Text:
            if (mode) {
                io.out << LaneStatusText(*mode, lanes.Gain()) << "\n";
            }
            PrintText(roads, io.out);
            break;
        case OutputFormat::Tsv:
            PrintTsv(roads, io.out);
            break;
        case OutputFormat::Json:
            PrintJson(roads, mode, lanes.Gain(), io.out);
            break;
    }
    return kExitSuccess;
}

int Restart(AppContext& app, const CliOptions& options, CommandStreams io) {
    LaneConfiguration lanes(app);
    if (const int failed = ReadOrFail(lanes, io)) {
        return failed;
    }
    BlinderSettings blinders;
    if (options.lanes.blinders) {
        blinders = {options.lanes.blinder_low, options.lanes.blinder_high, true};
    }
    SensorOperations operations(app.protocol, app.objects.SyncData());
    operations.BeginSensorOperation();
    RecordResult result = lanes.Send(lanes.SensorModel(), true, LaneSend::Restart, lanes.Gain());
    if (result.ok()) {
        result = lanes.SetConfigMode(RestartModePayload(blinders));
    }
    operations.EndSensorOperation();
    if (!result.ok()) {
        io.err << "qvx: " << lane_text::kRestartFailed << "\n";
        return kExitSensorFailed;
    }
    SilentProgress progress;
    const std::optional<LaneMode> mode = LaneModeFromConfigMode(lanes.QueryConfigMode(progress));
    io.out << "Automatic configuration restarted";
    if (options.lanes.blinders) {
        io.out << " between bins " << blinders.low << " and " << blinders.high;
    }
    io.out << ".\n";
    if (mode) {
        io.out << LaneStatusText(*mode, lanes.Gain()) << "\n";
    }
    return kExitSuccess;
}

int Save(AppContext& app, CommandStreams io) {
    LaneConfiguration lanes(app);
    if (const int failed = ReadOrFail(lanes, io)) {
        return failed;
    }
    SensorOperations operations(app.protocol, app.objects.SyncData());
    operations.BeginSensorOperation();
    const RecordResult result = lanes.Send(lanes.SensorModel(), true, LaneSend::Save, lanes.Gain());
    operations.EndSensorOperation();
    if (!result.ok()) {
        io.err << "qvx: " << lane_text::kSaveFailed << "\n";
        return kExitSensorFailed;
    }
    io.out << lane_text::kSaved << "\n";
    return kExitSuccess;
}

}  // namespace

std::string ParseLanesCommand(const std::vector<std::string>& words, CliOptions& options) {
    const std::string action = words.size() == 2 ? words[1] : "";
    if (action == "show") {
        options.command = Command::LanesShow;
    } else if (action == "restart") {
        options.command = Command::LanesRestart;
    } else if (action == "save") {
        options.command = Command::LanesSave;
    } else {
        return "usage: qvx lanes show [--format text|tsv|json] | lanes restart [--blinders LOW HIGH] | lanes "
               "save";
    }
    return {};
}

std::string SetBlinders(CliOptions& options, const std::string& low, const std::string& high) {
    const auto low_bin = BinNumber(low);
    const auto high_bin = BinNumber(high);
    if (!low_bin || !high_bin || *high_bin - *low_bin < kBlinderMinDistance) {
        return "--blinders needs two bins from 0 to 83, the second at least 3 above the first, not '" + low +
               "' '" + high + "'";
    }
    options.lanes = {true, *low_bin, *high_bin};
    return {};
}

std::string LaneOptionMisuse(const CliOptions& options) {
    if (options.lanes.blinders && options.command != Command::LanesRestart) {
        return "--blinders belongs to 'lanes restart'";
    }
    return {};
}

int RunLanes(AppContext& app, const CliOptions& options, CommandStreams io) {
    switch (options.command) {
        case Command::LanesShow:
            return Show(app, options, io);
        case Command::LanesRestart:
            return Restart(app, options, io);
        default:
            return Save(app, io);
    }
}

}  // namespace qvx::cli
