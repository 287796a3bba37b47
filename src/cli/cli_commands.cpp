#include "cli_commands.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "app/app_context.h"
#include "app/sensor_info.h"
#include "app/sensor_operations.h"
#include "live/interval_fetcher.h"
#include "live/interval_log.h"
#include "live/interval_texts.h"
#include "protocol/catalogue.h"
#include "protocol/sensor_clock.h"
#include "protocol/transaction_result.h"

namespace qvx::cli {

namespace {

constexpr int kReported = 10;
constexpr int kRetries = 1;
constexpr int kLivePassMs = 200;

int Failed(CommandStreams io, const std::string& what, int result) {
    io.err << "qvx: " << what << " failed";
    if (const char* text = TransactionResultText(result); text != nullptr && *text != '\0') {
        io.err << ": " << text;
    }
    io.err << "\n";
    return kExitSensorFailed;
}

// A status word the command's row accepts stands for the sensor saying no.
bool IsRefusal(const std::string& code, const std::string& reply) {
    const CommandCatalogue& catalogue = BuildCommandCatalogue();
    const CommandDescriptor& row = catalogue.DescribeCommand(catalogue.FindCommand(code));
    const bool failure =
        (row.status_mask & status_bit::kFailure) != 0 && reply.find("Failure") != std::string::npos;
    const bool invalid =
        (row.status_mask & status_bit::kInvalid) != 0 && reply.find("Invalid") != std::string::npos;
    return failure || invalid;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

void PrintIntervalRows(const LatestIntervalTable& table, std::ostream& out) {
    for (std::size_t row = 0; row < table.last_record_lanes && row < table.rows.size(); ++row) {
        const IntervalRowTexts& texts = table.rows[row];
        out << texts.label << "  " << texts.volume << "  " << texts.speed << "  " << texts.occupancy << "  "
            << texts.small << "  " << texts.medium << "  " << texts.large << "  " << table.updated_text
            << "\n";
    }
    out.flush();
}

void SleepUnlessStopped(const std::atomic<bool>& stop, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop.load() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

int RunInfo(AppContext& app, CommandStreams io) {
    SensorInformation info;
    const int result = ReadSensorInformation(app.protocol, info);
    const std::pair<const char*, const std::string*> fields[] = {
        {"Serial Number", &info.serial_number},
        {"Description", &info.description},
        {"Location", &info.location},
        {"Sensor ID", &info.sensor_id},
        {"Serial Interface", &info.serial_interface},
        {"DSP", &info.dsp},
        {"FPGA", &info.fpga},
    };
    for (const auto& [name, value] : fields) {
        io.out << name << ": " << TrimRight(*value) << "\n";
    }
    return result == kOk ? kExitSuccess : Failed(io, "reading the sensor information", result);
}

int RunSend(AppContext& app, const CliOptions& options, CommandStreams io) {
    std::string reply;
    const int result = app.protocol.SendSensorCommand(options.code, options.payload + "\r", reply, kReported,
                                                      kRetries, true, 0);
    if (result != kOk) {
        return Failed(io, options.code, result);
    }
    io.out << reply << "\n";
    if (IsRefusal(options.code, reply)) {
        io.err << "qvx: the sensor refused " << options.code << ": " << reply << "\n";
        return kExitSensorFailed;
    }
    return kExitSuccess;
}

int RunClockGet(AppContext& app, CommandStreams io) {
    std::string reply;
    const int result =
        app.protocol.SendSensorCommand(cmd::kGetTime, "\r", reply, kReported, kRetries, true, 0);
    if (result != kOk) {
        return Failed(io, "reading the sensor clock", result);
    }
    const std::optional<std::uint32_t> seconds = ParseSensorTime(reply);
    if (!seconds) {
        io.err << "qvx: the sensor clock reads '" << reply << "', which is no time\n";
        return kExitSensorFailed;
    }
    io.out << FormatSensorSeconds(*seconds, app.state.sensor_clock_is_utc) << "\n";
    return kExitSuccess;
}

int RunClockSet(AppContext& app, const CliOptions& options, CommandStreams io) {
    const std::optional<std::uint32_t> seconds =
        LocalToSensorSeconds(*ParseClockText(options.clock_text), app.state.sensor_clock_is_utc);
    if (!seconds) {
        return kExitUsage;
    }
    std::string reply;
    const int result = app.protocol.SendSensorCommand(cmd::kSetTime, SensorTimeText(*seconds) + "\r", reply,
                                                      kReported, kRetries, true, 0);
    if (result != kOk) {
        return Failed(io, "setting the sensor clock", result);
    }
    if (IsRefusal(cmd::kSetTime, reply)) {
        io.err << "qvx: the sensor refused the time: " << reply << "\n";
        return kExitSensorFailed;
    }
    return kExitSuccess;
}

int RunClockSync(AppContext& app, CommandStreams io) {
    SensorOperations operations(app);
    if (!operations.SyncSensorClock(true)) {
        io.err << "qvx: the sensor clock was not synchronized\n";
        return kExitSensorFailed;
    }
    io.out << FormatSensorSeconds(static_cast<std::uint32_t>(app.state.reset_clock_correction), true) << "\n";
    return kExitSuccess;
}

int RunDiscover(const ConnectResult& connection, CommandStreams io) {
    for (const std::string& id : connection.detected_ids) {
        io.out << id << "\n";
    }
    return kExitSuccess;
}

// As the interval view: the latest record at once, then the next one asked for in the last second
// of each interval and asked again every pass until the sensor has completed it.
int RunLiveIntervals(AppContext& app, const CliOptions& options, CommandStreams io) {
    const bool logging = !options.log_path.empty();
    if (app.records.ReadExtendedConfigInfo() != kOk) {
        return Failed(io, "reading the lane names", kNoResponse);
    }
    IntervalFetcher fetcher(app);
    fetcher.ResetForOpening();
    if (fetcher.ReadIntervalLength() != kOk) {
        return Failed(io, "reading the interval length", kNoResponse);
    }
    if (logging) {
        app.live.log_paths.Set(LogKind::Interval, options.log_path);
        if (AppendLogText(options.log_path, fetcher.IntervalBanner()) != LogWrite::Written) {
            io.err << "qvx: cannot write the interval log " << options.log_path << "\n";
            return kExitOther;
        }
    }
    int printed = 0;
    bool fetch_pending = true;
    while (!io.stop.load() && (options.count == 0 || printed < options.count)) {
        if (!fetch_pending && FetchIsDue(std::time(nullptr), fetcher.interval_seconds())) {
            fetch_pending = true;
        }
        if (fetch_pending && fetcher.FetchLatestInterval(logging) == 1) {
            PrintIntervalRows(app.live.latest_interval, io.out);
            fetch_pending = false;
            ++printed;
            continue;
        }
        SleepUnlessStopped(io.stop, kLivePassMs);
    }
    return kExitSuccess;
}

}  // namespace qvx::cli
