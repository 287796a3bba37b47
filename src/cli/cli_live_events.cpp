#include "cli_live_events.h"
#include "cli_output.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "base/progress_reporter.h"
#include "connect/operating_mode.h"
#include "context/app_context.h"
#include "live/event_fetcher.h"
#include "live/event_polling_thread.h"
#include "live/interval_log.h"
#include "protocol/transaction_result.h"

namespace qvx::cli {

namespace {

constexpr int kActuationPollMs = 30;  // the Skelda view's timer
// Polls in a row that found no sensor before the command gives up.
constexpr int kFailedPollLimit = 10;

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

constexpr std::int64_t kSecondsPerDay = 86400;

// An event's moment in ms since 1970. Its count is 2.5 ms ticks since the midnight of the sensor's
// day (UTC, or local time for a sensor clock that keeps wall-clock time); an event from just
// before midnight that arrives after it belongs to the day before.
std::int64_t EventUnixMs(std::uint32_t ticks, std::time_t now, bool sensor_clock_is_utc) {
    std::int64_t offset = 0;
    if (!sensor_clock_is_utc) {
        std::tm local{};
        localtime_r(&now, &local);
        offset = local.tm_gmtoff;
    }
    const std::int64_t midnight = (now + offset) / kSecondsPerDay * kSecondsPerDay - offset;
    std::int64_t ms = midnight * 1000 + static_cast<std::int64_t>(ticks) * 5 / 2;
    if (ms > (now + kSecondsPerDay / 2) * 1000) {
        ms -= kSecondsPerDay * 1000;
    }
    return ms;
}

// 2.5 ms units as milliseconds with one decimal.
std::string TicksAsMs(std::uint32_t ticks) {
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u", ticks * 5 / 2, (ticks % 2) * 5);
    return text;
}

class EventPrinter {
  public:
    EventPrinter(AppContext& app, OutputFormat format, std::ostream& out)
        : app_(app), format_(format), out_(out) {}

    void Header() {
        if (format_ == OutputFormat::Tsv) {
            out_ << "time\tlane\tspeed\tclass\tduration_ms\n";
        }
    }

    void Print(const EventRecord& event) {
        const std::time_t now = std::time(nullptr);
        // Text keeps the event view's time of day; tsv and json name the moment with its zone.
        const std::string time =
            format_ == OutputFormat::Text
                ? EventTimeOfDay(event, now)
                : IsoTimeMs(EventUnixMs(event.ticks, now, app_.state.sensor_clock_is_utc), false);
        const std::string lane = Trimmed(EventLaneLabel(event.lane_digit, app_.state.lane_names));
        const std::string duration = TicksAsMs(event.duration);
        char line[160];
        switch (format_) {
            case OutputFormat::Text:
                std::snprintf(line, sizeof line, "%s  %-8s  %5d %s  class %d  %8s ms\n", time.c_str(),
                              lane.c_str(), event.speed, SpeedUnit(), event.vehicle_class, duration.c_str());
                out_ << line;
                break;
            case OutputFormat::Tsv:
                out_ << time << "\t" << TsvField(lane) << "\t" << event.speed << "\t" << event.vehicle_class
                     << "\t" << duration << "\n";
                break;
            case OutputFormat::Json:
                out_ << "{\"time\":" << JsonString(time) << ",\"lane\":" << event.LaneIndex() + 1
                     << ",\"lane_name\":" << JsonString(lane) << ",\"speed\":" << event.speed
                     << ",\"class\":" << event.vehicle_class
                     << ",\"class_char\":" << JsonString(std::string(1, event.class_char))
                     << ",\"duration_ms\":" << duration << ",\"count\":" << event.ticks << "}\n";
                break;
        }
        out_.flush();
    }

    void PrintCounts(const LaneCounts& counts, int lanes) {
        if (format_ == OutputFormat::Json) {
            out_ << "{\"counts\":[";
        } else if (format_ == OutputFormat::Tsv) {
            out_ << "lane\tcount\n";
        }
        for (int lane = 0; lane < lanes; ++lane) {
            const std::uint32_t count = counts[static_cast<std::size_t>(lane)];
            if (format_ == OutputFormat::Json) {
                out_ << (lane ? "," : "") << count;
            } else if (format_ == OutputFormat::Tsv) {
                out_ << lane + 1 << "\t" << count << "\n";
            } else {
                out_ << "Lane " << lane + 1 << ": " << count << "\n";
            }
        }
        if (format_ == OutputFormat::Json) {
            out_ << "]}\n";
        }
        out_.flush();
    }

  private:
    const char* SpeedUnit() const { return app_.state.units == 'E' ? "mph" : "kph"; }

    AppContext& app_;
    OutputFormat format_;
    std::ostream& out_;
};

void PrintActuation(std::uint32_t mask, OutputFormat format, std::ostream& out) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char time[16];
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    char hex[12];
    std::snprintf(hex, sizeof hex, "%08X", mask);
    std::string lanes;
    std::string json_lanes;
    for (int bit = 0; bit < 32; ++bit) {
        if (mask & (1u << bit)) {
            lanes += (lanes.empty() ? "" : " ") + std::to_string(bit + 1);
            json_lanes += (json_lanes.empty() ? "" : ",") + std::to_string(bit + 1);
        }
    }
    switch (format) {
        case OutputFormat::Text:
            out << time << "  " << hex << "  occupied: " << (lanes.empty() ? "none" : lanes) << "\n";
            break;
        case OutputFormat::Tsv:
            out << IsoTime(now, false) << "\t" << hex << "\t" << lanes << "\n";
            break;
        case OutputFormat::Json:
            out << "{\"time\":\"" << IsoTime(now, false) << "\",\"mask\":" << mask << ",\"lanes\":["
                << json_lanes << "]}\n";
            break;
    }
    out.flush();
}

// A run that ends before its --count (or without one) was stopped by a signal.
bool CountReached(const CliOptions& options, int printed) {
    return options.count != 0 && printed >= options.count;
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Mounting DetectMounting(AppContext& app) {
    SilentProgress progress;
    return DetectOperatingMode(app.protocol, progress) ? Mounting::SideFire : Mounting::ForwardFire;
}

bool EventsAllowed(AppContext& app, Mounting mounting, std::ostream& err) {
    if (!EventsBlockedByResponseWait(app.state.response_wait_ms.load(), mounting)) {
        return true;
    }
    err << "qvx: events are not fetched while the additional response wait is "
        << (mounting == Mounting::SideFire ? kSkeldaEventWaitLimitMs : kForwardFireEventWaitLimitMs)
        << " ms or more (it is " << app.state.response_wait_ms.load() << " ms)\n";
    return false;
}

// The lanes the sensor has configured (all 8 when its lane map cannot be read).
int CountedLanes(AppContext& app, Mounting mounting) {
    if (mounting == Mounting::ForwardFire) {
        return 1;
    }
    if (app.records.ReadSfAlgorithmInfo(false).ok() && app.configuration.lane_count() > 0) {
        return app.configuration.lane_count();
    }
    return static_cast<int>(kCounterLanes);
}

}  // namespace

// As the event views: the events the sensor kept are flushed, then each event is fetched as it
// comes (one request per poll; a poll that found one asks again at once).
int RunLiveEvents(AppContext& app, const CliOptions& options, CommandStreams io) {
    if (!app.records.ReadExtendedConfigInfo().ok()) {
        io.err << "qvx: reading the lane names failed\n";
        return kExitSensorFailed;
    }
    const Mounting mounting = DetectMounting(app);
    if (!EventsAllowed(app, mounting, io.err)) {
        return kExitOther;
    }
    EventFetcher fetcher(app, mounting);
    const bool logging = !options.log_path.empty();
    if (logging) {
        fetcher.ReadBannerConfig();
        app.live.log_paths.Set(LogKind::Event, options.log_path);
        if (AppendLogText(options.log_path, fetcher.EventBanner()) != LogWrite::Written) {
            io.err << "qvx: cannot write the event log " << options.log_path << "\n";
            return kExitOther;
        }
    }
    if (fetcher.FlushStoredEvents() == 0) {
        return kExitSensorFailed;
    }
    app.live.lane_statistics.Reset();
    app.live.lane_statistics.Resume();
    EventPrinter printer(app, options.format.value_or(OutputFormat::Text), io.out);
    printer.Header();
    int printed = 0;
    fetcher.on_event = [&](const EventRecord& event) {
        printer.Print(event);
        ++printed;
    };
    const int poll_ms = mounting == Mounting::SideFire ? EventPollingThread::kSkeldaPollMs
                                                       : EventPollingThread::kForwardFirePollMs;
    int failures = 0;
    while (!io.stop.load() && (options.count == 0 || printed < options.count)) {
        if (fetcher.FetchEvent(logging) == 1) {
            continue;
        }
        failures = fetcher.last_event_result() == TransactionResult::Ok ? 0 : failures + 1;
        if (failures >= kFailedPollLimit) {
            io.err << "qvx: the sensor stopped answering the event request\n";
            return kExitSensorFailed;
        }
        SleepMs(poll_ms);
    }
    if (options.counts) {
        printer.PrintCounts(app.live.lane_statistics.Counts(), CountedLanes(app, mounting));
    }
    if (logging && !LogComplete(fetcher.log_writer(), options.log_path, io.err)) {
        return kExitOther;
    }
    return CountReached(options, printed) ? kExitSuccess : kExitInterrupted;
}

// The occupancy as the Skelda view's actuation mode polls it ("X1"; "XG" on a forward-fire
// sensor), printed whenever it changes.
int RunLiveActuation(AppContext& app, const CliOptions& options, CommandStreams io) {
    const Mounting mounting = DetectMounting(app);
    EventFetcher fetcher(app, mounting);
    const OutputFormat format = options.format.value_or(OutputFormat::Text);
    if (format == OutputFormat::Tsv) {
        io.out << "time\tmask\tlanes\n";
    }
    std::optional<std::uint32_t> shown;
    int printed = 0;
    int failures = 0;
    while (!io.stop.load() && (options.count == 0 || printed < options.count)) {
        const TransactionResult result =
            mounting == Mounting::SideFire ? fetcher.FetchActuation() : fetcher.FetchFfActuation();
        failures = result == TransactionResult::Ok ? 0 : failures + 1;
        if (failures >= kFailedPollLimit) {
            io.err << "qvx: the sensor stopped answering the occupancy request\n";
            return kExitSensorFailed;
        }
        const std::uint32_t mask =
            mounting == Mounting::SideFire ? fetcher.actuation() : fetcher.ff_actuation();
        if (result == TransactionResult::Ok && shown != mask) {
            shown = mask;
            PrintActuation(mask, format, io.out);
            ++printed;
        }
        SleepMs(kActuationPollMs);
    }
    return CountReached(options, printed) ? kExitSuccess : kExitInterrupted;
}

}  // namespace qvx::cli
