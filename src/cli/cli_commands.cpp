#include "cli_commands.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "app/sensor_info.h"
#include "cli_output.h"
#include "cli_printers.h"
#include "context/app_context.h"
#include "live/interval_fetcher.h"
#include "live/interval_log.h"
#include "live/interval_texts.h"
#include "live/lost_sensor.h"
#include "protocol/catalogue.h"
#include "protocol/refusal.h"
#include "protocol/sensor_clock.h"
#include "protocol/sensor_clock_io.h"
#include "protocol/sensor_operations.h"
#include "protocol/status_words.h"
#include "protocol/transaction_result.h"

namespace qvx::cli {

namespace {

constexpr int kRetries = 1;
constexpr int kLivePassMs = 200;

int Failed(CommandStreams io, const std::string& what, TransactionResult result) {
    io.err << "qvx: " << what << " failed";
    if (const char* text = TransactionResultText(result); text != nullptr && *text != '\0') {
        io.err << ": " << text;
    }
    io.err << "\n";
    return kExitSensorFailed;
}

void PrintIntervalRows(const LatestIntervalTable& table, const std::string& updated_text, std::ostream& out) {
    for (std::size_t row = 0; row < table.last_record_lanes && row < table.rows.size(); ++row) {
        const IntervalRowTexts& texts = table.rows[row];
        out << texts.label << "  " << texts.volume << "  " << texts.speed << "  " << texts.occupancy << "  "
            << texts.small << "  " << texts.medium << "  " << texts.large << "  " << updated_text << "\n";
    }
    out.flush();
}

// A clock time in the PC's local time, or in UTC with --utc ("YYYY-MM-DD HH:MM:SS"). A sensor
// clock that keeps wall-clock time is shown as it stands.
std::string ClockText(std::uint32_t sensor_seconds, bool sensor_clock_is_utc, bool utc) {
    if (!utc || !sensor_clock_is_utc) {
        return FormatSensorSeconds(sensor_seconds, sensor_clock_is_utc);
    }
    const std::time_t unix_time = static_cast<std::time_t>(sensor_seconds + kSensorEpochUnix);
    std::tm parts{};
    gmtime_r(&unix_time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

void PrintClock(std::uint32_t sensor_seconds, bool sensor_clock_is_utc, const CliOptions& options,
                std::ostream& out) {
    PrintClockTime(ClockText(sensor_seconds, sensor_clock_is_utc, options.utc),
                   SensorIsoTime(sensor_seconds, sensor_clock_is_utc, options.utc),
                   options.format.value_or(OutputFormat::Text), out);
}

// The row's "Updated: " time: as the interval view shows it, or in UTC with --utc.
std::string UpdatedLine(const AppContext& app, const IntervalFetcher& fetcher, bool utc) {
    if (!utc) {
        return app.live.latest_interval.updated_text;
    }
    return "Updated: " + ClockText(fetcher.last_record().end_time, app.state.sensor_clock_is_utc, true);
}

void SleepUnlessStopped(const std::atomic<bool>& stop, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop.load() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

bool LogComplete(const LogLineWriter& writer, const std::string& path, std::ostream& err) {
    if (writer.write_failed()) {
        err << "qvx: writing the log " << path << " failed: " << std::strerror(writer.last_error()) << "\n";
    }
    if (writer.held_back_bytes() > 0) {
        err << "qvx: " << writer.held_back_bytes() << " bytes could not be written to " << path << "\n";
    }
    if (writer.dropped_bytes() > 0) {
        err << "qvx: " << writer.dropped_bytes() << " bytes of log lines were given up\n";
    }
    return !writer.write_failed() && writer.held_back_bytes() == 0 && writer.dropped_bytes() == 0;
}

int RunInfo(AppContext& app, const CliOptions& options, CommandStreams io) {
    SensorInformation info;
    const TransactionResult result = ReadSensorInformation(app.protocol, info);
    PrintInfo(info, options.format.value_or(OutputFormat::Text), io.out);
    return result == TransactionResult::Ok ? kExitSuccess
                                           : Failed(io, "reading the sensor information", result);
}

int RunSend(AppContext& app, const CliOptions& options, CommandStreams io) {
    std::string reply;
    const SensorRequest request{.code = options.code,
                                .payload = options.payload + "\r",
                                .on_error = qvx::ErrorPolicy::Report,
                                .retries = kRetries,
                                .link_recovery = true};
    const TransactionResult result = app.protocol.SendSensorCommand(request, reply);
    if (result != TransactionResult::Ok) {
        return Failed(io, options.code, result);
    }
    PrintSendReply(SendReply{.code = options.code,
                             .data = reply,
                             .status = ReplyStatusWord(options.code, reply),
                             .raw = options.raw},
                   options.format.value_or(OutputFormat::Text), io.out);
    if (IsRefusal(options.code, reply)) {
        io.err << "qvx: the sensor refused " << options.code << ": " << reply << "\n";
        return kExitSensorFailed;
    }
    return kExitSuccess;
}

int RunClockGet(AppContext& app, const CliOptions& options, CommandStreams io) {
    const ClockReadResult read = ReadSensorClock(app.protocol, kReportedClockExchange);
    if (read.transaction != TransactionResult::Ok) {
        return Failed(io, "reading the sensor clock", read.transaction);
    }
    if (!read.ok()) {
        io.err << "qvx: the sensor clock reads '" << read.reply << "', which is no time\n";
        return kExitSensorFailed;
    }
    PrintClock(*read.seconds, app.state.sensor_clock_is_utc, options, io.out);
    return kExitSuccess;
}

int RunClockSet(AppContext& app, const CliOptions& options, CommandStreams io) {
    const std::optional<std::uint32_t> seconds =
        LocalToSensorSeconds(*ParseClockText(options.clock_text), app.state.sensor_clock_is_utc);
    if (!seconds) {
        return kExitUsage;
    }
    const ClockWriteResult written = WriteSensorClock(app.protocol, *seconds, kReportedClockExchange);
    if (written.transaction != TransactionResult::Ok) {
        return Failed(io, "setting the sensor clock", written.transaction);
    }
    if (written.refused) {
        io.err << "qvx: the sensor refused the time: " << written.reply << "\n";
        return kExitSensorFailed;
    }
    PrintClock(*seconds, app.state.sensor_clock_is_utc, options, io.out);
    return kExitSuccess;
}

int RunClockSync(AppContext& app, const CliOptions& options, CommandStreams io) {
    SensorOperations operations(app.protocol, app.objects.SyncData());
    if (!operations.SyncSensorClock(true)) {
        io.err << "qvx: the sensor clock was not synchronized\n";
        return kExitSensorFailed;
    }
    PrintClock(static_cast<std::uint32_t>(app.state.reset_clock_correction), true, options, io.out);
    return kExitSuccess;
}

int RunDiscover(const ConnectResult& connection, const CliOptions& options, CommandStreams io) {
    PrintDiscoveredIds(connection.detected_ids, options.format.value_or(OutputFormat::Text), io.out);
    return kExitSuccess;
}

// As the interval view: the latest record at once, then the next one asked for in the last second
// of each interval and asked again every pass until the sensor has completed it.
int RunLiveIntervals(AppContext& app, const CliOptions& options, CommandStreams io) {
    const bool logging = !options.log_path.empty();
    if (const RecordResult read = app.records.ReadExtendedConfigInfo(); !read.ok()) {
        return Failed(
            io, "reading the lane names",
            read.transaction == TransactionResult::Ok ? TransactionResult::NoResponse : read.transaction);
    }
    IntervalFetcher fetcher(app);
    fetcher.ResetForOpening();
    if (fetcher.ReadIntervalLength() != 1) {
        return Failed(io, "reading the interval length", TransactionResult::NoResponse);
    }
    if (logging) {
        app.live.log_paths.Set(LogKind::Interval, options.log_path);
        if (AppendLogText(options.log_path, fetcher.IntervalBanner()) != LogWrite::Written) {
            io.err << "qvx: cannot write the interval log " << options.log_path << "\n";
            return kExitOther;
        }
    }
    const std::chrono::seconds bound = options.lost_after_seconds > 0
                                           ? std::chrono::seconds(options.lost_after_seconds)
                                           : LostSensorBound(fetcher.interval_seconds());
    LostSensorWatch watch(bound);
    const OutputFormat format = options.format.value_or(OutputFormat::Text);
    IntervalRecordPrinter printer(format, app.state.lane_names, app.state.sensor_clock_is_utc, options.utc,
                                  io.out);
    printer.Header();
    int printed = 0;
    bool fetch_pending = true;
    while (!io.stop.load() && (options.count == 0 || printed < options.count)) {
        if (!fetch_pending && FetchIsDue(std::time(nullptr), fetcher.interval_seconds())) {
            fetch_pending = true;
        }
        if (fetch_pending) {
            const int stored = fetcher.FetchLatestInterval(logging);
            watch.Exchange(fetcher.last_fetch_result() == TransactionResult::Ok, LinkIsGone(app.link));
            if (stored == 1) {
                if (format == OutputFormat::Text) {
                    PrintIntervalRows(app.live.latest_interval, UpdatedLine(app, fetcher, options.utc),
                                      io.out);
                } else {
                    printer.Print(fetcher.last_record());
                }
                fetch_pending = false;
                ++printed;
                // A disk that takes no more lines ends the run; the record stays out of the file.
                if (logging && fetcher.log_writer().write_failed()) {
                    LogComplete(fetcher.log_writer(), options.log_path, io.err);
                    return kExitOther;
                }
                continue;
            }
            // Between fetches nothing is asked, so silence only counts while a record is due.
            if (watch.Lost()) {
                io.err << "qvx: " << watch.Reason() << "; live intervals stopped\n";
                return kExitSensorFailed;
            }
        }
        SleepUnlessStopped(io.stop, kLivePassMs);
    }
    if (logging && !LogComplete(fetcher.log_writer(), options.log_path, io.err)) {
        return kExitOther;
    }
    return options.count != 0 && printed >= options.count ? kExitSuccess : kExitInterrupted;
}

}  // namespace qvx::cli
