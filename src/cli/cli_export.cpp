#include "cli_export.h"

#include "cli_options.h"
#include "export/calendar_day.h"
#include "export/card_codes.h"
#include "export/csv_export.h"
#include "export/export_job.h"

namespace qvx::cli {

namespace {

constexpr const char* kUsage3Card =
    "usage: qvx export 3card LOG --from DATE --to DATE --station ID --state NAME|CODE --class CODE "
    "[--restriction N] [--lane NAME=LANE:DIR ...] [--out DIR] [--overwrite]";
constexpr const char* kUsageCsv =
    "usage: qvx export csv LOG [--from DATE --to DATE] [--out FILE] [--overwrite]";

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<std::string> CheckDays(const ExportArgs& args) {
    for (const std::string* day : {&args.from, &args.to}) {
        if (!day->empty() && !ParseCalendarDay(*day)) {
            return "'" + *day + "' is not a day in the form YYYY-MM-DD";
        }
    }
    if (args.from.empty() != args.to.empty()) {
        return std::string("--from and --to go together");
    }
    if (args.from > args.to) {
        return "--from " + args.from + " is after --to " + args.to;
    }
    return std::nullopt;
}

std::optional<std::string> Check3Card(const ExportArgs& args) {
    if (args.from.empty() || args.station.empty() || args.state.empty() || args.functional_class.empty()) {
        return std::string(kUsage3Card);
    }
    if (!IsValidStation(args.station)) {
        return "--station needs 1 to 6 letters or digits, not '" + args.station + "'";
    }
    if (!FindCardCode(StateCodes(), args.state)) {
        return "--state '" + args.state + "' is neither a state or region name nor its two-digit code";
    }
    if (!FindCardCode(FunctionalClassCodes(), args.functional_class)) {
        return "--class '" + args.functional_class + "' is not a functional classification code (01 ... 19)";
    }
    if (args.restriction < 0 || args.restriction > 2) {
        return std::string("--restriction needs 0, 1 or 2");
    }
    return std::nullopt;
}

struct LaneOption {
    std::string name;
    LaneMapping mapping;
};

std::optional<LaneOption> ParseLaneOption(const std::string& text) {
    const std::size_t equals = text.rfind('=');
    const std::size_t colon = text.find(':', equals == std::string::npos ? 0 : equals);
    if (equals == std::string::npos || colon == std::string::npos || colon != equals + 2 ||
        text[equals + 1] < '0' || text[equals + 1] > '9') {
        return std::nullopt;
    }
    const auto direction = FindCardCode(DirectionCodes(), text.substr(colon + 1));
    if (!direction) {
        return std::nullopt;
    }
    return LaneOption{Trimmed(text.substr(0, equals)),
                      {text[equals + 1], static_cast<char>('0' + *direction)}};
}

// The mapping of every lane name of the log: the --lane options, the defaults for the rest.
std::optional<std::string> MapLanes(const ExportArgs& args, const LogData& log,
                                    std::vector<LaneMapping>& lanes) {
    for (std::size_t i = 0; i < log.lane_names.size(); ++i) {
        lanes.push_back(DefaultLaneMapping(i));
    }
    for (const std::string& text : args.lanes) {
        const LaneOption option = *ParseLaneOption(text);
        bool found = false;
        for (std::size_t i = 0; i < log.lane_names.size(); ++i) {
            if (Trimmed(log.lane_names[i]) == option.name) {
                lanes[i] = option.mapping;
                found = true;
            }
        }
        if (!found) {
            std::string known;
            for (const std::string& name : log.lane_names) {
                known += (known.empty() ? "'" : ", '") + Trimmed(name) + "'";
            }
            return "--lane names '" + option.name + "', which the log does not have; its lanes are " + known;
        }
    }
    if (HasDuplicateLaneMapping(lanes)) {
        return std::string(kDuplicateLanesText);
    }
    return std::nullopt;
}

CardSettings CardSettingsOf(const ExportArgs& args) {
    CardSettings settings;
    settings.start_date = args.from;
    settings.end_date = args.to;
    settings.station = args.station;
    settings.state_index = *FindCardCode(StateCodes(), args.state);
    settings.class_index = *FindCardCode(FunctionalClassCodes(), args.functional_class);
    settings.restriction_index = args.restriction;
    return settings;
}

std::string Plain(std::string text) {
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.replace(at, 2, " ");
    }
    return text;
}

int Report(const ExportResult& result, const LogData& log, std::ostream& out, std::ostream& err) {
    if (result.outcome == ExportOutcome::Declined) {
        err << "qvx: " << result.path << " exists; give --overwrite to replace it\n";
        return kExitOther;
    }
    if (result.outcome == ExportOutcome::Failed) {
        err << "qvx: " << Plain(result.message.text) << "\n";
        return kExitOther;
    }
    for (const std::string& notice : ExportNotices(log, result)) {
        err << "qvx: warning: " << notice << "\n";
    }
    out << result.path << "\n";
    return kExitSuccess;
}

}  // namespace

bool HasExportOptions(const ExportArgs& args) {
    return !args.from.empty() || !args.to.empty() || !args.station.empty() || !args.state.empty() ||
           !args.functional_class.empty() || args.restriction != 0 || !args.lanes.empty() ||
           !args.out.empty() || args.overwrite;
}

std::optional<std::string> ParseExportCommand(const std::vector<std::string>& words, ExportArgs& args) {
    if (words.size() != 3 || (words[1] != "3card" && words[1] != "csv")) {
        return std::string(kUsage3Card) + "\n       " + kUsageCsv;
    }
    args.csv = words[1] == "csv";
    args.log_path = words[2];
    if (auto problem = CheckDays(args)) {
        return problem;
    }
    if (args.csv) {
        const bool card_options = !args.station.empty() || !args.state.empty() ||
                                  !args.functional_class.empty() || !args.lanes.empty() ||
                                  args.restriction != 0;
        return card_options ? std::optional<std::string>(
                                  "--station, --state, --class, --restriction and --lane "
                                  "belong to 'export 3card'")
                            : std::nullopt;
    }
    for (const std::string& lane : args.lanes) {
        if (!ParseLaneOption(lane)) {
            return "--lane needs NAME=LANE:DIR (LANE 0-9, DIR N, NE, E, SE, S, SW, W, NW, N-S/NE-SW or "
                   "E-W/SE-NW), not '" +
                   lane + "'";
        }
    }
    return Check3Card(args);
}

int RunExport(const ExportArgs& args, std::ostream& out, std::ostream& err) {
    DayRange range;
    if (!args.from.empty()) {
        range = {args.from, args.to};
    }
    const LogReadResult read = ReadIntervalLog(args.log_path, range);
    if (!read.usable()) {
        err << "qvx: " << args.log_path << ": " << LogReadMessage(read.status, read.data.lane_count).text
            << "\n";
        return kExitOther;
    }
    if (read.status == LogReadStatus::IncompleteSets) {
        err << "qvx: warning: " << LogReadMessage(read.status, read.data.lane_count).text << "\n";
    }
    const auto overwrite = [&](const std::string&) { return args.overwrite; };
    if (args.csv) {
        const std::string path = args.out.empty() ? CsvFilePathFor(args.log_path) : args.out;
        return Report(ExportCsvFile(read.data, path, overwrite), read.data, out, err);
    }
    CardSettings settings = CardSettingsOf(args);
    if (auto problem = MapLanes(args, read.data, settings.lanes)) {
        err << "qvx: " << *problem << "\n";
        return kExitUsage;
    }
    const std::string folder = args.out.empty() || args.out.back() == '/' ? args.out : args.out + "/";
    const std::string path =
        args.out.empty() ? CardFilePath(args.log_path, args.station) : CardFilePath(folder, args.station);
    return Report(ExportCardFile(read.data, settings, path, overwrite), read.data, out, err);
}

}  // namespace qvx::cli
